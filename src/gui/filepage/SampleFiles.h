#pragma once

#include <QString>

class FileList;

// The sample PDF files shipped in the "Samples" folder beside the executable.
class SampleFiles {
public:
    static QString folder();
    // Records the full path of every file now in the sample folder in the setting "Snapshot",
    // joined by "|"; an empty text when there is none. Throws Failure.
    static void RecordSampleFiles();
    // Appends every recorded sample that still exists and is not listed yet, then offers to show
    // the sample folder. Throws Failure.
    static void AddSampleFiles(FileList& list);

    static QString question();
};
