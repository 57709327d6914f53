#include "ToolProcess.h"

#include "ErrorTrap.h"
#include "PrivateTempFolder.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <unistd.h>

QProcessEnvironment ToolProcess::environment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
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
