#pragma once

#include "EditPlan.h"
#include "XmpPacket.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class PdfSnapshot;
class UnnamedFile;

// What becomes of the toolkit's result before it may replace its destination, done on the commit
// queue's thread: the keys it is to lose are taken out of its document information, its XMP
// metadata gets the same changes and the copyright (a file without XMP gets a packet for a
// copyright), an encrypted original's protection is put back, and a reader of our own checks it
// against the original.
class ResultFinisher {
public:
    // original is the file at input as it was read before the toolkit changed it into resultPath
    // with plan; password is the one that file took. The toolkit's result of a protected file
    // may be in unprotected instead, which only the result encrypted again leaves for resultPath.
    ResultFinisher(std::shared_ptr<const PdfSnapshot> original, QString input, QString resultPath,
                   EditPlan plan, QString titleFromName, std::optional<QString> password,
                   std::shared_ptr<const UnnamedFile> unprotected = nullptr);

    // Why the result must not be used, or an empty text when it may.
    QString operator()() const;

private:
    std::shared_ptr<const PdfSnapshot> original_;
    QString input_;
    QString resultPath_;
    EditPlan plan_;
    QString titleFromName_;
    std::optional<QString> password_;
    std::shared_ptr<const UnnamedFile> unprotected_;
    bool hasXmp_;
    // Viewers show the XMP metadata's values before the document information's, so a file that
    // has XMP gets the same changes there.
    QList<XmpPacket::Change> xmpChanges_;
    XmpPacket::Rights rights_;
};
