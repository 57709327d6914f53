#include "OutputFile.h"

#include "Failure.h"
#include "FileDescriptor.h"
#include "FileDetails.h"
#include "FileIdentity.h"
#include "OriginalKeeper.h"
#include "PathHelpers.h"
#include "PhaseClock.h"
#include "TaggedFile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using PathHelpers::native;

[[noreturn]] void fail(int error) {
    throw OutputFile::Refused(Failure::systemText(error),
                              error == EACCES || error == EPERM || error == EROFS);
}

[[noreturn]] void refuse(const QString& reason) {
    throw OutputFile::Refused::withReason(reason);
}

QString linkReason(const QString& destination) {
    return QStringLiteral("the destination ") + destination +
           QStringLiteral(" is a symbolic link; a result is never written through a link");
}

bool isLink(const QString& path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A program that opens a leased file for writing breaks the lease, and the system tells the
// lease's holder with SIGIO, whose default action ends the process. The commit reads the lease's
// state instead, so the signal only has to be harmless: a handler that does nothing (an ignored
// signal would stay ignored in every program started later).
void takeLeaseBreaksQuietly() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            return;
        struct sigaction action {};
        action.sa_handler = +[](int) {
        };
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGIO, &action, nullptr);
    });
}

QString otherNamesNote(nlink_t names) {
    if (names <= 1)
        return {};
    if (names == 2)
        return QStringLiteral("it has another name (a hard link), which keeps the old content");
    return QStringLiteral("it has %1 other names (hard links), which keep the old content")
        .arg(names - 1);
}

// The replaced file's name in the Trash, taken back unless the rename happens.
struct KeptOriginal {
    std::optional<OriginalKeeper::Kept> kept;
    ~KeptOriginal() {
        if (kept)
            OriginalKeeper::withdraw(*kept);
    }
    void keep(OriginalKeeper& keeper, const QString& target, int original, const struct stat& info,
              int result, bool flushNow) {
        try {
            kept = keeper.keep(target, original, info, result, flushNow);
        } catch (const Failure& failure) {
            refuse(QStringLiteral("its original could not be kept in the Trash: ") +
                   failure.description());
        }
    }
};

} // namespace

OutputFile::Refused OutputFile::Refused::withReason(const QString& reason) {
    Refused refused(reason, false);
    refused.whole_ = true;
    return refused;
}

QString OutputFile::Refused::reason() const {
    return whole_ ? description()
                  : QStringLiteral("could not write the destination: ") + description();
}

// However many links deep, so the link itself is kept.
OutputFile::Link OutputFile::linkFor(const QString& input, const QString& destination) {
    if (destination == input)
        return Link::Follow;
    // Only a destination that can be examined is the input: two paths that both cannot be are
    // not for that the same file.
    const std::optional<FileIdentity> named =
        FileIdentity::of(destination, FileIdentity::Links::NotFollowed);
    const bool same = named && named == FileIdentity::of(input, FileIdentity::Links::NotFollowed);
    return same ? Link::Follow : Link::Refuse;
}

std::optional<OutputFile::Times> OutputFile::timesOf(const QString& path) {
    struct stat info {};
    if (::stat(native(path).constData(), &info) != 0)
        return std::nullopt;
    return Times{info.st_atim, info.st_mtim};
}

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

OutputFile::OutputFile(const QString& destination, Link link)
    : target_(link == Link::Follow ? resolveLink(destination) : destination) {
    if (link == Link::Refuse && isLink(destination))
        refuse(linkReason(destination));
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

QString OutputFile::whyNotWritable() const {
    const QByteArray target = native(target_);
    struct stat info {};
    if (::stat(target.constData(), &info) != 0)
        return {};
    const QString readOnly = QStringLiteral("the file is read-only");
    // What this user may do, by mode, access list and privilege alike; root may write anything,
    // but a file that no one may write is still read-only to a run.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) == 0)
        return info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH) ? QString() : readOnly;
    if (errno != EACCES)
        return Failure::systemText(errno);
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it is another user's file, which this user may not write");
    return readOnly;
}

// The file to be replaced, held open from the first step of the commit to the last, and how it
// was when it was opened.
struct OutputFile::Replaced {
    FileDescriptor original;
    struct stat before {};
    // Taken back when the replacement does not happen.
    KeptOriginal kept;
    bool leased = false;
};

QString OutputFile::commit() {
    prepareCommit();
    flush();
    keepOriginal(true);
    return replace();
}

void OutputFile::prepareCommit() {
    const QByteArray target = native(target_);
    // The file to be replaced, held open until it is: which file it is, whose, and whether
    // another program has it open for writing. A link here was put there since the run looked.
    // Closed however the commit ends; closing also lets go of a lease taken on it.
    replaced_ = std::make_unique<Replaced>();
    replaced_->original =
        FileDescriptor(::open(target.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const FileDescriptor& original = replaced_->original;
    struct stat& before = replaced_->before;
    if (original.get() < 0 && errno == ELOOP)
        refuse(linkReason(target_));
    if (original.get() < 0 && errno != ENOENT)
        fail(errno);
    if (original.get() < 0 && expected_)
        refuse(QStringLiteral("it was removed by another program during the run"));
    if (original.get() >= 0 && ::fstat(original.get(), &before) != 0)
        fail(errno);
    if (original.get() >= 0 && !S_ISREG(before.st_mode))
        refuse(QStringLiteral("the destination is not a regular file"));

    // The result is worked on through the descriptor that holds it locked.
    const int result = held_.descriptor();
    try {
        if (original.get() >= 0)
            FileDetails::copy(original.get(), before, result);
        else if (::fchmod(result, 0666 & ~startUmask) != 0)
            fail(errno);
        // Last of the details: nothing writes into the result after this.
        giveTimes();
    } catch (const Refused&) {
        throw;
    } catch (const Failure& failure) {
        refuse(failure.description());
    }
}

void OutputFile::giveTimes() {
    if (!times_)
        return;
    const struct timespec times[2] = {times_->accessed, times_->modified};
    if (::futimens(held_.descriptor(), times) != 0)
        fail(errno);
}

void OutputFile::startFlush() {
    // Only a hint to the system: flush() waits for what it started, or does it all.
    ::sync_file_range(held_.descriptor(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void OutputFile::flush() {
    const PhaseClock::Scope clock(PhaseClock::Flush);
    if (::fsync(held_.descriptor()) != 0)
        fail(errno);
}

void OutputFile::keepOriginal(bool flushNow) {
    // Never renamed unprepared and unflushed.
    if (!replaced_) {
        prepareCommit();
        flush();
    }
    const FileDescriptor& original = replaced_->original;
    if (original.get() < 0)
        return;
    const QString beingWritten = QStringLiteral("it was being written by another program");
    const QString changed = QStringLiteral("it was changed by another program during the run");
    // A read lease is refused while any process has the file open for writing; held, it is
    // broken by a program that opens the file for writing meanwhile, which is looked at right
    // before the rename. Where there are no leases (another user's file without the privilege,
    // some file systems), the file is at least still what was read.
    takeLeaseBreaksQuietly();
    replaced_->leased = ::fcntl(original.get(), F_SETLEASE, F_RDLCK) == 0;
    if (!replaced_->leased && errno == EAGAIN)
        refuse(beingWritten);
    struct stat now {};
    if (::fstat(original.get(), &now) != 0)
        fail(errno);
    const FileStamp stamp = FileStamp::of(now);
    const bool stillNamed =
        FileIdentity::of(target_, FileIdentity::Links::NotFollowed) == FileIdentity::of(now);
    if (!stillNamed || stamp != FileStamp::of(replaced_->before) ||
        (expected_ && stamp != *expected_))
        refuse(changed);
    // After the comparison: the Trash's name for it changes the file's details.
    if (keeper_)
        replaced_->kept.keep(*keeper_, target_, original.get(), now, held_.descriptor(), flushNow);
}

void OutputFile::flushKept() {
    if (!keeper_)
        return;
    try {
        keeper_->flushKept();
    } catch (const Failure& failure) {
        refuse(QStringLiteral("its original could not be kept in the Trash: ") +
               failure.description());
    }
}

QString OutputFile::replace() {
    if (!replaced_)
        keepOriginal(true);
    // Closed when this step ends, however it ends; what was kept in the Trash is taken back
    // unless the rename happened.
    const std::unique_ptr<Replaced> replaced = std::move(replaced_);
    const FileDescriptor& original = replaced->original;
    // Broken since it was taken: a program opened the file for writing meanwhile.
    if (original.get() >= 0 && replaced->leased && ::fcntl(original.get(), F_GETLEASE) != F_RDLCK)
        refuse(QStringLiteral("it was being written by another program"));
    // Again: reading the result for the journal's digest may have moved its access time.
    giveTimes();
    if (::rename(native(temporary_).constData(), native(target_).constData()) != 0)
        fail(errno);
    replaced->kept.kept.reset();
    committed_ = true;
    // In place, the held file is the user's file now: a descriptor of ours open for writing on
    // it would read as another program writing it, and no sweep looks at this name.
    held_ = TaggedFile();
    return original.get() >= 0 ? otherNamesNote(replaced->before.st_nlink) : QString();
}

void OutputFile::discard() {
    if (!committed_ && !temporary_.isEmpty())
        ::unlink(native(temporary_).constData());
    temporary_.clear();
}
