#include "PdfStripper.h"

#include "AttachedPdfs.h"
#include "Failure.h"
#include "JpegMarkers.h"
#include "KeptContent.h"
#include "ObjectMetadata.h"
#include "PathHelpers.h"
#include "PdfFile.h"
#include "Revisions.h"
#include "XmpPacket.h"

#include <QRandomGenerator>
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

// Whose value a removed entry of the document information was, as the report names it.
QString whoseEntry(const QString& key) {
    static const QMap<QString, QString> named{
        {QStringLiteral("Title"), QStringLiteral("the title")},
        {QStringLiteral("Author"), QStringLiteral("the author's name")},
        {QStringLiteral("Subject"), QStringLiteral("the subject")},
        {QStringLiteral("Keywords"), QStringLiteral("the keywords")},
        {QStringLiteral("Creator"), QStringLiteral("the creating application's name")},
        {QStringLiteral("Producer"), QStringLiteral("the producer's name")},
    };
    return named.value(key, QStringLiteral("the document information's ") + key);
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
                stripped.removedTexts << PdfStripper::RemovedText{textOf(value), whoseEntry(name)};
        }
    }
    if (stripped.keptKeys.isEmpty())
        trailer.removeKey("/Info");
    else
        trailer.replaceKey("/Info", pdf.makeIndirectObject(kept));
    if (!removedKeys.isEmpty()) {
        stripped.removals << QStringLiteral("the document information: ") +
                                 removedKeys.join(QStringLiteral(", "));
        stripped.counts.insert(QStringLiteral("document-information"), int(removedKeys.size()));
    }
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
            for (const QString& text : XmpPacket::texts(packet))
                stripped.removedTexts << PdfStripper::RemovedText{
                    text, QStringLiteral("a value of the XMP metadata")};
            // Dates are written in XMP as ISO 8601.
            EditPlan plan;
            for (const XmpPacket::Change& field : keptFields)
                plan.changeTo(field.field, field.text);
            kept = XmpPacket::conformanceOnly(packet, XmpPacket::changesFor(plan, {}));
        } catch (const std::exception&) {
        }
    }
    stripped.counts.insert(QStringLiteral("xmp"), 1);
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

// Thumbnails show the pages as they were when the file was made.
void stripThumbnails(QPDF& pdf, PdfStripper::Stripped& stripped) {
    int thumbnails = 0;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        if (page.hasKey("/Thumb")) {
            ++thumbnails;
            page.removeKey("/Thumb");
        }
    }
    if (thumbnails > 0) {
        stripped.removals << QStringLiteral("the thumbnails of ") + pagesText(thumbnails);
        stripped.counts.insert(QStringLiteral("thumbnails"), thumbnails);
    }
}

// The first part of a document ID stays the same in every copy and version of a file, so a copy
// that kept it could be matched with the original. An encrypted file keeps its ID: its key is
// made from it.
void renewId(QPDF& pdf, PdfStripper::Stripped& stripped) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle id = trailer.getKey("/ID");
    if (pdf.isEncrypted())
        return;
    if (id.isArray()) {
        for (QPDFObjectHandle part : id.aitems()) {
            if (part.isString())
                stripped.formerId << QByteArray::fromStdString(part.getStringValue());
        }
        stripped.removals << QStringLiteral("the document ID");
        stripped.counts.insert(QStringLiteral("document-id"), 1);
    }
    // The writer keeps the first part it finds and makes the second from the time and the
    // file's name: a random first part leaves nothing to guess from.
    QByteArray first(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(first.begin(), first.end());
    const QPDFObjectHandle part = QPDFObjectHandle::newString(first.toStdString());
    trailer.replaceKey("/ID", QPDFObjectHandle::newArray({part, part}));
}

// Streams are copied as they are, so what a page shows stays byte for byte; the packet of a
// PDF/A file must not be compressed anyway. Only what is reached from the trailer of the newest
// revision is written, and the encryption is kept as it was.
void prepare(QPDFWriter& writer, bool conformance) {
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    if (conformance)
        writer.setNewlineBeforeEndstream(true);
}

void write(QPDF& pdf, const QString& output, bool conformance) {
    const QByteArray name = PathHelpers::native(output);
    try {
        QPDFWriter writer(pdf, name.constData());
        prepare(writer, conformance);
        writer.write();
    } catch (const QPDFSystemError& error) {
        throw Failure(QStringLiteral("its result cannot be written: ") +
                      Failure::systemText(error.getErrno()));
    }
}

// Attached PDF files within attached PDF files are stripped down to this depth.
constexpr int deepestAttachment = 4;

void stripDocument(QPDF& pdf, const QList<InfoField>& keep, PdfStripper::Stripped& stripped,
                   QStringList& keptTexts, int depth);

// An attached PDF file would carry its own metadata out with the document: it is stripped the
// same way, in memory, but for the fields kept (they are the document's), and takes the place
// of its old bytes. One that cannot be rewritten stays as it is (see AttachedPdfs), as does one
// whose copy would not read back with every page.
void stripAttachedPdfs(QPDF& pdf, PdfStripper::Stripped& stripped, int depth) {
    if (depth >= deepestAttachment)
        return;
    int files = 0;
    AttachedPdfs::forEach(pdf, [&](QPDFObjectHandle& stream, QPDF& attached) {
        PdfStripper::Stripped inner;
        QStringList innerKept;
        stripDocument(attached, {}, inner, innerKept, depth + 1);
        if (inner.removals.isEmpty())
            return;
        const int pages = static_cast<int>(attached.getAllPages().size());
        QByteArray bytes;
        try {
            bytes = PdfFile::writeToMemory(
                attached, [&inner](QPDFWriter& writer) { prepare(writer, inner.conformance); });
        } catch (const std::exception&) {
            return;
        }
        if (AttachedPdfs::pagesOf(bytes) != pages)
            return;
        AttachedPdfs::replace(stream, bytes);
        ++files;
    });
    if (files > 0) {
        stripped.removals
            << (files == 1 ? QStringLiteral("the metadata of 1 attached PDF file")
                           : QStringLiteral("the metadata of %1 attached PDF files").arg(files));
        stripped.counts.insert(QStringLiteral("attached-pdf-metadata"), files);
    }
}

// Everything but the earlier revisions, which only writing the file anew removes.
void stripDocument(QPDF& pdf, const QList<InfoField>& keep, PdfStripper::Stripped& stripped,
                   QStringList& keptTexts, int depth) {
    QList<XmpPacket::Change> keptFields;
    stripInfo(pdf, keep, stripped, keptFields);
    for (const XmpPacket::Change& field : keptFields)
        keptTexts << field.text;
    stripXmp(pdf, keptFields, stripped, keptTexts);
    const ObjectMetadata::Removed objects = ObjectMetadata::strip(pdf);
    stripped.removals << objects.removals;
    stripped.counts.insert(objects.counts);
    for (const QString& author : objects.texts)
        stripped.removedTexts << PdfStripper::RemovedText{author,
                                                          QStringLiteral("a comment's author")};
    stripped.removedCatalogEntries << objects.catalogEntries;
    stripped.attachedFiles = objects.attachedFiles;
    stripThumbnails(pdf, stripped);
    // JPEG images lose their metadata segments; their pictures stay byte for byte.
    JpegMarkers::Tally images;
    for (QPDFObjectHandle object : pdf.getAllObjects())
        images.strip(object);
    stripped.removals << images.removals();
    if (images.images() > 0)
        stripped.counts.insert(QStringLiteral("jpeg-metadata"), images.images());
    renewId(pdf, stripped);
    stripAttachedPdfs(pdf, stripped, depth);
}

} // namespace

PdfStripper::Stripped PdfStripper::strip(const QString& input,
                                         const std::optional<QString>& password,
                                         const QList<InfoField>& keep, const QString& output,
                                         bool dryRun) {
    Stripped stripped;
    PdfFile::openWithBytes(input, password, [&](QPDF& pdf, const QByteArray& bytes) {
        QStringList keptTexts;
        stripDocument(pdf, keep, stripped, keptTexts, 0);
        stripped.kept = KeptContent::in(pdf);
        if (const int revisions = Revisions::earlierCount(pdf, input, bytes); revisions > 0) {
            // Only a dry run lists them: a run's list of removals is its counts.
            if (output.isEmpty() || dryRun)
                stripped.removals << (revisions == 1
                                          ? QStringLiteral("1 earlier revision")
                                          : QStringLiteral("%1 earlier revisions").arg(revisions));
            stripped.counts.insert(QStringLiteral("earlier-revisions"), revisions);
        }
        if (!output.isEmpty())
            write(pdf, output, stripped.conformance);
        QList<RemovedText> searched;
        QStringList texts;
        for (const RemovedText& removed : std::as_const(stripped.removedTexts)) {
            const QString& text = removed.text;
            const bool kept = std::ranges::any_of(
                keptTexts, [&text](const QString& keptText) { return keptText.contains(text); });
            if (text.size() >= shortestSearched && !kept && !texts.contains(text)) {
                texts << text;
                searched << removed;
            }
        }
        stripped.removedTexts = searched;
    });
    return stripped;
}
