#pragma once

#include "EditPlan.h"
#include "PdfSnapshot.h"
#include "XmpPacket.h"

#include <QString>
#include <optional>

// Whether a toolkit result may replace its original. The toolkit can exit with success and still
// have dropped pages or text, so the result is read by a reader of our own and compared with what
// that reader saw of the original.
class ResultCheck {
public:
    // Empty when the result may replace the original; otherwise one reason, a phrase in lower case
    // without a final period, as shown after "<path>: not changed: ". The result must open without
    // warnings the original did not have, keep every page and its content (no fewer pages by
    // any count a snapshot holds), be encrypted as the original is, hold exactly the planned text
    // for every changed field or key (an emptied field may also be missing; Trapped as a name; a
    // date set in PDF's own encoding, not as Unicode text), none of the keys the plan removes, and
    // every other entry of the original's document
    // information unchanged, and the catalog's language and DisplayDocTitle as the plan sets
    // them, or as the original has them.
    // The password is tried only when the result cannot be opened without it.
    // With packet, also gives the result's XMP packet (nothing when it has none), read in the
    // same pass, for verifyPacket().
    static QString verify(const PdfSnapshot& original, const QString& resultPath,
                          const EditPlan& plan, const QString& titleFromName,
                          const std::optional<QString>& password = std::nullopt,
                          std::optional<QByteArray>* packet = nullptr);

    // The part of verify() that looks at the document rather than its metadata: empty when the
    // result at resultPath opens without warnings the original did not have, keeps every page
    // and its content and the catalog's entries (but those named in removed), and is encrypted
    // as the original is; otherwise the reason. result gets what was read of it.
    // Where the original carries a viewer's reading, the result is read by the viewer too and
    // must keep what either reader finds in the original: its pages (every page object, where
    // it is damaged), bookmarks, page labels and, where the viewer counted it, each page's text
    // ("repairing it would lose 3 pages that other readers show"). With pageText, the viewer
    // gives the result's text of every page in any case.
    static QString keepsDocument(const PdfSnapshot& original, const QString& resultPath,
                                 const std::optional<QString>& password, const QStringList& removed,
                                 PdfSnapshot& result,
                                 const std::function<void(QPDF&)>& alsoRead = {},
                                 bool pageText = false);

    // Empty when the result's XMP metadata holds every change and the copyright as planned (a
    // change to an empty text: the property is gone); otherwise the reason. A result without XMP
    // has nothing to hold, unless it was to get a copyright.
    static QString verifyXmp(const QString& resultPath, const QList<XmpPacket::Change>& changes,
                             const std::optional<QString>& password = std::nullopt,
                             const XmpPacket::Rights& rights = {});
    // verifyXmp() on a packet already read (nothing: the result has none).
    static QString verifyPacket(const std::optional<QByteArray>& packet,
                                const QList<XmpPacket::Change>& changes,
                                const XmpPacket::Rights& rights = {});
};
