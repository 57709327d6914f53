#pragma once

#include "FileDescriptor.h"

#include <QString>

// Exchange and temporary files named after the process that made them
// ("<prefix><pid>.<start>-XXXXXX<suffix>"), so that no two processes or runs ever share one and a
// user who finds one can tell whose it is. Whether a file is still in use is told by a lock, not
// by the name: the file is held under an exclusive flock() for as long as this object lives, and
// a killed process lets go of it with its descriptors. A process id means nothing in another PID
// namespace (a container, a sandbox, a network file system seen from two machines), a lock means
// the same everywhere the file is seen.
class TaggedFile {
public:
    TaggedFile() = default;
    // The lock goes with the descriptor; the file itself stays where it is.
    TaggedFile(TaggedFile&& other) noexcept;
    TaggedFile& operator=(TaggedFile&& other) noexcept;
    TaggedFile(const TaggedFile&) = delete;
    TaggedFile& operator=(const TaggedFile&) = delete;

    // Creates a new, empty file of that form in folder, readable and writable by its owner only,
    // and holds its lock; an empty object with errno set when it cannot be created.
    static TaggedFile create(const QString& folder, const QString& prefix, const QString& suffix);

    QString path() const { return path_; }
    // The descriptor that holds the lock, open for reading and writing; -1 when empty. Working
    // through it spares opening the file again, and on file systems whose flock is a POSIX
    // lock, closing another descriptor of ours on the file would let go of the lock.
    int descriptor() const { return lock_.get(); }
    bool isEmpty() const { return path_.isEmpty(); }

    // Removes the files of that form in folder that belong to this user and that no one holds
    // locked, unless the process their name gives is seen running; never a link, a folder or a
    // file of another name. Gives how many went.
    static int removeLeftovers(const QString& folder, const QString& prefix, const QString& suffix);

private:
    TaggedFile(QString path, FileDescriptor lock)
        : path_(std::move(path)), lock_(std::move(lock)) {}

    QString path_;
    FileDescriptor lock_;
};
