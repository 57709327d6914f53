#include "FileStamp.h"

#include "PathHelpers.h"

#include <sys/stat.h>

std::optional<FileStamp> FileStamp::of(const QString& path) {
    struct stat info {};
    if (::stat(PathHelpers::native(path).constData(), &info) != 0)
        return std::nullopt;
    return of(info);
}

FileStamp FileStamp::of(const struct stat& info) {
    constexpr qint64 billion = 1000000000;
    return FileStamp{FileIdentity::of(info), info.st_size,
                     info.st_mtim.tv_sec * billion + info.st_mtim.tv_nsec,
                     info.st_ctim.tv_sec * billion + info.st_ctim.tv_nsec};
}
