#include "PdfSnapshot.h"

#include "DateStrings.h"
#include "Failure.h"
#include "PageTree.h"
#include "PdfFile.h"
#include "SignedUpdate.h"

#include <QStringDecoder>
#include <algorithm>
#include <climits>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageLabelDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <tuple>
#include <utility>

namespace {

QString fromName(const std::string& name) {
    return QString::fromUtf8(name.starts_with('/') ? name.substr(1) : name);
}

// UTF-16 is read here rather than by libqpdf, which drops half of a surrogate pair without a
// trace: the replacement character stands for it, and for an odd last byte, as for a byte
// PDFDocEncoding leaves undefined, so the text shows that it is not all the bytes hold.
QString utf16Text(const std::string& bytes) {
    QString text;
    text.reserve(qsizetype(bytes.size() / 2));
    for (std::size_t at = 2; at + 1 < bytes.size(); at += 2)
        text += QChar(char16_t((static_cast<unsigned char>(bytes[at]) << 8) |
                               static_cast<unsigned char>(bytes[at + 1])));
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text.at(at).isHighSurrogate() && at + 1 < text.size() &&
            text.at(at + 1).isLowSurrogate())
            ++at;
        else if (text.at(at).isSurrogate())
            text[at] = QChar::ReplacementCharacter;
    }
    if (bytes.size() % 2 != 0)
        text += QChar::ReplacementCharacter;
    return text;
}

// Qt would take a leading U+FEFF for a byte order mark and drop it, yet it is part of the text.
QString textOf(QPDFObjectHandle string) {
    if (const std::string bytes = string.getStringValue(); bytes.starts_with("\xfe\xff"))
        return utf16Text(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(string.getUTF8Value());
}

// References to dictionaries, arrays and streams are shown as their kind only: the toolkit
// renumbers objects, and following them could walk the whole document.
std::string canonical(QPDFObjectHandle value, bool nested) {
    if (nested && value.isIndirect() && !value.isScalar())
        return std::string("<indirect ") + value.getTypeName() + ">";
    if (value.isStream())
        return "<stream>";
    if (value.isArray()) {
        std::string text = "[";
        for (QPDFObjectHandle item : value.aitems())
            text += ' ' + canonical(item, true);
        return text + " ]";
    }
    if (value.isDictionary()) {
        std::string text = "<<";
        for (auto [key, item] : value.ditems()) {
            if (!item.isNull())
                text += ' ' + key + ' ' + canonical(item, true);
        }
        return text + " >>";
    }
    return value.unparseResolved();
}

// Indirect objects are not followed: each is looked at once, on its own, by the caller.
bool refersTo(QPDFObjectHandle object, const QPDFObjGen& target, bool top) {
    if (!top && object.isIndirect())
        return object.getObjGen() == target;
    if (object.isArray()) {
        for (QPDFObjectHandle item : object.aitems()) {
            if (refersTo(item, target, false))
                return true;
        }
    } else if (object.isStream()) {
        return refersTo(object.getDict(), target, false);
    } else if (object.isDictionary()) {
        for (auto [key, item] : object.ditems()) {
            if (refersTo(item, target, false))
                return true;
        }
    }
    return false;
}

bool usedElsewhere(QPDF& pdf, QPDFObjectHandle info) {
    const QPDFObjGen target = info.getObjGen();
    for (auto [key, item] : pdf.getTrailer().ditems()) {
        if (key != "/Info" && refersTo(item, target, false))
            return true;
    }
    // A cross-reference stream's dictionary is the trailer itself, or an older one.
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (object.isStream() && object.getDict().getKey("/Type").isNameAndEquals("/XRef"))
            continue;
        if (refersTo(object, target, true))
            return true;
    }
    return false;
}

int countStreams(QPDFObjectHandle contents) {
    if (contents.isStream())
        return 1;
    if (!contents.isArray())
        return 0;
    int count = 0;
    for (QPDFObjectHandle item : contents.aitems())
        count += item.isStream() ? 1 : 0;
    return count;
}

PdfSnapshot::PageShape shapeOf(QPDFPageObjectHelper page) {
    PdfSnapshot::PageShape shape;
    QPDFObjectHandle object = page.getObjectHandle();
    shape.contentStreams = countStreams(object.getKey("/Contents"));
    QPDFObjectHandle annotations = object.getKey("/Annots");
    if (annotations.isArray()) {
        for (QPDFObjectHandle item : annotations.aitems())
            shape.annotations += item.isNull() ? 0 : 1;
    }
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    if (!resources.isDictionary())
        return shape;
    for (auto [category, entries] : resources.ditems()) {
        if (!entries.isDictionary())
            continue;
        QStringList names;
        for (auto [name, value] : entries.ditems()) {
            if (!value.isNull())
                names << fromName(name);
        }
        names.sort();
        shape.resources.insert(fromName(category), names);
    }
    return shape;
}

// A viewer shows a node that says it is a page as that page, where the library walks into it.
bool shownAsPage(QPDFObjectHandle node) {
    return node.getKey("/Type").isNameAndEquals("/Page");
}

// The pages under node as a viewer recovers them: every entry of /Kids that is a dictionary, or a
// reference to anything but another node, may be a page it shows, even where this reader finds
// null or a stream. A node met again (a loop) and nodes deeper than any real tree add nothing.
int countLeaves(QPDFObjectHandle node) {
    int leaves = 0;
    PageTree::walk(
        node, PageTree::Manner::Counting, [&leaves](QPDFObjectHandle kid, PageTree::Kid kind) {
            if (kind == PageTree::Kid::Node && !shownAsPage(kid))
                return PageTree::Step::Enter;
            if (kind != PageTree::Kid::BackUp && (kid.isIndirect() || kid.isDictionary()))
                ++leaves;
            return PageTree::Step::Pass;
        });
    return leaves;
}

// Only looks at the tree as it is written, before the reader's own walk repairs it in memory.
std::pair<int, int> viewerPageCounts(QPDF& pdf) {
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    int leaves = 0;
    if (PageTree::isNode(root) && !shownAsPage(root)) {
        leaves = countLeaves(root);
    } else if (root.isDictionary()) {
        leaves = 1; // a lone page in the place of the tree
    }
    QPDFObjectHandle count = root.isDictionary() ? root.getKey("/Count") : QPDFObjectHandle();
    // Some writers put a real number there; a viewer takes it all the same.
    const double claimed = count.isNumber() ? count.getNumericValue() : 0.0;
    return {leaves, claimed > 0 ? int(std::min(claimed, double(INT_MAX))) : 0};
}

// The helper stops at loops and at a depth no real outline has.
int countOutline(std::vector<QPDFOutlineObjectHelper> entries) {
    int count = 0;
    while (!entries.empty()) {
        QPDFOutlineObjectHelper entry = entries.back();
        entries.pop_back();
        ++count;
        for (QPDFOutlineObjectHelper& kid : entry.getKids())
            entries.push_back(kid);
    }
    return count;
}

int countPageObjects(QPDF& pdf) {
    int count = 0;
    for (QPDFObjectHandle object : pdf.getAllObjects())
        count += object.isDictionary() && shownAsPage(object) ? 1 : 0;
    return count;
}

QString warningText(const QPDFExc& warning) {
    const QString detail = QString::fromStdString(warning.getMessageDetail());
    if (warning.getObject().empty())
        return detail;
    return QString::fromStdString(warning.getObject()) + QStringLiteral(": ") + detail;
}

} // namespace

PdfSnapshot PdfSnapshot::read(const QString& path, const std::optional<QString>& password,
                              Sharing sharing, const std::function<void(QPDF&)>& alsoRead,
                              const TextRule& viewerText) {
    PdfSnapshot snapshot;
    PdfFile::openWithBytes(path, password, [&](QPDF& pdf, const QByteArray& content) {
        QPDFObjectHandle info = pdf.getTrailer().getKey("/Info");
        // The toolkit takes a stream named as document information for its dictionary.
        QPDFObjectHandle entries = info.isStream() ? info.getDict() : info;
        if (entries.isDictionary()) {
            for (auto [key, value] : entries.ditems()) {
                if (value.isNull())
                    continue;
                InfoValue entry;
                entry.isString = value.isString();
                entry.text = entry.isString ? textOf(value)
                                            : QString::fromStdString(canonical(value, false));
                snapshot.info_.insert(fromName(key), entry);
                if (entry.isString && DateStrings::isUnicode(value.getStringValue()))
                    snapshot.unicodeInfo_ << fromName(key);
                if (PdfFile::isDocumentInformation(key, value))
                    snapshot.documentKeys_ << fromName(key);
            }
        }
        snapshot.infoDirect_ = info.isDictionary() && !info.isIndirect();
        snapshot.infoShared_ =
            sharing == Sharing::Find && info.isIndirect() && usedElsewhere(pdf, info);

        QPDFObjectHandle catalog = pdf.getRoot();
        for (auto [key, value] : catalog.ditems()) {
            if (!value.isNull())
                snapshot.catalogEntries_ << fromName(key);
        }
        snapshot.catalogEntries_.sort();
        if (QPDFObjectHandle language = catalog.getKey("/Lang"); language.isString())
            snapshot.language_ = textOf(language);
        QPDFObjectHandle preferences = catalog.getKey("/ViewerPreferences");
        if (QPDFObjectHandle shown = preferences.isDictionary()
                                         ? preferences.getKey("/DisplayDocTitle")
                                         : QPDFObjectHandle();
            shown.isBool())
            snapshot.displaysTitle_ = shown.getBoolValue();
        const SignedUpdate::Signing signing = SignedUpdate::signing(catalog);
        snapshot.signed_ = signing.isSigned;
        snapshot.certifiedAgainstChanges_ = signing.forbidsChanges;

        int revision = 0;
        int permissions = 0;
        int version = 0;
        QPDF::encryption_method_e streams{};
        QPDF::encryption_method_e strings{};
        QPDF::encryption_method_e files{};
        if (pdf.isEncrypted(revision, permissions, version, streams, strings, files))
            snapshot.encryption_ = QStringLiteral("V%1 R%2 P%3 methods %4/%5/%6")
                                       .arg(version)
                                       .arg(revision)
                                       .arg(permissions)
                                       .arg(int(streams))
                                       .arg(int(strings))
                                       .arg(int(files));

        std::tie(snapshot.pageLeaves_, snapshot.claimedPages_) = viewerPageCounts(pdf);
        std::vector<QPDFObjectHandle> pages;
        try {
            pages = pdf.getAllPages();
        } catch (const QPDFExc& error) {
            // A loop in the page tree, which a viewer skips; what the reader listed before it
            // gave up is listed again.
            if (error.getErrorCode() != qpdf_e_pages || !PdfFile::breakPageTreeLoops(pdf))
                throw;
            pdf.updateAllPagesCache();
            pages = pdf.getAllPages();
        }
        for (QPDFObjectHandle page : pages) {
            snapshot.pageShapes_ << shapeOf(QPDFPageObjectHelper(page));
            snapshot.brokenPages_ += page.isDictionary() ? 0 : 1;
        }

        // Warnings come while objects are resolved, so they are collected only at the end.
        const std::vector<QPDFExc> warnings = pdf.getWarnings();
        snapshot.hadWarnings_ = !warnings.empty();
        if (snapshot.hadWarnings_)
            snapshot.firstWarning_ = warningText(warnings.front());
        // Read after the warnings are taken, so that what only these parts complain of does not
        // count as damage; and a file they cannot make sense of has no outline or labels here
        // rather than being refused.
        try {
            QPDFOutlineDocumentHelper outline(pdf);
            snapshot.outlineEntries_ = countOutline(outline.getTopLevelOutlines());
            snapshot.pageLabels_ = QPDFPageLabelDocumentHelper(pdf).hasPageLabels();
            if (snapshot.damaged())
                snapshot.pageObjects_ = countPageObjects(pdf);
        } catch (const std::exception&) {
        }
        if (alsoRead)
            alsoRead(pdf);
        // The bytes just read serve the viewer too; the password is the one that opened it.
        if (viewerText)
            snapshot.viewerReading_ = ViewerReading::read(
                path, password,
                [&snapshot, &viewerText](const ViewerReading& reading) {
                    return viewerText(snapshot, reading);
                },
                content);
    });
    return snapshot;
}

bool PdfSnapshot::textWhereDamaged(const PdfSnapshot& snapshot, const ViewerReading& reading) {
    return snapshot.damaged() || reading.pages() != snapshot.pages();
}

bool PdfSnapshot::damaged() const {
    return hadWarnings_ || brokenPages_ > 0 || pageLeaves_ != pages() || claimedPages_ != pages();
}

std::optional<QString> PdfSnapshot::infoValue(const QString& key) const {
    const auto found = info_.constFind(key);
    if (found == info_.constEnd())
        return std::nullopt;
    return found->text;
}

QMap<QString, PdfSnapshot::InfoValue> PdfSnapshot::documentInformation() const {
    QMap<QString, InfoValue> entries;
    for (const QString& key : documentKeys_)
        entries.insert(key, info_.value(key));
    return entries;
}
