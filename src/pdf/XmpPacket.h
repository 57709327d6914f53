#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The XMP metadata a PDF file may carry beside its document information (the catalog's
// /Metadata). Viewers show its title in preference to the document information's, and a PDF/A
// file stays one only while the two agree, so whatever changes the one must change the other.
// Every function may run on any thread, several at once. Failures are thrown as Failure, whose
// text is a reason phrase about the file starting with "it".
class XmpPacket {
public:
    // One field of the document information set to a text; an empty text removes the field.
    // Dates come as ISO 8601 text with their zone, as they are to be stored.
    struct Change {
        InfoField field;
        QString text;
    };

    // The packet with the changes made and now as the time its metadata changed; everything else
    // it holds is kept. A language alternative or list the document information maps to ends
    // with the new text as its only entry, since viewers show every entry. Gives packet itself
    // when the changes leave it as it was, so the caller can skip rewriting the file.
    static QByteArray update(const QByteArray& packet, const QList<Change>& changes,
                             const QDateTime& now);

    // The changes a plan makes, with its dates (in PDF's form, as the document information gets
    // them) in ISO 8601 and the title from the file's name where the plan asks for it.
    static QList<Change> changesFor(const EditPlan& plan, const QString& titleFromName);

    // What the packet holds for the document-information keys ("Title", "Author", ...), as
    // stored: a language alternative's default entry (else its first), a list's entries joined
    // with "; ". Keys the packet has nothing for are absent.
    static QMap<QString, QString> read(const QByteArray& packet);

    // Every text the packet holds (each simple value; no qualifiers such as languages), for a
    // search of a file from which the packet was removed.
    static QStringList texts(const QByteArray& packet);

    // What a PDF/A file keeps of its packet when its metadata is removed: the PDF/A
    // identification (part, conformance, amendment, revision) and the given fields, which PDF/A
    // requires in XMP as in the document information. Nothing when the packet claims no PDF/A
    // conformance.
    static std::optional<QByteArray> conformanceOnly(const QByteArray& packet,
                                                     const QList<Change>& fields);

    // The decoded packet of the file's catalog; nothing when the file has none.
    static std::optional<QByteArray> readFromPdf(const QString& path,
                                                 const std::optional<QString>& password);
    // The file input with packet as its catalog's metadata, unfiltered, and everything else as
    // it was, the encryption too. A file without metadata is not given any: that is a Failure.
    static QByteArray withPacket(const QString& input, const std::optional<QString>& password,
                                 const QByteArray& packet);
};
