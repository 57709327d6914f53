#include "BatchRun.h"

#include "PathHelpers.h"

using namespace std::chrono_literals;

std::optional<QString> BatchRun::destination(const QString& inputPath, const QString& base,
                                             bool saveToFolder, bool saveBesideOriginal,
                                             const QString& resultFolder) {
    QString folder;
    if (saveToFolder)
        folder = resultFolder;
    else if (saveBesideOriginal)
        folder = PathHelpers::FolderOf(inputPath);
    else
        return std::nullopt;
    return PathHelpers::CollapseSlashes(folder + QLatin1Char('/') + base + QStringLiteral(".pdf"));
}

std::chrono::milliseconds BatchRun::timeLimit(qint64 fileSize) {
    return 60s + std::chrono::seconds(fileSize / (1024 * 1024));
}
