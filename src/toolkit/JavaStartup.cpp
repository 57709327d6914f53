#include "JavaStartup.h"

#include "Toolkit.h"

#include <QCryptographicHash>
#include <QDateTime>
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

// An archive belongs to one set of jars and one Java: a changed jar, or a Java updated since,
// gives a new name. Java would refuse an archive of another build itself, but only with a warning
// at every start, and none would ever be written for the new one.
QString archiveName(const QString& prefix, const QStringList& jars) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const QString java =
        QFileInfo(QStandardPaths::findExecutable(QStringLiteral("java"))).canonicalFilePath();
    QStringList identified = jars;
    if (!java.isEmpty())
        identified << java
                   << QFileInfo(java).dir().filePath(QStringLiteral("../lib/server/libjvm.so"));
    for (const QString& file : identified) {
        const QFileInfo info(file);
        hash.addData(file.toUtf8());
        hash.addData(QByteArray::number(info.size()));
        hash.addData(QByteArray::number(info.lastModified().toMSecsSinceEpoch()));
    }
    return prefix + QString::fromLatin1(hash.result().toHex().left(16)) + QStringLiteral(".jsa");
}

// Where the archive of a set of jars belongs, settled once per run of the program; nothing when
// there is no cache folder to keep it in.
QString archiveFor(const QString& prefix, const QStringList& jars) {
    static QHash<QString, QString> archives;
    const QString key = prefix + jars.join(QLatin1Char(':'));
    auto known = archives.constFind(key);
    if (known == archives.constEnd()) {
        const bool usable = !jars.isEmpty() && QDir().mkpath(JavaStartup::archiveFolder());
        known = archives.insert(key, usable ? JavaStartup::archiveFolder() + QLatin1Char('/') +
                                                  archiveName(prefix, jars)
                                            : QString());
    }
    return *known;
}

JavaStartup::Plan planWith(const QString& archive) {
    if (archive.isEmpty())
        return {};
    JavaStartup::Plan plan;
    plan.archive = archive;
    if (QFileInfo(plan.archive).isFile()) {
        plan.arguments = {QStringLiteral("-XX:SharedArchiveFile=") + plan.archive,
                          QStringLiteral("-Xshare:auto")};
    } else {
        // The folder may have gone since; writing the archive must not become Java's problem.
        if (!QDir().mkpath(JavaStartup::archiveFolder()))
            return {};
        // What a Java killed while it wrote left behind, a day or more ago.
        const QFileInfo target(plan.archive);
        const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
        for (const QFileInfo& left : target.dir().entryInfoList(
                 {target.fileName() + QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)) {
            if (left.lastModified() < dayAgo)
                QFile::remove(left.filePath());
        }
        // Each Java this program starts writes its own, should two be at it at once.
        static int started = 0;
        plan.pendingArchive =
            plan.archive +
            QStringLiteral(".%1-%2.part").arg(QString::number(::getpid())).arg(++started);
        plan.arguments = {QStringLiteral("-XX:ArchiveClassesAtExit=") + plan.pendingArchive};
    }
    plan.options = plan.arguments.join(QLatin1Char(' '));
    return plan;
}

} // namespace

QString JavaStartup::archiveFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/metascribe");
}

JavaStartup::Plan JavaStartup::plan(const QString& toolkit) {
    return planWith(archiveFor(QStringLiteral("pdftk-"), Toolkit::launcherJars(toolkit)));
}

JavaStartup::Plan JavaStartup::hostPlan(const QStringList& classPath) {
    return planWith(archiveFor(QStringLiteral("host-"), classPath));
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
        keep(plan, result.outcome == ToolResult::Outcome::Finished);
    } else if (result.outcome == ToolResult::Outcome::Crashed ||
               result.standardError.contains(javaAbort) ||
               result.standardOutput.contains(javaAbort)) {
        drop(plan);
    }
}

void JavaStartup::keep(const Plan& plan, bool endedWell) {
    if (plan.pendingArchive.isEmpty())
        return;
    // Only a Java that ended well has written the whole archive.
    if (endedWell && QFileInfo(plan.pendingArchive).size() > 0)
        QFile::rename(plan.pendingArchive, plan.archive);
    QFile::remove(plan.pendingArchive);
}

bool JavaStartup::drop(const Plan& plan) {
    // A damaged archive aborts Java; without it the next start is only slower.
    if (!plan.pendingArchive.isEmpty() || plan.archive.isEmpty())
        return false;
    QFile::remove(plan.archive);
    return !QFileInfo::exists(plan.archive);
}
