#pragma once

#include "PdfSnapshot.h"
#include "PdfStripper.h"

#include <QString>
#include <QStringList>
#include <optional>

// Whether a stripped copy may replace its original: it must keep the document as the result of
// any change must, and hold nothing of what was removed, in no object and in no stream.
class StripCheck {
public:
    struct Verdict {
        // Empty when the result may be used; otherwise why not, as ResultCheck words it.
        QString reason;
        // Where a removed value is still found in what the document shows or holds, which strip
        // keeps as it is ("the author's name is still in the text of page 3").
        QStringList remains;
    };

    // The result must open without new warnings, keep every page and its content, the catalog's
    // entries but the removed ones, and the original's encryption; have no document information
    // but the kept entries, with their old values, and no XMP packet unless the file claims
    // PDF/A; no metadata on its objects (ObjectMetadata) and every attached file; an unencrypted
    // result no part of the original's document ID. No JPEG image may keep a metadata segment
    // that strip removes. A removed text is then looked for in every string and decoded stream of
    // the result, in any of the encodings a PDF file or an XMP packet writes text in, and in the
    // text of each page as a viewer reads it; where it is found is content (every place of
    // metadata was checked before), which stays, and is named.
    static Verdict verify(const PdfSnapshot& original, const QString& resultPath,
                          const PdfStripper::Stripped& stripped,
                          const std::optional<QString>& password = std::nullopt);
};
