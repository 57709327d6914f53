#pragma once

#include <QString>

class ResultTable;

// The window's run and the command line against ExifTool over the same one-page files, taking
// turns, each the best of several; then where the command line's time goes, phase by phase.
namespace TurnBenchmarks {

void run(const QString& work, const QString& onePage, int files, int turns, ResultTable& table);

} // namespace TurnBenchmarks
