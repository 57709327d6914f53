#pragma once

#include <QString>

// The sample PDF files shipped in the "Samples" folder beside the executable.
class SampleFiles {
public:
    static QString folder();
    // Records the full path of every file now in the sample folder in the setting "Snapshot",
    // joined by "|"; an empty text when there is none. Throws Failure when it cannot be stored.
    static void RecordSampleFiles();
};
