#include "Dialogs.h"

#include "TextDialogs.h"

namespace {
Dialogs* installed = nullptr;
Dialogs* native = nullptr;
QString title;
} // namespace

Dialogs::Answer Dialogs::message(const QString& text, const QString& boxTitle, Buttons buttons,
                                 Icon icon, const QString& details) {
    return showMessage({text, titleOrApplication(boxTitle), buttons, icon, details});
}

std::optional<QString> Dialogs::input(const QString& prompt, const QString& boxTitle,
                                      const QString& defaultText) {
    return showInput({prompt, titleOrApplication(boxTitle), defaultText});
}

std::optional<QString> Dialogs::password(const QString& prompt, const QString& boxTitle) {
    return showInput({prompt, titleOrApplication(boxTitle), {}, true});
}

QStringList Dialogs::openFiles(const QString& caption, const QString& folder,
                               const QString& filter) {
    return showOpenFiles({caption, folder, filter});
}

QString Dialogs::pickFolder(const QString& caption, const QString& startFolder) {
    return showFolderPicker({caption, startFolder});
}

QString Dialogs::saveFile(const QString& caption, const QString& suggested, const QString& filter) {
    return showSaveFile({caption, suggested, filter});
}

bool Dialogs::openExternally(const QUrl& url) {
    return showExternally(url);
}

bool Dialogs::showInFolder(const QString& path) {
    return showItemInFolder(path);
}

Dialogs& Dialogs::current() {
    if (installed)
        return *installed;
    if (native)
        return *native;
    static TextDialogs text;
    return text;
}

void Dialogs::setNative(Dialogs* dialogs) {
    native = dialogs;
}

void Dialogs::install(Dialogs* dialogs) {
    installed = dialogs;
}

QString Dialogs::applicationTitle() {
    return title;
}

void Dialogs::setApplicationTitle(const QString& newTitle) {
    title = newTitle;
}

QString Dialogs::titleOrApplication(const QString& boxTitle) const {
    return boxTitle.isEmpty() ? title : boxTitle;
}
