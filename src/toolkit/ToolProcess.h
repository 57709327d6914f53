#pragma once

#include <QProcessEnvironment>
#include <chrono>
#include <functional>

class QProcess;

// What every toolkit process shares, whether one per run or the resident host: its environment
// and working folder, the wait with the event loop turning, and stopping it with all it started.
class ToolProcess {
public:
    // The program's environment with a UTF-8 locale: the toolkit cannot open non-ASCII names
    // otherwise.
    static QProcessEnvironment environment();

    // Starts the process in a process group of its own, so that stopping it also stops whatever
    // it started, and has the system kill it when the program ends, even by being killed. Only
    // the process itself is killed then: what it started lives on unless it ends with it.
    static void tieToProgram(QProcess& process, int niceness = 0);

    // Every path a toolkit gets is absolute; its working folder is where a Java crash report
    // lands, which must not be a folder of the user's.
    static void usePrivateFolder(QProcess& process);

    enum class Wait { Done, Ended, TimedOut, Interrupted };
    // Waits with the event loop turning until done() holds, the process ends, the limit passes
    // or the application leaves its event loop. done() is asked again whenever the process
    // writes to its standard output.
    static Wait waitFor(QProcess& process, std::chrono::milliseconds limit,
                        const std::function<bool()>& done);

    // Kills the process and its whole process group, and waits for it.
    static void killGroup(QProcess& process);
};
