#pragma once

// metascribe undo: takes back the last run that kept its originals in the Trash (or the last
// undo), file by file, and reports each file on the console as set does.
class UndoCommand {
public:
    // The exit status: 0 when every file of the run got its original back.
    static int run(bool dryRun, bool json);
};
