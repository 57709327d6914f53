#include "PdfStripper.h"

#include "Failure.h"
#include "JpegMarkers.h"
#include "PathHelpers.h"
#include "PdfFile.h"
#include "XmpPacket.h"

#include <QFile>
#include <algorithm>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

// Shorter texts are found by chance in compressed or binary data; see Stripped::removedTexts.
constexpr qsizetype shortestSearched = 4;

QString textOf(QPDFObjectHandle string) {
    return QString::fromStdString(string.getUTF8Value());
}

QString pagesText(int pages) {
    return pages == 1 ? QStringLiteral("1 page") : QStringLiteral("%1 pages").arg(pages);
}

// The document information goes, but for the entries kept, which get a dictionary of their own:
// the old one may be shared with something the document still uses.
void stripInfo(QPDF& pdf, const QList<InfoField>& keep, PdfStripper::Stripped& stripped,
               QList<XmpPacket::Change>& keptFields) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    QPDFObjectHandle entries = info.isStream() ? info.getDict() : info;
    QPDFObjectHandle kept = QPDFObjectHandle::newDictionary();
    QStringList removedKeys;
    if (entries.isDictionary()) {
        for (auto [key, value] : entries.ditems()) {
            if (value.isNull() || !PdfFile::isDocumentInformation(key, value))
                continue;
            const QString name = QString::fromStdString(key.substr(1));
            const std::optional<InfoField> field = EditPlan::fieldOf(name);
            if (field && keep.contains(*field) && value.isString()) {
                kept.replaceKey(key, QPDFObjectHandle::newString(value.getStringValue()));
                stripped.keptKeys << name;
                keptFields << XmpPacket::Change{*field, textOf(value)};
                continue;
            }
            removedKeys << name;
            if (value.isString())
                stripped.removedTexts << textOf(value);
        }
    }
    if (stripped.keptKeys.isEmpty())
        trailer.removeKey("/Info");
    else
        trailer.replaceKey("/Info", pdf.makeIndirectObject(kept));
    if (!removedKeys.isEmpty())
        stripped.removals << QStringLiteral("the document information: ") +
                                 removedKeys.join(QStringLiteral(", "));
}

// The packet goes; a file that claims PDF/A keeps one with its identification and the kept
// fields, as PDF/A requires of them.
void stripXmp(QPDF& pdf, const QList<XmpPacket::Change>& keptFields,
              PdfStripper::Stripped& stripped, QStringList& keptTexts) {
    QPDFObjectHandle root = pdf.getRoot();
    QPDFObjectHandle metadata = root.getKey("/Metadata");
    if (metadata.isNull())
        return;
    std::optional<QByteArray> kept;
    if (metadata.isStream()) {
        // A packet that cannot be read goes all the same; only its values are not searched for.
        try {
            const std::shared_ptr<Buffer> data = metadata.getStreamData(qpdf_dl_generalized);
            const QByteArray packet(reinterpret_cast<const char*>(data->getBuffer()),
                                    static_cast<qsizetype>(data->getSize()));
            stripped.removedTexts << XmpPacket::texts(packet);
            // Dates are written in XMP as ISO 8601.
            EditPlan plan;
            for (const XmpPacket::Change& field : keptFields)
                plan.changeTo(field.field, field.text);
            kept = XmpPacket::conformanceOnly(packet, XmpPacket::changesFor(plan, {}));
        } catch (const std::exception&) {
        }
    }
    if (!kept) {
        root.removeKey("/Metadata");
        stripped.removedCatalogEntries << QStringLiteral("Metadata");
        stripped.removals << QStringLiteral("the XMP metadata");
        return;
    }
    keptTexts << XmpPacket::texts(*kept);
    // A new stream, unfiltered as PDF/A requires; the old one may be used elsewhere.
    QPDFObjectHandle packet = QPDFObjectHandle::newStream(&pdf, kept->toStdString());
    packet.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    packet.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    root.replaceKey("/Metadata", packet);
    stripped.conformance = true;
    stripped.removals << QStringLiteral("the XMP metadata but for its PDF/A identification");
}

// Private application data (with the date it was last changed, which belongs to it) and
// thumbnails, which show the pages as they were when it was made.
void stripPageData(QPDF& pdf, PdfStripper::Stripped& stripped) {
    QPDFObjectHandle root = pdf.getRoot();
    const bool ofDocument = root.hasKey("/PieceInfo");
    if (ofDocument) {
        root.removeKey("/PieceInfo");
        stripped.removedCatalogEntries << QStringLiteral("PieceInfo");
    }
    int pieces = 0;
    int thumbnails = 0;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        if (page.hasKey("/PieceInfo")) {
            ++pieces;
            page.removeKey("/PieceInfo");
            page.removeKey("/LastModified");
        }
        if (page.hasKey("/Thumb")) {
            ++thumbnails;
            page.removeKey("/Thumb");
        }
    }
    if (ofDocument || pieces > 0) {
        QStringList owners;
        if (ofDocument)
            owners << QStringLiteral("the document");
        if (pieces > 0)
            owners << pagesText(pieces);
        stripped.removals << QStringLiteral("private application data of ") +
                                 owners.join(QStringLiteral(" and of "));
    }
    if (thumbnails > 0)
        stripped.removals << QStringLiteral("the thumbnails of ") + pagesText(thumbnails);
}

// Revisions before the newest end with an end-of-file marker each; a linearized file has one
// more, after its first page's cross-reference section.
int earlierRevisions(QPDF& pdf, const QString& input) {
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    int markers = 0;
    for (qsizetype at = bytes.indexOf("%%EOF"); at >= 0; at = bytes.indexOf("%%EOF", at + 5))
        ++markers;
    return std::max(0, markers - 1 - (pdf.isLinearized() ? 1 : 0));
}

void write(QPDF& pdf, const QString& output, bool conformance) {
    const QByteArray name = PathHelpers::native(output);
    try {
        QPDFWriter writer(pdf, name.constData());
        // Streams are copied as they are, so what a page shows stays byte for byte; the packet
        // of a PDF/A file must not be compressed anyway. Only what is reached from the trailer
        // of the newest revision is written, and the encryption is kept as it was.
        writer.setCompressStreams(false);
        writer.setDecodeLevel(qpdf_dl_none);
        if (conformance)
            writer.setNewlineBeforeEndstream(true);
        writer.write();
    } catch (const QPDFSystemError& error) {
        throw Failure(QStringLiteral("its result cannot be written: ") +
                      Failure::systemText(error.getErrno()));
    }
}

} // namespace

PdfStripper::Stripped PdfStripper::strip(const QString& input,
                                         const std::optional<QString>& password,
                                         const QList<InfoField>& keep, const QString& output) {
    Stripped stripped;
    PdfFile::open(input, password, [&](QPDF& pdf) {
        QList<XmpPacket::Change> keptFields;
        stripInfo(pdf, keep, stripped, keptFields);
        QStringList keptTexts;
        for (const XmpPacket::Change& field : keptFields)
            keptTexts << field.text;
        stripXmp(pdf, keptFields, stripped, keptTexts);
        stripPageData(pdf, stripped);
        // JPEG images lose their metadata segments; their pictures stay byte for byte.
        JpegMarkers::Tally images;
        for (QPDFObjectHandle object : pdf.getAllObjects())
            images.strip(object);
        stripped.removals << images.removals();
        if (output.isEmpty()) {
            if (const int revisions = earlierRevisions(pdf, input); revisions > 0)
                stripped.removals << (revisions == 1
                                          ? QStringLiteral("1 earlier revision")
                                          : QStringLiteral("%1 earlier revisions").arg(revisions));
        } else {
            write(pdf, output, stripped.conformance);
        }
        QStringList searched;
        for (const QString& text : std::as_const(stripped.removedTexts)) {
            const bool kept = std::ranges::any_of(
                keptTexts, [&text](const QString& keptText) { return keptText.contains(text); });
            if (text.size() >= shortestSearched && !kept && !searched.contains(text))
                searched << text;
        }
        stripped.removedTexts = searched;
    });
    return stripped;
}
