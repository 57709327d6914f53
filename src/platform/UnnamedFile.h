#pragma once

#include "FileDescriptor.h"

#include <QString>

// A file that has no name in any folder, for what must not outlive the program in readable form
// (a protected document with its protection taken off): however the program ends, even killed,
// nothing of it is left on disk, because the system frees a file without a name with its last
// descriptor. It lives on the file system of a folder where that file system can hold such a
// file (O_TMPFILE), so that a large document does not take memory, and in memory (memfd)
// elsewhere.
class UnnamedFile {
public:
    // Creates an empty file of no name, readable and writable by its owner only. Throws Failure.
    static UnnamedFile create(const QString& folder);

    UnnamedFile(UnnamedFile&& other) noexcept;
    UnnamedFile& operator=(UnnamedFile&& other) noexcept;
    UnnamedFile(const UnnamedFile&) = delete;
    UnnamedFile& operator=(const UnnamedFile&) = delete;

    // "/proc/<pid>/fd/<n>": a path by which this process, and the programs it starts as the
    // same user, open the file, for reading and for writing, while this object lives.
    QString path() const { return path_; }

private:
    UnnamedFile(FileDescriptor fd, QString path) : fd_(std::move(fd)), path_(std::move(path)) {}

    FileDescriptor fd_;
    QString path_;
};
