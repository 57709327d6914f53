#include "StripPhase.h"

#include "BackgroundTask.h"
#include "FileJob.h"
#include "PdfSnapshot.h"
#include "PrivateTempFolder.h"
#include "StripCheck.h"
#include "StripResultCheck.h"
#include "UnnamedFile.h"

Flow StripPhase::preview(FileJob& job, const QList<InfoField>& kept) {
    StripCheck::Verdict verdict;
    try {
        BackgroundTask::run([&] {
            // The run's own check, on a copy that has no name, so that the dry run names the
            // files the run would turn down and leaves nothing behind, even killed.
            const UnnamedFile copy = UnnamedFile::create(PrivateTempFolder::ensure());
            const PdfStripper::Stripped stripped =
                PdfStripper::strip(job.input(), job.password, kept, copy.path(), true);
            job.outcome.removals = stripped.removals;
            verdict = StripCheck::verify(*job.original, copy.path(), stripped, job.password);
            if (verdict.reason.isEmpty())
                StripResultCheck::report(job.outcome, stripped, verdict.remains);
        });
    } catch (const Failure& failure) {
        return job.fail(failure.description());
    }
    if (!verdict.reason.isEmpty())
        return job.fail(verdict.reason);
    return Flow::Done;
}

Flow StripPhase::write(FileJob& job, const QList<InfoField>& kept) {
    try {
        BackgroundTask::run([&] {
            job.stripped =
                PdfStripper::strip(job.input(), job.password, kept, job.output->temporaryPath());
        });
    } catch (const Failure& failure) {
        return job.fail(failure.description());
    }
    return Flow::Next;
}
