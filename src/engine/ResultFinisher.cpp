#include "ResultFinisher.h"

#include "DateStrings.h"
#include "Failure.h"
#include "InfoEditor.h"
#include "PdfCopier.h"
#include "PdfSnapshot.h"
#include "ResultCheck.h"
#include "UnnamedFile.h"

#include <QDateTime>
#include <QFile>
#include <utility>

namespace {

// Puts bytes into our own temporary file at path in place of what it holds: no new file to
// create, no rename. Written first and cut to length after, so the file keeps its blocks.
QString overwrite(const QString& path, const QByteArray& bytes, const QString& what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size() ||
        !file.resize(bytes.size()))
        return what + file.errorString();
    return {};
}

// Takes the plan's removed keys out of the toolkit's result and sets Trapped, neither of which
// the toolkit can do.
QString finishInfo(const QString& resultPath, const EditPlan& plan) {
    try {
        const QByteArray bytes = InfoEditor::applied(resultPath, plan);
        if (bytes.isEmpty())
            return {};
        return overwrite(resultPath, bytes,
                         QStringLiteral("its document information could not be changed: "));
    } catch (const Failure& failure) {
        return failure.description();
    }
}

// Gives the toolkit's result, which has no XMP metadata, a packet for its copyright.
QString addXmp(const QString& resultPath, const XmpPacket::Rights& rights) {
    try {
        return overwrite(resultPath,
                         XmpPacket::withNewPacket(resultPath, rights, QDateTime::currentDateTime()),
                         QStringLiteral("its XMP metadata could not be added: "));
    } catch (const Failure& failure) {
        return failure.description();
    }
}

// Makes the toolkit's result's XMP metadata hold the changes too.
QString updateXmp(const QString& resultPath, const QList<XmpPacket::Change>& changes,
                  const XmpPacket::Rights& rights) {
    try {
        const std::optional<QByteArray> packet = XmpPacket::readFromPdf(resultPath, std::nullopt);
        if (!packet)
            return {};
        const QByteArray updated =
            XmpPacket::update(*packet, changes, QDateTime::currentDateTime(), rights);
        if (updated == *packet)
            return {};
        return overwrite(resultPath, XmpPacket::withPacket(resultPath, std::nullopt, updated),
                         QStringLiteral("its XMP metadata could not be updated: "));
    } catch (const Failure& failure) {
        return failure.description();
    }
}

// Encrypts the toolkit's result at plainPath again as the original is, into resultPath; a reason
// when that failed, and the result is then not to be used.
QString protectLikeOriginal(const QString& original, const std::optional<QString>& password,
                            const QString& plainPath, const QString& resultPath) {
    try {
        return overwrite(resultPath, PdfCopier::protectedLike(original, password, plainPath),
                         QStringLiteral("its protection could not be put back: "));
    } catch (const Failure& failure) {
        return QStringLiteral("its protection could not be put back: ") + failure.description();
    }
}

// The dates the plan sets, which the toolkit wrote as UTF-16 text, back in PDF's own encoding.
// Done in place before the XMP and the protection are written, so those passes carry the plain
// strings on (encrypted like every string) and a file that needs neither is not written again.
QString storeDatesPlain(const QString& resultPath, const EditPlan& plan,
                        const QString& titleFromName) {
    QStringList keys;
    for (InfoField field : EditPlan::fields) {
        if (EditPlan::isDate(field) &&
            !plan.value(field, titleFromName).value_or(QString()).isEmpty())
            keys << EditPlan::toolkitKey(field);
    }
    try {
        DateStrings::makePlain(resultPath, keys);
        return {};
    } catch (const Failure& failure) {
        return failure.description();
    }
}

} // namespace

ResultFinisher::ResultFinisher(std::shared_ptr<const PdfSnapshot> original, QString input,
                               QString resultPath, EditPlan plan, QString titleFromName,
                               std::optional<QString> password,
                               std::shared_ptr<const UnnamedFile> unprotected)
    : original_(std::move(original)), input_(std::move(input)), resultPath_(std::move(resultPath)),
      plan_(std::move(plan)), titleFromName_(std::move(titleFromName)),
      password_(std::move(password)), unprotected_(std::move(unprotected)),
      hasXmp_(original_->catalogEntries().contains(QStringLiteral("Metadata"))),
      xmpChanges_(hasXmp_ ? XmpPacket::changesFor(plan_, titleFromName_)
                          : QList<XmpPacket::Change>()),
      rights_(XmpPacket::rightsFor(plan_)) {}

QString ResultFinisher::operator()() const {
    // What the toolkit wrote; the result file gets the protected bytes, when the two differ.
    const QString plainPath = unprotected_ ? unprotected_->path() : resultPath_;
    if (const QString reason = storeDatesPlain(plainPath, plan_, titleFromName_); !reason.isEmpty())
        return reason;
    if (InfoEditor::needed(plan_)) {
        const QString reason = finishInfo(plainPath, plan_);
        if (!reason.isEmpty())
            return reason;
    }
    const bool changesRights = rights_.copyright || rights_.url;
    // A file without XMP gets it only for a copyright, in step with the document information.
    const bool addsXmp = !hasXmp_ && rights_.addsAnything();
    if (hasXmp_ && (!xmpChanges_.isEmpty() || changesRights)) {
        const QString reason = updateXmp(plainPath, xmpChanges_, rights_);
        if (!reason.isEmpty())
            return reason;
    } else if (addsXmp) {
        const QString reason = addXmp(plainPath, rights_);
        if (!reason.isEmpty())
            return reason;
    }
    if (original_->encrypted()) {
        const QString reason = protectLikeOriginal(input_, password_, plainPath, resultPath_);
        if (!reason.isEmpty())
            return reason;
    }
    const QString reason =
        ResultCheck::verify(*original_, resultPath_, plan_, titleFromName_, password_);
    if (!reason.isEmpty() || (xmpChanges_.isEmpty() && !changesRights))
        return reason;
    return ResultCheck::verifyXmp(
        resultPath_, addsXmp ? XmpPacket::changesFor(plan_, titleFromName_) : xmpChanges_,
        password_, rights_);
}
