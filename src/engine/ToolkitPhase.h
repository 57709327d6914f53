#pragma once

#include "ToolResult.h"

#include <QString>

class RunSteps;
struct FileJob;
enum class Flow;

// The toolkit's part in a file's run: the copy it reads instead of the file when it cannot take
// the file as it is, and its run into the file's output, once more with a repaired copy when the
// first run failed on a file our reader could read.
class ToolkitPhase {
public:
    // toolkit is the program; stopping turns true when the run is to end.
    ToolkitPhase(RunSteps& steps, QString toolkit, const bool& stopping);

    // Makes the copy the toolkit reads, when the file needs one.
    Flow prepare(FileJob& job);
    // Sends the file to the toolkit's resident host without waiting, when the file is one the
    // toolkit reads as it is and the host takes it: the host then works on it while the program
    // gets the next file ready, and run() takes the answer. False when run() is to do it all.
    bool start(FileJob& job);
    // Runs the toolkit on the file into its output, or takes the answer to what start() sent.
    // Stopping the run ends it here, unless the file is one that is to be finished anyway.
    Flow run(FileJob& job, bool finishWhenStopped = false);

private:
    // Makes the job's copy; throws Failure.
    void makeCopy(FileJob& job);
    // One run of the toolkit on the file or its prepared copy; the copy is gone afterwards.
    ToolResult once(FileJob& job, const QString& resultPath);

    RunSteps& steps_;
    QString toolkit_;
    const bool& stopping_;
};
