#include "QtDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTextEdit>

namespace {

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

QString QtDialogs::withWholeAddresses(const QString& text) {
    // A label may break a line after any "/", which splits a web address after "https://". As
    // rich text an address keeps to one line by its style alone: the text a screen reader reads
    // and a copy of the box takes stays the text itself, with nothing hidden in it.
    static const QRegularExpression address(QStringLiteral("https?://\\S+"));
    const auto html = [](const QString& plain) {
        return plain.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
    };
    QString shown;
    qsizetype done = 0;
    for (auto match = address.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        shown += html(text.mid(done, found.capturedStart() - done));
        shown += QLatin1String("<span style=\"white-space:nowrap\">") + html(found.captured()) +
                 QLatin1String("</span>");
        done = found.capturedEnd();
    }
    return shown + html(text.mid(done));
}

Dialogs::Answer QtDialogs::showMessage(const Message& message) {
    const QString text = forDisplay(message.text);
    const bool hasAddress = text.contains(QLatin1String("://"));
    QMessageBox box(messageIcon(message.icon), message.title,
                    hasAddress ? withWholeAddresses(text) : text, standardButtons(message.buttons),
                    activeParent());
    box.setTextFormat(hasAddress ? Qt::RichText : Qt::PlainText);
    if (!message.details.isEmpty()) {
        box.setDetailedText(forDisplay(message.details));
        // Qt sizes the details to the box's short text, so a path and its reason would wrap
        // over several lines: the details get the width of their longest line, within reason.
        if (auto* details = box.findChild<QTextEdit*>()) {
            int widest = 0;
            for (const QString& line : details->toPlainText().split(QLatin1Char('\n')))
                widest = qMax(widest, details->fontMetrics().horizontalAdvance(line));
            const QScreen* screen = box.screen();
            const int limit = screen ? screen->availableGeometry().width() * 3 / 4 : 1000;
            details->setMinimumWidth(qMin(widest + 40, limit));
        }
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

bool QtDialogs::showExternally(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
