#include "CheckCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "CsvTable.h"
#include "Failure.h"
#include "InputFiles.h"
#include "PublishingCheck.h"
#include "TextLists.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Finding = PublishingCheck::Finding;

// One file to check: its path, or why it cannot even be opened (a name that is not UTF-8, an
// entry that is no regular file, a path that does not exist).
struct Entry {
    QString path;
    QString refusal;
};

// Reads the files on threads of their own, as many as the machine has cores, and hands their
// findings over in the order of the files, each as soon as it and those before it are read:
// reading is what takes the time, and the output keeps the order of the arguments.
class CheckedFiles {
public:
    CheckedFiles(const QList<Entry>& entries, const QDateTime& now)
        : entries_(entries), results_(entries.size()) {
        const int threads = std::clamp(QThread::idealThreadCount(), 1, int(entries.size()));
        for (int index = 0; index < threads; ++index)
            workers_.emplace_back([this, now] { work(now); });
    }
    ~CheckedFiles() {
        next_ = entries_.size();
        for (std::thread& worker : workers_)
            worker.join();
    }
    CheckedFiles(const CheckedFiles&) = delete;
    CheckedFiles& operator=(const CheckedFiles&) = delete;

    // Waits for the file at index.
    QList<Finding> take(qsizetype index) {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return results_[index].has_value(); });
        QList<Finding> findings = std::move(*results_[index]);
        results_[index].reset();
        return findings;
    }

private:
    void work(const QDateTime& now) {
        for (qsizetype index = next_++; index < entries_.size(); index = next_++) {
            const Entry& entry = entries_.at(index);
            QList<Finding> findings =
                entry.refusal.isEmpty()
                    ? PublishingCheck::of(entry.path, now)
                    : QList<Finding>{{QStringLiteral("unreadable"), entry.refusal}};
            {
                const std::lock_guard lock(mutex_);
                results_[index] = std::move(findings);
            }
            done_.notify_all();
        }
    }

    const QList<Entry>& entries_;
    std::vector<std::optional<QList<Finding>>> results_;
    std::atomic<qsizetype> next_ = 0;
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<std::thread> workers_;
};

// How findings are written: lines, JSON objects or the rows of one table.
enum class Form { Lines, Json, Table };

} // namespace

QList<CommandDescription::Option> CheckCommand::options() {
    return CommandDescription::joined({CommandDescription::checkOptions()});
}

int CheckCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                      const QStringList& undecodable) {
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool csv = parser.isSet(QStringLiteral("csv"));
    if (json && csv)
        return Console::usageError(QStringLiteral("check takes --json or --csv, not both"));
    QSet<QString> ignored;
    for (const QString& kind : parser.values(QStringLiteral("ignore"))) {
        if (!PublishingCheck::kinds().contains(kind))
            return Console::usageError(
                QStringLiteral("--ignore: no such kind: ") + TextLists::quoted(kind) +
                QStringLiteral("; the kinds are ") + TextLists::joined(PublishingCheck::kinds()));
        ignored.insert(kind);
    }
    if (paths.isEmpty())
        return Console::usageError(QStringLiteral("check: no files or folders given"));
    const Form form = json ? Form::Json : csv ? Form::Table : Form::Lines;

    QList<Entry> entries;
    for (const FolderWalker::Found& found :
         InputFiles::expand(paths, undecodable, QStringLiteral("*.pdf"))) {
        if (!found.refusal.isEmpty())
            entries << Entry{found.path, found.refusal};
        else if (!QFileInfo::exists(found.path))
            entries << Entry{found.path, QStringLiteral("no such file")};
        else
            entries << Entry{found.path, {}};
    }
    if (entries.isEmpty()) {
        // Nothing was checked: a script must not take an empty folder for a clean one.
        Console::message(QStringLiteral("no files ending in .pdf were found"));
        return CommandLine::NotAllDone;
    }

    std::optional<CsvTable::Writer> table;
    int withFindings = 0;
    QMap<QString, int> perKind;
    try {
        if (form == Form::Table) {
            table.emplace(Console::outBytes());
            table->writeRow(
                {QStringLiteral("path"), QStringLiteral("kind"), QStringLiteral("detail")});
        }
        CheckedFiles files(entries, QDateTime::currentDateTime());
        for (qsizetype index = 0; index < entries.size(); ++index) {
            const QString& path = entries.at(index).path;
            QList<Finding> findings = files.take(index);
            findings.removeIf(
                [&](const Finding& finding) { return ignored.contains(finding.kind); });
            if (!findings.isEmpty())
                ++withFindings;
            QJsonArray listed;
            for (const Finding& finding : std::as_const(findings)) {
                ++perKind[finding.kind];
                if (form == Form::Lines)
                    Console::out()
                        << path << ": " << finding.kind << ": " << finding.detail << '\n';
                else if (form == Form::Table)
                    table->writeRow({path, finding.kind, finding.detail});
                else
                    listed.append(QJsonObject{{QStringLiteral("kind"), finding.kind},
                                              {QStringLiteral("detail"), finding.detail}});
            }
            if (form == Form::Json)
                Console::jsonLine(QJsonObject{{QStringLiteral("path"), path},
                                              {QStringLiteral("findings"), listed}});
            else if (form == Form::Lines && !findings.isEmpty())
                Console::out().flush();
        }
    } catch (const Failure& failure) {
        // Standard output that refuses the table is told once, as any output is, when the
        // command ends.
        if (Console::outputWritten())
            Console::message(failure.description());
        return CommandLine::NotAllDone;
    }
    QStringList counts;
    for (const QString& kind : PublishingCheck::kinds()) {
        if (perKind.contains(kind))
            counts << QStringLiteral("%1 %2").arg(perKind[kind]).arg(kind);
    }
    const qsizetype checked = entries.size();
    Console::message(
        QStringLiteral("%1 %2 checked, %3 with findings")
            .arg(checked)
            .arg(checked == 1 ? QStringLiteral("file") : QStringLiteral("files"))
            .arg(withFindings) +
        (counts.isEmpty() ? QString() : QStringLiteral(": ") + counts.join(QStringLiteral(", "))));
    return withFindings > 0 ? CommandLine::NotAllDone : CommandLine::AllDone;
}
