#include "ToolRunner.h"

#include "JavaStartup.h"
#include "ToolProcess.h"
#include "Toolkit.h"
#include "ToolkitHost.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

// What is started for an invocation.
struct Start {
    QString program;
    QStringList arguments;
    // Java, started with what the toolkit's launcher script would give it.
    bool javaForLauncher = false;
};

// The launcher script starts Java as a child rather than becoming it, and only the script
// would be killed with the program: Java would run on, writing files. So Java takes the
// script's place wherever the script says plainly how it starts Java; without a
// performance-data file, which a killed Java would leave in the system's temporary folder.
Start startFor(const ToolInvocation& invocation) {
    if (invocation.program == Toolkit::path()) {
        const QStringList jars = Toolkit::launcherJars(invocation.program);
        const QString mainClass = Toolkit::launcherMainClass(invocation.program);
        const QString java = QStandardPaths::findExecutable(QStringLiteral("java"));
        if (!jars.isEmpty() && !mainClass.isEmpty() && !java.isEmpty())
            return {java,
                    QStringList{QStringLiteral("-XX:-UsePerfData"), QStringLiteral("-cp"),
                                jars.join(QLatin1Char(':')), mainClass} +
                        invocation.arguments,
                    true};
    }
    return {invocation.program, invocation.arguments};
}

} // namespace

ToolRunner::Started ToolRunner::start(const ToolInvocation& invocation,
                                      std::chrono::milliseconds timeLimit) {
    return {invocation, timeLimit, ToolkitHost::instance().submit(invocation, timeLimit)};
}

ToolResult ToolRunner::finish(const Started& started) {
    if (started.ticket) {
        if (std::optional<ToolResult> hosted = ToolkitHost::instance().collect(*started.ticket))
            return *hosted;
    }
    // Not taken, or lost when the host ended on an earlier request before it got to this one.
    return run(started.invocation, started.timeLimit);
}

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
    ToolProcess::tieToProgram(process);

    const Start start = startFor(invocation);
    process.start(start.program, start.arguments, QIODevice::ReadWrite);
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
    } else if (process.exitStatus() == QProcess::CrashExit && !start.javaForLauncher) {
        result.outcome = ToolResult::Outcome::Crashed;
    } else {
        result.outcome = ToolResult::Outcome::Finished;
        result.exitCode = process.exitCode();
        // Java ended by a signal reads as the launcher's shell reports it, so the toolkit's
        // results do not depend on how it was started.
        if (process.exitStatus() == QProcess::CrashExit)
            result.exitCode += 128;
    }
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    JavaStartup::finish(java, result);
    return result;
}
