#pragma once

#include "FileIdentity.h"

#include <QString>
#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

// What tells whether a file is still the one that was looked at: which file it is (so a file
// renamed into its place is a different one) and when its content or its details last changed.
struct FileStamp {
    FileIdentity identity;
    off_t size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;  // nanoseconds

    bool operator==(const FileStamp&) const = default;

    // Nothing when the file cannot be examined. Links are followed.
    static std::optional<FileStamp> of(const QString& path);
    // The stamp of what stat() or fstat() told.
    static FileStamp of(const struct stat& info);
};
