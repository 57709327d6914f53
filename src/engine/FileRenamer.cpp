#include "FileRenamer.h"

#include "Failure.h"
#include "OriginalKeeper.h"
#include "PathHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using PathHelpers::native;

const QString extension = QStringLiteral(".pdf");
// A run that finds every name up to this one taken gives up on the file.
constexpr int lastNumber = 9999;
constexpr qsizetype longestName = 255;

QString suffixFor(int number) {
    return number == 1 ? extension : QStringLiteral(" (%1)").arg(number) + extension;
}

bool taken(const QString& path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0 || errno != ENOENT;
}

// The first name of stem with a number that is neither on the disk nor in claimed, or the file's
// own name; empty when every one is taken.
QString freeName(const QString& folder, const QString& stem, const QString& own, int from,
                 const QSet<QString>& claimed) {
    for (int number = from; number <= lastNumber; ++number) {
        const QString candidate =
            folder + FileRenamer::fitted(stem, suffixFor(number)) + suffixFor(number);
        if (candidate == own)
            return own;
        if (!claimed.contains(candidate) && !taken(candidate))
            return candidate;
    }
    return {};
}

} // namespace

QString FileRenamer::fitted(QString stem, const QString& suffix) {
    const qsizetype room = longestName - suffix.toUtf8().size();
    while (stem.toUtf8().size() > room) {
        // A character of two UTF-16 units goes whole.
        stem.chop(stem.size() > 1 && stem.back().isLowSurrogate() ? 2 : 1);
    }
    // What the cut leaves at its end goes too, as it would have at the start.
    while (!stem.isEmpty() && (stem.back() == u' ' || stem.back() == u'.'))
        stem.chop(1);
    return stem;
}

QString FileRenamer::nameFrom(const FieldTemplate& to, const FieldTemplate::FileFacts& facts,
                              QString& reason) {
    // A field that holds only blanks is one the file does not have, for a name: it would make
    // names such as " - .pdf".
    FieldTemplate::FileFacts given = facts;
    given.info.removeIf([](const auto& entry) { return entry.value().trimmed().isEmpty(); });
    if (given.copyright && given.copyright->trimmed().isEmpty())
        given.copyright.reset();
    QStringList missing;
    QString name = to.fill(given, false, &missing);
    if (!missing.isEmpty()) {
        reason = QStringLiteral("it has no ") + missing.join(QStringLiteral(" and no ")) +
                 QStringLiteral(" for the new name");
        return {};
    }
    for (QChar& c : name) {
        if (c == u'/' || c.unicode() < 0x20 || c.unicode() == 0x7f ||
            c.category() == QChar::Other_Control)
            c = u'_';
    }
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == u' ' || name.at(start) == u'.'))
        ++start;
    name = fitted(name.mid(start), extension);
    if (name.isEmpty())
        reason = QStringLiteral("the template gives it an empty name");
    return name;
}

QList<FileRenamer::Outcome> FileRenamer::plan(const QStringList& files, const FieldTemplate& to,
                                              const Reader& read) {
    QList<Outcome> planned;
    QSet<QString> claimed;
    for (const QString& file : files) {
        Outcome outcome{file, {}, {}, FileIdentity::of(file, FileIdentity::Links::NotFollowed), {}};
        QString& stem = outcome.stem;
        try {
            if (!outcome.identity)
                throw Failure(QStringLiteral("it is no longer there"));
            stem = nameFrom(to, read(file), outcome.reason);
        } catch (const Failure& failure) {
            outcome.reason = failure.description();
        }
        if (outcome.reason.isEmpty()) {
            const QString folder = PathHelpers::FolderOf(file);
            outcome.destination = freeName(folder, stem, file, 1, claimed);
            if (outcome.destination.isEmpty())
                outcome.reason =
                    QStringLiteral("every name up to \"%1\" is taken")
                        .arg(fitted(stem, suffixFor(lastNumber)) + suffixFor(lastNumber));
            else
                claimed.insert(outcome.destination);
        }
        planned << outcome;
    }
    return planned;
}

void FileRenamer::carryOut(QList<Outcome>& planned, OriginalKeeper& keeper,
                           const std::function<void(const Outcome&)>& report) {
    // Every line first, on the disk at once, then the renames: a run killed in between leaves
    // lines whose rename never came, which undo passes over as the files are where they were.
    const auto entryOf = [](const Outcome& outcome) {
        RunJournal::Entry entry;
        entry.path = outcome.destination;
        entry.renamedFrom = outcome.path;
        entry.original = *outcome.identity;
        return entry;
    };
    QString journalFailure;
    try {
        for (const Outcome& outcome : std::as_const(planned)) {
            if (outcome.reason.isEmpty() && !outcome.unchanged())
                keeper.recordRename(entryOf(outcome), false);
        }
        keeper.syncJournal();
    } catch (const Failure& failure) {
        journalFailure = failure.description();
    }
    QSet<QString> folders;
    QSet<QString> claimed;
    for (const Outcome& outcome : std::as_const(planned))
        claimed.insert(outcome.destination);
    for (Outcome& outcome : planned) {
        if (outcome.reason.isEmpty() && !outcome.unchanged()) {
            // Nothing is renamed that the journal does not tell of.
            if (!journalFailure.isEmpty())
                outcome.reason = journalFailure;
            int error = outcome.reason.isEmpty()
                            ? PathHelpers::RenameWithoutReplacing(outcome.path, outcome.destination)
                            : 0;
            // Taken since the plan: the next free number, journaled before it is used.
            int number = 2;
            while (error == EEXIST && outcome.reason.isEmpty()) {
                outcome.destination = freeName(PathHelpers::FolderOf(outcome.path), outcome.stem,
                                               outcome.path, number++, claimed);
                if (outcome.destination.isEmpty()) {
                    outcome.reason = QStringLiteral("every free name was taken meanwhile");
                    break;
                }
                claimed.insert(outcome.destination);
                try {
                    keeper.recordRename(entryOf(outcome));
                } catch (const Failure& failure) {
                    outcome.reason = failure.description();
                    break;
                }
                error = PathHelpers::RenameWithoutReplacing(outcome.path, outcome.destination);
            }
            if (outcome.reason.isEmpty() && error != 0)
                outcome.reason =
                    QStringLiteral("it could not be renamed: ") + Failure::systemReason(error);
            if (outcome.reason.isEmpty())
                folders.insert(PathHelpers::FolderOf(outcome.path));
        }
        report(outcome);
    }
    // The new names last as the journal does.
    for (const QString& folder : std::as_const(folders))
        PathHelpers::SyncFolder(folder);
}
