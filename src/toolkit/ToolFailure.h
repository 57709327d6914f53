#pragma once

#include "ToolResult.h"

#include <QString>
#include <optional>

// Why one run of the toolkit gave no usable result, told from how it ended and what it said:
// a kind the run decides by, the system's or the toolkit's own words as the detail, and one
// plain sentence for people.
class ToolFailure {
public:
    enum class Kind {
        NotStarted,    // the toolkit could not be started
        TimedOut,      // it ran past its time limit
        Crashed,       // it ended by a signal
        Interrupted,   // the program is closing
        WriteRefused,  // the system refused the write of its output
        NeedsPassword, // the file is protected and the password was missing or wrong
        Unreadable,    // the toolkit could not read the file
        ExitCode,      // it failed without saying why
        Incomplete,    // it ended well but left no whole PDF file
    };

    // What went wrong in result, a run on the file at inputPath whose output is complete or not;
    // nothing when the run succeeded and its output is complete.
    static std::optional<ToolFailure> of(const ToolResult& result, const QString& inputPath,
                                         bool outputComplete);

    Kind kind() const { return kind_; }
    // One plain sentence ("the toolkit could not read it").
    QString reason() const;
    // The toolkit's own words, without the lines that only repeat the file name or say that
    // nothing was written, and without Java's stack trace; empty when it said nothing.
    const QString& detail() const { return detail_; }

private:
    ToolFailure(Kind kind, QString systemWords, int exitCode, QString detail);

    Kind kind_;
    // Why it could not be started, or why the write was refused, in the system's words.
    QString systemWords_;
    int exitCode_;
    QString detail_;
};
