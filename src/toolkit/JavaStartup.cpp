#include "JavaStartup.h"

#include "Toolkit.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <unistd.h>

namespace {

const QString optionsVariable = QStringLiteral("JDK_JAVA_OPTIONS");
const QByteArray javaNote = QByteArrayLiteral("NOTE: Picked up JDK_JAVA_OPTIONS:");
const QByteArray javaAbort = QByteArrayLiteral("A fatal error has been detected by the Java");

// An archive belongs to one set of jars; a changed jar gives a new name.
QString archiveName(const QStringList& jars) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& jar : jars) {
        const QFileInfo info(jar);
        hash.addData(jar.toUtf8());
        hash.addData(QByteArray::number(info.size()));
        hash.addData(QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    }
    return QStringLiteral("pdftk-") + QString::fromLatin1(hash.result().toHex().left(16)) +
           QStringLiteral(".jsa");
}

} // namespace

QString JavaStartup::archiveFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/metascribe");
}

JavaStartup::Plan JavaStartup::plan(const QString& toolkit) {
    // Where a toolkit's archive belongs is settled once per run of the program.
    static QHash<QString, QString> archives;
    auto known = archives.constFind(toolkit);
    if (known == archives.constEnd()) {
        const QStringList jars = Toolkit::launcherJars(toolkit);
        const bool usable = !jars.isEmpty() && QDir().mkpath(archiveFolder());
        known = archives.insert(
            toolkit, usable ? archiveFolder() + QLatin1Char('/') + archiveName(jars) : QString());
    }
    if (known->isEmpty())
        return {};
    Plan plan;
    plan.archive = *known;
    if (QFileInfo(plan.archive).isFile()) {
        plan.options = QStringLiteral("-XX:SharedArchiveFile=") + plan.archive +
                       QStringLiteral(" -Xshare:auto");
    } else {
        // The folder may have gone since; writing the archive must not become Java's problem.
        if (!QDir().mkpath(archiveFolder()))
            return {};
        plan.pendingArchive =
            plan.archive + QStringLiteral(".%1.part").arg(QString::number(::getpid()));
        plan.options = QStringLiteral("-XX:ArchiveClassesAtExit=") + plan.pendingArchive;
    }
    return plan;
}

void JavaStartup::apply(const Plan& plan, QProcessEnvironment& environment) {
    if (plan.options.isEmpty())
        return;
    const QString existing = environment.value(optionsVariable);
    environment.insert(optionsVariable, existing.isEmpty()
                                            ? plan.options
                                            : existing + QLatin1Char(' ') + plan.options);
}

void JavaStartup::finish(const Plan& plan, ToolResult& result) {
    if (plan.options.isEmpty())
        return;
    if (result.standardError.startsWith(javaNote)) {
        const qsizetype end = result.standardError.indexOf('\n');
        result.standardError.remove(0, end < 0 ? result.standardError.size() : end + 1);
    }
    if (!plan.pendingArchive.isEmpty()) {
        // Only a run that ended well has written the whole archive.
        if (result.outcome == ToolResult::Outcome::Finished &&
            QFileInfo(plan.pendingArchive).size() > 0)
            QFile::rename(plan.pendingArchive, plan.archive);
        QFile::remove(plan.pendingArchive);
    } else if (result.outcome == ToolResult::Outcome::Crashed ||
               result.standardError.contains(javaAbort) ||
               result.standardOutput.contains(javaAbort)) {
        // A damaged archive aborts Java; without it the next start is only slower.
        QFile::remove(plan.archive);
    }
}
