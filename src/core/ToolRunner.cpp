#include "ToolRunner.h"

#include "JavaStartup.h"
#include "ToolProcess.h"
#include "Toolkit.h"
#include "ToolkitHost.h"

#include <QProcess>
#include <unistd.h>

ToolResult ToolRunner::run(const ToolInvocation& invocation, std::chrono::milliseconds timeLimit) {
    if (std::optional<ToolResult> hosted = ToolkitHost::instance().run(invocation, timeLimit))
        return *hosted;
    ToolResult result;

    QProcess process;
    QProcessEnvironment environment = ToolProcess::environment();
    const JavaStartup::Plan java = invocation.program == Toolkit::path()
                                       ? JavaStartup::plan(invocation.program)
                                       : JavaStartup::Plan();
    JavaStartup::apply(java, environment);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    ToolProcess::usePrivateFolder(process);
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

    const ToolProcess::Wait wait = ToolProcess::waitFor(
        process, timeLimit, [&] { return process.state() == QProcess::NotRunning; });
    if (wait != ToolProcess::Wait::Done) {
        // Either the time limit passed or the application is leaving its event loop: in both
        // cases nothing may go on writing files behind the user's back.
        ToolProcess::killGroup(process);
        result.outcome = wait == ToolProcess::Wait::TimedOut ? ToolResult::Outcome::TimedOut
                                                             : ToolResult::Outcome::Interrupted;
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
