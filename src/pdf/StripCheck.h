#pragma once

#include "PdfSnapshot.h"
#include "PdfStripper.h"

#include <QString>
#include <optional>

// Whether a stripped copy may replace its original: it must keep the document as the result of
// any change must, and hold nothing of what was removed, in no object and in no stream.
class StripCheck {
public:
    // Empty when the result may be used; otherwise one reason, as ResultCheck words them. The
    // result must open without new warnings, keep every page and its content, the catalog's
    // entries but the removed ones, and the original's encryption; have no document information
    // but the kept entries, with their old values, and no XMP packet unless the file claims
    // PDF/A; no metadata on its objects (ObjectMetadata) and every attached file; an unencrypted
    // result no part of the original's document ID; and no removed text may be found in any string
    // or decoded stream of it, in any of the encodings a PDF file or an XMP packet writes text in.
    // What the pages draw (their content streams and the forms they place) is not searched: a title
    // printed on the first page is the document itself, which must stay as it is. No JPEG image
    // may keep a metadata segment that strip removes.
    static QString verify(const PdfSnapshot& original, const QString& resultPath,
                          const PdfStripper::Stripped& stripped,
                          const std::optional<QString>& password = std::nullopt);
};
