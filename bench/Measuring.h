#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// What every benchmark measures with: clocks, whole processes started through the shell, folders
// of copies to work on, and the memory the system reports of a process.
namespace Measuring {

// The time work takes, in seconds.
double seconds(const std::function<void()>& work);
// The time a bash script takes as a whole process; its output is dropped, a failure is told on
// stderr.
double shell(const QString& script);
// path as one word of a shell script.
QString quoted(const QString& path);
// The index-th copy fillFolder makes in folder.
QString copyPath(const QString& folder, int index);
// Copies the sources round-robin into a new folder until it holds count files.
void fillFolder(const QString& folder, const QStringList& sources, int count);
// A folder under work, emptied and filled anew with count copies of the sources.
QString freshFolder(const QString& work, const QString& name, const QStringList& sources,
                    int count);
// ExifTool setting the benchmark's Title and Author in every file of folder; its time.
double exifTool(const QString& folder, const QString& extraArguments = {});
double median(QList<double> values);
// A time in seconds as a row of the table shows it.
QString secondsText(double value);
// The resident memory of this process, in MB.
double residentMegabytes();
// The highest resident memory, in MB, of a process and of all its descendants as they were last
// seen, summed; peaks keeps each one's, by process id.
double peakMegabytes(qint64 pid, QMap<qint64, double>& peaks);

} // namespace Measuring
