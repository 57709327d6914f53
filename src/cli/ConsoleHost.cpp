#include "ConsoleHost.h"

#include "Console.h"

#include <QJsonArray>
#include <QJsonObject>
#include <utility>

namespace {

QString quoted(const std::optional<QString>& text) {
    return text ? QLatin1Char('"') + *text + QLatin1Char('"') : QStringLiteral("(none)");
}

} // namespace

ConsoleHost::ConsoleHost(bool json, bool dryRun, bool strip, QList<FolderWalker::Found> entries)
    : json_(json), dryRun_(dryRun), strip_(strip), entries_(std::move(entries)) {}

void ConsoleHost::progress(int position, int count, const QString& input) {
    progress_.show(position, count, input);
}

void ConsoleHost::finished(const BatchRun::Outcome& outcome) {
    reportRefused(false);
    ++reached_;
    ++next_;
    write(outcome);
}

void ConsoleHost::reportRefused(bool all) {
    for (; next_ < entries_.size(); ++next_) {
        const FolderWalker::Found& entry = entries_.at(next_);
        if (entry.refusal.isEmpty()) {
            if (!all)
                return;
            continue;
        }
        BatchRun::Outcome outcome;
        outcome.path = entry.path;
        outcome.reason = entry.refusal;
        write(outcome);
    }
}

void ConsoleHost::write(const BatchRun::Outcome& outcome) {
    progress_.clear();
    const bool failed = !outcome.reason.isEmpty();
    failed ? ++failed_ : ++done_;
    // Named on standard error also beside JSON lines: a script's log shows what failed, and
    // what was changed with a caveat.
    if (failed)
        Console::message(outcome.path + QStringLiteral(": not changed: ") + outcome.reason);
    else if (!outcome.note.isEmpty() && !dryRun_)
        Console::message(outcome.path + QStringLiteral(": changed, but ") + outcome.note);
    // What a stripped file still holds is for a person to look at before it is sent.
    if (!failed && !dryRun_) {
        for (const QString& item : outcome.kept)
            Console::message(outcome.path + QStringLiteral(": left in it: ") + item);
    }
    if (json_) {
        QJsonObject line{
            {QStringLiteral("path"), outcome.path},
            {QStringLiteral("destination"),
             outcome.destination.isEmpty() ? QJsonValue() : QJsonValue(outcome.destination)},
            {QStringLiteral("outcome"), failed    ? QStringLiteral("failed")
                                        : dryRun_ ? QStringLiteral("planned")
                                                  : QStringLiteral("changed")},
            {QStringLiteral("reason"), failed ? QJsonValue(outcome.reason) : QJsonValue()}};
        if (!failed && strip_) {
            if (dryRun_)
                line.insert(QStringLiteral("removals"),
                            QJsonArray::fromStringList(outcome.removals));
            QJsonObject removed;
            for (auto kind = outcome.removed.cbegin(); kind != outcome.removed.cend(); ++kind)
                removed.insert(kind.key(), *kind);
            line.insert(QStringLiteral("removed"), removed);
            line.insert(QStringLiteral("kept"), QJsonArray::fromStringList(outcome.kept));
        } else if (dryRun_ && !failed) {
            QJsonObject fields;
            for (const BatchRun::FieldPreview& field : outcome.preview)
                fields.insert(field.key,
                              QJsonObject{{QStringLiteral("old"), Console::orNull(field.before)},
                                          {QStringLiteral("new"), Console::orNull(field.after)}});
            line.insert(QStringLiteral("fields"), fields);
        }
        if (!outcome.note.isEmpty())
            line.insert(QStringLiteral("note"), outcome.note);
        if (failed && !outcome.detail.isEmpty())
            line.insert(QStringLiteral("detail"), outcome.detail);
        Console::jsonLine(line);
        return;
    }
    if (!failed && dryRun_) {
        QTextStream& out = Console::out();
        out << outcome.path << " -> " << outcome.destination << '\n';
        // Nothing was changed, so what a change would come with is listed with it.
        if (!outcome.note.isEmpty())
            out << "  " << outcome.note << '\n';
        for (const QString& removal : outcome.removals)
            out << "  remove " << removal << '\n';
        if (strip_ && outcome.removals.isEmpty())
            out << "  nothing to remove\n";
        for (const QString& item : outcome.kept)
            out << "  left in it: " << item << '\n';
        for (const BatchRun::FieldPreview& field : outcome.preview)
            out << "  " << field.key << ": " << quoted(field.before) << " -> "
                << (field.after ? quoted(field.after) : QStringLiteral("(removed)")) << '\n';
        out.flush();
    }
}
