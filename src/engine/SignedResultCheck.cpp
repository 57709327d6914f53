#include "SignedResultCheck.h"

#include "FileJob.h"
#include "PhaseClock.h"
#include "Rejection.h"
#include "ResultFinisher.h"

#include <QFile>
#include <algorithm>

namespace {

// Whether result begins with the whole of original, which is size bytes long; read piece by
// piece, so a large file is not held twice.
bool beginsWith(const QString& result, const QString& original, qint64 size) {
    QFile before(original);
    QFile after(result);
    if (!before.open(QIODevice::ReadOnly) || !after.open(QIODevice::ReadOnly) ||
        before.size() != size || after.size() <= size)
        return false;
    constexpr qint64 piece = 1024 * 1024;
    for (qint64 left = size; left > 0;) {
        const qint64 length = std::min(piece, left);
        const QByteArray expected = before.read(length);
        if (expected.size() != length || after.read(length) != expected)
            return false;
        left -= length;
    }
    return true;
}

} // namespace

void SignedResultCheck::verify(const FileJob& job) {
    const PhaseClock::Scope clock(PhaseClock::Check);
    if (!beginsWith(job.output->temporaryPath(), job.input(), *job.signedPart))
        throw Rejection(QStringLiteral("the result does not begin with the signed original as it "
                                       "was read"));
    ResultFinisher{job}.check();
}
