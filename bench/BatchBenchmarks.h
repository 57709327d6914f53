#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class ResultTable;

// Batches run through the window, as a user would run them, against plain tools doing the same.
namespace BatchBenchmarks {

// Batches of one-page files and of copies of the corpus against one pdftk per file (withLoop),
// ExifTool and cp; then the longest event-loop stall seen during them.
void batches(const QString& work, const QString& onePage, const QStringList& corpus, int files,
             bool withLoop, ResultTable& table);

// Ours against ExifTool writing the same fields the same way: into the XMP metadata as well,
// or into files protected by a password.
// The window's run over the files of folder, as batches() times it.
double windowSeconds(const QString& folder);

void againstExifTool(const QString& work, const QString& label, const QString& source, int files,
                     const QString& exifArguments, const std::optional<QString>& password,
                     ResultTable& table);

} // namespace BatchBenchmarks
