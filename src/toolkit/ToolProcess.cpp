#include "ToolProcess.h"

#include "ErrorTrap.h"
#include "PrivateTempFolder.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

QProcessEnvironment ToolProcess::environment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

void ToolProcess::tieToProgram(QProcess& process, int niceness) {
    const pid_t program = ::getpid();
    // Runs in the child between fork and exec: system calls only.
    process.setChildProcessModifier([program, niceness] {
        ::setpgid(0, 0);
        if (niceness != 0) {
            [[maybe_unused]] const int ignored = ::nice(niceness);
        }
        // The signal comes when the thread that started the process ends, not the program.
        // Every toolkit process is started from the main thread, which ends with the program.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The program may have died before the line above; then no signal will ever come.
        if (::getppid() != program)
            ::_exit(127);
    });
}

void ToolProcess::usePrivateFolder(QProcess& process) {
    ErrorTrap::shielded("tool folder",
                        [&] { process.setWorkingDirectory(PrivateTempFolder::ensure()); });
}

ToolProcess::Wait ToolProcess::waitFor(QProcess& process, std::chrono::milliseconds limit,
                                       const std::function<bool()>& done) {
    if (done())
        return Wait::Done;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] {
        if (done())
            loop.quit();
    });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    timer.start(limit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (done())
        return Wait::Done;
    if (timedOut)
        return Wait::TimedOut;
    if (process.state() == QProcess::NotRunning)
        return Wait::Ended;
    return Wait::Interrupted;
}

void ToolProcess::killGroup(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process.kill();
    process.waitForFinished(5000);
}
