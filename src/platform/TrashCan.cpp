#include "TrashCan.h"

#include "Failure.h"
#include "FileDescriptor.h"
#include "FileIdentity.h"
#include "PathHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

using PathHelpers::native;

[[noreturn]] void failWith(const QString& what, int error) {
    throw Failure(what + QStringLiteral(": ") + Failure::systemReason(error));
}

// A folder of this user's, made (private) when missing; never a link.
bool ownFolder(const QString& path) {
    const QByteArray name = native(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

QString realFolder(const QString& folder) {
    char resolved[PATH_MAX];
    return ::realpath(native(folder).constData(), resolved) ? QFile::decodeName(resolved) : folder;
}

// The top folder of the mount that holds folder: the last one upwards on the same device.
QString mountTop(const QString& folder, dev_t device) {
    QString top = realFolder(folder);
    while (top != QStringLiteral("/")) {
        const QString parent = QFileInfo(top).path();
        struct stat info {};
        if (::stat(native(parent).constData(), &info) != 0 || info.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

void flushFolder(const QString& folder) {
    FileDescriptor descriptor(
        ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!descriptor.isOpen())
        failWith(QStringLiteral("could not open the Trash"), errno);
    const int flushed = ::fsync(descriptor.get());
    const int error = errno;
    descriptor.close();
    if (flushed != 0)
        failWith(QStringLiteral("could not write the Trash"), error);
}

bool writeAll(int descriptor, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(descriptor, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

TrashCan TrashCan::forPath(const QString& path) {
    struct stat file {};
    if (::stat(native(path).constData(), &file) != 0)
        failWith(QStringLiteral("could not examine it"), errno);
    // The home Trash takes the files on its own device.
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QDir().mkpath(dataHome);
    struct stat home {};
    const bool homeHere =
        ::stat(native(dataHome).constData(), &home) == 0 && home.st_dev == file.st_dev;
    QString folder;
    QString top;
    if (homeHere) {
        folder = dataHome + QStringLiteral("/Trash");
    } else {
        // A mount's own Trash: the administrator's shared .Trash, if it is a real folder with the
        // sticky bit, holds one folder per user; otherwise the user's own .Trash-$uid.
        top = mountTop(QFileInfo(path).absolutePath(), file.st_dev);
        const QString uid = QString::number(::geteuid());
        const QString shared =
            (top == QStringLiteral("/") ? QString() : top) + QStringLiteral("/.Trash");
        struct stat sharedInfo {};
        const bool useShared = ::lstat(native(shared).constData(), &sharedInfo) == 0 &&
                               S_ISDIR(sharedInfo.st_mode) && (sharedInfo.st_mode & S_ISVTX);
        folder = useShared ? shared + QLatin1Char('/') + uid : shared + QLatin1Char('-') + uid;
    }
    for (const QString& made :
         {folder, folder + QStringLiteral("/files"), folder + QStringLiteral("/info")}) {
        if (!ownFolder(made))
            failWith(QStringLiteral("there is no Trash this user may use at ") + folder, errno);
    }
    struct stat trash {};
    if (::stat(native(folder).constData(), &trash) != 0)
        failWith(QStringLiteral("could not examine the Trash"), errno);
    if (trash.st_dev != file.st_dev)
        throw Failure(QStringLiteral("the Trash ") + folder +
                      QStringLiteral(" is on another file system"));
    return TrashCan(folder, top, file.st_dev);
}

QString TrashCan::candidateName(const QString& baseName, int attempt) {
    if (attempt <= 1)
        return baseName;
    const qsizetype dot = baseName.lastIndexOf(QLatin1Char('.'));
    const QString number = QLatin1Char('.') + QString::number(attempt);
    return dot > 0 ? baseName.left(dot) + number + baseName.mid(dot) : baseName + number;
}

QString TrashCan::pathEntry(const QString& path) const {
    QString entry = path;
    if (!topFolder_.isEmpty()) {
        // Relative to the mount's top, so the entry holds wherever the mount is mounted.
        const QFileInfo info(path);
        entry = QDir(topFolder_)
                    .relativeFilePath(realFolder(info.absolutePath()) + QLatin1Char('/') +
                                      info.fileName());
    }
    return QString::fromLatin1(QUrl::toPercentEncoding(entry, "/"));
}

void TrashCan::flushKept() const {
    flushFolder(folder_ + QStringLiteral("/files"));
}

TrashCan::Item TrashCan::keep(const QString& path, int descriptor, bool flushNow) const {
    const QString baseName = QFileInfo(path).fileName();
    const QByteArray description =
        QByteArrayLiteral("[Trash Info]\nPath=") + pathEntry(path).toLatin1() +
        QByteArrayLiteral("\nDeletionDate=") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
        '\n';
    const QByteArray open = "/proc/self/fd/" + QByteArray::number(descriptor);
    for (int attempt = 1; attempt < 100000; ++attempt) {
        const QString name = candidateName(baseName, attempt);
        Item item{folder_ + QStringLiteral("/files/") + name,
                  folder_ + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo")};
        const QByteArray info = native(item.info);
        // The description's name is what claims a name in the Trash: taken here, no other
        // program uses it, whatever it finds under files/.
        FileDescriptor written(
            ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!written.isOpen() && errno == EEXIST)
            continue;
        if (!written.isOpen())
            failWith(QStringLiteral("could not write its description"), errno);
        const bool ok = writeAll(written.get(), description);
        const int writeError = errno;
        written.close();
        if (!ok) {
            ::unlink(info.constData());
            failWith(QStringLiteral("could not write its description"), writeError);
        }
        // The very file that is held open gets the second name, whatever the path names now.
        if (::linkat(AT_FDCWD, open.constData(), AT_FDCWD, native(item.file).constData(),
                     AT_SYMLINK_FOLLOW) != 0) {
            const int error = errno;
            ::unlink(info.constData());
            if (error == EEXIST)
                continue;
            if (error == EPERM || error == EMLINK)
                failWith(QStringLiteral("the file system did not give it a second name (a hard "
                                        "link)"),
                         error);
            failWith(QStringLiteral("could not give it a name in the Trash"), error);
        }
        // What a replacement must wait for is the second name on disk: only that keeps the
        // original whatever happens to the machine. On the usual file systems (ext4 orders its
        // journal) the description's name and the run's journal line reach the disk with it;
        // flush() makes sure of both once the run is over, instead of costing two more waits for
        // the disk per file.
        try {
            if (flushNow)
                flushKept();
        } catch (const Failure&) {
            ::unlink(native(item.file).constData());
            ::unlink(info.constData());
            throw;
        }
        return item;
    }
    throw Failure(QStringLiteral("every name for it in the Trash is taken"));
}

void TrashCan::flush() const {
    const FileDescriptor descriptor(
        ::open(native(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (descriptor.isOpen())
        ::syncfs(descriptor.get());
}

void TrashCan::withdraw(const Item& item, const struct stat& kept) {
    if (FileIdentity::of(item.file, FileIdentity::Links::NotFollowed) == FileIdentity::of(kept))
        ::unlink(native(item.file).constData());
    ::unlink(native(item.info).constData());
}

bool TrashCan::describes(const Item& item, const QString& path) {
    const QFileInfo kept(item.file);
    const QString name = kept.fileName();
    const QString files = kept.path();
    const QString folder = QFileInfo(files).path();
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral("..") ||
        QFileInfo(files).fileName() != QStringLiteral("files") ||
        item.info != folder + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"))
        return false;
    for (const QString& part : {folder, files, folder + QStringLiteral("/info")}) {
        struct stat info {};
        if (::lstat(native(part).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid())
            return false;
    }
    const FileDescriptor descriptor(
        ::open(native(item.info).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    // keep() writes a few hundred bytes at most; a bigger file is none of its descriptions.
    constexpr off_t longest = 65536;
    if (!descriptor.isOpen() || ::fstat(descriptor.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_uid != ::geteuid() || info.st_size > longest)
        return false;
    QFile description;
    if (!description.open(descriptor.get(), QIODevice::ReadOnly, QFile::DontCloseHandle))
        return false;
    const QList<QByteArray> lines = description.read(longest).split('\n');
    if (lines.isEmpty() || lines.first() != QByteArrayLiteral("[Trash Info]"))
        return false;
    QByteArray entry;
    for (const QByteArray& line : lines)
        if (line.startsWith("Path="))
            entry = line.mid(5);
    if (entry.isEmpty())
        return false;
    // A mount's Trash ($topdir/.Trash-$uid or $topdir/.Trash/$uid) gives paths relative to the
    // mount's top, the home Trash absolute ones; either way the entry must read as keep() wrote
    // it for path.
    QString top;
    if (!entry.startsWith('/')) {
        const QFileInfo trash(folder);
        top = trash.fileName().startsWith(QStringLiteral(".Trash-"))
                  ? trash.path()
                  : QFileInfo(trash.path()).path();
        if (top.isEmpty())
            return false;
    }
    return TrashCan(folder, top, info.st_dev).pathEntry(path).toLatin1() == entry;
}

void TrashCan::putBack(const Item& item, const QString& path) {
    if (::rename(native(item.file).constData(), native(path).constData()) != 0)
        failWith(QStringLiteral("could not put it back"), errno);
    ::unlink(native(item.info).constData());
}
