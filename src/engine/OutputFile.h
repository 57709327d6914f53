#pragma once

#include "Failure.h"
#include "TaggedFile.h"

#include <QString>

// A changed document on its way to its destination. The toolkit writes into a new, uniquely
// named file beside the destination; only a checked result replaces the destination, in one
// rename, so the destination is either the old file or the whole new one, never a mix. A file
// that is not committed is removed.
class OutputFile {
public:
    // Why the destination could not be written.
    class Refused : public Failure {
    public:
        Refused(const QString& description, bool permissionDenied)
            : Failure(description), permissionDenied_(permissionDenied) {}
        // The file system refused this user the write (as opposed to a full disk, say).
        bool permissionDenied() const { return permissionDenied_; }

    private:
        bool permissionDenied_;
    };

    // Resolves a destination that is a link to the file it points to (the link stays) and
    // creates the temporary file in that file's folder. Throws Refused.
    explicit OutputFile(const QString& destination);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // The file a destination stands for: a link is followed to what it points to.
    static QString resolveLink(const QString& destination);
    // Removes what killed runs left in folder; never a file that a live run holds locked.
    static int removeLeftovers(const QString& folder);

    QString temporaryPath() const { return temporary_; }
    // The file that will be replaced: the destination, or what it links to.
    QString target() const { return target_; }

    // True when the result is a whole PDF file: not empty, "%PDF-" at the start and "%%EOF"
    // within its last 1024 bytes.
    bool looksComplete() const;
    static bool looksComplete(const QString& path);

    // Whether the owner may write the existing target (a missing target may be created).
    bool targetWritable() const;

    // Gives the result the mode of the file it replaces, flushes it to disk and renames it over
    // the target. Throws Refused.
    void commit();
    // Removes the temporary file, if it is still there.
    void discard();

private:
    QString target_;
    QString temporary_;
    // Held while the result is in the making, so that no other run takes it for a leftover.
    TaggedFile held_;
    bool committed_ = false;
};
