#pragma once

#include "Dialogs.h"

#include <QList>
#include <deque>

// Answers every box from queues the test fills, and keeps a record of each box shown, so no
// test waits on a modal dialog and exact texts can be checked. Installed for its lifetime.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Input, OpenFiles, FolderPicker, SaveFile, External, InFolder };

    struct Shown {
        Kind kind;
        QString text; // message text, input prompt, dialog caption or address
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString details;
        QString defaultText; // input default, start folder of a file or folder dialog
        bool secret = false; // an input whose typing is hidden
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    std::deque<Answer> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<QStringList> openFilesAnswers;
    std::deque<QString> folderAnswers;
    std::deque<QString> saveFileAnswers;
    bool externalOpens = true;

    QList<Shown> shown;
    // Boxes that found no queued answer and got the cautious one (Cancel, No, nothing).
    int unanswered = 0;

    QList<Shown> messages() const;

protected:
    Answer showMessage(const Message& message) override;
    std::optional<QString> showInput(const Input& input) override;
    QStringList showOpenFiles(const OpenFiles& request) override;
    QString showFolderPicker(const FolderChoice& request) override;
    QString showSaveFile(const SaveFile& request) override;
    bool showExternally(const QUrl& url) override;
    bool showItemInFolder(const QString& path) override;
};
