#pragma once

#include <QString>

// Names a running process so that a file it leaves behind says who made it: the process id and
// the time the process started, so a later process that happens to get the same id is not taken
// for it. Leftovers of processes that no longer run can then be removed safely.
class ProcessTag {
public:
    // "<pid>.<start time>" of this process.
    static QString own();
    // Whether the process a tag names is still running.
    static bool isLive(const QString& tag);

    // The tag in a name made by leftoverName(), for example ".metascribe-<tag>-a1B2c3.pdf";
    // empty when the name is not of that form.
    static QString tagOf(const QString& fileName, const QString& prefix, const QString& suffix);
    // A pattern for mkstemps(): prefix, this process's tag, "-XXXXXX", suffix.
    static QString leftoverName(const QString& prefix, const QString& suffix);

    // The start time of a process in clock ticks since boot, from /proc; empty when it does not
    // run.
    static QString startTime(qint64 pid);
};
