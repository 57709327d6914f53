#include "PathHelpers.h"

#include "Failure.h"
#include "FileDescriptor.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PathHelpers {

namespace {

constexpr QChar separator = QLatin1Char('/');

} // namespace

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool PathExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(native(path).constData(), &info) == 0;
}

QString FileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(separator) + 1);
}

QString StripExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        throw Failure(QStringLiteral("Invalid procedure call or argument"));
    return name.left(dot);
}

int RenameWithoutReplacing(const QString& from, const QString& to) {
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A link fails where the name exists, as the rename would; the first name goes only once
    // the second is there.
    if (::link(source.constData(), target.constData()) != 0)
        return errno;
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData());
        return error;
    }
    return 0;
}

void SyncFolder(const QString& folder) {
    const FileDescriptor descriptor(
        ::open(native(folder.isEmpty() ? QStringLiteral(".") : folder).constData(),
               O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.isOpen())
        ::fsync(descriptor.get());
}

QString FolderOf(const QString& path) {
    return path.left(path.lastIndexOf(separator) + 1);
}

QString CollapseSlashes(const QString& path) {
    if (!path.contains(QStringLiteral("//")))
        return path;
    QString result;
    result.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        result.append(path.at(i));
        if (path.at(i) == separator && i + 1 < path.size() && path.at(i + 1) == separator)
            ++i; // the second of a pair is dropped; the scan goes on after the pair
    }
    return result;
}

bool IsFolder(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QString PlaceOf(const QString& path) {
    const QFileInfo info(path);
    const QString existing = info.canonicalFilePath();
    if (!existing.isEmpty())
        return existing;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + separator + info.fileName();
}

void RemoveFile(const QString& path) {
    QCoreApplication::processEvents();
    DiscardFile(path);
}

void DiscardFile(const QString& path) {
    // Missing or not deletable: the caller has nothing it could do about it.
    ::unlink(native(path).constData());
}

void ForceDeleteFile(const QString& path) {
    // A file the owner may not write can still be unlinked here, so there is nothing to clear
    // first; what remains is to say why the delete failed. The file's mode is left alone, so a
    // failed delete does not make the file writable as a side effect.
    if (::unlink(native(path).constData()) != 0)
        throw Failure(Failure::systemText(errno));
}

std::optional<int> FileAttributes(const QString& path) {
    const QByteArray name = native(path);
    struct stat own {};
    if (path.isEmpty() || ::lstat(name.constData(), &own) != 0)
        return std::nullopt;
    int attributes = 0;
    struct stat target = own;
    if (S_ISLNK(own.st_mode)) {
        attributes |= Alias;
        if (::stat(name.constData(), &target) != 0)
            return attributes; // a dangling link is only a link
    }
    if (!(target.st_mode & S_IWUSR))
        attributes |= ReadOnly;
    if (FileNameOf(path).startsWith(QLatin1Char('.')))
        attributes |= Hidden;
    if (S_ISDIR(target.st_mode))
        attributes |= Directory;
    else if (S_ISREG(target.st_mode))
        attributes |= Archive;
    return attributes;
}

void MakeOwnerWritable(const QString& path) {
    const QByteArray name = native(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        throw Failure(Failure::systemText(errno));
    if (!(info.st_mode & S_IWUSR) && ::chmod(name.constData(), info.st_mode | S_IWUSR) != 0)
        throw Failure(Failure::systemText(errno));
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

} // namespace PathHelpers
