#include "ToolRunner.h"

#include "ErrorTrap.h"
#include "JavaStartup.h"
#include "PrivateTempFolder.h"
#include "Toolkit.h"
#include "ToolkitHost.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {

void killGroup(QProcess& process) {
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process.kill();
    process.waitForFinished(5000);
}

} // namespace

ToolResult ToolRunner::run(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit) {
    if (std::optional<ToolResult> hosted = ToolkitHost::instance().run(invocation, timeLimit))
        return *hosted;
    ToolResult result;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    const JavaStartup::Plan java = invocation.program == Toolkit::path()
                                       ? JavaStartup::plan(invocation.program)
                                       : JavaStartup::Plan();
    JavaStartup::apply(java, environment);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    // Every path the tool gets is absolute; its working folder is where a Java crash report
    // lands, which must not be a folder of the user's.
    ErrorTrap::shielded("tool folder",
                        [&] { process.setWorkingDirectory(PrivateTempFolder::ensure()); });
    if (!invocation.standardInput)
        process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { ::setpgid(0, 0); });

    process.start(invocation.program, invocation.arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted()) {
        result.startError = process.errorString();
        return result;
    }
    if (invocation.standardInput) {
        process.write(*invocation.standardInput);
        process.closeWriteChannel();
    }

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    limit.start(timeLimit);
    if (process.state() != QProcess::NotRunning)
        loop.exec();

    if (process.state() != QProcess::NotRunning) {
        // Either the time limit passed or the application is leaving its event loop: in both
        // cases nothing may go on writing files behind the user's back.
        killGroup(process);
        result.outcome =
            timedOut ? ToolResult::Outcome::TimedOut : ToolResult::Outcome::Interrupted;
    } else if (process.exitStatus() == QProcess::CrashExit) {
        result.outcome = ToolResult::Outcome::Crashed;
    } else {
        result.outcome = ToolResult::Outcome::Finished;
        result.exitCode = process.exitCode();
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    JavaStartup::finish(java, result);
    return result;
}
