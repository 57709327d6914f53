#include "ReadAhead.h"

#include "BackgroundTask.h"
#include "Failure.h"
#include "FileJob.h"
#include "PhaseClock.h"

#include <utility>

ReadAhead::ReadAhead(std::unique_ptr<FileJob> job, const std::optional<QString>& password,
                     PdfSnapshot::Sharing sharing, bool createOutput, bool forResult)
    : job_(std::move(job)) {
    FileJob* work = job_.get();
    work->readAhead = true;
    work->password = password;
    work->original = std::make_shared<PdfSnapshot>();
    task_ = std::make_unique<BackgroundTask>([work, sharing, createOutput, forResult] {
        try {
            *work->original = readOriginal(work->input(), work->password, true, sharing, forResult);
        } catch (const Failure& failure) {
            work->unreadable = failure;
        }
        // Refused here, it is created again when the file's turn comes, with the reason shown.
        if (createOutput && !work->destination().isEmpty() && !work->unreadable) {
            try {
                work->link = OutputFile::linkFor(work->input(), work->destination());
                work->output = std::make_unique<OutputFile>(work->destination(), work->link);
            } catch (const OutputFile::Refused&) {
            }
        }
    });
}

ReadAhead::~ReadAhead() {
    task_.reset();
}

std::unique_ptr<FileJob> ReadAhead::take(const QString& input) {
    // Finished also when it is of no use, so nothing works on it any more.
    task_->wait();
    if (job_->input() != input)
        return nullptr;
    return std::move(job_);
}

PdfSnapshot ReadAhead::readOriginal(const QString& input, std::optional<QString>& password,
                                    bool sharedPassword, PdfSnapshot::Sharing sharing,
                                    bool forResult) {
    // Whatever a viewer shows of it that our reader does not, its result must keep too; a file
    // that gets no result (a dry run) needs only our reader's view.
    const PdfSnapshot::TextRule viewer =
        forResult ? PdfSnapshot::TextRule(&PdfSnapshot::textWhereDamaged) : nullptr;
    const PhaseClock::Scope clock(PhaseClock::ReadOriginal);
    try {
        return PdfSnapshot::read(input, password, sharing, {}, viewer);
    } catch (const Failure& failure) {
        if (!sharedPassword || !password)
            throw;
        try {
            PdfSnapshot snapshot = PdfSnapshot::read(input, std::nullopt, sharing, {}, viewer);
            password.reset();
            return snapshot;
        } catch (const Failure&) {
            throw failure;
        }
    }
}
