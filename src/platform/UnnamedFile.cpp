#include "UnnamedFile.h"

#include "Failure.h"
#include "FileIdentity.h"
#include "PathHelpers.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace {

// Without O_EXCL: a file made this way could be linked into a folder later, which nothing here
// does, and the path under /proc opens it like any other file.
int unnamedOn(const QString& folder) {
    return ::open(PathHelpers::native(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

} // namespace

UnnamedFile UnnamedFile::create(const QString& folder) {
    FileDescriptor fd(unnamedOn(folder));
    // A file system without such files (or an old kernel) says so in one of these ways; the
    // file is then held in memory.
    if (!fd.isOpen() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = FileDescriptor(::memfd_create("metascribe", MFD_CLOEXEC));
    if (!fd.isOpen())
        throw Failure(QStringLiteral("could not create a file without a name: ") +
                      Failure::systemText(errno));
    const QString path = QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd.get());
    // A /proc of another PID namespace would lead elsewhere, or nowhere.
    const std::optional<FileIdentity> open = FileIdentity::of(fd.get());
    if (!open || *open != FileIdentity::of(path, FileIdentity::Links::Followed))
        throw Failure(QStringLiteral("could not create a file without a name: this process "
                                     "cannot be found in /proc"));
    return {std::move(fd), path};
}

UnnamedFile::UnnamedFile(UnnamedFile&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::exchange(other.path_, {})) {}

UnnamedFile& UnnamedFile::operator=(UnnamedFile&& other) noexcept {
    if (this != &other) {
        fd_ = std::move(other.fd_);
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}
