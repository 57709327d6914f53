#pragma once

#include <QByteArray>
#include <QString>

// How one run of an external tool ended and what it wrote, whether it ran as a process of its
// own or in the resident host.
struct ToolResult {
    enum class Outcome {
        Finished,   // ended on its own; see exitCode
        NotStarted, // the program could not be started
        TimedOut,   // ran past its time limit and was killed
        Crashed,    // ended by a signal it did not raise itself
        Interrupted // the program is closing; the tool was stopped
    };

    Outcome outcome = Outcome::NotStarted;
    int exitCode = -1;
    QByteArray standardOutput;
    QByteArray standardError;
    QString startError; // why it could not be started

    bool succeeded() const { return outcome == Outcome::Finished && exitCode == 0; }
};
