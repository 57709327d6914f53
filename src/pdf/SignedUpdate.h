#pragma once

#include "EditPlan.h"

#include <QDateTime>
#include <QString>

class PdfSnapshot;
class QPDFObjectHandle;

// A change to a digitally signed file, added after the signed part as an incremental update: a
// signature covers the file's bytes as they were signed, so they stay exactly as they are and
// only new objects (document information, XMP metadata, the catalog when it gets metadata) and a
// cross-reference section of the kind the file's last one is follow them. Readers take the newest
// version of each object; the signature still covers its revision.
class SignedUpdate {
public:
    // What the document catalog tells of signatures, looked at while the original is read.
    struct Signing {
        // A signature field holds a signature, or /Perms holds permissions a signature grants.
        bool isSigned = false;
        // A certification allows no change at all (DocMDP, level 1).
        bool forbidsChanges = false;
    };
    // Only the form's fields are walked, so a file without a form costs nothing.
    static Signing signing(QPDFObjectHandle catalog);

    // Why a change cannot be added to the signed file original without breaking its signature,
    // a reason phrase starting with "it"; empty when it can.
    static QString refusal(const PdfSnapshot& original);
    // Why a signed file is not stripped of its metadata.
    static QString stripRefusal();
    // What a changed file's outcome says: the change was (or, in a dry run, would be) added
    // after the signed part.
    static QString note(bool dryRun);

    // Writes the file input, its bytes unchanged, followed by the update that makes the plan's
    // changes, to output (our own temporary file); now is when its XMP metadata changed. Gives
    // how many bytes of the result are the original's. Throws Failure, whose text is a reason
    // phrase about the file starting with "it".
    static qint64 write(const QString& input, const EditPlan& plan, const QString& titleFromName,
                        const QString& output, const QDateTime& now);
};
