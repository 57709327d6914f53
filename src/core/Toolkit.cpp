#include "Toolkit.h"

#include "PathHelpers.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString toolName = QStringLiteral("pdftk");

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}
} // namespace

QString Toolkit::path() {
    static const QString resolved =
        locate(PathHelpers::ProgramFolder(), qEnvironmentVariable("PATH"));
    return resolved;
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
