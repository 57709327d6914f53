#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// A copy of a PDF file fit to be sent out: without its document information, its XMP metadata,
// the metadata its objects carry (ObjectMetadata) and JPEG images carry in their metadata
// segments, page thumbnails, the document ID it shared with the original and every earlier
// revision. The file is written anew by libqpdf, object by object from the newest revision, so
// nothing that was deleted or overwritten in an incremental update comes along; no toolkit takes
// part. What a page shows stays as it is, streams byte for byte but for the metadata segments of
// JPEG images (whose pictures stay byte for byte), and so does the encryption.
class PdfStripper {
public:
    // A removed value, and whose value it was as the report names it ("the author's name").
    struct RemovedText {
        QString text;
        QString whose;
    };

    // What stripping one file took out of it, and what it kept.
    struct Stripped {
        // One phrase per kind of thing removed, as a dry run lists them ("the document
        // information: Title, Author, Company").
        QStringList removals;
        // How many of each kind were removed, by a name scripts can rely on
        // ("document-information": the entries, "jpeg-metadata": the images, ...).
        QMap<QString, int> counts;
        // Every removed value to be looked for in the result: the document information's
        // strings, the XMP packet's values and the comments' authors, each once, without those of
        // fewer than four characters (which turn up by chance in any binary stream) and those
        // also found in what was kept.
        QList<RemovedText> removedTexts;
        // What the result keeps on purpose that may still tell who made it or where (scripts,
        // hidden field values, layer names...), one phrase each, for a person to look at.
        QStringList kept;
        // The document-information keys (without slash) the result keeps, with their values.
        QStringList keptKeys;
        // The catalog's keys (without slash) that are gone.
        QStringList removedCatalogEntries;
        // The parts of the original's document ID, which an unencrypted result gets anew; empty
        // when the original is encrypted or has none.
        QList<QByteArray> formerId;
        // The attached files' data streams the original has, which the result must keep.
        int attachedFiles = 0;
        // The file claims PDF/A conformance and keeps an XMP packet with its identification.
        bool conformance = false;
    };

    // Strips the file at input, opened with password, into output (created by the caller) and
    // says what was removed; the fields in keep stay, in the document information and, in a file
    // that claims PDF/A, in its XMP packet. Without an output it only finds out. For a dry run
    // (always without an output) it also counts the earlier revisions, which only the list of
    // removals shows. Throws Failure.
    static Stripped strip(const QString& input, const std::optional<QString>& password,
                          const QList<InfoField>& keep, const QString& output = {},
                          bool dryRun = false);
};
