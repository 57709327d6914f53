#pragma once

#include "ToolInvocation.h"
#include "ToolResult.h"

#include <chrono>

// Runs one external tool and waits for it while the event loop goes on, so windows repaint and
// react. The tool runs with a UTF-8 locale (the toolkit cannot open non-ASCII names otherwise)
// in a process group of its own, so that stopping it also stops whatever it started. The tool
// itself ends with the program even when the program is killed; for the toolkit, that tool is
// Java, started in place of its launcher script wherever the script allows.
class ToolRunner {
public:
    static ToolResult run(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit);
};
