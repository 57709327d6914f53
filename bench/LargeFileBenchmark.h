#pragma once

#include <QString>

class ResultTable;

// One large scan-like file changed by the command line, and the memory that takes.
namespace LargeFileBenchmark {

// One file of about megabytes MB changed by the command line, against ExifTool on the same file
// (or, without ExifTool, against a copy of it), medians of three rounds; and the resident memory
// of the program and its toolkit host together, the sum of their peaks. One small run over a copy
// of small before makes Java's class archive, as any earlier run would have.
void run(const QString& work, const QString& small, int megabytes, ResultTable& table);

} // namespace LargeFileBenchmark
