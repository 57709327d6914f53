#include "StripCheck.h"

#include "AttachedPdfs.h"
#include "ContentPlaces.h"
#include "JpegMarkers.h"
#include "ObjectMetadata.h"
#include "PdfFile.h"
#include "ResultCheck.h"
#include "TextLists.h"
#include "XmpPacket.h"

#include <QByteArrayMatcher>
#include <QStringEncoder>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QUtil.hh>
#include <set>
#include <string_view>

namespace {

// Every form a text takes in a PDF file: a text string in PDFDocEncoding or UTF-16BE (UTF-8 in
// PDF 2.0), and in an XMP packet UTF-8 with XML's escapes, in element text or in an attribute.
QList<QByteArray> encodingsOf(const QString& text) {
    QList<QByteArray> forms{text.toUtf8()};
    std::string pdfDoc;
    if (QUtil::utf8_to_pdf_doc(text.toStdString(), pdfDoc))
        forms << QByteArray::fromStdString(pdfDoc);
    QStringEncoder utf16(QStringEncoder::Utf16BE);
    forms << QByteArray(utf16(text));
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
        .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
        .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    forms << escaped.toUtf8();
    forms << escaped.replace(QLatin1Char('"'), QStringLiteral("&quot;")).toUtf8();
    QList<QByteArray> distinct;
    for (const QByteArray& form : std::as_const(forms)) {
        if (!distinct.contains(form))
            distinct << form;
    }
    return distinct;
}

// Looks through every object of a file, and the text of its pages, for the removed texts, and
// notes where each one is.
class Search {
public:
    explicit Search(const QList<PdfStripper::RemovedText>& texts) : texts_(texts) {
        for (qsizetype index = 0; index < texts.size(); ++index) {
            for (const QByteArray& form : encodingsOf(texts.at(index).text))
                needles_.append({index, QByteArrayMatcher(form)});
        }
        places_.resize(texts.size());
        pages_.resize(texts.size());
    }

    bool any() const { return !needles_.isEmpty(); }

    void in(QPDF& pdf) {
        if (needles_.isEmpty())
            return;
        const ContentPlaces places(pdf);
        placeNames_ = &places;
        // What the pages draw is looked for in their text, as a viewer reads it.
        for (QPDFObjectHandle page : pdf.getAllPages()) {
            QPDFObjectHandle contents = page.getKey("/Contents");
            if (contents.isStream())
                drawn_.insert(contents.getObjGen());
            for (QPDFObjectHandle part :
                 contents.isArray() ? contents.getArrayAsVector() : std::vector<QPDFObjectHandle>())
                drawn_.insert(part.getObjGen());
        }
        top(pdf.getTrailer());
        for (QPDFObjectHandle object : pdf.getAllObjects())
            top(object);
        placeNames_ = nullptr;
    }

    // Case and line breaks aside, as a reader searching the page would find it.
    void inPages(const QStringList& pageTexts) {
        for (qsizetype index = 0; index < texts_.size(); ++index) {
            const QString text = texts_.at(index).text.simplified();
            for (qsizetype page = 0; page < pageTexts.size(); ++page) {
                if (pageTexts.at(page).contains(text, Qt::CaseInsensitive))
                    pages_[index] << QString::number(page + 1);
            }
        }
    }

    // One phrase for each removed value's owner found anywhere: "the title is still in the text
    // of page 1 and in a bookmark".
    QStringList remains() const {
        QStringList owners;
        QList<QStringList> where;
        for (qsizetype index = 0; index < texts_.size(); ++index) {
            QStringList found;
            const QStringList& pages = pages_.at(index);
            if (!pages.isEmpty())
                found << (pages.size() == 1 ? QStringLiteral("the text of page ")
                                            : QStringLiteral("the text of pages ")) +
                             TextLists::joined(pages, 5);
            found << places_.at(index);
            if (found.isEmpty())
                continue;
            const QString& whose = texts_.at(index).whose;
            qsizetype at = owners.indexOf(whose);
            if (at < 0) {
                owners << whose;
                where.append(QStringList());
                at = owners.size() - 1;
            }
            for (const QString& place : std::as_const(found)) {
                if (!where[at].contains(place))
                    where[at] << place;
            }
        }
        QStringList phrases;
        for (qsizetype at = 0; at < owners.size(); ++at) {
            QStringList in;
            for (const QString& place : where.at(at))
                in << QStringLiteral("in ") + place;
            const bool many = owners.at(at) == QStringLiteral("the keywords");
            phrases << owners.at(at) +
                           (many ? QStringLiteral(" are still ") : QStringLiteral(" is still ")) +
                           TextLists::joined(in, 4);
        }
        return phrases;
    }

private:
    struct Needle {
        qsizetype text;
        QByteArrayMatcher form;
    };

    void look(std::string_view data, const std::string& key) {
        for (const Needle& needle : std::as_const(needles_)) {
            if (needle.form.indexIn(data.data(), static_cast<qsizetype>(data.size())) < 0)
                continue;
            const QString place = placeNames_->of(current_, key);
            if (!places_[needle.text].contains(place))
                places_[needle.text] << place;
        }
    }

    // An object the file holds on its own, or its trailer; a text in it is placed by the object
    // and the entry it was found under.
    void top(QPDFObjectHandle object) {
        current_ = object;
        if (object.isArray()) {
            for (QPDFObjectHandle item : object.aitems())
                walk(item, {});
        } else if (object.isStream()) {
            QPDFObjectHandle dictionary = object.getDict();
            for (auto [key, item] : dictionary.ditems())
                walk(item, key);
            // An image's data is its pixels, in which any short text turns up by chance; what
            // the pages and their forms draw is read as text; the objects an object stream
            // holds are looked at on their own.
            QPDFObjectHandle subtype = dictionary.getKey("/Subtype");
            QPDFObjectHandle type = dictionary.getKey("/Type");
            if (drawn_.contains(object.getObjGen()) || subtype.isNameAndEquals("/Form") ||
                subtype.isNameAndEquals("/Image") || type.isNameAndEquals("/ObjStm") ||
                type.isNameAndEquals("/XRef"))
                return;
            std::shared_ptr<Buffer> data;
            try {
                data = object.getStreamData(qpdf_dl_generalized);
            } catch (const std::exception&) {
                // A filter the library cannot undo: the bytes as they are.
                data = object.getRawStreamData();
            }
            look(
                std::string_view(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()),
                {});
        } else if (object.isDictionary()) {
            for (auto [key, item] : object.ditems())
                walk(item, key);
        } else if (object.isString()) {
            look(object.getStringValue(), {});
        }
    }

    // Indirect objects within are not followed: each is looked at once, on its own.
    void walk(QPDFObjectHandle object, const std::string& key) {
        if (object.isIndirect())
            return;
        if (object.isString()) {
            look(object.getStringValue(), key);
        } else if (object.isArray()) {
            for (QPDFObjectHandle item : object.aitems())
                walk(item, key);
        } else if (object.isDictionary()) {
            for (auto [inner, item] : object.ditems())
                walk(item, key);
        }
    }

    const QList<PdfStripper::RemovedText>& texts_;
    QList<Needle> needles_;
    std::set<QPDFObjGen> drawn_;
    const ContentPlaces* placeNames_ = nullptr;
    QPDFObjectHandle current_;
    QList<QStringList> places_;
    QList<QStringList> pages_;
};

// What an attached PDF file, which strip rewrites, still holds of what it removes: "the document
// information in an attached PDF file"; empty when none holds any.
QString leftInAttachedPdfs(QPDF& pdf) {
    QString left;
    AttachedPdfs::forEach(pdf, [&left](QPDFObjectHandle&, QPDF& attached) {
        if (!left.isEmpty())
            return;
        QPDFObjectHandle info = attached.getTrailer().getKey("/Info");
        if (info.isStream())
            info = info.getDict();
        if (info.isDictionary()) {
            for (auto [key, value] : info.ditems()) {
                if (!value.isNull() && PdfFile::isDocumentInformation(key, value))
                    left = QStringLiteral("the document information");
            }
        }
        QPDFObjectHandle metadata = attached.getRoot().getKey("/Metadata");
        if (left.isEmpty() && !metadata.isNull()) {
            // A PDF/A file keeps its identification, and nothing but what goes with it.
            try {
                const std::shared_ptr<Buffer> data = metadata.getStreamData(qpdf_dl_generalized);
                const QByteArray packet(reinterpret_cast<const char*>(data->getBuffer()),
                                        static_cast<qsizetype>(data->getSize()));
                QStringList held = XmpPacket::texts(packet);
                QStringList kept =
                    XmpPacket::texts(XmpPacket::conformanceOnly(packet, {}).value_or(QByteArray()));
                held.sort();
                kept.sort();
                if (held != kept)
                    left = QStringLiteral("XMP metadata");
            } catch (const std::exception&) {
                left = QStringLiteral("XMP metadata");
            }
        }
        if (left.isEmpty())
            left = ObjectMetadata::left(attached).first;
        if (!left.isEmpty())
            left += QStringLiteral(" in an attached PDF file");
    });
    return left;
}

// Whether either part of the file's document ID is one of the original's.
bool sharesId(QPDF& pdf, const QList<QByteArray>& formerId) {
    QPDFObjectHandle id = pdf.getTrailer().getKey("/ID");
    if (!id.isArray())
        return false;
    for (QPDFObjectHandle part : id.aitems()) {
        if (part.isString() && formerId.contains(QByteArray::fromStdString(part.getStringValue())))
            return true;
    }
    return false;
}

QString infoKept(const PdfSnapshot& original, const PdfSnapshot& result,
                 const PdfStripper::Stripped& stripped) {
    for (auto entry = result.info().cbegin(); entry != result.info().cend(); ++entry) {
        if (!stripped.keptKeys.contains(entry.key()))
            return QStringLiteral("the result still has the %1").arg(entry.key());
        if (original.info().value(entry.key()) != *entry)
            return QStringLiteral("the result changed the %1").arg(entry.key());
    }
    for (const QString& key : stripped.keptKeys) {
        if (!result.info().contains(key))
            return QStringLiteral("the result lost the %1").arg(key);
    }
    return {};
}

} // namespace

StripCheck::Verdict StripCheck::verify(const PdfSnapshot& original, const QString& resultPath,
                                       const PdfStripper::Stripped& stripped,
                                       const std::optional<QString>& password) {
    PdfSnapshot result;
    // The removed values are looked for in the same reading of the result.
    Search search(stripped.removedTexts);
    ObjectMetadata::Left left;
    QString inImages;
    bool sameId = false;
    QString reason = ResultCheck::keepsDocument(
        original, resultPath, password, stripped.removedCatalogEntries, result,
        [&](QPDF& pdf) {
            left = ObjectMetadata::left(pdf);
            if (left.first.isEmpty())
                left.first = leftInAttachedPdfs(pdf);
            sameId = !pdf.isEncrypted() && sharesId(pdf, stripped.formerId);
            inImages = JpegMarkers::leftIn(pdf);
            if (left.first.isEmpty())
                search.in(pdf);
        },
        search.any());
    if (reason.isEmpty())
        reason = infoKept(original, result, stripped);
    if (reason.isEmpty() && !stripped.conformance &&
        result.catalogEntries().contains(QStringLiteral("Metadata")))
        reason = QStringLiteral("the result still has XMP metadata");
    if (reason.isEmpty() && !left.first.isEmpty())
        reason = QStringLiteral("the result still has ") + left.first;
    if (reason.isEmpty() && left.attachedFiles < stripped.attachedFiles)
        reason = QStringLiteral("the result lost %1 of %2 attached files")
                     .arg(stripped.attachedFiles - left.attachedFiles)
                     .arg(stripped.attachedFiles);
    if (reason.isEmpty() && sameId)
        reason = QStringLiteral("the result has the original's document ID");
    if (reason.isEmpty() && !inImages.isEmpty())
        reason = QStringLiteral("the result still holds %1 in an image").arg(inImages);
    if (!reason.isEmpty())
        return {reason, {}};
    if (result.viewerReading())
        search.inPages(result.viewerReading()->pageTexts());
    return {{}, search.remains()};
}
