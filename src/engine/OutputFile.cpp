#include "OutputFile.h"

#include "Failure.h"
#include "PathHelpers.h"
#include "TaggedFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

[[noreturn]] void fail(int error) {
    throw OutputFile::Refused(Failure::systemText(error),
                              error == EACCES || error == EPERM || error == EROFS);
}

} // namespace

// However many links deep, so the link itself is kept.
QString OutputFile::resolveLink(const QString& destination) {
    const QFileInfo info(destination);
    if (!info.isSymLink())
        return destination;
    const QString target = info.canonicalFilePath();
    // A dangling link: write where it points.
    return target.isEmpty() ? info.symLinkTarget() : target;
}

namespace {

// The umask belongs to the whole process and can only be read by setting it, so it is read once
// while the program starts, before any other thread could create a file in between.
mode_t readUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
const mode_t startUmask = readUmask();

const QString temporaryPrefix = QStringLiteral(".metascribe-");
const QString temporarySuffix = QStringLiteral(".pdf");

} // namespace

OutputFile::OutputFile(const QString& destination) : target_(resolveLink(destination)) {
    // Hidden, named after the program so that a user who sees one knows whose it is, and after
    // this process; held locked, so that a later run can tell a killed run's leftover from a live
    // run's file.
    held_ = TaggedFile::create(PathHelpers::FolderOf(target_), temporaryPrefix, temporarySuffix);
    temporary_ = held_.path();
    if (temporary_.isEmpty())
        fail(errno);
}

int OutputFile::removeLeftovers(const QString& folder) {
    return TaggedFile::removeLeftovers(folder.isEmpty() ? QStringLiteral(".") : folder,
                                       temporaryPrefix, temporarySuffix);
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::looksComplete() const {
    return looksComplete(temporary_);
}

bool OutputFile::looksComplete(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return false;
    if (file.read(5) != "%PDF-")
        return false;
    const qint64 tail = qMin<qint64>(file.size(), 1024);
    if (!file.seek(file.size() - tail))
        return false;
    return file.read(tail).contains("%%EOF");
}

bool OutputFile::targetWritable() const {
    struct stat info {};
    if (::stat(native(target_).constData(), &info) != 0)
        return true;
    return info.st_mode & S_IWUSR;
}

void OutputFile::commit() {
    const QByteArray temporary = native(temporary_);
    struct stat replaced {};
    const mode_t mode = ::stat(native(target_).constData(), &replaced) == 0
                            ? replaced.st_mode & 07777
                            : 0666 & ~startUmask;
    const int fd = ::open(temporary.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        fail(errno);
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        fail(error);
    }
    ::close(fd);
    if (::rename(temporary.constData(), native(target_).constData()) != 0)
        fail(errno);
    committed_ = true;
}

void OutputFile::discard() {
    if (!committed_ && !temporary_.isEmpty())
        ::unlink(native(temporary_).constData());
    temporary_.clear();
}
