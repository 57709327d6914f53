#include "RunJournal.h"

#include "Failure.h"
#include "PathHelpers.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString suffix = QStringLiteral(".journal");

using PathHelpers::native;

[[noreturn]] void cannotWrite(int error) {
    throw Failure(QStringLiteral("could not write the run's journal: ") +
                  Failure::systemReason(error));
}

QString kindName(RunJournal::Kind kind) {
    switch (kind) {
    case RunJournal::Kind::Set:
        return QStringLiteral("set");
    case RunJournal::Kind::Rename:
        return QStringLiteral("rename");
    case RunJournal::Kind::Undo:
        break;
    }
    return QStringLiteral("undo");
}

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Whether users other than this one may write what info describes. A group's write counts
// unless the group is this user's own private group (named after the user, no other members),
// which the usual umask of 002 leaves on the folders a user makes.
bool writableByOthers(const struct stat& info) {
    if (info.st_mode & S_IWOTH)
        return true;
    if (!(info.st_mode & S_IWGRP))
        return false;
    const struct passwd* user = ::getpwuid(::geteuid());
    const struct group* group = ::getgrgid(info.st_gid);
    if (!user || !group || std::strcmp(user->pw_name, group->gr_name) != 0)
        return true;
    for (char** member = group->gr_mem; *member; ++member) {
        if (std::strcmp(*member, user->pw_name) != 0)
            return true;
    }
    return false;
}

} // namespace

RunJournal::RunJournal(Kind kind, QString undoes) : kind_(kind), undoes_(std::move(undoes)) {}

RunJournal RunJournal::resume(const QString& file) {
    RunJournal journal;
    journal.kind_ = Kind::Undo;
    journal.file_ = file;
    journal.descriptor_ =
        FileDescriptor(::open(native(file).constData(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (!journal.descriptor_.isOpen())
        cannotWrite(errno);
    return journal;
}

RunJournal::RunJournal(RunJournal&& other) noexcept
    : kind_(other.kind_), undoes_(std::move(other.undoes_)), file_(std::move(other.file_)),
      descriptor_(std::move(other.descriptor_)) {}

RunJournal::~RunJournal() = default;

QString RunJournal::folder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/metascribe");
}

QStringList RunJournal::journals() {
    const QDir dir(folder());
    QStringList found;
    // Named by the time they were started, in UTC, so the names sort as the runs came.
    for (const QString& name :
         dir.entryList({QLatin1Char('*') + suffix}, QDir::Files | QDir::Hidden, QDir::Name))
        found << dir.filePath(name);
    return found;
}

void RunJournal::checkFolder() {
    struct stat info {};
    if (::lstat(native(folder()).constData(), &info) != 0)
        return;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("the folder ") + folder() +
                      QStringLiteral(" of the journals is not this user's own"));
    if (writableByOthers(info))
        throw Failure(QStringLiteral("the folder ") + folder() +
                      QStringLiteral(" of the journals may be written by other users"));
}

FileDescriptor RunJournal::hold(const QString& file) {
    FileDescriptor descriptor(
        ::open(native(file).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!descriptor.isOpen() || ::fstat(descriptor.get(), &info) != 0) {
        const int error = errno;
        throw Failure(QStringLiteral("the journal ") + file + QStringLiteral(" cannot be read: ") +
                      Failure::systemReason(error));
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        throw Failure(QStringLiteral("the journal ") + file +
                      QStringLiteral(" is not this user's own"));
    if (writableByOthers(info))
        throw Failure(QStringLiteral("the journal ") + file +
                      QStringLiteral(" may be written by other users"));
    int locked = 0;
    do
        locked = ::flock(descriptor.get(), LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0 && errno == EWOULDBLOCK)
        return {};
    // A file system without locks cannot tell: the run is taken to be over, as before there
    // were locks.
    return descriptor;
}

void RunJournal::open() {
    // Private, so that no other user can put a journal of theirs among this user's.
    if (!QDir().mkpath(QFileInfo(folder()).path()))
        cannotWrite(EACCES);
    if (::mkdir(native(folder()).constData(), 0700) != 0 && errno != EEXIST)
        cannotWrite(errno);
    const QString name =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz-")) +
        QString::number(::getpid()) + suffix;
    const QString path = folder() + QLatin1Char('/') + name;
    descriptor_ = FileDescriptor(
        ::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600));
    if (!descriptor_.isOpen())
        cannotWrite(errno);
    // Held for as long as the run goes on, before anything is in it: an undo that finds the
    // journal locked knows the run may replace more files yet.
    int locked = 0;
    do
        locked = ::flock(descriptor_.get(), LOCK_EX);
    while (locked != 0 && errno == EINTR);
    file_ = path;
    QJsonObject header{{QStringLiteral("journal"), QStringLiteral("metascribe")},
                       {QStringLiteral("kind"), kindName(kind_)}};
    if (!undoes_.isEmpty())
        header.insert(QStringLiteral("undoes"), undoes_);
    writeLine(jsonLine(header), true);
    // The journal's own name must last as long as the lines in it.
    PathHelpers::SyncFolder(folder());
}

void RunJournal::writeLine(const QByteArray& line, bool flush) {
    // One write of the whole line; one that falls short (a full disk) is cut off again, so the
    // next line starts on a line of its own.
    const off_t end = ::lseek(descriptor_.get(), 0, SEEK_END);
    const ssize_t written = ::write(descriptor_.get(), line.constData(), line.size());
    if (written != line.size()) {
        const int error = written < 0 ? errno : ENOSPC;
        if (end >= 0 && ::ftruncate(descriptor_.get(), end) != 0)
            cannotWrite(errno);
        cannotWrite(error);
    }
    if (flush && ::fdatasync(descriptor_.get()) != 0)
        cannotWrite(errno);
}

void RunJournal::close() {
    std::lock_guard lock(mutex_);
    if (descriptor_.isOpen())
        ::fdatasync(descriptor_.get());
    descriptor_.close();
}

void RunJournal::sync() {
    std::lock_guard lock(mutex_);
    if (descriptor_.isOpen() && ::fdatasync(descriptor_.get()) != 0)
        cannotWrite(errno);
}

void RunJournal::append(const Entry& entry) {
    std::lock_guard lock(mutex_);
    if (!descriptor_.isOpen())
        open();
    if (entry.isRename()) {
        writeLine(jsonLine({{QStringLiteral("path"), entry.path},
                            {QStringLiteral("from"), entry.renamedFrom},
                            {QStringLiteral("device"), QString::number(entry.original.device)},
                            {QStringLiteral("inode"), QString::number(entry.original.inode)}}),
                  false);
        return;
    }
    writeLine(jsonLine({{QStringLiteral("path"), entry.path},
                        {QStringLiteral("file"), entry.kept.file},
                        {QStringLiteral("info"), entry.kept.info},
                        {QStringLiteral("device"), QString::number(entry.original.device)},
                        {QStringLiteral("inode"), QString::number(entry.original.inode)},
                        {QStringLiteral("sha256"), QString::fromLatin1(entry.digest)}}),
              false);
}

RunJournal::Contents RunJournal::read(const QString& file, int descriptor) {
    QFile input;
    if (!input.open(descriptor, QIODevice::ReadOnly, QFile::DontCloseHandle))
        throw Failure(QStringLiteral("the journal ") + file + QStringLiteral(" cannot be read: ") +
                      input.errorString());
    QList<QByteArray> lines = input.readAll().split('\n');
    // What follows the last line's end was cut short by a kill: that line's rename never came.
    lines.removeLast();
    Contents contents;
    contents.file = file;
    const auto bad = [&file](qsizetype number, const char* why) {
        return Failure(QStringLiteral("the journal ") + file + QStringLiteral(" cannot be read: ") +
                       QStringLiteral("line %1 %2").arg(number + 1).arg(QLatin1String(why)));
    };
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(lines.at(number), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            throw bad(number, "is not a JSON object");
        const QJsonObject line = document.object();
        if (number == 0) {
            const QString kind = line.value(QStringLiteral("kind")).toString();
            const std::optional<Kind> known =
                kind == kindName(Kind::Set)      ? std::optional(Kind::Set)
                : kind == kindName(Kind::Undo)   ? std::optional(Kind::Undo)
                : kind == kindName(Kind::Rename) ? std::optional(Kind::Rename)
                                                 : std::nullopt;
            if (line.value(QStringLiteral("journal")).toString() != QLatin1String("metascribe") ||
                !known)
                throw bad(number, "is not a journal's heading");
            contents.kind = *known;
            contents.undoes = line.value(QStringLiteral("undoes")).toString();
            // A journal names the one it takes back beside it, never a file elsewhere.
            if (contents.undoes.contains(QLatin1Char('/')) ||
                contents.undoes == QStringLiteral("..") || contents.undoes == QStringLiteral("."))
                throw bad(number, "is not a journal's heading");
            continue;
        }
        if (line.value(QStringLiteral("undone")).toBool()) {
            contents.undone = true;
            continue;
        }
        Entry entry;
        entry.path = line.value(QStringLiteral("path")).toString();
        entry.kept.file = line.value(QStringLiteral("file")).toString();
        entry.kept.info = line.value(QStringLiteral("info")).toString();
        bool deviceRead = false;
        bool inodeRead = false;
        entry.original.device =
            line.value(QStringLiteral("device")).toString().toULongLong(&deviceRead);
        entry.original.inode =
            line.value(QStringLiteral("inode")).toString().toULongLong(&inodeRead);
        entry.digest = line.value(QStringLiteral("sha256")).toString().toLatin1();
        entry.renamedFrom = line.value(QStringLiteral("from")).toString();
        if (entry.isRename()) {
            if (entry.path.isEmpty() || !deviceRead || !inodeRead)
                throw bad(number, "does not describe a renamed file");
            // A name the file got again when its first one was taken meanwhile stands for it.
            contents.entries.removeIf([&entry](const Entry& earlier) {
                return earlier.isRename() && earlier.original == entry.original &&
                       earlier.renamedFrom == entry.renamedFrom;
            });
            contents.entries << entry;
            continue;
        }
        if (entry.path.isEmpty() || entry.kept.file.isEmpty() || entry.kept.info.isEmpty() ||
            !deviceRead || !inodeRead || entry.digest.size() != 64)
            throw bad(number, "does not describe a replaced file");
        contents.entries << entry;
    }
    // Killed before its heading was written: a run that replaced nothing.
    return contents;
}

void RunJournal::markUndone(const QString& file) {
    resume(file).writeLine(jsonLine({{QStringLiteral("undone"), true}}), true);
}

QByteArray RunJournal::digestOf(int descriptor) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(descriptor, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw Failure(QStringLiteral("could not read it: ") + Failure::systemReason(errno));
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer, got));
        offset += got;
    }
    return hash.result().toHex();
}
