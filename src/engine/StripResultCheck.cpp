#include "StripResultCheck.h"

#include "FileJob.h"
#include "Rejection.h"
#include "StripCheck.h"

void StripResultCheck::verify(const FileJob& job) {
    const QString reason =
        StripCheck::verify(*job.original, job.output->temporaryPath(), *job.stripped, job.password);
    if (!reason.isEmpty())
        throw Rejection(reason);
}
