#include "FileIdentity.h"

#include "PathHelpers.h"

#include <QHashFunctions>

FileIdentity FileIdentity::of(const struct stat& info) {
    return FileIdentity{info.st_dev, info.st_ino};
}

std::optional<FileIdentity> FileIdentity::of(const QString& path, Links links) {
    const QByteArray name = PathHelpers::native(path);
    struct stat info {};
    const int examined = links == Links::Followed ? ::stat(name.constData(), &info)
                                                  : ::lstat(name.constData(), &info);
    if (examined != 0)
        return std::nullopt;
    return of(info);
}

std::optional<FileIdentity> FileIdentity::of(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        return std::nullopt;
    return of(info);
}

size_t qHash(const FileIdentity& identity, size_t seed) noexcept {
    return qHashMulti(seed, identity.device, identity.inode);
}
