#include "TurnBenchmarks.h"

#include "BatchBenchmarks.h"
#include "Measuring.h"
#include "ResultTable.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"
#include "ToolkitHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace TurnBenchmarks {

namespace {

using Measuring::freshFolder;
using Measuring::quoted;
using Measuring::secondsText;
using Measuring::shell;
using Row = ResultTable::Row;

QString setCommand(const QString& folder) {
    return quoted(QCoreApplication::applicationDirPath() + "/metascribe") +
           " set --title 'Benchmark Title' --author 'Benchmark Author' --in-place " +
           quoted(folder);
}

// The processor time of every process this one has started and waited for, in seconds.
double childrenProcessorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Phase {
    double count = 0;
    double wall = 0;
    double processor = 0;
};

// The sums the program wrote, by phase, in seconds.
QMap<QString, Phase> readPhases(const QString& path) {
    QMap<QString, Phase> phases;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return phases;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 4)
            phases.insert(
                QString::fromLatin1(words[0]),
                {words[1].toDouble(), words[2].toDouble() / 1e9, words[3].toDouble() / 1e9});
    }
    return phases;
}

QString perFile(double seconds, int files) {
    return QString::number(seconds * 1000 / files, 'f', 3);
}

void phaseTable(const QString& work, const QString& onePage, int files, ResultTable& table) {
    const QString folder = freshFolder(work, "phases", {onePage}, files);
    const QString sums = work + "/phases.txt";
    QFile::remove(sums);
    shell("sync");
    const double before = childrenProcessorSeconds();
    const double wall = shell("METASCRIBE_PHASE_TIMES=" + quoted(sums) + " " + setCommand(folder));
    // bash, the program and its toolkit host.
    const double processor = childrenProcessorSeconds() - before;
    const QMap<QString, Phase> phases = readPhases(sums);
    const double program = phases.value("program").processor;
    const Phase commit = phases.value("commit");
    const Phase flush = phases.value("flush");
    QStringList lines{
        QStringLiteral("| %1 one-page files, `set --in-place`, per file | clock (ms) | "
                       "processor (ms) |")
            .arg(files),
        "|---|---|---|"};
    const auto line = [&](const QString& what, const QString& clock, const QString& used) {
        lines << QStringLiteral("| %1 | %2 | %3 |").arg(what, clock, used);
    };
    const Phase read = phases.value("read-original");
    const Phase toolkit = phases.value("toolkit");
    line("reading the original, both readers (a thread of its own, ahead)",
         perFile(read.wall, files), perFile(read.processor, files));
    line("the toolkit: the program waiting for its answer", perFile(toolkit.wall, files),
         perFile(toolkit.processor, files));
    line("the toolkit host (Java), all its threads", "", perFile(processor - program, files));
    line("finishing (dates, removed keys, XMP)", perFile(phases.value("finish").wall, files),
         perFile(phases.value("finish").processor, files));
    line("the check, both readers (the commit queue's thread)",
         perFile(phases.value("check").wall, files),
         perFile(phases.value("check").processor, files));
    line("committing, but flushing", perFile(commit.wall, files), perFile(commit.processor, files));
    line("flushing the result", perFile(flush.wall, files), perFile(flush.processor, files));
    line("the program, all its threads", "", perFile(program, files));
    line("the whole run", perFile(wall, files), perFile(processor, files));
    table.note(lines.join('\n'));
}

// The toolkit alone: a new host, started as the command line starts it, changes every file of
// folder into a file beside it, the next request sent before the last answer is taken, and ends.
// Nothing of the program's own work (reading, the checks, committing) is in it: the least a
// command-line run can take on this machine while every file goes through the toolkit in Java.
// Nothing when a file was not changed.
std::optional<double> toolkitAloneSeconds(const QString& work, const QString& folder, int files) {
    const QString info = work + "/turns-info.txt";
    QFile infoFile(info);
    if (!infoFile.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        infoFile.write("InfoBegin\nInfoKey: Title\nInfoValue: Benchmark Title\nInfoBegin\n"
                       "InfoKey: Author\nInfoValue: Benchmark Author\n") < 0)
        return std::nullopt;
    infoFile.close();
    const QString toolkit = Toolkit::path();
    ToolkitHost& host = ToolkitHost::instance();
    host.shutDown();
    QElapsedTimer clock;
    clock.start();
    host.prepare(ToolkitHost::WarmUp::None);
    bool allChanged = true;
    const auto take = [&](std::optional<quint64> ticket) {
        const std::optional<ToolResult> result =
            ticket ? host.collect(*ticket) : std::optional<ToolResult>();
        allChanged = allChanged && result && result->outcome == ToolResult::Outcome::Finished &&
                     result->exitCode == 0;
    };
    std::optional<std::optional<quint64>> sent;
    for (int index = 0; index < files; ++index) {
        const std::optional<quint64> ticket = host.submit(
            ToolkitCommand::update(toolkit, Measuring::copyPath(folder, index), std::nullopt, info,
                                   folder + QStringLiteral("/changed-%1.pdf").arg(index)),
            std::chrono::minutes(1));
        if (sent)
            take(*sent);
        sent = ticket;
    }
    if (sent)
        take(*sent);
    host.shutDown();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (!allChanged)
        return std::nullopt;
    return seconds;
}

} // namespace

void run(const QString& work, const QString& onePage, int files, int turns, ResultTable& table) {
    // One small run before makes Java's class archive, as any earlier run would have.
    shell(setCommand(freshFolder(work, "turns-first", {onePage}, 1)));
    double window = 1e9;
    double commandLine = 1e9;
    double exif = 1e9;
    double toolkitAlone = 1e9;
    // Each program in turn, each on copies already on the disk, so none pays for another's
    // writes; the best turn of each is what it can do on this machine.
    for (int turn = 0; turn < turns; ++turn) {
        const QString windowFolder = freshFolder(work, "turns-window", {onePage}, files);
        shell("sync");
        window = std::min(window, BatchBenchmarks::windowSeconds(windowFolder));
        const QString lineFolder = freshFolder(work, "turns-cli", {onePage}, files);
        shell("sync");
        commandLine = std::min(commandLine, shell(setCommand(lineFolder)));
        const QString exifFolder = freshFolder(work, "turns-exif", {onePage}, files);
        shell("sync");
        exif = std::min(exif, Measuring::exifTool(exifFolder));
        const QString aloneFolder = freshFolder(work, "turns-toolkit", {onePage}, files);
        shell("sync");
        if (const std::optional<double> alone = toolkitAloneSeconds(work, aloneFolder, files))
            toolkitAlone = std::min(toolkitAlone, *alone);
        else
            std::fprintf(stderr, "The toolkit alone did not change every file.\n");
    }
    const QString what =
        QStringLiteral("%1 one-page files, best of %2 turns: ").arg(files).arg(turns);
    table << Row{what + "the window's run vs ExifTool", secondsText(window), secondsText(exif),
                 window / exif, "at most 0.25"};
    table << Row{what + "`metascribe set` vs ExifTool", secondsText(commandLine), secondsText(exif),
                 commandLine / exif, "at most 0.2"};
    table << Row{what + "the toolkit alone, a new host changing the same files (no reading, "
                        "checks or commits) vs ExifTool",
                 secondsText(toolkitAlone), secondsText(exif), toolkitAlone / exif, "none"};
    phaseTable(work, onePage, files, table);
}

} // namespace TurnBenchmarks
