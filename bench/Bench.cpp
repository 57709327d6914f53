// Measures the program's own batch run, preview, folder walk and memory against plain tools in
// the same run, and prints each as a ratio (a Markdown table).
//
//     scripts/bench.sh [--files N] [--tree N] [--large-mb N]
//                      [--only batch,cli,csv,strip,trash,xmp,encrypted,preview,walk,memory,large]

#include "CsvTable.h"
#include "FolderWalker.h"
#include "Form1.h"
#include "Form2.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"
#include "Toolkit.h"
#include "ToolkitHost.h"
#include "ValueTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct Row {
    QString what;
    QString ours;
    QString baseline;
    double ratio;
    QString goal;
};
QList<Row> table;

double seconds(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e9;
}

double shell(const QString& script) {
    return seconds([&] {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), script});
        process.waitForFinished(-1);
        if (process.exitCode() != 0)
            std::fprintf(stderr, "failed: %s\n", qPrintable(script));
    });
}

QString quoted(const QString& path) {
    return QLatin1Char('\'') + QString(path).replace("'", "'\\''") + QLatin1Char('\'');
}

// Copies the sources round-robin into a new folder until it holds count files.
void fillFolder(const QString& folder, const QStringList& sources, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i)
        QFile::copy(sources[i % sources.size()],
                    folder + QStringLiteral("/file%1.pdf").arg(i, 5, 10, QLatin1Char('0')));
}

// The worst lateness of a 10 ms timer while work runs.
class StallMeter {
public:
    StallMeter() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            worst_ = std::max(worst_, (now - last_) / 1e6 - 10);
            last_ = now;
        });
    }
    void start() {
        clock_.start();
        last_ = 0;
        worst_ = 0;
        timer_.start(10);
    }
    double stop() {
        timer_.stop();
        return worst_;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double worst_ = 0;
};

struct Batch {
    double seconds;
    double worstStall;
};

// password: answered to every prompt when given.
Batch runBatch(const QString& folder, const std::optional<QString>& password = std::nullopt) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    for (const QString& name : QDir(folder).entryList({"*.pdf"}, QDir::Files, QDir::Name))
        form.fileList().AddPath(folder + QLatin1Char('/') + name);
    form.findChild<QRadioButton*>("Option2")->click();
    form.findChild<QCheckBox*>("Check1")->setChecked(password.has_value());
    if (password)
        dialogs.inputAnswers.assign(form.fileList().Count(), password);
    form.findChild<QPushButton*>("PushButton2")->click();
    Form2* second = form.secondPage();
    // As in the window: the page is shown, and the user takes a moment to fill in the fields,
    // while the toolkit host starts.
    second->show();
    QElapsedTimer filling;
    filling.start();
    while (filling.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    second->findChild<QLineEdit*>("Text1")->setText("Benchmark Title");
    second->findChild<QLineEdit*>("Text3")->setText("Benchmark Author");
    StallMeter stalls;
    stalls.start();
    const double elapsed = seconds([&] { second->PushButton4_Click(); });
    const double worst = stalls.stop();
    if (dialogs.messages().isEmpty() || dialogs.messages().constLast().text != "Done.")
        std::fprintf(stderr, "batch did not end with a plain Done.: %s\n",
                     qPrintable(dialogs.messages().value(0).details.left(300)));
    return {elapsed, worst};
}

// A folder under work, emptied and filled anew with count copies of the sources.
QString freshFolder(const QString& work, const QString& name, const QStringList& sources,
                    int count) {
    const QString folder = work + "/" + name;
    QDir(folder).removeRecursively();
    fillFolder(folder, sources, count);
    return folder;
}

// ExifTool setting the benchmark's Title and Author in every file of folder; its time.
double exifTool(const QString& folder, const QString& extraArguments = {}) {
    return shell(QStringLiteral("exiftool -q -q -overwrite_original "
                                "-Title='Benchmark Title' -Author='Benchmark Author' %1 %2")
                     .arg(extraArguments, quoted(folder)));
}

QString secondsText(double value) {
    return QStringLiteral("%1 s").arg(value, 0, 'f', 2);
}

void batchBenchmarks(const QString& work, const QString& label, const QStringList& sources,
                     int files, bool withLoop, double& worstStall) {
    const QString info = work + "/info.txt";
    QFile file(info);
    file.open(QIODevice::WriteOnly);
    file.write("InfoBegin\r\nInfoKey: Title\r\nInfoValue: Benchmark Title\r\nInfoBegin\r\n"
               "InfoKey: Author\r\nInfoValue: Benchmark Author\r\n\r\n");
    file.close();

    const auto fresh = [&](const QString& name) {
        return freshFolder(work, name, sources, files);
    };
    const Batch ours = runBatch(fresh("ours"));
    worstStall = std::max(worstStall, ours.worstStall);
    const QString loopFolder = fresh("loop");
    const double loop =
        !withLoop
            ? 0
            : shell(QStringLiteral(
                        "cd %1 && for f in *.pdf; do pdftk \"$f\" update_info %2 output \"$f.new\" "
                        "dont_ask && mv \"$f.new\" \"$f\"; done")
                        .arg(quoted(loopFolder), quoted(info)));
    const double exif = exifTool(fresh("exif"));
    const QString copyFolder = fresh("copy");
    const double copy = shell(
        QStringLiteral("cp -r %1 %2").arg(quoted(copyFolder), quoted(copyFolder + "-copied")));
    const QString what = QStringLiteral("%1 files, %2").arg(files).arg(label);
    if (withLoop)
        table << Row{what + ": batch vs one pdftk per file", secondsText(ours.seconds),
                     secondsText(loop), ours.seconds / loop, ""};
    table << Row{what + ": batch vs ExifTool", secondsText(ours.seconds), secondsText(exif),
                 ours.seconds / exif, "at most 0.5"};
    table << Row{what + ": batch vs cp (the floor)", secondsText(ours.seconds), secondsText(copy),
                 ours.seconds / copy, ""};
}

// Ours against ExifTool writing the same fields the same way: into the XMP metadata as well,
// or into files protected by a password.
void againstExifTool(const QString& work, const QString& label, const QString& source, int files,
                     const QString& exifArguments, const std::optional<QString>& password) {
    const Batch ours = runBatch(freshFolder(work, "ours", {source}, files), password);
    const double exif = exifTool(freshFolder(work, "exif", {source}, files), exifArguments);
    table << Row{QStringLiteral("%1 files, %2: batch vs ExifTool").arg(files).arg(label),
                 secondsText(ours.seconds), secondsText(exif), ours.seconds / exif, "at most 0.6"};
}

// The command line against ExifTool, each as the whole process a script would start, Java's start
// included. One small run before makes Java's class archive, as any earlier run would have.
void commandLineBenchmark(const QString& work, const QString& source, int files) {
    const QString program = quoted(QCoreApplication::applicationDirPath() + "/metascribe");
    const QString set = program + " set --title 'Benchmark Title' --author 'Benchmark Author' "
                                  "--in-place %1";
    shell(set.arg(quoted(freshFolder(work, "cli-first", {source}, 1))));
    const double ours = shell(set.arg(quoted(freshFolder(work, "cli", {source}, files))));
    const double exif = exifTool(freshFolder(work, "cli-exif", {source}, files));
    table << Row{QStringLiteral("%1 one-page files: metascribe set vs ExifTool").arg(files),
                 secondsText(ours), secondsText(exif), ours / exif, "at most 0.5"};
}

// metascribe strip against ExifTool removing every tag it can, each as the whole process over the
// same one-page files, in place.
void stripBenchmark(const QString& work, const QString& source, int files) {
    const QString program = quoted(QCoreApplication::applicationDirPath() + "/metascribe");
    const double ours =
        shell(program + " strip --in-place " + quoted(freshFolder(work, "strip", {source}, files)));
    const double exif = shell(QStringLiteral("exiftool -q -q -all:all= -overwrite_original %1")
                                  .arg(quoted(freshFolder(work, "strip-exif", {source}, files))));
    table << Row{
        QStringLiteral("%1 one-page files: metascribe strip vs ExifTool -all:all=").arg(files),
        secondsText(ours), secondsText(exif), ours / exif, "at most 0.5"};
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Keeping every replaced original in the Trash (hard link, its description and the run's journal,
// each flushed to disk) against the same run without, and undo against the run it takes back:
// whole processes, in turns, medians of three rounds.
void trashBenchmark(const QString& work, const QString& source, int files) {
    const QString program = quoted(QCoreApplication::applicationDirPath() + "/metascribe");
    const QString set = program + " set --title 'Benchmark Title' --in-place %1 %2";
    shell(set.arg("", quoted(freshFolder(work, "trash-first", {source}, 1))));
    QList<double> without;
    QList<double> with;
    QList<double> undo;
    for (int round = 0; round < 3; ++round) {
        without << shell(set.arg("", quoted(freshFolder(work, "plain", {source}, files))));
        with << shell(set.arg("--trash", quoted(freshFolder(work, "trash", {source}, files))));
        undo << shell(program + " undo");
    }
    const double plain = median(without);
    const double kept = median(with);
    table << Row{QStringLiteral("%1 one-page files in place: set --trash vs without").arg(files),
                 secondsText(kept), secondsText(plain), kept / plain, "at most 1.3"};
    table << Row{QStringLiteral("undo of those %1 files vs the run it takes back").arg(files),
                 secondsText(median(undo)), secondsText(kept), median(undo) / kept, "at most 1"};
}

// A scan-like PDF file of about megabytes MB at path: pages of 16 MB grey images, whose bytes are
// random so that no tool can take a shortcut through them.
void writeLargePdf(const QString& path, int megabytes) {
    constexpr qint64 width = 4096;
    constexpr qint64 height = 4096;
    const int pages = std::max(1, megabytes / 16);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QList<qint64> offsets;
    const auto object = [&](const QByteArray& body) {
        offsets << file.pos();
        file.write(QByteArray::number(offsets.size()) + " 0 obj\n" + body + "\nendobj\n");
    };
    file.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    QByteArray kids;
    for (int page = 0; page < pages; ++page)
        kids += QByteArray::number(3 + 3 * page) + " 0 R ";
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pages) + " >>");
    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(1);
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QByteArray content = "q 612 0 0 792 0 0 cm /Im0 Do Q";
    for (int page = 0; page < pages; ++page) {
        const QByteArray image = QByteArray::number(5 + 3 * page);
        object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << "
               "/Im0 " +
               image + " 0 R >> >> /Contents " + QByteArray::number(4 + 3 * page) + " 0 R >>");
        object("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
               "\nendstream");
        offsets << file.pos();
        file.write(image + " 0 obj\n<< /Type /XObject /Subtype /Image /Width " +
                   QByteArray::number(width) + " /Height " + QByteArray::number(height) +
                   " /ColorSpace /DeviceGray /BitsPerComponent 8 /Length " +
                   QByteArray::number(width * height) + " >>\nstream\n");
        for (qint64 left = width * height; left > 0; left -= noise.size()) {
            noise[page % noise.size()] = static_cast<char>(page); // no two images alike
            file.write(noise.constData(), std::min<qint64>(left, noise.size()));
        }
        file.write("\nendstream\nendobj\n");
    }
    object("<< /Title (Large scan) /Producer (Benchmark) >>");
    const qint64 xref = file.pos();
    file.write("xref\n0 " + QByteArray::number(offsets.size() + 1) + "\n0000000000 65535 f \n");
    for (qint64 offset : offsets)
        file.write(QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n");
    file.write("trailer\n<< /Size " + QByteArray::number(offsets.size() + 1) +
               " /Root 1 0 R /Info " + QByteArray::number(offsets.size()) + " 0 R >>\nstartxref\n" +
               QByteArray::number(xref) + "\n%%EOF\n");
}

// The highest resident memory, in MB, of a process and of its children as they were last seen.
double peakMegabytes(qint64 pid, QMap<qint64, double>& peaks) {
    const auto highWater = [](qint64 process) {
        QFile status(QStringLiteral("/proc/%1/status").arg(process));
        if (!status.open(QIODevice::ReadOnly))
            return -1.0;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        return -1.0;
    };
    QList<qint64> processes{pid};
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly))
        for (const QByteArray& child : children.readAll().split(' '))
            if (!child.trimmed().isEmpty())
                processes << child.trimmed().toLongLong();
    for (qint64 process : processes) {
        const double seen = highWater(process);
        if (seen >= 0)
            peaks[process] = std::max(peaks.value(process), seen);
    }
    double sum = 0;
    for (double peak : std::as_const(peaks))
        sum += peak;
    return sum;
}

// One large file changed by the command line, against ExifTool on the same file (or, without
// ExifTool, against a copy of it), medians of three rounds; and the resident memory of the program
// and its toolkit host together, the sum of their peaks. One small run before makes Java's class
// archive, as any earlier run would have.
void largeFileBenchmark(const QString& work, const QString& small, int megabytes) {
    const QString program = QCoreApplication::applicationDirPath() + "/metascribe";
    shell(QStringLiteral("%1 set --title 'Benchmark Title' --in-place %2")
              .arg(quoted(program), quoted(freshFolder(work, "large-first", {small}, 1))));
    const QString original = work + "/large-original.pdf";
    writeLargePdf(original, megabytes);
    const QString file = work + "/large.pdf";
    // Both programs start alike: the file just copied, in the page cache and already on the disk
    // (so neither waits for the other's writing, nor for the copy's).
    const auto fresh = [&] {
        QFile::remove(file);
        QFile::copy(original, file);
        shell("sync");
    };
    const bool haveExifTool = !QStandardPaths::findExecutable("exiftool").isEmpty();
    const auto baselineRun = [&] {
        fresh();
        const double elapsed =
            haveExifTool
                ? shell(QStringLiteral("exiftool -q -q -overwrite_original "
                                       "-Title='Benchmark Title' %1")
                            .arg(quoted(file)))
                : shell(QStringLiteral("cp %1 %2").arg(quoted(file), quoted(file + ".copy")));
        QFile::remove(file + ".copy");
        return elapsed;
    };
    QList<double> ours;
    QList<double> baseline;
    double memory = 0;
    // Looking at the processes' memory while they run slows them down, so that is a run apart.
    // The two programs take turns at going first, so that neither always has the disk right after
    // the same thing.
    for (int round = 0; round < 4; ++round) {
        const bool timed = round < 3;
        if (timed && round % 2 == 1)
            baseline << baselineRun();
        fresh();
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        QMap<qint64, double> peaks;
        const double elapsed =
            timed ? shell(QStringLiteral("%1 set --title 'Benchmark Title' --in-place %2")
                              .arg(quoted(program), quoted(file)))
                  : seconds([&] {
                        process.start(program,
                                      {"set", "--title", "Benchmark Title", "--in-place", file});
                        process.waitForStarted(-1);
                        while (!process.waitForFinished(20))
                            memory = std::max(memory, peakMegabytes(process.processId(), peaks));
                    });
        if (process.exitCode() != 0)
            std::fprintf(stderr, "metascribe failed on the large file\n");
        if (!timed)
            break;
        ours << elapsed;
        if (round % 2 == 0)
            baseline << baselineRun();
    }
    const double elapsed = median(ours);
    const double other = median(baseline);
    const QString label = QStringLiteral("one %1 MB file (%2 pages of 16 MB images): metascribe "
                                         "set vs %3")
                              .arg(megabytes)
                              .arg(std::max(1, megabytes / 16))
                              .arg(haveExifTool ? "ExifTool" : "cp (ExifTool is missing)");
    table << Row{label, secondsText(elapsed), secondsText(other), elapsed / other,
                 haveExifTool ? "at most 1.5" : ""};
    table << Row{QStringLiteral("resident memory changing that file, program and toolkit host"),
                 QStringLiteral("%1 MB").arg(memory, 0, 'f', 1), "300 MB", memory / 300,
                 "at most 1"};
    QFile::remove(file);
    QFile::remove(original);
}

// set --csv with a value of its own for every file against set with one value for all, over the
// same one-page files; then the check of a table of 100,000 rows before any file is touched.
void tableBenchmark(const QString& work, const QString& source, int files) {
    const QString program = quoted(QCoreApplication::applicationDirPath() + "/metascribe");
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
    const QString one = program + " set --title 'Benchmark Title' --author 'Benchmark Author' "
                                  "--in-place %1";
    shell(one.arg(quoted(freshFolder(work, "csv-first", {source}, 1))));
    QList<double> ourTimes;
    QList<double> oneTimes;
    // The copies are on disk before each turn, so neither pays for the other's writes.
    for (int turn = 0; turn < 5; ++turn) {
        freshFolder(work, "csv", {source}, files);
        shell("sync");
        ourTimes << shell(program + " set --in-place --csv " + quoted(sheet.fileName()));
        const QString oneFolder = freshFolder(work, "csv-one", {source}, files);
        shell("sync");
        oneTimes << shell(one.arg(quoted(oneFolder)));
    }
    const double ours = median(ourTimes);
    const double oneForAll = median(oneTimes);
    table << Row{QStringLiteral("%1 one-page files: set --csv vs one value for all").arg(files),
                 secondsText(ours), secondsText(oneForAll), ours / oneForAll, "at most 1.1"};

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
    const double parsed = seconds([&] {
        big.open(QIODevice::ReadOnly);
        CsvTable::Reader reader(big);
        while (reader.next()) {
        }
        big.close();
    });
    table << Row{"reading a table of 100,000 rows, no file looked at", secondsText(parsed), "2 s",
                 parsed / 2, "at most 1"};
    const double checked = seconds([&] { ValueTable::read(big.fileName()); });
    table << Row{"checking a table of 100,000 rows, every file found", secondsText(checked), "2 s",
                 checked / 2, "at most 1"};
}

void previewBenchmark(const QString& work, const QString& sample) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    const QString file = work + "/preview.pdf";
    QFile::copy(sample, file);
    form.fileList().AddPath(file);
    form.fileList().select(1);
    form.ListView1_Click(); // starts the host
    QList<double> ours;
    QList<double> process;
    for (int i = 0; i < 15; ++i) {
        ours << seconds([&] { form.ListView1_Click(); });
        process << shell(QStringLiteral("pdftk %1 dump_data").arg(quoted(file)));
    }
    const double warm = median(ours) * 1000;
    const double alone = median(process) * 1000;
    table << Row{"warm preview of one file vs one pdftk dump_data",
                 QStringLiteral("%1 ms").arg(warm, 0, 'f', 1),
                 QStringLiteral("%1 ms").arg(alone, 0, 'f', 1), warm / alone, "under 30 ms"};
}

void walkBenchmark(const QString& work, int files, double& worstStall) {
    const QString tree = work + "/tree";
    // 100 folders in two levels, files spread evenly.
    const int folders = 100;
    for (int f = 0; f < folders; ++f) {
        const QString folder = tree + QStringLiteral("/group%1/folder%2").arg(f / 10).arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < files / folders; ++i) {
            QFile touch(folder + QStringLiteral("/doc%1.pdf").arg(i));
            touch.open(QIODevice::WriteOnly);
        }
    }
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    dialogs.inputAnswers.push_back(QStringLiteral("*"));
    dialogs.folderAnswers.push_back(tree);
    StallMeter stalls;
    stalls.start();
    const double ours = seconds([&] { form.findChild<QPushButton*>("PushButton4")->click(); });
    const double worst = stalls.stop();
    worstStall = std::max(worstStall, worst);
    const double find = shell(QStringLiteral("find %1 -type f").arg(quoted(tree)));
    qsizetype found = 0;
    const double walk = seconds([&] {
        QStringList folders{tree + "/"};
        FolderWalker::Listing listing;
        FolderWalker::AppendSubFolders(folders, true, &listing);
        for (const QString& folder : std::as_const(folders))
            found += FolderWalker::GetFolderFiles(folder, "*.*", &listing).size();
    });
    table << Row{QStringLiteral("walking a tree of %1 files vs find").arg(found),
                 QStringLiteral("%1 s").arg(walk, 0, 'f', 3),
                 QStringLiteral("%1 s").arg(find, 0, 'f', 3), walk / find, "at most 2"};
    table << Row{QStringLiteral("adding that tree to the list vs find"),
                 QStringLiteral("%1 s").arg(ours, 0, 'f', 2),
                 QStringLiteral("%1 s").arg(find, 0, 'f', 2), ours / find, ""};
    table << Row{"longest event-loop stall while adding the tree",
                 QStringLiteral("%1 ms").arg(worst, 0, 'f', 1), "50 ms", worst / 50, "at most 1"};
}

double residentMegabytes() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

double memoryWithRows(int rows) {
    ScriptedDialogs dialogs;
    Form1 form;
    form.Form_Load();
    form.show();
    for (int i = 0; i < rows; ++i)
        form.fileList().AddPath(
            QStringLiteral("/home/someone/Documents/Archive/2024/scans/document-%1.pdf").arg(i));
    QCoreApplication::processEvents();
    return residentMegabytes();
}

void memoryBenchmark() {
    const auto measure = [](int rows) {
        QProcess self;
        self.start(QCoreApplication::applicationFilePath(),
                   {"--memory-of-rows", QString::number(rows)});
        self.waitForFinished(-1);
        return self.readAllStandardOutput().trimmed().toDouble();
    };
    const double empty = measure(0);
    const double full = measure(10000);
    table << Row{"resident memory with 10,000 rows", QStringLiteral("%1 MB").arg(full, 0, 'f', 1),
                 "100 MB", full / 100,
                 QStringLiteral("at most 1 (%1 MB with an empty list)").arg(empty, 0, 'f', 1)};
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int files = 1000;
    int treeFiles = 100000;
    int largeMegabytes = 1024;
    QStringList only{"batch",   "cli", "csv",     "strip", "trash", "xmp",
                     "encrypted", "preview", "walk",  "memory", "large"};
    bool loop = true;
    const QStringList arguments = application.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString next = arguments.value(i + 1);
        if (arguments[i] == "--files")
            files = next.toInt();
        else if (arguments[i] == "--tree")
            treeFiles = next.toInt();
        else if (arguments[i] == "--large-mb")
            largeMegabytes = next.toInt();
        else if (arguments[i] == "--only")
            only = next.split(',');
        else if (arguments[i] == "--no-loop")
            loop = false;
        else if (arguments[i] == "--memory-of-rows") {
            // Run in a process of its own, so nothing measured before inflates it.
            std::printf("%f\n", memoryWithRows(next.toInt()));
            return 0;
        }
    }
    QTemporaryDir home;
    TestFiles::isolateHome(home.path());
    if (Toolkit::path().isEmpty()) {
        std::fprintf(stderr, "pdftk is missing\n");
        return 1;
    }
    QTemporaryDir work;
    const QString samples = QCoreApplication::applicationDirPath() + "/Samples";
    const QString onePage = samples + "/Quarterly Report.pdf";
    QStringList corpus;
    for (const QString& name : QDir(CORPUS_FOLDER).entryList({"*.pdf"}, QDir::Files, QDir::Name))
        if (!name.contains("password"))
            corpus << QStringLiteral(CORPUS_FOLDER) + "/" + name;

    double worstStall = 0;
    if (only.contains("batch")) {
        std::fprintf(stderr, "batches of %d files...\n", files);
        batchBenchmarks(work.path(), "one-page PDFs", {onePage}, files, loop, worstStall);
        batchBenchmarks(work.path(), "corpus copies", corpus, files, loop, worstStall);
        table << Row{"longest event-loop stall during a batch",
                     QStringLiteral("%1 ms").arg(worstStall, 0, 'f', 1), "50 ms", worstStall / 50,
                     "at most 1"};
    }
    if (only.contains("cli")) {
        std::fprintf(stderr, "command line, %d files...\n", files);
        commandLineBenchmark(work.path(), onePage, files);
    }
    if (only.contains("csv")) {
        std::fprintf(stderr, "tables, %d files...\n", files);
        tableBenchmark(work.path(), onePage, files);
    }
    if (only.contains("strip")) {
        std::fprintf(stderr, "strip, %d files...\n", files);
        stripBenchmark(work.path(), onePage, files);
    }
    if (only.contains("trash")) {
        std::fprintf(stderr, "keeping originals in the Trash, %d files...\n", files);
        trashBenchmark(work.path(), onePage, files);
    }
    if (only.contains("xmp")) {
        std::fprintf(stderr, "files with XMP metadata...\n");
        againstExifTool(work.path(), "with XMP metadata",
                        QStringLiteral(CORPUS_FOLDER) + "/output_with_metadata_pymupdf.pdf", files,
                        "-XMP-dc:Title='Benchmark Title' -XMP-dc:Creator='Benchmark Author'",
                        std::nullopt);
    }
    if (only.contains("encrypted")) {
        std::fprintf(stderr, "encrypted files...\n");
        const QString locked = work.path() + "/locked.pdf";
        shell(QStringLiteral("qpdf --encrypt user owner 128 --use-aes=y -- %1 %2")
                  .arg(quoted(onePage), quoted(locked)));
        againstExifTool(work.path(), "AES-128 with a user password", locked, files / 10,
                        "-password user", QStringLiteral("user"));
    }
    if (only.contains("preview")) {
        std::fprintf(stderr, "preview...\n");
        previewBenchmark(work.path(), onePage);
    }
    if (only.contains("walk")) {
        std::fprintf(stderr, "tree of %d files...\n", treeFiles);
        double walkStall = 0;
        walkBenchmark(work.path(), treeFiles, walkStall);
    }
    if (only.contains("memory"))
        memoryBenchmark();
    if (only.contains("large")) {
        std::fprintf(stderr, "one file of %d MB...\n", largeMegabytes);
        largeFileBenchmark(work.path(), onePage, largeMegabytes);
    }
    ToolkitHost::instance().shutDown();

    std::printf("| measurement | Metascribe | baseline | ratio | goal |\n|---|---|---|---|---|\n");
    for (const Row& row : table)
        std::printf("| %s | %s | %s | %.2f | %s |\n", qPrintable(row.what), qPrintable(row.ours),
                    qPrintable(row.baseline), row.ratio, qPrintable(row.goal));
    return 0;
}
