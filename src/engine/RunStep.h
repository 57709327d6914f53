#pragma once

// The numbered steps of "Start Changing", in one place: the second page's handler reports its own
// through its error trap, and the engine it drives reports its failed steps to the page, which
// shows them the same way; the report shows the user the number of the step that failed. The
// numbers are what users and their reports know, so each keeps its value, whatever its name.
enum class RunStep : int {
    // The second page, before the run.
    CountFiles = 100,
    // The engine: which file is next.
    ReadPath = 102,
    // The second page, as each file begins.
    ShowPosition = 104,
    ShowFileName = 106,
    LetWindowRepaint = 108,
    ShowWaitPointer = 110,
    // The engine: the title taken from the file's name, and where its result goes.
    TakeFileName = 114,
    StripTitleExtension = 116,
    StripBaseForFolder = 120,
    FormDestination = 122,
    StripBaseBesideOriginal = 124,
    // The engine: the fields to change, and the info-update file the toolkit reads them from.
    ReadPlan = 128,
    WriteInfoFile = 184,
    // The engine: the file's password, asked when the first page says so (whether it does is a
    // choice read for the file, which cannot fail).
    AskPassword = 198,
    // The engine: the toolkit changes the file, and its original becomes writable.
    RunToolkit = 222,
    MakeInputWritable = 226,
    // The second page, after the run.
    ResetPointer = 234,
    ResetProgress = 236,
    ResetProgressText = 238,
    ShowSummary = 240,
};

// The number the error report shows for step.
constexpr int stepNumber(RunStep step) {
    return static_cast<int>(step);
}
