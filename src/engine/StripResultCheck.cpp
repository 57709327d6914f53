#include "StripResultCheck.h"

#include "FileJob.h"
#include "PhaseClock.h"
#include "Rejection.h"
#include "StripCheck.h"

void StripResultCheck::verify(FileJob& job) {
    const PhaseClock::Scope clock(PhaseClock::Check);
    const StripCheck::Verdict verdict =
        StripCheck::verify(*job.original, job.output->temporaryPath(), *job.stripped, job.password);
    if (!verdict.reason.isEmpty())
        throw Rejection(verdict.reason);
    report(job.outcome, *job.stripped, verdict.remains);
}

void StripResultCheck::report(BatchRun::Outcome& outcome, const PdfStripper::Stripped& stripped,
                              const QStringList& remains) {
    outcome.removed = stripped.counts;
    // Removed values that remain first: those the user asked to be rid of.
    outcome.kept = remains + stripped.kept;
}
