#pragma once

#include "ToolResult.h"

#include <QString>

class ExchangeFile;
class RunSteps;
struct FileJob;
enum class Flow;

// The toolkit's part in a file's run: the copy it reads instead of the file when it cannot take
// the file as it is, and its run into the file's output, once more with a repaired copy when the
// first run failed on a file our reader could read.
class ToolkitPhase {
public:
    // toolkit and infoFile are the program and the run's info-update file; stopping turns true
    // when the run is to end.
    ToolkitPhase(RunSteps& steps, QString toolkit, const ExchangeFile& infoFile,
                 const bool& stopping);

    // Makes the copy the toolkit reads, when the file needs one.
    Flow prepare(FileJob& job);
    // Runs the toolkit on the file into its output.
    Flow run(FileJob& job);

private:
    // Makes the job's copy; throws Failure.
    void makeCopy(FileJob& job);
    // One run of the toolkit on the file or its prepared copy; the copy is gone afterwards.
    ToolResult once(FileJob& job, const QString& resultPath);

    RunSteps& steps_;
    QString toolkit_;
    const ExchangeFile& infoFile_;
    const bool& stopping_;
};
