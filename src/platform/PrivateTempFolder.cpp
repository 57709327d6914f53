#include "PrivateTempFolder.h"

#include "Failure.h"
#include "FileDescriptor.h"
#include "PathHelpers.h"
#include "TaggedFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString describe(const QString& what, const QString& path, int error) {
    return QStringLiteral("%1 %2: %3").arg(what, path, Failure::systemText(error));
}

bool usableBase(const QString& folder) {
    return !folder.isEmpty() && QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir();
}

struct FileName {
    const char* prefix;
    const char* suffix;
};
// In the order of PrivateTempFolder::Kind.
constexpr FileName exchangeFiles[] = {{"info-", ".txt"}, {"result-", ".txt"}, {"copy-", ".pdf"}};

} // namespace

QString PrivateTempFolder::path() {
    QString folder = qEnvironmentVariable("TEMP");
    if (!usableBase(folder))
        folder = QDir::tempPath();
    if (!usableBase(folder))
        folder = QStringLiteral("/tmp");
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("metascribe-") + QString::number(::getuid());
}

namespace {

// Why folder is not this user's private folder, after making it one where it may be: created
// when missing, its mode tightened to 0700. Empty when it is one.
QString whyNotPrivate(const QString& folder) {
    const QByteArray name = PathHelpers::native(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return describe(QStringLiteral("Could not create the temporary folder"), folder, errno);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return describe(QStringLiteral("Could not examine the temporary folder"), folder, errno);
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return QStringLiteral("The temporary folder %1 is not a private folder of this user (it "
                              "is a link, not a folder, or owned by someone else)")
            .arg(folder);
    if ((info.st_mode & 0777) != 0700 && ::chmod(name.constData(), 0700) != 0)
        return describe(QStringLiteral("Could not make the temporary folder private"), folder,
                        errno);
    return {};
}

// A folder of its own for this process, for when the usual name is taken: another user can
// create "/tmp/metascribe-<uid>" before this user's first run, and would otherwise stop every
// run of this user. The desktop's runtime folder is private to the user by design; without one,
// a new folder under a name no one can foresee. Made once per process and usual name.
QString fallbackFor(const QString& usual) {
    static std::mutex guard;
    static QString madeFor;
    static QString made;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString wanted = usual + QChar(0) + runtime;
    std::lock_guard lock(guard);
    if (madeFor == wanted && !made.isEmpty() && whyNotPrivate(made).isEmpty())
        return made;
    QString folder = runtime + QStringLiteral("/metascribe");
    if (!usableBase(runtime) || !whyNotPrivate(folder).isEmpty()) {
        QByteArray pattern = PathHelpers::native(usual) + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return {};
        folder = QFile::decodeName(pattern);
    }
    madeFor = wanted;
    made = folder;
    return made;
}

} // namespace

QString PrivateTempFolder::ensure() {
    const QString folder = path();
    const QString problem = whyNotPrivate(folder);
    if (problem.isEmpty())
        return folder;
    // Only a name that someone else may have taken: a link, or what another user owns. What
    // this user put there is theirs to clear, and the failure says where it is.
    struct stat info {};
    if (::lstat(PathHelpers::native(folder).constData(), &info) != 0 ||
        (!S_ISLNK(info.st_mode) && info.st_uid == ::getuid()))
        throw Failure(problem);
    const QString fallback = fallbackFor(folder);
    if (fallback.isEmpty())
        throw Failure(problem);
    return fallback;
}

TaggedFile PrivateTempFolder::createFile(Kind kind) {
    const QString folder = ensure();
    const FileName& name = exchangeFiles[static_cast<int>(kind)];
    TaggedFile file =
        TaggedFile::create(folder, QLatin1String(name.prefix), QLatin1String(name.suffix));
    if (file.isEmpty())
        throw Failure(describe(QStringLiteral("Could not create a file in"), folder, errno));
    return file;
}

void PrivateTempFolder::removeLeftovers() {
    QString folder;
    try {
        folder = ensure();
    } catch (const Failure&) {
        return;
    }
    for (const FileName& name : exchangeFiles)
        TaggedFile::removeLeftovers(folder, QLatin1String(name.prefix), QLatin1String(name.suffix));
}

void PrivateTempFolder::writeFile(const QString& path, const QByteArray& bytes) {
    // Cut to length after writing rather than emptied first: a file rewritten for every file of
    // a run keeps its block, and giving a block back can cost a trip to the disk (discard).
    FileDescriptor file(::open(PathHelpers::native(path).constData(),
                               O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0)
        throw Failure(describe(QStringLiteral("Could not create"), path, errno));
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.get(), bytes.constData() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure(describe(QStringLiteral("Could not write"), path, errno));
        written += n;
    }
    if (::ftruncate(file.get(), bytes.size()) != 0 || file.close() != 0)
        throw Failure(describe(QStringLiteral("Could not write"), path, errno));
}

QByteArray PrivateTempFolder::readFile(const QString& path) {
    FileDescriptor file(
        ::open(PathHelpers::native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.get() < 0)
        throw Failure(describe(QStringLiteral("Could not open"), path, errno));
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure(describe(QStringLiteral("Could not read"), path, errno));
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}
