#pragma once

#include "Dialogs.h"

// The seam without a window system: a message is written to standard error, and every question
// is answered as if cancelled, so nothing ever waits for an answer that cannot come.
class TextDialogs : public Dialogs {
protected:
    Answer showMessage(const Message& message) override;
    std::optional<QString> showInput(const Input& input) override;
    QStringList showOpenFiles(const OpenFiles& request) override;
    QString showFolderPicker(const FolderChoice& request) override;
    QString showSaveFile(const SaveFile& request) override;
    bool showExternally(const QUrl& url) override;
    bool showItemInFolder(const QString& path) override;
};
