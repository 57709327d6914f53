#pragma once

#include "XmpPacket.h"

#include <QList>
#include <QString>

struct FileJob;

// What becomes of the toolkit's result before it may replace its destination, done on the commit
// queue's thread: the keys it is to lose are taken out of its document information, its XMP
// metadata gets the same changes and the copyright (a file without XMP gets a packet for a
// copyright), an encrypted original's protection is put back, and a reader of our own checks it
// against the original.
class ResultFinisher {
public:
    // job's original is its input as it was read before the toolkit changed it, with job's plan,
    // into the job's output; or, for a protected file, into its unprotected result, which only
    // the result encrypted again leaves for the output.
    explicit ResultFinisher(const FileJob& job);

    // Throws Rejection when the result must not be used.
    void operator()() const;
    // The last step alone, for a result finished already: our reader's check against the
    // original, of its document, its document information and its XMP metadata. Throws
    // Rejection.
    void check() const;

private:
    // The finishing steps, each on the toolkit's result at plainPath.
    void storeDatesPlain(const QString& plainPath) const;
    void finishXmp(const QString& plainPath) const;

    const FileJob& job_;
    QString resultPath_;
    bool hasXmp_;
    // Viewers show the XMP metadata's values before the document information's, so a file that
    // has XMP gets the same changes there.
    QList<XmpPacket::Change> xmpChanges_;
    XmpPacket::Rights rights_;
};
