#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

// Which file it is, whatever names it has: its device and inode. Two paths (two spellings, a
// link, a hard link) name the same file exactly when their identities are equal, and a file
// renamed into a path's place has another identity than the one that was there.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FileIdentity&) const = default;

    // Whether a link at the end of a path is followed to what it points to (stat()) or is the
    // file looked at itself (lstat()).
    enum class Links { Followed, NotFollowed };

    // The identity of what stat(), lstat() or fstat() told.
    static FileIdentity of(const struct stat& info);
    // Nothing when the path cannot be examined.
    static std::optional<FileIdentity> of(const QString& path, Links links);
    // The file open as descriptor; nothing when fstat() fails.
    static std::optional<FileIdentity> of(int descriptor);
};

// So that files can be told apart in a hash, by which file they are.
size_t qHash(const FileIdentity& identity, size_t seed = 0) noexcept;
