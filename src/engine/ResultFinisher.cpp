#include "ResultFinisher.h"

#include "DateStrings.h"
#include "FileJob.h"
#include "InfoEditor.h"
#include "PdfCopier.h"
#include "PdfSnapshot.h"
#include "PhaseClock.h"
#include "Rejection.h"
#include "ResultCheck.h"

#include <QDateTime>
#include <QFile>

namespace {

// Puts bytes into our own temporary file at path in place of what it holds: no new file to
// create, no rename. Written first and cut to length after, so the file keeps its blocks.
void overwrite(const QString& path, const QByteArray& bytes, const QString& what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size() ||
        !file.resize(bytes.size()))
        throw Rejection(what + file.errorString());
}

// Runs a finishing step: what our reader's failure says is why the result is turned down.
template <typename Step> void finishing(Step step) {
    try {
        step();
    } catch (const Rejection&) {
        throw;
    } catch (const Failure& failure) {
        throw Rejection(failure.description());
    }
}

// Takes the plan's removed keys out of the toolkit's result and sets Trapped, neither of which
// the toolkit can do.
void finishInfo(const QString& resultPath, const EditPlan& plan) {
    finishing([&] {
        const QByteArray bytes = InfoEditor::applied(resultPath, plan);
        if (!bytes.isEmpty())
            overwrite(resultPath, bytes,
                      QStringLiteral("its document information could not be changed: "));
    });
}

// Gives the toolkit's result, which has no XMP metadata, a packet for its copyright.
void addXmp(const QString& resultPath, const XmpPacket::Rights& rights) {
    finishing([&] {
        overwrite(resultPath,
                  XmpPacket::withNewPacket(resultPath, rights, QDateTime::currentDateTime()),
                  QStringLiteral("its XMP metadata could not be added: "));
    });
}

// Makes the toolkit's result's XMP metadata hold the changes too.
void updateXmp(const QString& resultPath, const QList<XmpPacket::Change>& changes,
               const XmpPacket::Rights& rights) {
    finishing([&] {
        const QByteArray bytes =
            XmpPacket::withUpdatedPacket(resultPath, [&](const QByteArray& packet) {
                return XmpPacket::update(packet, changes, QDateTime::currentDateTime(), rights);
            });
        if (!bytes.isEmpty())
            overwrite(resultPath, bytes, QStringLiteral("its XMP metadata could not be updated: "));
    });
}

// Encrypts the toolkit's result at plainPath again as the original is, into resultPath; the
// result is not to be used when that fails.
void protectLikeOriginal(const QString& original, const std::optional<QString>& password,
                         const QString& plainPath, const QString& resultPath) {
    const QString what = QStringLiteral("its protection could not be put back: ");
    try {
        overwrite(resultPath, PdfCopier::protectedLike(original, password, plainPath), what);
    } catch (const Rejection&) {
        throw;
    } catch (const Failure& failure) {
        throw Rejection(what + failure.description());
    }
}

// A reason of the reader's checks turns the result down.
void rejectFor(const QString& reason) {
    if (!reason.isEmpty())
        throw Rejection(reason);
}

} // namespace

ResultFinisher::ResultFinisher(const FileJob& job)
    : job_(job), resultPath_(job.output->temporaryPath()),
      hasXmp_(job.original->catalogEntries().contains(QStringLiteral("Metadata"))),
      xmpChanges_(hasXmp_ ? XmpPacket::changesFor(job.plan, job.titleFromName)
                          : QList<XmpPacket::Change>()),
      rights_(XmpPacket::rightsFor(job.plan)) {}

void ResultFinisher::operator()() const {
    // What the toolkit wrote; the result file gets the protected bytes, when the two differ.
    const QString plainPath = job_.unprotectedResult ? job_.unprotectedResult->path() : resultPath_;
    {
        const PhaseClock::Scope clock(PhaseClock::Finish);
        storeDatesPlain(plainPath);
        if (InfoEditor::needed(job_.plan))
            finishInfo(plainPath, job_.plan);
        finishXmp(plainPath);
        if (job_.original->encrypted())
            protectLikeOriginal(job_.input(), job_.password, plainPath, resultPath_);
    }
    const PhaseClock::Scope clock(PhaseClock::Check);
    check();
}

// The dates the plan sets, which the toolkit wrote as UTF-16 text, back in PDF's own encoding.
// Done in place before the XMP and the protection are written, so those passes carry the plain
// strings on (encrypted like every string) and a file that needs neither is not written again.
void ResultFinisher::storeDatesPlain(const QString& plainPath) const {
    QStringList keys;
    for (InfoField field : EditPlan::fields) {
        if (EditPlan::isDate(field) &&
            !job_.plan.value(field, job_.titleFromName).value_or(QString()).isEmpty())
            keys << EditPlan::toolkitKey(field);
    }
    finishing([&] { DateStrings::makePlain(plainPath, keys); });
}

void ResultFinisher::finishXmp(const QString& plainPath) const {
    const bool changesRights = rights_.changesAnything();
    // A file without XMP gets it only for a copyright, in step with the document information.
    if (hasXmp_ && (!xmpChanges_.isEmpty() || changesRights))
        updateXmp(plainPath, xmpChanges_, rights_);
    else if (!hasXmp_ && rights_.addsAnything())
        addXmp(plainPath, rights_);
}

void ResultFinisher::check() const {
    const bool changesRights = rights_.changesAnything();
    const bool checksXmp = !xmpChanges_.isEmpty() || changesRights;
    // The packet is read in the same pass as the rest of the result.
    std::optional<QByteArray> packet;
    rejectFor(ResultCheck::verify(*job_.original, resultPath_, job_.plan, job_.titleFromName,
                                  job_.password, checksXmp ? &packet : nullptr));
    if (!checksXmp)
        return;
    const bool addsXmp = !hasXmp_ && rights_.addsAnything();
    rejectFor(ResultCheck::verifyPacket(
        packet, addsXmp ? XmpPacket::changesFor(job_.plan, job_.titleFromName) : xmpChanges_,
        rights_));
}
