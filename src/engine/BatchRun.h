#pragma once

#include "EditPlan.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

class PdfSnapshot;

// The pieces of "Start Changing" that do not need the page: where a result goes, how long the
// toolkit may take, and what each file's run came to.
class BatchRun {
public:
    // base = the input's name without folder and last extension (the whole name when it has no
    // dot). Into the folder typed on the first page, or beside the input; nothing when neither
    // option is selected. Separators doubled by the joining are collapsed.
    static std::optional<QString> destination(const QString& inputPath, const QString& base,
                                              bool saveToFolder, bool saveBesideOriginal,
                                              const QString& resultFolder);

    // Generous for real files: a minute, and a second more for every megabyte.
    static std::chrono::milliseconds timeLimit(qint64 fileSize);

    // What a dry run found for one key of the document information that the plan changes.
    struct FieldPreview {
        QString key;
        std::optional<QString> before; // nothing when the file has no such entry
        std::optional<QString> after;  // nothing when the plan removes it
    };
    // What a dry run shows of the plan's changes to original: the eight fields in their order,
    // then the other keys by name, then the catalog's settings.
    static QList<FieldPreview> previewOf(const PdfSnapshot& original, const EditPlan& plan,
                                         const QString& titleFromName);

    struct Outcome {
        QString path;
        QString reason;              // empty when the file was changed (or, in a dry run, would be)
        QString destination;         // where its result goes; empty when none could be formed
        QList<FieldPreview> preview; // a dry run's findings
        QString note;                // what a changed file's outcome also says (links, signature)
        QString detail;              // the toolkit's or the reader's words behind the reason
        QStringList removals = {};   // what a dry run that strips would remove
        // What a strip removed (or would), by kind, and what it leaves for a person to look at.
        QMap<QString, int> removed = {};
        QStringList kept = {};
    };
};
