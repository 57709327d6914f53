#include "BatchRun.h"

#include "PathHelpers.h"
#include "PdfSnapshot.h"

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

QList<BatchRun::FieldPreview> BatchRun::previewOf(const PdfSnapshot& original, const EditPlan& plan,
                                                  const QString& titleFromName) {
    // The eight in their order, then the others by name.
    QList<BatchRun::FieldPreview> preview;
    QMap<QString, std::optional<QString>> edits = plan.infoEdits(titleFromName);
    for (InfoField field : EditPlan::fields) {
        const QString key = EditPlan::toolkitKey(field);
        if (edits.contains(key))
            preview.append({key, original.infoValue(key), edits.take(key)});
    }
    for (auto edit = edits.cbegin(); edit != edits.cend(); ++edit)
        preview.append({edit.key(), original.infoValue(edit.key()), edit.value()});
    // Then the catalog's settings, by their keys there.
    if (const std::optional<QString>& language = plan.language())
        preview.append({QStringLiteral("Lang"), original.language(),
                        language->isEmpty() ? std::nullopt : language});
    if (plan.displaysTitle()) {
        const std::optional<bool> shown = original.displaysTitle();
        preview.append({QStringLiteral("DisplayDocTitle"),
                        shown ? std::optional<QString>(*shown ? QStringLiteral("true")
                                                              : QStringLiteral("false"))
                              : std::nullopt,
                        QStringLiteral("true")});
    }
    return preview;
}
