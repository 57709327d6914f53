#pragma once

#include "ToolInvocation.h"

#include <QByteArray>
#include <QString>
#include <chrono>

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

// Runs one external tool and waits for it while the event loop goes on, so windows repaint and
// react. The tool runs with a UTF-8 locale (the toolkit cannot open non-ASCII names otherwise)
// in a process group of its own, so that stopping it also stops whatever it started. The tool
// itself ends with the program even when the program is killed; for the toolkit, that tool is
// Java, started in place of its launcher script wherever the script allows.
class ToolRunner {
public:
    static ToolResult run(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit);
};
