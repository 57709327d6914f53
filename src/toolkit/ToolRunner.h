#pragma once

#include "ToolInvocation.h"
#include "ToolResult.h"

#include <chrono>
#include <optional>

// Runs one external tool and waits for it while the event loop goes on, so windows repaint and
// react. The tool runs with a UTF-8 locale (the toolkit cannot open non-ASCII names otherwise)
// in a process group of its own, so that stopping it also stops whatever it started. The tool
// itself ends with the program even when the program is killed; for the toolkit, that tool is
// Java, started in place of its launcher script wherever the script allows.
class ToolRunner {
public:
    static ToolResult run(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit);

    // A run started by start() and not yet finished.
    struct Started {
        ToolInvocation invocation;
        std::chrono::milliseconds timeLimit;
        // The resident host's number for the request, when the host took it.
        std::optional<quint64> ticket;
    };
    // Starts a run of the toolkit in the resident host without waiting for it, so that the
    // program can go on while the host works; finish() then waits for it. An invocation the
    // host cannot take runs as a process of its own, in finish().
    static Started start(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit);
    static ToolResult finish(const Started& started);
};
