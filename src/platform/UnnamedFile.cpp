#include "UnnamedFile.h"

#include "Failure.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Without O_EXCL: a file made this way could be linked into a folder later, which nothing here
// does, and the path under /proc opens it like any other file.
int unnamedOn(const QString& folder) {
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

} // namespace

UnnamedFile UnnamedFile::create(const QString& folder) {
    int fd = unnamedOn(folder);
    // A file system without such files (or an old kernel) says so in one of these ways; the
    // file is then held in memory.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = ::memfd_create("metascribe", MFD_CLOEXEC);
    if (fd < 0)
        throw Failure(QStringLiteral("could not create a file without a name: ") +
                      Failure::systemText(errno));
    const QString path = QStringLiteral("/proc/%1/fd/%2").arg(::getpid()).arg(fd);
    // A /proc of another PID namespace would lead elsewhere, or nowhere.
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0 ||
        open.st_dev != named.st_dev || open.st_ino != named.st_ino) {
        ::close(fd);
        throw Failure(QStringLiteral("could not create a file without a name: this process "
                                     "cannot be found in /proc"));
    }
    return {fd, path};
}

UnnamedFile::~UnnamedFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

UnnamedFile::UnnamedFile(UnnamedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::exchange(other.path_, {})) {}

UnnamedFile& UnnamedFile::operator=(UnnamedFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}
