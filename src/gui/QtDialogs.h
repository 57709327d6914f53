#pragma once

#include "Dialogs.h"

class QFontMetrics;

// The seam's real side: Qt's own message, input, file and folder dialogs.
class QtDialogs : public Dialogs {
public:
    // Texts keep the CR and CR LF line ends they were built with; on screen both become line
    // breaks.
    static QString forDisplay(const QString& text);
    // The width of the widest line of text that holds a web address; 0 when none does.
    static int addressLineWidth(const QString& text, const QFontMetrics& metrics);

protected:
    Answer showMessage(const Message& message) override;
    std::optional<QString> showInput(const Input& input) override;
    QStringList showOpenFiles(const OpenFiles& request) override;
    QString showFolderPicker(const FolderChoice& request) override;
    QString showSaveFile(const SaveFile& request) override;
    bool showExternally(const QUrl& url) override;
    bool showItemInFolder(const QString& path) override;
};
