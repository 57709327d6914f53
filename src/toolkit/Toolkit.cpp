#include "Toolkit.h"

#include "PathHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStandardPaths>
#include <optional>

namespace {
const QString toolName = QStringLiteral("pdftk");

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}
} // namespace

namespace {
std::optional<QString> replacement;
}

namespace {

// What a toolkit launcher script says about starting Java.
struct Launcher {
    QStringList jars;
    QString mainClass;
};

Launcher launcherScript(const QString& launcher) {
    // Read once per launcher in a run of the program, like the toolkit's own path.
    static QHash<QString, Launcher> known;
    if (const auto found = known.constFind(launcher); found != known.constEnd())
        return *found;
    Launcher read;
    QFile script(launcher);
    if (script.open(QIODevice::ReadOnly) && script.peek(2) == "#!") {
        const QString text = QString::fromUtf8(script.read(64 * 1024));
        static const QRegularExpression jar(QStringLiteral("(/[^\\s:=\"'$]+\\.jar)"));
        for (auto match = jar.globalMatch(text); match.hasNext();) {
            const QString path = match.next().captured(1);
            if (QFileInfo(path).isFile() && !read.jars.contains(path))
                read.jars << path;
        }
        // Only a line that gives Java nothing but the class path, the class and the script's
        // own arguments can be replaced by starting Java directly.
        static const QRegularExpression start(
            QStringLiteral("^[ \\t]*(?:exec[ \\t]+)?java[ \\t]+(?:-cp|-classpath|--class-path)"
                           "(?:[ \\t]+|=)\\S+[ \\t]+([A-Za-z_$][\\w$]*(?:\\.[A-Za-z_$][\\w$]*)*)"
                           "[ \\t]+\"\\$@\"[ \\t]*$"),
            QRegularExpression::MultilineOption);
        QStringList classes;
        for (auto match = start.globalMatch(text); match.hasNext();)
            classes << match.next().captured(1);
        classes.removeDuplicates();
        // A script that chooses between ways to start Java must make that choice itself.
        if (classes.size() == 1)
            read.mainClass = classes.first();
    }
    return *known.insert(launcher, read);
}

} // namespace

QString Toolkit::path() {
    if (replacement)
        return *replacement;
    static const QString resolved =
        locate(PathHelpers::ProgramFolder(), qEnvironmentVariable("PATH"));
    return resolved;
}

void Toolkit::replace(const QString& program) {
    replacement = program;
}

void Toolkit::restore() {
    replacement.reset();
}

QString Toolkit::locate(const QString& programFolder, const QString& searchPath) {
    QString own = programFolder;
    if (!own.endsWith(QLatin1Char('/')))
        own += QLatin1Char('/');
    own += toolName;
    if (isExecutableFile(own))
        return own;
    const QStringList folders = searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    // With no folders at all, findExecutable would search the program's own PATH instead.
    if (folders.isEmpty())
        return {};
    return QStandardPaths::findExecutable(toolName, folders);
}

QStringList Toolkit::launcherJars(const QString& launcher) {
    return launcherScript(launcher).jars;
}

QString Toolkit::launcherMainClass(const QString& launcher) {
    return launcherScript(launcher).mainClass;
}
