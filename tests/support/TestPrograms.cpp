#include "TestPrograms.h"

#include <QFile>
#include <QProcess>

namespace TestPrograms {

bool run(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.start(program, arguments);
    // The toolkit's Java may take long to start on a busy machine.
    if (!process.waitForFinished(120000))
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString encrypted(const QString& plain, const QString& locked, const QStringList& encryption) {
    const QStringList arguments =
        QStringList{QStringLiteral("--allow-weak-crypto"), QStringLiteral("--encrypt")}
        << encryption << QStringLiteral("--") << plain << locked;
    return run(QStringLiteral("qpdf"), arguments) ? locked : QString();
}

std::optional<Status> status(const QByteArray& pid) {
    QFile stat("/proc/" + pid + "/stat");
    if (pid.isEmpty() || !stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // The name stands in parentheses and may hold blanks and parentheses itself.
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    const QList<QByteArray> rest = line.mid(close + 2).split(' ');
    return Status{line.mid(open + 1, close - open - 1), rest.value(0).at(0), rest.value(1)};
}

bool alive(const QByteArray& pid) {
    const std::optional<Status> found = status(pid);
    return found && found->state != 'Z';
}

} // namespace TestPrograms
