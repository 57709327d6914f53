#pragma once

#include "Failure.h"
#include "FileStamp.h"
#include "TaggedFile.h"

#include <QString>
#include <ctime>
#include <memory>
#include <optional>

class OriginalKeeper;

// A changed document on its way to its destination. The toolkit writes into a new, uniquely
// named file beside the destination; only a checked result replaces the destination, in one
// rename, so the destination is either the old file or the whole new one, never a mix. A file
// that is not committed is removed.
class OutputFile {
public:
    // Why the destination could not be written.
    class Refused : public Failure {
    public:
        // The system's words for why it refused the write.
        Refused(const QString& description, bool permissionDenied)
            : Failure(description), permissionDenied_(permissionDenied) {}
        // A refusal of our own, whose text is the whole reason.
        static Refused withReason(const QString& reason);
        // The file system refused this user the write (as opposed to a full disk, say).
        bool permissionDenied() const { return permissionDenied_; }
        // What the file's outcome says.
        QString reason() const;

    private:
        bool permissionDenied_;
        bool whole_ = false;
    };

    // What a destination that is a symbolic link stands for.
    enum class Link {
        // The link is the input itself, changed in place: its target is replaced, the link stays.
        Follow,
        // Anything else, a results folder above all: a link there may point anywhere, even into
        // someone else's files, so a result is never written through it.
        Refuse,
    };

    // Creates the temporary file in the folder of the file to be replaced. Throws Refused, also
    // for a link that is not to be followed.
    explicit OutputFile(const QString& destination, Link link = Link::Refuse);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // How the result for input is to treat destination. A destination that is the input's own
    // name (in place, or a result over its original) is the input changed in place: a link
    // there keeps being a link and its target is changed. Any other destination is never
    // written through a link.
    static Link linkFor(const QString& input, const QString& destination);
    // The file a destination stands for: a link is followed to what it points to.
    static QString resolveLink(const QString& destination);
    // Removes what killed runs left in folder; never a file that a live run holds locked.
    static int removeLeftovers(const QString& folder);

    // A file's access and modification times, which a result can be given in place of its own.
    struct Times {
        struct timespec accessed {};
        struct timespec modified {};
    };
    // Nothing when the file cannot be examined. Links are followed.
    static std::optional<Times> timesOf(const QString& path);

    QString temporaryPath() const { return temporary_; }
    // The file that will be replaced: the destination, or what it links to.
    QString target() const { return target_; }

    // True when the result is a whole PDF file: not empty, "%PDF-" at the start and "%%EOF"
    // within its last 1024 bytes.
    bool looksComplete() const;
    static bool looksComplete(const QString& path);

    // Why this user may not replace the existing target ("the file is read-only"); an empty
    // text when they may, or when there is none (a missing target may be created).
    QString whyNotWritable() const;

    // The target must still be this file when the result replaces it: the file that was read.
    void expect(const FileStamp& stamp) { expected_ = stamp; }
    // The file the result replaces is kept in the Trash by keeper right before the rename; a
    // file that cannot be kept is not replaced.
    void keepOriginalWith(std::shared_ptr<OriginalKeeper> keeper) { keeper_ = std::move(keeper); }
    // The result carries times instead of the moment it was written: given to it with its other
    // details, before it is flushed and renamed, so that a result in place always has them.
    void keepTimes(const Times& times) { times_ = times; }

    // Gives the result the owner, group, mode, access list and extended attributes of the file
    // it replaces, flushes it to disk and renames it over the target, unless another program
    // writes or has changed that file. Gives a note for the file's outcome when the replaced
    // file has other names, which keep the old content. Throws Refused.
    QString commit();
    // commit() in its steps, so that a group of results is flushed together, each still before
    // its own rename: gives the result the details of the file it replaces (which stays open
    // until the last step), flushes it, makes sure the file to be replaced is still the one that
    // was read and keeps it in the Trash, and renames the result over it. Each throws Refused;
    // after a throw the commit is over.
    void prepareCommit();
    // Starts writing the result to the disk, without waiting; flush() waits for it.
    void startFlush();
    void flush();
    // Without flushNow, the original's name in the Trash must be flushed by flushKept() before
    // replace().
    void keepOriginal(bool flushNow);
    void flushKept();
    QString replace();
    // Removes the temporary file, if it is still there.
    void discard();

private:
    // Gives the result the times it keeps, if any. Throws Refused.
    void giveTimes();

    QString target_;
    QString temporary_;
    // Held while the result is in the making, so that no other run takes it for a leftover.
    TaggedFile held_;
    std::optional<FileStamp> expected_;
    std::shared_ptr<OriginalKeeper> keeper_;
    std::optional<Times> times_;
    struct Replaced;
    std::unique_ptr<Replaced> replaced_;
    bool committed_ = false;
};
