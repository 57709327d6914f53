#include "TaggedFile.h"

#include "FileIdentity.h"
#include "PathHelpers.h"
#include "ProcessTag.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Whether the name still leads to the file open at fd. The name is the system's own bytes, as
// made or listed, so it is examined as it is.
bool stillNamed(const QByteArray& path, int fd) {
    struct stat named {};
    struct stat open {};
    return ::lstat(path.constData(), &named) == 0 && ::fstat(fd, &open) == 0 &&
           FileIdentity::of(named) == FileIdentity::of(open);
}

} // namespace

TaggedFile::TaggedFile(TaggedFile&& other) noexcept
    : path_(std::exchange(other.path_, {})), lock_(std::move(other.lock_)) {}

TaggedFile& TaggedFile::operator=(TaggedFile&& other) noexcept {
    if (this != &other) {
        lock_ = std::move(other.lock_);
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

TaggedFile TaggedFile::create(const QString& folder, const QString& prefix, const QString& suffix) {
    QString start = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!start.endsWith(QLatin1Char('/')))
        start += QLatin1Char('/');
    const QByteArray form = PathHelpers::native(start + ProcessTag::leftoverName(prefix, suffix));
    const int suffixLength = int(PathHelpers::native(suffix).size());
    // Between creating the file and locking it, another run's sweep may find it unlocked and
    // remove it. The sweep removes only what it holds locked itself, so once the lock is ours
    // the file is safe: if the name no longer leads to it then, it went, and another is made.
    for (int attempt = 0; attempt < 16; ++attempt) {
        QByteArray pattern = form;
        FileDescriptor fd(::mkostemps(pattern.data(), suffixLength, O_CLOEXEC));
        if (!fd.isOpen())
            return {};
        int locked = 0;
        do
            locked = ::flock(fd.get(), LOCK_EX);
        while (locked != 0 && errno == EINTR);
        // A file system without locks keeps the file unlocked: no sweep can take its lock
        // either, so no sweep removes it.
        if (locked != 0 && errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) {
            const int error = errno;
            ::unlink(pattern.constData());
            fd.close();
            errno = error;
            return {};
        }
        if (stillNamed(pattern, fd.get()))
            return {QFile::decodeName(pattern), std::move(fd)};
    }
    // Every new file went at once: something removes whatever appears here.
    errno = EBUSY;
    return {};
}

int TaggedFile::removeLeftovers(const QString& folder, const QString& prefix,
                                const QString& suffix) {
    const QDir dir(folder);
    const QStringList names = dir.entryList({prefix + QLatin1Char('*') + suffix},
                                            QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : names) {
        const QString tag = ProcessTag::tagOf(name, prefix, suffix);
        // A live process is asked no further (a run of an earlier version holds no lock);
        // a process that is not seen may well run where its id means something else.
        if (tag.isEmpty() || ProcessTag::isLive(tag))
            continue;
        const QByteArray path = PathHelpers::native(dir.filePath(name));
        // Never blocks on a special file, never follows a link. A result killed just after it
        // got the mode of a file that is write-only for its owner opens for writing only.
        constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        FileDescriptor fd(::open(path.constData(), O_RDONLY | flags));
        if (!fd.isOpen() && errno == EACCES)
            fd = FileDescriptor(::open(path.constData(), O_WRONLY | flags));
        if (!fd.isOpen())
            continue;
        struct stat info {};
        // Removed only while locked by this sweep, and only if the name is still that file's.
        if (::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::getuid() &&
            ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 && stillNamed(path, fd.get()) &&
            ::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}
