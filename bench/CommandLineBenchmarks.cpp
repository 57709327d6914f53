#include "CommandLineBenchmarks.h"

#include "CsvTable.h"
#include "Measuring.h"
#include "ResultTable.h"
#include "ValueTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <algorithm>
#include <cstdio>

namespace CommandLineBenchmarks {

namespace {

using Measuring::exifTool;
using Measuring::freshFolder;
using Measuring::median;
using Measuring::quoted;
using Measuring::secondsText;
using Measuring::shell;
using Row = ResultTable::Row;

// The program next to this one, as one word of a shell script.
QString program() {
    return quoted(QCoreApplication::applicationDirPath() + "/metascribe");
}

// set --csv with a value of its own for every file against set with one value for all, over the
// same one-page files.
void csvAgainstOneForAll(const QString& work, const QString& source, int files,
                         ResultTable& table) {
    const QString folder = freshFolder(work, "csv", {source}, files);
    QFile sheet(work + "/values.csv");
    sheet.open(QIODevice::WriteOnly);
    {
        CsvTable::Writer writer(sheet);
        writer.writeRow({"path", "Title", "Author"});
        for (const QString& name : QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name))
            writer.writeRow({folder + "/" + name, "Title of " + name, "Author of " + name});
    }
    sheet.close();
    // Java's class archive is made by an earlier run, as for the other command-line rows; then
    // the two take turns, and each gives its median.
    const QString one = program() + " set --title 'Benchmark Title' --author 'Benchmark Author' "
                                    "--in-place %1";
    shell(one.arg(quoted(freshFolder(work, "csv-first", {source}, 1))));
    QList<double> ourTimes;
    QList<double> oneTimes;
    // The copies are on disk before each turn, so neither pays for the other's writes.
    for (int turn = 0; turn < 5; ++turn) {
        freshFolder(work, "csv", {source}, files);
        shell("sync");
        ourTimes << shell(program() + " set --in-place --csv " + quoted(sheet.fileName()));
        const QString oneFolder = freshFolder(work, "csv-one", {source}, files);
        shell("sync");
        oneTimes << shell(one.arg(quoted(oneFolder)));
    }
    const double ours = median(ourTimes);
    const double oneForAll = median(oneTimes);
    table << Row{QStringLiteral("%1 one-page files: set --csv vs one value for all").arg(files),
                 secondsText(ours), secondsText(oneForAll), ours / oneForAll, "at most 1.1"};
}

// The check of a table of 100,000 rows before any file is touched.
void largeTable(const QString& work, ResultTable& table) {
    // Empty files will do: only the table and the files' names are looked at.
    const int rows = 100000;
    const QString many = work + "/csv-many";
    QDir().mkpath(many);
    QFile big(work + "/many.csv");
    big.open(QIODevice::WriteOnly);
    {
        CsvTable::Writer writer(big);
        writer.writeRow({"path", "Title", "Author", "Keywords"});
        for (int i = 0; i < rows; ++i) {
            const QString name = QStringLiteral("file%1.pdf").arg(i, 6, 10, QLatin1Char('0'));
            QFile(many + "/" + name).open(QIODevice::WriteOnly);
            writer.writeRow(
                {"csv-many/" + name, "Title " + name, "Author; \"quoted\"", "one, two"});
        }
    }
    big.close();
    const double parsed = Measuring::seconds([&] {
        big.open(QIODevice::ReadOnly);
        CsvTable::Reader reader(big);
        while (reader.next()) {
        }
        big.close();
    });
    table << Row{"reading a table of 100,000 rows, no file looked at", secondsText(parsed), "2 s",
                 parsed / 2, "at most 1"};
    const double checked = Measuring::seconds([&] { ValueTable::read(big.fileName()); });
    table << Row{"checking a table of 100,000 rows, every file found", secondsText(checked), "2 s",
                 checked / 2, "at most 1"};
}

// What one run of the program took, and the peaks of its resident memory.
struct SampledRun {
    double seconds = 0;
    // The program's own, and that of all its descendants (the toolkit host) summed.
    double programMegabytes = 0;
    double hostMegabytes = 0;
};

// metascribe set --in-place over folder as a whole process, its memory looked at every 75 ms:
// often enough to see a heap that grows with the files, seldom enough that reading a few status
// files costs the run nothing it would notice.
SampledRun sampledSet(const QString& folder) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QMap<qint64, double> peaks;
    QElapsedTimer clock;
    clock.start();
    process.start(QCoreApplication::applicationDirPath() + "/metascribe",
                  {"set", "--in-place", "--title", "Benchmark Title", folder});
    process.waitForStarted(-1);
    const qint64 pid = process.processId();
    while (!process.waitForFinished(75))
        Measuring::peakMegabytes(pid, peaks);
    SampledRun run;
    run.seconds = clock.nsecsElapsed() / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "metascribe failed on %s\n", qPrintable(folder));
    for (auto peak = peaks.cbegin(); peak != peaks.cend(); ++peak)
        (peak.key() == pid ? run.programMegabytes : run.hostMegabytes) += peak.value();
    return run;
}

} // namespace

// One small run before makes Java's class archive, as any earlier run would have.
void set(const QString& work, const QString& source, int files, ResultTable& table) {
    const QString set = program() + " set --title 'Benchmark Title' --author 'Benchmark Author' "
                                    "--in-place %1";
    shell(set.arg(quoted(freshFolder(work, "cli-first", {source}, 1))));
    const double ours = shell(set.arg(quoted(freshFolder(work, "cli", {source}, files))));
    const double exif = exifTool(freshFolder(work, "cli-exif", {source}, files));
    table << Row{QStringLiteral("%1 one-page files: metascribe set vs ExifTool").arg(files),
                 secondsText(ours), secondsText(exif), ours / exif, "at most 0.5"};
}

namespace {

// Two commands over fresh copies of the same folder, taking turns; each gives its median.
std::pair<double, double> inTurns(const QString& work, const QString& prepared, const QString& ours,
                                  const QString& theirs) {
    QList<double> ourTimes;
    QList<double> theirTimes;
    for (int turn = 0; turn < 5; ++turn) {
        for (const auto& [name, command, times] :
             {std::tuple{"turn-ours", &ours, &ourTimes}, {"turn-theirs", &theirs, &theirTimes}}) {
            const QString folder = work + "/" + name;
            QDir(folder).removeRecursively();
            // The copies are on disk before each turn, so neither pays for the other's writes.
            shell(QStringLiteral("cp -a %1 %2 && sync").arg(quoted(prepared), quoted(folder)));
            *times << shell(command->arg(quoted(folder)));
        }
    }
    return {median(ourTimes), median(theirTimes)};
}

} // namespace

void values(const QString& work, const QString& source, int files, ResultTable& table) {
    // Java's class archive is made by an earlier run, as for the other command-line rows.
    const QString plain = freshFolder(work, "values-plain", {source}, files);
    shell(program() + " set --title x --in-place " +
          quoted(freshFolder(work, "values-first", {source}, 1)));
    const auto [templated, literal] = inTurns(
        work, plain, program() + " set --template 'subject={name} in {folder}' --in-place %1",
        program() + " set --subject 'Benchmark Subject' --in-place %1");
    table << Row{QStringLiteral("%1 one-page files: set --template vs a literal value").arg(files),
                 secondsText(templated), secondsText(literal), templated / literal, "at most 1.1"};

    // A title and an author of its own for every file, so that no two get the same name.
    const QString named = freshFolder(work, "values-named", {source}, files);
    shell(program() + " set --template 'title=Report {name}' --author Smith --in-place " +
          quoted(named));
    const auto [renamed, exif] =
        inTurns(work, named, program() + " rename --to '{Author} - {Title}' %1",
                QStringLiteral("exiftool -q -q '-FileName<${Author} - ${Title}.pdf' %1"));
    table << Row{QStringLiteral("%1 one-page files: rename vs ExifTool -FileName<").arg(files),
                 secondsText(renamed), secondsText(exif), renamed / exif, "at most 0.5"};
}

void csv(const QString& work, const QString& source, int files, ResultTable& table) {
    csvAgainstOneForAll(work, source, files, table);
    largeTable(work, table);
}

// Both over the same one-page files, in place.
void strip(const QString& work, const QString& source, int files, ResultTable& table) {
    const double ours = shell(program() + " strip --in-place " +
                              quoted(freshFolder(work, "strip", {source}, files)));
    const double exif = shell(QStringLiteral("exiftool -q -q -all:all= -overwrite_original %1")
                                  .arg(quoted(freshFolder(work, "strip-exif", {source}, files))));
    table << Row{
        QStringLiteral("%1 one-page files: metascribe strip vs ExifTool -all:all=").arg(files),
        secondsText(ours), secondsText(exif), ours / exif, "at most 0.5"};
}

// Both over the same files, which stay as they are, in turns, medians of three rounds; their
// output goes nowhere. check says by its status whether it found anything, which is no failure.
void check(const QString& work, const QStringList& sources, int files, ResultTable& table) {
    const QString folder = quoted(freshFolder(work, "check", sources, files));
    shell("sync");
    QList<double> ours;
    QList<double> exif;
    for (int round = 0; round < 3; ++round) {
        ours << shell(program() + " check " + folder + " >/dev/null 2>&1 || true");
        exif << shell("exiftool -q -q -j " + folder + " >/dev/null");
    }
    table << Row{QStringLiteral("%1 files: metascribe check vs ExifTool -j").arg(files),
                 secondsText(median(ours)), secondsText(median(exif)), median(ours) / median(exif),
                 "at most 0.5"};
}

// Keeping every replaced original in the Trash (hard link, its description and the run's journal,
// each flushed to disk) against the same run without, and undo against the run it takes back:
// whole processes, in turns, medians of three rounds.
void trash(const QString& work, const QString& source, int files, ResultTable& table) {
    const QString set = program() + " set --title 'Benchmark Title' --in-place %1 %2";
    shell(set.arg("", quoted(freshFolder(work, "trash-first", {source}, 1))));
    QList<double> without;
    QList<double> with;
    QList<double> undo;
    for (int round = 0; round < 3; ++round) {
        without << shell(set.arg("", quoted(freshFolder(work, "plain", {source}, files))));
        with << shell(set.arg("--trash", quoted(freshFolder(work, "trash", {source}, files))));
        undo << shell(program() + " undo");
    }
    const double plain = median(without);
    const double kept = median(with);
    table << Row{QStringLiteral("%1 one-page files in place: set --trash vs without").arg(files),
                 secondsText(kept), secondsText(plain), kept / plain, "at most 1.3"};
    table << Row{QStringLiteral("undo of those %1 files vs the run it takes back").arg(files),
                 secondsText(median(undo)), secondsText(kept), median(undo) / kept, "at most 1"};
}

// Both runs start alike: their copies made and on the disk, Java's class archive made by a small
// run before.
void manyFiles(const QString& work, const QString& source, ResultTable& table) {
    constexpr int few = 1000;
    constexpr int many = 20000;
    shell(program() + " set --title 'Benchmark Title' --in-place " +
          quoted(freshFolder(work, "many-first", {source}, 1)));
    const QString fewFolder = freshFolder(work, "few", {source}, few);
    shell("sync");
    const SampledRun fewRun = sampledSet(fewFolder);
    QDir(fewFolder).removeRecursively();
    const QString manyFolder = freshFolder(work, "many", {source}, many);
    shell("sync");
    const SampledRun manyRun = sampledSet(manyFolder);
    QDir(manyFolder).removeRecursively();
    std::fprintf(stderr, "peak memory at %d files: program %.1f MB, toolkit host %.1f MB\n", few,
                 fewRun.programMegabytes, fewRun.hostMegabytes);
    std::fprintf(stderr, "peak memory at %d files: program %.1f MB, toolkit host %.1f MB\n", many,
                 manyRun.programMegabytes, manyRun.hostMegabytes);
    const double memory = manyRun.programMegabytes + manyRun.hostMegabytes;
    table << Row{
        QStringLiteral("%1 one-page files: peak memory, program and toolkit host").arg(many),
        QStringLiteral("%1 MB").arg(memory, 0, 'f', 1), "250 MB", memory / 250, "under 250 MB"};
    const double perManyFiles = manyRun.seconds / many;
    const double perFewFiles = fewRun.seconds / few;
    const auto milliseconds = [](double value) {
        return QStringLiteral("%1 ms").arg(value * 1000, 0, 'f', 2);
    };
    table << Row{QStringLiteral("time per file at %1 vs at %2").arg(many).arg(few),
                 milliseconds(perManyFiles), milliseconds(perFewFiles), perManyFiles / perFewFiles,
                 "at most 1"};
}

} // namespace CommandLineBenchmarks
