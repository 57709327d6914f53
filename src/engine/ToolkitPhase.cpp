#include "ToolkitPhase.h"

#include "BackgroundTask.h"
#include "BatchRun.h"
#include "EarlyWriteback.h"
#include "FileJob.h"
#include "PdfSnapshot.h"
#include "PhaseClock.h"
#include "PrivateTempFolder.h"
#include "RunSteps.h"
#include "ToolFailure.h"
#include "ToolRunner.h"
#include "ToolkitCommand.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

ToolkitPhase::ToolkitPhase(RunSteps& steps, QString toolkit, const bool& stopping)
    : steps_(steps), toolkit_(std::move(toolkit)), stopping_(stopping) {}

// The toolkit gets a prepared copy of the file when its document information is also part of the
// document (the toolkit would destroy that part), when it is encrypted (the toolkit cannot read
// every encryption; the result is encrypted again as the original is) or when reading it showed
// damage (the toolkit fails on such files, or hangs until its time limit; the copy is written
// anew by our reader, which repaired what it could).
Flow ToolkitPhase::prepare(FileJob& job) {
    job.copy = {job.original->needsOwnInfo(), job.original->encrypted(),
                job.original->hadWarnings()};
    if (!job.copy.needed())
        return Flow::Next;
    try {
        makeCopy(job);
    } catch (const Failure& failure) {
        // Damage that our reader cannot write out again may still be no obstacle to the
        // toolkit, which then gets the file as it is.
        if (job.copy.repair && !job.copy.ownInfo && !job.copy.decrypt) {
            job.copy.repair = false;
            job.repairFailed = true;
            return Flow::Next;
        }
        return job.fail(QStringLiteral("it could not be prepared for the toolkit: ") +
                            failure.description(),
                        failure.detail());
    }
    return stopping_ ? Flow::Stop : Flow::Next;
}

// The copy stays in memory unless the file is large, then it goes into the private folder:
// without a name when it is decrypted.
void ToolkitPhase::makeCopy(FileJob& job) {
    const QString& input = job.input();
    constexpr qint64 inMemoryLimit = 32 * 1024 * 1024;
    if (QFileInfo(input).size() <= inMemoryLimit) {
        BackgroundTask::run(
            [&] { job.preparedBytes = PdfCopier::copyInMemory(input, job.password, job.copy); });
        return;
    }
    QString copyPath;
    if (job.copy.decrypt) {
        job.unnamedCopy = UnnamedFile::create(PrivateTempFolder::ensure());
        copyPath = job.unnamedCopy->path();
    } else {
        job.preparedCopy.create(PrivateTempFolder::Kind::Copy);
        copyPath = job.preparedCopy.path();
    }
    BackgroundTask::run([&] { PdfCopier::writeCopy(input, job.password, job.copy, copyPath); });
}

bool ToolkitPhase::start(FileJob& job) {
    // Only a file the toolkit reads as it is, into the result that is flushed, and small enough
    // that nobody waits long for it once the run is stopped.
    const qint64 size = QFileInfo(job.input()).size();
    if (job.copy.needed() || job.repairFailed || size > EarlyWriteback::threshold / 4)
        return false;
    const ToolInvocation invocation = ToolkitCommand::update(
        toolkit_, job.input(), job.password, job.infoFile->path(), job.output->temporaryPath());
    ToolRunner::Started started = ToolRunner::start(invocation, BatchRun::timeLimit(size));
    if (!started.ticket)
        return false;
    job.toolkitRun = std::move(started);
    return true;
}

Flow ToolkitPhase::run(FileJob& job, bool finishWhenStopped) {
    const auto stopped = [&](const ToolResult& result) {
        return result.outcome == ToolResult::Outcome::Interrupted ||
               (stopping_ && !finishWhenStopped);
    };
    // The result of a protected file gets a name only once it is protected again.
    if (job.copy.decrypt) {
        try {
            job.unprotectedResult = UnnamedFile::create(PrivateTempFolder::ensure());
        } catch (const Failure& failure) {
            return job.fail(failure.description());
        }
    }
    const QString resultPath =
        job.unprotectedResult ? job.unprotectedResult->path() : job.output->temporaryPath();
    ToolResult result = once(job, resultPath);
    if (stopped(result))
        return Flow::Stop;
    std::optional<ToolFailure> failure =
        ToolFailure::of(result, job.input(), OutputFile::looksComplete(resultPath));
    if (!failure)
        return Flow::Next;
    const QString reason = failure->reason();
    QString detail = failure->detail();
    // The toolkit could not take the file as it is, though our reader could: once more, and only
    // once, with a copy our reader writes anew. Not when it had a copy already, nor when the
    // toolkit could not start or could not write, which a copy does not change.
    const bool retry = !job.copy.needed() && !job.repairFailed &&
                       failure->kind() != ToolFailure::Kind::NotStarted &&
                       failure->kind() != ToolFailure::Kind::WriteRefused;
    if (!retry)
        return job.fail(reason, detail);
    job.copy.repair = true;
    try {
        makeCopy(job);
    } catch (const Failure&) {
        return job.fail(reason, detail);
    }
    if (stopping_ && !finishWhenStopped)
        return Flow::Stop;
    // What the first run left is no part of the second's result.
    QFile::resize(resultPath, 0);
    result = once(job, resultPath);
    if (stopped(result))
        return Flow::Stop;
    failure = ToolFailure::of(result, job.input(), OutputFile::looksComplete(resultPath));
    if (!failure)
        return Flow::Next;
    if (!failure->detail().isEmpty())
        detail += (detail.isEmpty() ? QString() : QStringLiteral("\n")) +
                  QStringLiteral("with a repaired copy: ") + failure->detail();
    return job.fail(failure->reason(), detail);
}

ToolResult ToolkitPhase::once(FileJob& job, const QString& resultPath) {
    const QString& input = job.input();
    ToolResult result;
    if (job.toolkitRun) {
        steps_.step(RunStep::RunToolkit, [&] {
            const PhaseClock::Scope clock(PhaseClock::Toolkit);
            result = ToolRunner::finish(*job.toolkitRun);
        });
        job.toolkitRun.reset();
        return result;
    }
    steps_.step(RunStep::RunToolkit, [&] {
        const QString copyPath =
            job.unnamedCopy ? job.unnamedCopy->path() : job.preparedCopy.path();
        const ToolInvocation invocation =
            job.preparedBytes
                ? ToolkitCommand::updateFromBytes(toolkit_, *job.preparedBytes,
                                                  job.infoFile->path(), resultPath)
                : ToolkitCommand::update(toolkit_, copyPath.isEmpty() ? input : copyPath,
                                         job.copy.decrypt ? std::nullopt : job.password,
                                         job.infoFile->path(), resultPath);
        const qint64 size = QFileInfo(input).size();
        // A large result goes to the disk while it is written, not all at its flush; not one
        // that is still to be protected again, which is not the file that is flushed.
        std::optional<EarlyWriteback> writeback;
        if (size > EarlyWriteback::threshold && !job.unprotectedResult)
            writeback.emplace(resultPath);
        const PhaseClock::Scope clock(PhaseClock::Toolkit);
        result = ToolRunner::run(invocation, BatchRun::timeLimit(size));
    });
    job.preparedBytes.reset();
    job.preparedCopy.remove();
    job.unnamedCopy.reset();
    return result;
}
