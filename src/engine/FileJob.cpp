#include "FileJob.h"

#include "PdfSnapshot.h"

#include <utility>

FileJob::FileJob(int position, QString input) : position(position) {
    outcome.path = std::move(input);
}

Flow FileJob::fail(const QString& reason, const QString& detail) {
    outcome.reason = reason;
    outcome.detail = detail;
    return Flow::Done;
}

void FileJob::forgetReadAhead(std::optional<QString> password) {
    readAhead = false;
    original.reset();
    unreadable.reset();
    stamp.reset();
    times.reset();
    this->password = std::move(password);
}

void FileJob::release() {
    plan = EditPlan();
    info.clear();
    original.reset();
    unreadable.reset();
    preparedBytes.reset();
    preparedCopy.discard();
    unnamedCopy.reset();
    unprotectedResult.reset();
    output.reset();
    stripped.reset();
    signedPart.reset();
}
