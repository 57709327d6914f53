#pragma once

#include "ViewerReading.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPDF;

// What a reader of our own, independent of the toolkit, sees of one PDF file: enough to tell
// whether a toolkit result kept the document and carries the intended document information.
// Plain Qt data only, so a snapshot can be taken on one thread and compared on another.
class PdfSnapshot {
public:
    // One value of the document information.
    struct InfoValue {
        // Strings: the exact Unicode text; U+FFFD for a byte PDFDocEncoding leaves undefined
        // and for half of a UTF-16 surrogate pair. Anything else: a canonical rendering, stable
        // across object renumbering, so two files holding the same value give the same text.
        QString text;
        bool isString = false;

        bool operator==(const InfoValue&) const = default;
    };

    // What lost content changes on a page, small enough to compare for every page of every file.
    struct PageShape {
        int contentStreams = 0;
        int annotations = 0;
        // For each resource category (Font, XObject, ...), the sorted names whose value exists.
        QMap<QString, QStringList> resources;

        bool operator==(const PageShape&) const = default;
    };

    // Whether to look through every object of the file for a second use of its document
    // information: needed for an original, a cost for a result.
    enum class Sharing { Find, Ignore };
    // Throws Failure, whose text is a reason phrase about the file starting with "it", such as
    // "it is password-protected and the password was not given or is wrong".
    // alsoRead, when given, looks at the opened file after the snapshot is taken, so a caller
    // that needs more of it does not open and parse the file a second time. viewerText, when
    // given, has the viewer read the same bytes too (see viewerReading()), and tells, from the
    // snapshot and the viewer's reading, whether the viewer counts each page's text as well.
    using TextRule = std::function<bool(const PdfSnapshot&, const ViewerReading&)>;
    static PdfSnapshot read(const QString& path,
                            const std::optional<QString>& password = std::nullopt,
                            Sharing sharing = Sharing::Find,
                            const std::function<void(QPDF&)>& alsoRead = {},
                            const TextRule& viewerText = {});
    // The rule for an original: the text is counted only where a repair may lose what our own
    // reader cannot see, a damaged file or one whose pages the readers count differently.
    static bool textWhereDamaged(const PdfSnapshot& snapshot, const ViewerReading& reading);

    // The pages this reader finds; a damaged page it reads as null or as a stream is among them.
    int pages() const { return static_cast<int>(pageShapes_.size()); }
    const QList<PageShape>& pageShapes() const { return pageShapes_; }
    // The pages this reader finds as null or as a stream rather than as a page: what a copy for
    // the toolkit, or the toolkit itself, cannot keep.
    int brokenPages() const { return brokenPages_; }
    // The pages a viewer may still show where this reader finds fewer: the leaves of the page
    // tree as it is written, whatever their objects turn out to be, and the count its root
    // claims (0 when it claims none). The toolkit drops what it cannot read as a page, so a
    // result must not have fewer by either.
    int pageLeaves() const { return pageLeaves_; }
    int claimedPages() const { return claimedPages_; }
    // The file is damaged: reading it needed repairs, or the pages read, the leaves of the page
    // tree and its count disagree.
    bool damaged() const;
    // Only where the file is damaged: the page objects the file holds, whether the tree
    // reaches them or not, which a viewer's repair may show; 0 otherwise. A dictionary the tree
    // names as a page counts as one, as this reader takes it for one: where the tree names
    // another object in a page's place (objects renumbered), the page that is no longer reached
    // counts too, and a result that shows the stand-in instead of it has lost it.
    int pageObjects() const { return pageObjects_; }
    // Every entry of the outline (the bookmarks), at every level, and whether the pages have
    // labels, as this reader finds them.
    int outlineEntries() const { return outlineEntries_; }
    bool pageLabels() const { return pageLabels_; }

    // What a viewer shows of the same file, when read() was asked for it: for an original, whose
    // result must keep what either reader finds in it. Nothing where the viewer cannot open the
    // file.
    const std::optional<ViewerReading>& viewerReading() const { return viewerReading_; }

    // The catalog's keys (without slash) whose values exist, sorted.
    const QStringList& catalogEntries() const { return catalogEntries_; }
    // The document's language, the catalog's /Lang; nothing when it has none that is text.
    const std::optional<QString>& language() const { return language_; }
    // DisplayDocTitle of the viewer preferences: nothing when it is not there (or not true or
    // false).
    const std::optional<bool>& displaysTitle() const { return displaysTitle_; }

    // Keys without the slash, such as "Title"; entries whose value is null are left out.
    const QMap<QString, InfoValue>& info() const { return info_; }
    // The entry's text, whether it is a string or not; nothing when there is no such entry.
    std::optional<QString> infoValue(const QString& key) const;
    // The entries a copy with document information of its own (PdfCopier) carries over.
    QMap<QString, InfoValue> documentInformation() const;
    // The keys whose strings are stored as Unicode text after a byte order mark rather than in
    // PDF's own encoding; a date stored so is not read as one by every reader.
    const QStringList& unicodeInfo() const { return unicodeInfo_; }

    // The document information is an object that the document also uses for something else (its
    // page tree, a page, a font, ...). The toolkit would write that object out as the new
    // information and drop it from the document, so such a file must not reach it as it is.
    bool infoShared() const { return infoShared_; }
    // The document information sits directly in the trailer rather than in an object of its own;
    // the toolkit fails on such a file.
    bool infoDirect() const { return infoDirect_; }
    // Either of the two: the toolkit should get a copy with document information of its own.
    bool needsOwnInfo() const { return infoShared_ || infoDirect_; }

    // How the file is encrypted (algorithm, revision, permissions), comparable between files;
    // empty when it is not.
    const QString& encryption() const { return encryption_; }
    bool encrypted() const { return !encryption_.isEmpty(); }

    // Whether the file is digitally signed: a signature field holds a signature, or the catalog
    // holds permissions a signature grants (a certification). Rewriting the file breaks every
    // signature; only a change added after the signed part keeps them.
    bool isSigned() const { return signed_; }
    // A certification that allows no change at all, not even one added after the signed part.
    bool certifiedAgainstChanges() const { return certifiedAgainstChanges_; }

    // Whether reading had to repair or overlook anything, and what it first complained about.
    bool hadWarnings() const { return hadWarnings_; }
    QString firstWarning() const { return firstWarning_; }

private:
    QList<PageShape> pageShapes_;
    int brokenPages_ = 0;
    int pageLeaves_ = 0;
    int claimedPages_ = 0;
    int pageObjects_ = 0;
    int outlineEntries_ = 0;
    bool pageLabels_ = false;
    std::optional<ViewerReading> viewerReading_;
    QStringList catalogEntries_;
    std::optional<QString> language_;
    std::optional<bool> displaysTitle_;
    QMap<QString, InfoValue> info_;
    QStringList unicodeInfo_;
    QStringList documentKeys_;
    bool infoShared_ = false;
    bool infoDirect_ = false;
    QString encryption_;
    bool signed_ = false;
    bool certifiedAgainstChanges_ = false;
    bool hadWarnings_ = false;
    QString firstWarning_;
};
