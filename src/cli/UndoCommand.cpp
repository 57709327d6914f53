#include "UndoCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "Failure.h"
#include "FileDescriptor.h"
#include "FileIdentity.h"
#include "OriginalKeeper.h"
#include "PathHelpers.h"
#include "RunJournal.h"
#include "TrashCan.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using PathHelpers::native;

// Gives a renamed file its name back, journaled first as a rename of its own, so that the undo
// can be undone; gives why not, or an empty text when it has it (or, in a dry run, would).
QString renameBack(const RunJournal::Entry& entry, bool dryRun, OriginalKeeper& keeper) {
    const std::optional<FileIdentity> now =
        FileIdentity::of(entry.path, FileIdentity::Links::NotFollowed);
    if (now != entry.original) {
        // The rename never came (a run killed after its journal's line), or was taken back.
        if (FileIdentity::of(entry.renamedFrom, FileIdentity::Links::NotFollowed) == entry.original)
            return {};
        return now ? QStringLiteral("another file has its name now")
                   : QStringLiteral("it is no longer there");
    }
    if (FileIdentity::of(entry.renamedFrom, FileIdentity::Links::NotFollowed))
        return QStringLiteral("another file has its old name now");
    if (dryRun)
        return {};
    RunJournal::Entry back = entry;
    std::swap(back.path, back.renamedFrom);
    try {
        keeper.recordRename(back);
    } catch (const Failure& failure) {
        return failure.description();
    }
    if (const int error = PathHelpers::RenameWithoutReplacing(entry.path, entry.renamedFrom);
        error != 0)
        return error == EEXIST
                   ? QStringLiteral("another file has its old name now")
                   : QStringLiteral("it could not be renamed: ") + Failure::systemReason(error);
    return {};
}

// Puts back one file's original; gives why not, or an empty text when it is back (or, in a dry
// run, would be).
QString putBack(const RunJournal::Entry& entry, bool dryRun, OriginalKeeper& keeper) {
    if (entry.isRename())
        return renameBack(entry, dryRun, keeper);
    const FileDescriptor current(
        ::open(native(entry.path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat now {};
    if (!current.isOpen() || ::fstat(current.get(), &now) != 0)
        return errno == ENOENT
                   ? QStringLiteral("it is no longer there")
                   : QStringLiteral("it could not be read: ") + Failure::systemReason(errno);
    // The journal's line is acted on only as far as the Trash confirms it: an edited or
    // planted line could name any file of the user's to be renamed or removed.
    const bool proven = TrashCan::describes(entry.kept, entry.path);
    if (FileIdentity::of(now) == entry.original) {
        // The original is in place already: the run was killed before its rename, or an undo
        // before it got further. Its second name in the Trash is taken back.
        if (!dryRun && proven)
            TrashCan::withdraw(entry.kept, now);
        return {};
    }
    if (!S_ISREG(now.st_mode))
        return QStringLiteral("it is no longer a regular file");
    try {
        if (RunJournal::digestOf(current.get()) != entry.digest)
            return QStringLiteral("it was changed since that run");
    } catch (const Failure& failure) {
        return QStringLiteral("it ") + failure.description();
    }
    const FileDescriptor original(
        ::open(native(entry.kept.file).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!original.isOpen() || FileIdentity::of(original.get()) != entry.original)
        return QStringLiteral("its original is no longer in the Trash");
    if (!proven)
        return QStringLiteral("the Trash does not confirm that the journal's line is that run's: "
                              "its entry there describes another file or is missing");
    if (dryRun)
        return {};
    std::optional<OriginalKeeper::Kept> result;
    try {
        // The run's result goes to the Trash in turn, so that the undo can be undone.
        result = keeper.keep(entry.path, current.get(), now, original.get());
    } catch (const Failure& failure) {
        return QStringLiteral("its current content could not be kept in the Trash: ") +
               failure.description();
    }
    try {
        TrashCan::putBack(entry.kept, entry.path);
    } catch (const Failure& failure) {
        OriginalKeeper::withdraw(*result);
        return QStringLiteral("its original could not be put back: ") + failure.description();
    }
    return {};
}

void report(const RunJournal::Entry& entry, const QString& reason, bool dryRun, bool json) {
    const QString& path = entry.path;
    if (!reason.isEmpty())
        Console::message(path + QStringLiteral(": not put back: ") + reason);
    if (json)
        Console::jsonLine(
            {{QStringLiteral("path"), path},
             {QStringLiteral("outcome"), !reason.isEmpty() ? QStringLiteral("failed")
                                         : dryRun          ? QStringLiteral("planned")
                                                           : QStringLiteral("changed")},
             {QStringLiteral("reason"), reason.isEmpty() ? QJsonValue() : QJsonValue(reason)}});
    else if (dryRun && reason.isEmpty())
        Console::out() << (entry.isRename() ? entry.renamedFrom : path) << " <- "
                       << (entry.isRename() ? path : entry.kept.file) << Qt::endl;
}

} // namespace

QList<CommandDescription::Option> UndoCommand::options() {
    return CommandDescription::joined({CommandDescription::undoOptions()});
}

int UndoCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                     const QStringList&) {
    if (!paths.isEmpty())
        return Console::usageError(QStringLiteral("undo takes no files: it takes back the "
                                                  "last run as a whole"));
    return takeBack(parser.isSet(QStringLiteral("dry-run")), parser.isSet(QStringLiteral("json")));
}

int UndoCommand::takeBack(bool dryRun, bool json) {
    const auto nothingPutBack = [](const QString& why) {
        Console::message(QStringLiteral("nothing was put back: ") + why);
        return CommandLine::NotAllDone;
    };
    const QString goingOn = QStringLiteral("a run that keeps its originals in the Trash is going "
                                           "on; take it back once it has ended");
    try {
        RunJournal::checkFolder();
    } catch (const Failure& failure) {
        return nothingPutBack(failure.description());
    }
    // The last run not taken back yet. A journal that cannot be read or trusted is named and
    // passed over, since what it says cannot be known, and a journal without a replaced file
    // (a run that could not write its first line) is no run to take back: neither hides the
    // run before. Every journal read stays locked until the undo is over.
    std::optional<RunJournal::Contents> last;
    std::vector<FileDescriptor> held;
    bool passedOver = false;
    QStringList journals = RunJournal::journals();
    while (!journals.isEmpty() && !last) {
        const QString file = journals.takeLast();
        try {
            FileDescriptor lock = RunJournal::hold(file);
            if (!lock.isOpen())
                return nothingPutBack(goingOn);
            RunJournal::Contents contents = RunJournal::read(file, lock.get());
            held.push_back(std::move(lock));
            if (!contents.undone && !contents.entries.isEmpty())
                last = std::move(contents);
        } catch (const Failure& failure) {
            Console::message(failure.description() +
                             QStringLiteral("; its run is passed over and not taken back"));
            passedOver = true;
        }
    }
    if (!last)
        return nothingPutBack(QStringLiteral("no run kept its originals in the Trash, or every "
                                             "such run was taken back"));
    // An undo that was cut short is finished, into its own journal, before it can be undone.
    std::optional<RunJournal> journal;
    RunJournal::Contents target = *last;
    const QString undoing = QFileInfo(last->file).absoluteDir().filePath(last->undoes);
    try {
        if (last->kind == RunJournal::Kind::Undo && QFileInfo::exists(undoing)) {
            FileDescriptor lock = RunJournal::hold(undoing);
            if (!lock.isOpen())
                return nothingPutBack(goingOn);
            RunJournal::Contents earlier = RunJournal::read(undoing, lock.get());
            held.push_back(std::move(lock));
            if (!earlier.undone) {
                target = std::move(earlier);
                if (!dryRun)
                    journal.emplace(RunJournal::resume(last->file));
            }
        }
    } catch (const Failure& failure) {
        return nothingPutBack(failure.description());
    }
    if (!journal)
        journal.emplace(RunJournal::Kind::Undo, QFileInfo(target.file).fileName());
    OriginalKeeper keeper(std::move(*journal));

    int failed = 0;
    // Last first: a name a later rename took may have been an earlier one's.
    QList<RunJournal::Entry> entries = target.entries;
    if (std::ranges::any_of(entries, &RunJournal::Entry::isRename))
        std::ranges::reverse(entries);
    for (const RunJournal::Entry& entry : std::as_const(entries)) {
        const QString reason = putBack(entry, dryRun, keeper);
        failed += reason.isEmpty() ? 0 : 1;
        report(entry, reason, dryRun, json);
    }
    if (!dryRun) {
        keeper.finish();
        try {
            RunJournal::markUndone(target.file);
        } catch (const Failure& failure) {
            Console::message(failure.description());
            return CommandLine::NotAllDone;
        }
    }
    return failed == 0 && !passedOver ? CommandLine::AllDone : CommandLine::NotAllDone;
}
