#include "Measuring.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>

namespace Measuring {

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

QString copyPath(const QString& folder, int index) {
    return folder + QStringLiteral("/file%1.pdf").arg(index, 5, 10, QLatin1Char('0'));
}

void fillFolder(const QString& folder, const QStringList& sources, int count) {
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i)
        QFile::copy(sources[i % sources.size()], copyPath(folder, i));
}

QString freshFolder(const QString& work, const QString& name, const QStringList& sources,
                    int count) {
    const QString folder = work + "/" + name;
    QDir(folder).removeRecursively();
    fillFolder(folder, sources, count);
    return folder;
}

double exifTool(const QString& folder, const QString& extraArguments) {
    return shell(QStringLiteral("exiftool -q -q -overwrite_original "
                                "-Title='Benchmark Title' -Author='Benchmark Author' %1 %2")
                     .arg(extraArguments, quoted(folder)));
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QString secondsText(double value) {
    return QStringLiteral("%1 s").arg(value, 0, 'f', 2);
}

double residentMegabytes() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

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
    // The process and all its descendants: a child is listed under the thread that started it,
    // which need not be the main one, and a child may start processes of its own.
    QList<qint64> processes{pid};
    for (qsizetype next = 0; next < processes.size(); ++next) {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(processes[next]));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks.filePath(task) + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& child : children.readAll().split(' '))
                if (!child.trimmed().isEmpty() && !processes.contains(child.trimmed().toLongLong()))
                    processes << child.trimmed().toLongLong();
        }
    }
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

} // namespace Measuring
