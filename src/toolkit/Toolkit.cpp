#include "Toolkit.h"

#include "PathHelpers.h"

#include <QFileInfo>
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

QString Toolkit::path() {
    if (replacement)
        return *replacement;
    static const QString resolved =
        locate(PathHelpers::ProgramFolder(), qEnvironmentVariable("PATH"));
    return resolved;
}

void Toolkit::replace(const QString& program) { replacement = program; }

void Toolkit::restore() { replacement.reset(); }

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
