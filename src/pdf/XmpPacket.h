#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPDF;
class QPDFObjectHandle;

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

    // The copyright notice: dc:rights (one default entry) with xmpRights:Marked "True", and the
    // address of the rights statement, xmpRights:WebStatement. Nothing leaves one alone, an
    // empty text removes it (a removed notice takes Marked with it).
    struct Rights {
        std::optional<QString> copyright;
        std::optional<QString> url;
        // The document's language (dc:language, a bag of one tag), kept in step with the
        // catalog's /Lang; it alone gives a file without XMP no packet.
        std::optional<QString> language;

        // Whether there is anything to change at all.
        bool changesAnything() const { return copyright || url || language; }

        // Whether a file without XMP needs a packet for these.
        bool addsAnything() const {
            return !copyright.value_or(QString()).isEmpty() || !url.value_or(QString()).isEmpty();
        }
    };
    // The keys read() gives the copyright notice, its mark and its address under.
    static QString copyrightKey() { return QStringLiteral("Copyright"); }
    static QString markedKey() { return QStringLiteral("CopyrightMarked"); }
    static QString copyrightUrlKey() { return QStringLiteral("CopyrightURL"); }
    // The key read() gives the document's languages under, joined with "; ".
    static QString languageKey() { return QStringLiteral("Language"); }

    // The packet with the changes made and now as the time its metadata changed; everything else
    // it holds is kept. A language alternative or list the document information maps to ends
    // with the new text as its only entry, since viewers show every entry. Gives packet itself
    // when the changes leave it as it was, so the caller can skip rewriting the file.
    static QByteArray update(const QByteArray& packet, const QList<Change>& changes,
                             const QDateTime& now, const Rights& rights = {});

    // The changes a plan makes, with its dates (in PDF's form, as the document information gets
    // them) in ISO 8601 and the title from the file's name where the plan asks for it.
    static QList<Change> changesFor(const EditPlan& plan, const QString& titleFromName);
    static Rights rightsFor(const EditPlan& plan) {
        return {plan.copyright(), plan.copyrightUrl(), plan.language()};
    }

    // What the packet holds for the document-information keys ("Title", "Author", ...), as
    // stored: a language alternative's default entry (else its first), a list's entries joined
    // with "; ". Also the copyright notice, its mark and its address and the document's
    // languages, under the keys above.
    // Keys the packet has nothing for are absent.
    static QMap<QString, QString> read(const QByteArray& packet);

    // Every text the packet holds (each simple value; no qualifiers such as languages), for a
    // search of a file from which the packet was removed.
    static QStringList texts(const QByteArray& packet);

    // The keywords a keywords text lists, one by one as dc:subject holds them: split where the
    // text separates them with a comma or a semicolon, without the spaces around them.
    static QStringList keywordItems(const QString& keywords);
    // The entries of the packet's dc:subject, in their order. Throws Failure.
    static QStringList subjects(const QByteArray& packet);

    // What a PDF/A file keeps of its packet when its metadata is removed: the PDF/A
    // identification (part, conformance, amendment, revision), the properties of an attached
    // e-invoice with the extension schema that declares them, and the given fields, which PDF/A
    // requires in XMP as in the document information. Nothing when the packet claims no PDF/A
    // conformance.
    static std::optional<QByteArray> conformanceOnly(const QByteArray& packet,
                                                     const QList<Change>& fields);

    // The decoded packet of the document's catalog; nothing when it has none. Throws Failure.
    static std::optional<QByteArray> of(QPDF& pdf);
    // The decoded packet of the file's catalog; nothing when the file has none.
    static std::optional<QByteArray> readFromPdf(const QString& path,
                                                 const std::optional<QString>& password);
    // The file input with packet as its catalog's metadata, unfiltered, and everything else as
    // it was, the encryption too. A file without metadata is not given any: that is a Failure.
    static QByteArray withPacket(const QString& input, const std::optional<QString>& password,
                                 const QByteArray& packet);
    // The file input (not encrypted) with its packet replaced by what update makes of it, read
    // and written in one pass; empty when it has no packet or update leaves it as it was.
    static QByteArray withUpdatedPacket(const QString& input,
                                        const std::function<QByteArray(const QByteArray&)>& update);
    // The file input (not encrypted) given a packet of its own, the one case where the program
    // adds XMP: it holds rights and, in step with them, the document information's eight fields
    // as the file has them. A file that has metadata already is a Failure.
    static QByteArray withNewPacket(const QString& input, const Rights& rights,
                                    const QDateTime& now);
    // The packet withNewPacket() gives a file whose document information is info (a dictionary,
    // or nothing).
    static QByteArray newPacket(QPDFObjectHandle info, const Rights& rights, const QDateTime& now);
};
