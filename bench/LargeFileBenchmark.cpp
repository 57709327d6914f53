#include "LargeFileBenchmark.h"

#include "Measuring.h"
#include "ResultTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>

namespace LargeFileBenchmark {

namespace {

using Measuring::median;
using Measuring::quoted;
using Measuring::secondsText;
using Measuring::shell;
using Row = ResultTable::Row;

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

// Both programs start alike: the file just copied, in the page cache and already on the disk
// (so neither waits for the other's writing, nor for the copy's).
void freshCopy(const QString& original, const QString& file) {
    QFile::remove(file);
    QFile::copy(original, file);
    shell("sync");
}

// ExifTool setting the Title of a fresh copy of original, or without ExifTool, copying it; its
// time.
double baselineRun(const QString& original, const QString& file, bool haveExifTool) {
    freshCopy(original, file);
    const double elapsed =
        haveExifTool ? shell(QStringLiteral("exiftool -q -q -overwrite_original "
                                            "-Title='Benchmark Title' %1")
                                 .arg(quoted(file)))
                     : shell(QStringLiteral("cp %1 %2").arg(quoted(file), quoted(file + ".copy")));
    QFile::remove(file + ".copy");
    return elapsed;
}

// The sum of the peaks of the program and its toolkit host, in MB, while the program changes
// file. Looking at the processes' memory while they run slows them down, so that is a run apart
// from the timed ones.
double peakMemoryOfRun(const QString& program, const QString& file) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QMap<qint64, double> peaks;
    double memory = 0;
    process.start(program, {"set", "--title", "Benchmark Title", "--in-place", file});
    process.waitForStarted(-1);
    while (!process.waitForFinished(20))
        memory = std::max(memory, Measuring::peakMegabytes(process.processId(), peaks));
    if (process.exitCode() != 0)
        std::fprintf(stderr, "metascribe failed on the large file\n");
    return memory;
}

} // namespace

void run(const QString& work, const QString& small, int megabytes, ResultTable& table) {
    const QString program = QCoreApplication::applicationDirPath() + "/metascribe";
    const QString set = QStringLiteral("%1 set --title 'Benchmark Title' --in-place %2");
    shell(
        set.arg(quoted(program), quoted(Measuring::freshFolder(work, "large-first", {small}, 1))));
    const QString original = work + "/large-original.pdf";
    writeLargePdf(original, megabytes);
    const QString file = work + "/large.pdf";
    const bool haveExifTool = !QStandardPaths::findExecutable("exiftool").isEmpty();
    QList<double> ours;
    QList<double> baseline;
    // The two programs take turns at going first, so that neither always has the disk right after
    // the same thing.
    for (int round = 0; round < 3; ++round) {
        if (round % 2 == 1)
            baseline << baselineRun(original, file, haveExifTool);
        freshCopy(original, file);
        ours << shell(set.arg(quoted(program), quoted(file)));
        if (round % 2 == 0)
            baseline << baselineRun(original, file, haveExifTool);
    }
    freshCopy(original, file);
    const double memory = peakMemoryOfRun(program, file);
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

} // namespace LargeFileBenchmark
