#include "QtDialogs.h"

#include <QApplication>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTextEdit>

namespace {

// The width of the text's widest line; only lines that match, when a pattern is given.
int widestLine(const QString& text, const QFontMetrics& metrics, const QRegularExpression* only) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!only || only->match(line).hasMatch())
            widest = qMax(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

// A width for part of a box, kept within reason: at most three quarters of its screen.
int withinScreen(const QWidget& box, int wanted) {
    const QScreen* screen = box.screen();
    return qMin(wanted, screen ? screen->availableGeometry().width() * 3 / 4 : 1000);
}

QWidget* activeParent() {
    return QApplication::activeWindow();
}

QMessageBox::StandardButtons standardButtons(Dialogs::Buttons buttons) {
    switch (buttons) {
    case Dialogs::Buttons::Ok:
        return QMessageBox::Ok;
    case Dialogs::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::None:
        return QMessageBox::NoIcon;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Closing a box with its window button or Escape counts as its most cautious answer.
Dialogs::Answer answerFor(int button, Dialogs::Buttons buttons) {
    switch (button) {
    case QMessageBox::Ok:
        return Dialogs::Answer::Ok;
    case QMessageBox::Yes:
        return Dialogs::Answer::Yes;
    case QMessageBox::No:
        return Dialogs::Answer::No;
    case QMessageBox::Cancel:
        return Dialogs::Answer::Cancel;
    default:
        break;
    }
    switch (buttons) {
    case Dialogs::Buttons::Ok:
        return Dialogs::Answer::Ok;
    case Dialogs::Buttons::YesNo:
        return Dialogs::Answer::No;
    default:
        return Dialogs::Answer::Cancel;
    }
}

} // namespace

QString QtDialogs::forDisplay(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

int QtDialogs::addressLineWidth(const QString& text, const QFontMetrics& metrics) {
    static const QRegularExpression address(QStringLiteral("https?://\\S+"));
    return widestLine(text, metrics, &address);
}

Dialogs::Answer QtDialogs::showMessage(const Message& message) {
    QMessageBox box(messageIcon(message.icon), message.title, forDisplay(message.text),
                    standardButtons(message.buttons), activeParent());
    box.setTextFormat(Qt::PlainText);
    // A label may break a line after any "/", which splits a web address after "https://". A
    // box as wide as each line that holds an address (within reason) keeps the address whole,
    // and the text a screen reader reads and a copy of the box takes stays the text itself.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        if (const int needed = addressLineWidth(box.text(), label->fontMetrics()); needed > 0)
            label->setMinimumWidth(withinScreen(box, needed + 2));
    }
    if (!message.details.isEmpty()) {
        box.setDetailedText(forDisplay(message.details));
        // Qt sizes the details to the box's short text, so a path and its reason would wrap
        // over several lines: the details get the width of their longest line, within reason.
        if (auto* details = box.findChild<QTextEdit*>())
            details->setMinimumWidth(withinScreen(
                box, widestLine(details->toPlainText(), details->fontMetrics(), nullptr) + 40));
    }
    return answerFor(box.exec(), message.buttons);
}

std::optional<QString> QtDialogs::showInput(const Input& input) {
    bool accepted = false;
    const QString text = QInputDialog::getText(
        activeParent(), input.title, forDisplay(input.prompt),
        input.secret ? QLineEdit::Password : QLineEdit::Normal, input.defaultText, &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

QStringList QtDialogs::showOpenFiles(const OpenFiles& request) {
    // Qt's own dialog matches name filters regardless of letter case, so "*.pdf" also offers
    // "SCAN.PDF"; a desktop's native dialog may not.
    return QFileDialog::getOpenFileNames(activeParent(), request.caption, request.folder,
                                         request.filter, nullptr, QFileDialog::DontUseNativeDialog);
}

QString QtDialogs::showFolderPicker(const FolderChoice& request) {
    const QString start = QDir(request.startFolder).exists() ? request.startFolder : QString();
    return QFileDialog::getExistingDirectory(activeParent(), request.caption, start);
}

QString QtDialogs::showSaveFile(const SaveFile& request) {
    return QFileDialog::getSaveFileName(activeParent(), request.caption, request.suggested,
                                        request.filter);
}

bool QtDialogs::showExternally(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

// The file managers of the common desktops take ShowItems and open the folder with the file
// selected; without one, the folder alone is opened.
bool QtDialogs::showItemInFolder(const QString& path) {
    QDBusInterface manager(QStringLiteral("org.freedesktop.FileManager1"),
                           QStringLiteral("/org/freedesktop/FileManager1"),
                           QStringLiteral("org.freedesktop.FileManager1"));
    if (manager.isValid()) {
        const QDBusMessage reply =
            manager.call(QStringLiteral("ShowItems"),
                         QStringList{QUrl::fromLocalFile(path).toString()}, QString());
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return showExternally(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
