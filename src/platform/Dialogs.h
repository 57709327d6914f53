#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

// Every modal box, file dialog and hand-over to the desktop shell goes through this seam, so that
// the program shows native Qt dialogs while tests queue the answers and read back what was shown.
class Dialogs {
public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Message {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        QString details; // shown behind a "Show Details..." button when not empty
    };

    struct Input {
        QString prompt;
        QString title;
        QString defaultText;
        // What is typed is not shown (a password).
        bool secret = false;
    };

    struct OpenFiles {
        QString caption;
        QString folder;
        QString filter;
    };

    struct FolderChoice {
        QString caption;
        QString startFolder;
    };

    struct SaveFile {
        QString caption;
        QString suggested; // the folder and name offered
        QString filter;
    };

    virtual ~Dialogs() = default;

    // A box that names no title of its own carries the application title.
    Answer message(const QString& text, const QString& title = {}, Buttons buttons = Buttons::Ok,
                   Icon icon = Icon::None, const QString& details = {});
    // Gives nothing when the user cancels.
    std::optional<QString> input(const QString& prompt, const QString& title = {},
                                 const QString& defaultText = {});
    // As input, with what is typed hidden as it is typed.
    std::optional<QString> password(const QString& prompt, const QString& title = {});
    // Full paths of the chosen files, empty on cancel.
    QStringList openFiles(const QString& caption, const QString& folder, const QString& filter);
    // The chosen folder, empty on cancel.
    QString pickFolder(const QString& caption, const QString& startFolder);
    // The full path of the file to write, empty on cancel; the dialog asks before an existing
    // file is replaced.
    QString saveFile(const QString& caption, const QString& suggested, const QString& filter);
    // Hands a folder or web address to the desktop; false when nothing could open it.
    bool openExternally(const QUrl& url);
    // Shows the file selected in its folder in the desktop's file manager; false when nothing
    // could show it.
    bool showInFolder(const QString& path);

    // The installed replacement, else the native dialogs, else (without a window system, as on
    // the command line) text on standard error.
    static Dialogs& current();
    // Installs a replacement (tests); nullptr returns to the native dialogs. Not owned.
    static void install(Dialogs* dialogs);
    // The window's own dialogs, set once the window system is up. Not owned.
    static void setNative(Dialogs* dialogs);

    static QString applicationTitle();
    static void setApplicationTitle(const QString& title);

protected:
    virtual Answer showMessage(const Message& message) = 0;
    virtual std::optional<QString> showInput(const Input& input) = 0;
    virtual QStringList showOpenFiles(const OpenFiles& request) = 0;
    virtual QString showFolderPicker(const FolderChoice& request) = 0;
    virtual QString showSaveFile(const SaveFile& request) = 0;
    virtual bool showExternally(const QUrl& url) = 0;
    virtual bool showItemInFolder(const QString& path) = 0;

private:
    QString titleOrApplication(const QString& title) const;
};
