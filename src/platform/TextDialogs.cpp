#include "TextDialogs.h"

#include <cstdio>

Dialogs::Answer TextDialogs::showMessage(const Message& message) {
    QString text = message.text;
    if (!message.details.isEmpty())
        text += QLatin1Char('\n') + message.details;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    switch (message.buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
        break;
    }
    return Answer::Cancel;
}

std::optional<QString> TextDialogs::showInput(const Input&) {
    return std::nullopt;
}

QStringList TextDialogs::showOpenFiles(const OpenFiles&) {
    return {};
}

QString TextDialogs::showFolderPicker(const FolderChoice&) {
    return {};
}

QString TextDialogs::showSaveFile(const SaveFile&) {
    return {};
}

bool TextDialogs::showExternally(const QUrl&) {
    return false;
}

bool TextDialogs::showItemInFolder(const QString&) {
    return false;
}
