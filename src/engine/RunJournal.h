#pragma once

#include "FileDescriptor.h"
#include "FileIdentity.h"
#include "TrashCan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <sys/types.h>

// What a run that replaced files did, so that `metascribe undo` can take it back: one line per
// replaced file, written before the rename that replaces it, in a file of its own under
// $XDG_STATE_HOME/metascribe/. Appended line by line rather than written whole at the end, so
// that a run killed at any moment still tells about every file it may have replaced; a line cut
// short by the kill announced a rename that never came. A kill keeps what was written; the disk
// gets the lines with the Trash's names for the originals (TrashCan::keep) and, at the latest,
// from close() at the run's end. The run holds its journal under an exclusive flock() until
// then, and a killed run lets go of it with its descriptors: a journal held locked belongs to a
// run still going on, which undo leaves alone.
class RunJournal {
public:
    enum class Kind { Set, Undo, Rename };

    // One replaced file: where it is, where its original went, and what replaced it. Or one
    // renamed file: where it is, the name it had (renamedFrom), and which file it is (original).
    struct Entry {
        QString path;
        TrashCan::Item kept;
        // The original: its name in the Trash is the same file.
        FileIdentity original;
        // SHA-256 of what was put at path, in hexadecimal.
        QByteArray digest;
        QString renamedFrom;

        bool isRename() const { return !renamedFrom.isEmpty(); }
    };

    // A journal as read back.
    struct Contents {
        QString file;
        Kind kind = Kind::Set;
        // The journal an undo took back (its file name); empty for a run of set.
        QString undoes;
        QList<Entry> entries;
        // The run was taken back since.
        bool undone = false;
    };

    // Starts a journal, written when the first line comes. undoes names the journal an undo
    // takes back.
    explicit RunJournal(Kind kind, QString undoes = {});
    // Goes on writing an existing journal: an undo that was cut short.
    static RunJournal resume(const QString& file);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;
    RunJournal(RunJournal&& other) noexcept;
    RunJournal& operator=(RunJournal&&) = delete;

    // Appends the line. Throws Failure.
    void append(const Entry& entry);
    // Flushes the lines appended so far to the disk: a rename may follow them. Throws Failure.
    void sync();
    // Flushes what was written to disk and lets go of the journal: the run is over. Quiet.
    void close();
    // The file, once something was written.
    QString file() const { return file_; }

    // Where journals are kept.
    static QString folder();
    // The journals there, oldest first.
    static QStringList journals();
    // Throws Failure when the folder of the journals is not this user's own or other users may
    // write in it: a journal there may have been put there by anyone. Quiet when there is none.
    static void checkFolder();
    // Opens a journal for reading, checked to be this user's own file that no other user may
    // write, and locked, so that no other undo takes it back meanwhile. Gives nothing when a run
    // still holds it; throws Failure when it cannot be opened or trusted.
    static FileDescriptor hold(const QString& file);
    // Reads the journal open as descriptor. Throws Failure with why it cannot be read: nothing
    // is guessed.
    static Contents read(const QString& file, int descriptor);
    // Marks the journal's run as taken back. Throws Failure.
    static void markUndone(const QString& file);

    // SHA-256 of what the descriptor holds, from its start, in hexadecimal. Throws Failure.
    static QByteArray digestOf(int descriptor);

private:
    RunJournal() = default;
    void open();
    void writeLine(const QByteArray& line, bool flush);

    std::mutex mutex_;
    Kind kind_ = Kind::Set;
    QString undoes_;
    QString file_;
    FileDescriptor descriptor_;
};
