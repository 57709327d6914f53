#include "XmpPacket.h"

#include "Failure.h"
#include "PdfDate.h"
#include "PdfFile.h"

#include <QFile>
#include <QRegularExpression>
#include <exempi/xmp.h>
#include <exempi/xmpconsts.h>
#include <exempi/xmperrors.h>
#include <iostream>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <streambuf>
#include <type_traits>

namespace {

using Meta = std::unique_ptr<std::remove_pointer_t<XmpPtr>, decltype(&xmp_free)>;
using Text = std::unique_ptr<std::remove_pointer_t<XmpStringPtr>, decltype(&xmp_string_free)>;

enum class Shape {
    Simple,
    LanguageAlternative, // every entry is shown, so a changed field keeps only the default one
    List
};

struct Property {
    InfoField field;
    const char* schema;
    const char* name;
    Shape shape;
};

const Property& propertyOf(InfoField field) {
    static const Property properties[] = {
        {InfoField::Title, NS_DC, "title", Shape::LanguageAlternative},
        {InfoField::Subject, NS_DC, "description", Shape::LanguageAlternative},
        {InfoField::Author, NS_DC, "creator", Shape::List},
        {InfoField::Keywords, NS_PDF, "Keywords", Shape::Simple},
        {InfoField::Creator, NS_XAP, "CreatorTool", Shape::Simple},
        {InfoField::Producer, NS_PDF, "Producer", Shape::Simple},
        {InfoField::CreationDate, NS_XAP, "CreateDate", Shape::Simple},
        {InfoField::ModDate, NS_XAP, "ModifyDate", Shape::Simple},
    };
    for (const Property& property : properties) {
        if (property.field == field)
            return property;
    }
    return properties[0];
}

// The copyright's properties belong to no field of the document information; their field is
// never looked at.
const Property copyrightProperty{InfoField::Title, NS_DC, "rights", Shape::LanguageAlternative};
const Property markedProperty{InfoField::Title, NS_XAP_RIGHTS, "Marked", Shape::Simple};
const Property urlProperty{InfoField::Title, NS_XAP_RIGHTS, "WebStatement", Shape::Simple};
const Property languageProperty{InfoField::Title, NS_DC, "language", Shape::List};
// The keywords one by one (dc:subject, a bag), which viewers and ExifTool show beside the
// keywords' text: changed keywords replace them too, or the old ones would still be shown.
const Property subjectsProperty{InfoField::Keywords, NS_DC, "subject", Shape::List};

QString reasonOf(int error) {
    switch (error) {
    case XMPErr_BadXML:
        return QStringLiteral("it is not well-formed XML");
    case XMPErr_BadRDF:
        return QStringLiteral("its RDF is malformed");
    case XMPErr_BadXMP:
        return QStringLiteral("it breaks the rules of XMP");
    case XMPErr_BadUnicode:
        return QStringLiteral("it is not valid Unicode");
    default:
        return QStringLiteral("the XMP library failed with error %1").arg(error);
    }
}

[[noreturn]] void fail(const char* what) {
    throw Failure(QStringLiteral("its XMP metadata cannot be ") + QLatin1String(what) +
                  QStringLiteral(": ") + reasonOf(xmp_get_error()));
}

// Takes whatever is written to it and keeps nothing.
class Discard : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// The library keeps process-wide tables (namespaces, file handlers) that its start fills in; two
// threads starting it at once would fill them twice. It is never stopped: results are checked on
// worker threads until the process ends. It also prints every error it reports on std::cerr ("XML
// parsing failure"), a line that names no file amid the command line's messages; the error
// reaches the file's reason all the same. Nothing else of the program writes to std::cerr (the
// PDF reader's warnings are suppressed), so its output goes nowhere from the library's start on.
void startLibrary() {
    static const bool started = [] {
        static Discard discard;
        std::cerr.rdbuf(&discard);
        return xmp_init();
    }();
    if (!started)
        throw Failure(QStringLiteral("its XMP metadata cannot be read: the XMP library did not "
                                     "start"));
}

Text newText() {
    return Text(xmp_string_new(), &xmp_string_free);
}

QString textOf(const Text& text) {
    return QString::fromUtf8(xmp_string_cstr(text.get()),
                             static_cast<qsizetype>(xmp_string_len(text.get())));
}

Meta parse(const QByteArray& packet) {
    startLibrary();
    // A blank stream is metadata with nothing in it, though the library would call it broken XML.
    const QByteArray content = packet.trimmed().isEmpty() ? QByteArray("") : packet;
    // Unlike xmp_parse, this takes a packet without the x:xmpmeta wrapper, as older writers made.
    Meta meta(xmp_new(content.constData(), static_cast<size_t>(content.size())), &xmp_free);
    if (!meta)
        fail("read");
    return meta;
}

std::optional<QString> itemOf(XmpPtr meta, const Property& property, int index) {
    Text value = newText();
    uint32_t bits = 0;
    if (!xmp_get_array_item(meta, property.schema, property.name, index, value.get(), &bits) ||
        !XMP_IS_PROP_SIMPLE(bits))
        return std::nullopt;
    return textOf(value);
}

// The entries of an array property, in their order; empty when it is no array.
QStringList itemsOf(XmpPtr meta, const Property& property) {
    QStringList items;
    for (int index = 1; const std::optional<QString> item = itemOf(meta, property, index); ++index)
        items << *item;
    return items;
}

// Reads a property whatever shape it was given, since writers do not all follow the schemas.
std::optional<QString> valueOf(XmpPtr meta, const Property& property) {
    Text value = newText();
    uint32_t bits = 0;
    if (!xmp_get_property(meta, property.schema, property.name, value.get(), &bits))
        return std::nullopt;
    if (XMP_IS_PROP_SIMPLE(bits))
        return textOf(value);
    if (XMP_IS_ARRAY_ALTTEXT(bits)) {
        if (!xmp_get_localized_text(meta, property.schema, property.name, "", "x-default", nullptr,
                                    value.get(), nullptr))
            return std::nullopt;
        return textOf(value);
    }
    // A structure has no items, and so no text.
    const QStringList items = itemsOf(meta, property);
    if (items.isEmpty())
        return std::nullopt;
    return items.join(QStringLiteral("; "));
}

// Whether the property already is what the change makes of it, down to the number of entries.
bool holdsExactly(XmpPtr meta, const Property& property, const QString& text) {
    Text value = newText();
    uint32_t bits = 0;
    const bool present = xmp_get_property(meta, property.schema, property.name, value.get(), &bits);
    if (text.isEmpty())
        return !present;
    if (!present)
        return false;
    if (property.shape == Shape::Simple)
        return XMP_IS_PROP_SIMPLE(bits) && textOf(value) == text;
    const bool rightForm = property.shape == Shape::LanguageAlternative
                               ? XMP_IS_ARRAY_ALTTEXT(bits)
                               : XMP_IS_ARRAY_ORDERED(bits) && !XMP_IS_ARRAY_ALT(bits);
    if (!rightForm || itemOf(meta, property, 1) != text || itemOf(meta, property, 2))
        return false;
    if (property.shape == Shape::List)
        return true;
    const QByteArray language = QByteArray(property.name) + "[1]/?xml:lang";
    return xmp_get_property(meta, property.schema, language.constData(), value.get(), nullptr) &&
           textOf(value) == QLatin1String("x-default");
}

void replace(XmpPtr meta, const Property& property, const QString& text) {
    if (!xmp_delete_property(meta, property.schema, property.name))
        fail("changed");
    if (text.isEmpty())
        return;
    const QByteArray value = text.toUtf8();
    bool done = false;
    switch (property.shape) {
    case Shape::Simple:
        done = xmp_set_property(meta, property.schema, property.name, value.constData(), 0);
        break;
    case Shape::LanguageAlternative:
        done = xmp_set_localized_text(meta, property.schema, property.name, "", "x-default",
                                      value.constData(), 0);
        break;
    case Shape::List:
        done = xmp_append_array_item(meta, property.schema, property.name,
                                     XMP_PROP_ARRAY_IS_ORDERED, value.constData(), 0);
        break;
    }
    if (!done)
        fail("changed");
}

// Makes the property a bag of exactly items; false when it was one already.
bool replaceBag(XmpPtr meta, const Property& property, const QStringList& items) {
    Text value = newText();
    uint32_t bits = 0;
    const bool present = xmp_get_property(meta, property.schema, property.name, value.get(), &bits);
    if (!present && items.isEmpty())
        return false;
    if (present && XMP_IS_PROP_ARRAY(bits) && itemsOf(meta, property) == items)
        return false;
    if (!xmp_delete_property(meta, property.schema, property.name))
        fail("changed");
    for (const QString& item : items) {
        if (!xmp_append_array_item(meta, property.schema, property.name, XMP_PROP_VALUE_IS_ARRAY,
                                   item.toUtf8().constData(), 0))
            fail("changed");
    }
    return true;
}

QByteArray serialized(XmpPtr meta) {
    // The default padding lets a later writer grow the packet in place.
    Text text = newText();
    if (!xmp_serialize(meta, text.get(), 0, 0))
        fail("written");
    return QByteArray(xmp_string_cstr(text.get()),
                      static_cast<qsizetype>(xmp_string_len(text.get())));
}

// The PDF/A identification schema; the library knows it only from packets that use it.
const char* pdfaSchema() {
    static const char* const uri = [] {
        startLibrary();
        Text prefix = newText();
        xmp_register_namespace("http://www.aiim.org/pdfa/ns/id/", "pdfaid", prefix.get());
        return "http://www.aiim.org/pdfa/ns/id/";
    }();
    return uri;
}

// The schemas of the e-invoice a PDF/A-3 file carries as an attachment: the properties in them
// name the attached invoice and its profile, which a reader of the invoice needs.
bool isInvoiceSchema(const QString& uri) {
    return uri.startsWith(QLatin1String("urn:factur-x:pdfa:CEFACT:")) ||
           uri.startsWith(QLatin1String("urn:ferd:pdfa:CEFACT:")) ||
           uri.startsWith(QLatin1String("urn:zugferd:pdfa:CEFACT:"));
}

// PDF/A lets a packet use a schema of its own only where the packet declares it, in this one.
const char* const extensionSchema = "http://www.aiim.org/pdfa/ns/extension/";
const char* const schemaFields = "http://www.aiim.org/pdfa/ns/schema#";

using Iterator =
    std::unique_ptr<std::remove_pointer_t<XmpIteratorPtr>, decltype(&xmp_iterator_free)>;

// Calls visit with the schema, path, value and option bits of each node the library's iteration
// with these arguments goes through.
template <typename Visit>
void forEachNode(XmpPtr meta, const char* schema, const char* property, uint32_t options,
                 Visit visit) {
    Iterator iterator(
        xmp_iterator_new(meta, schema, property, static_cast<XmpIterOptions>(options)),
        &xmp_iterator_free);
    Text nodeSchema = newText();
    Text name = newText();
    Text value = newText();
    uint32_t bits = 0;
    while (iterator &&
           xmp_iterator_next(iterator.get(), nodeSchema.get(), name.get(), value.get(), &bits))
        visit(nodeSchema, name, value, bits);
}

// Copies the property (every property of the schema, when it is null) with all it holds but its
// qualifiers, under the path it has in from with its start, at, put in place of the property's
// own name.
void copyTree(XmpPtr from, XmpPtr to, const char* schema, const char* property = nullptr,
              const QByteArray& at = {}) {
    const QByteArray start = property ? QByteArray(property) : QByteArray();
    forEachNode(from, schema, property, XMP_ITER_OMITQUALIFIERS,
                [&](const Text&, const Text& name, const Text& value, uint32_t bits) {
                    QByteArray path(xmp_string_cstr(name.get()));
                    if (path.isEmpty())
                        return;
                    if (!start.isEmpty() && path.startsWith(start))
                        path = at + path.mid(start.size());
                    const bool composite = XMP_IS_PROP_STRUCT(bits) || XMP_IS_PROP_ARRAY(bits);
                    const uint32_t shape = bits & XMP_PROP_COMPOSITE_MASK;
                    if (!xmp_set_property(to, schema, path.constData(),
                                          composite ? "" : xmp_string_cstr(value.get()), shape))
                        fail("written");
                });
}

// The schemas the packet has properties in.
QStringList schemasOf(XmpPtr meta) {
    QStringList schemas;
    forEachNode(meta, nullptr, nullptr, XMP_ITER_JUSTCHILDREN,
                [&schemas](const Text& schema, const Text&, const Text&, uint32_t) {
                    schemas << textOf(schema);
                });
    return schemas;
}

// The invoice's properties and their declaration; the other schemas declared go with the
// properties they declared.
void copyInvoice(XmpPtr from, XmpPtr to) {
    for (const QString& schema : schemasOf(from)) {
        if (isInvoiceSchema(schema))
            copyTree(from, to, schema.toUtf8().constData());
    }
    Text prefix = newText();
    if (!xmp_namespace_prefix(extensionSchema, prefix.get()))
        return;
    const QByteArray schemas = textOf(prefix).toUtf8() + "schemas";
    Text fieldsPrefix = newText();
    if (!xmp_namespace_prefix(schemaFields, fieldsPrefix.get()))
        return;
    int kept = 0;
    Text uri = newText();
    for (int index = 1;; ++index) {
        const QByteArray item = schemas + '[' + QByteArray::number(index) + ']';
        if (!xmp_get_property(from, extensionSchema, item.constData(), uri.get(), nullptr))
            break;
        const QByteArray field = item + '/' + textOf(fieldsPrefix).toUtf8() + "namespaceURI";
        if (!xmp_get_property(from, extensionSchema, field.constData(), uri.get(), nullptr) ||
            !isInvoiceSchema(textOf(uri)))
            continue;
        if (kept == 0 && !xmp_set_property(to, extensionSchema, schemas.constData(), "",
                                           XMP_PROP_VALUE_IS_ARRAY))
            fail("written");
        ++kept;
        copyTree(from, to, extensionSchema, item.constData(),
                 schemas + '[' + QByteArray::number(kept) + ']');
    }
}

// A time without its offset would be taken for local time wherever the file is read.
QString timeText(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

QByteArray XmpPacket::update(const QByteArray& packet, const QList<Change>& changes,
                             const QDateTime& now, const Rights& rights) {
    Meta meta = parse(packet);
    bool changed = false;
    const auto change = [&](const Property& property, const QString& text) {
        if (holdsExactly(meta.get(), property, text))
            return false;
        replace(meta.get(), property, text);
        return changed = true;
    };
    for (const Change& each : changes) {
        const bool keywords = change(propertyOf(each.field), each.text);
        // A packet without the list keeps without it while its keywords stay as they are.
        if (each.field == InfoField::Keywords &&
            (keywords || !itemsOf(meta.get(), subjectsProperty).isEmpty()))
            changed = replaceBag(meta.get(), subjectsProperty, keywordItems(each.text)) || changed;
    }
    if (rights.copyright) {
        change(copyrightProperty, *rights.copyright);
        change(markedProperty, rights.copyright->isEmpty() ? QString() : QStringLiteral("True"));
    }
    if (rights.url)
        change(urlProperty, *rights.url);
    if (rights.language)
        changed = replaceBag(meta.get(), languageProperty,
                             rights.language->isEmpty() ? QStringList()
                                                        : QStringList{*rights.language}) ||
                  changed;
    if (!changed)
        return packet;
    if (!xmp_set_property(meta.get(), NS_XAP, "MetadataDate", timeText(now).toUtf8().constData(),
                          0))
        fail("changed");
    return serialized(meta.get());
}

QList<XmpPacket::Change> XmpPacket::changesFor(const EditPlan& plan, const QString& titleFromName) {
    QList<Change> changes;
    for (InfoField field : EditPlan::fields) {
        // A removed field's property goes, as an emptied one's does.
        const std::optional<QString> value = plan.choice(field).mode == FieldMode::Remove
                                                 ? QString()
                                                 : plan.value(field, titleFromName);
        if (!value)
            continue;
        QString text = *value;
        if (EditPlan::isDate(field) && !text.isEmpty()) {
            const std::optional<QDateTime> when = PdfDate::parse(text);
            text = when ? PdfDate::toIso(*when) : QString();
        }
        changes << Change{field, text};
    }
    return changes;
}

QMap<QString, QString> XmpPacket::read(const QByteArray& packet) {
    const Meta meta = parse(packet);
    QMap<QString, QString> values;
    for (InfoField field : EditPlan::fields) {
        if (const std::optional<QString> value = valueOf(meta.get(), propertyOf(field)))
            values.insert(EditPlan::toolkitKey(field), *value);
    }
    const std::pair<QString, const Property*> rights[] = {{copyrightKey(), &copyrightProperty},
                                                          {markedKey(), &markedProperty},
                                                          {copyrightUrlKey(), &urlProperty},
                                                          {languageKey(), &languageProperty}};
    for (const auto& [key, property] : rights) {
        if (const std::optional<QString> value = valueOf(meta.get(), *property))
            values.insert(key, *value);
    }
    return values;
}

QStringList XmpPacket::texts(const QByteArray& packet) {
    const Meta meta = parse(packet);
    QStringList found;
    forEachNode(meta.get(), nullptr, nullptr, XMP_ITER_JUSTLEAFNODES | XMP_ITER_OMITQUALIFIERS,
                [&found](const Text&, const Text&, const Text& value, uint32_t bits) {
                    if (XMP_IS_PROP_SIMPLE(bits) && xmp_string_len(value.get()) > 0)
                        found << textOf(value);
                });
    return found;
}

std::optional<QByteArray> XmpPacket::conformanceOnly(const QByteArray& packet,
                                                     const QList<Change>& fields) {
    const Meta meta = parse(packet);
    const char* const schema = pdfaSchema();
    Text value = newText();
    if (!xmp_get_property(meta.get(), schema, "part", value.get(), nullptr))
        return std::nullopt;
    Meta kept(xmp_new_empty(), &xmp_free);
    if (!kept)
        fail("written");
    for (const char* name : {"part", "conformance", "amd", "rev"}) {
        if (xmp_get_property(meta.get(), schema, name, value.get(), nullptr) &&
            !xmp_set_property(kept.get(), schema, name, xmp_string_cstr(value.get()), 0))
            fail("written");
    }
    copyInvoice(meta.get(), kept.get());
    for (const Change& change : fields)
        replace(kept.get(), propertyOf(change.field), change.text);
    return serialized(kept.get());
}

namespace {

QByteArray decodedPacket(QPDFObjectHandle metadata) {
    std::shared_ptr<Buffer> data;
    try {
        data = metadata.getStreamData(qpdf_dl_generalized);
    } catch (const QPDFExc& error) {
        throw Failure(QStringLiteral("its XMP metadata cannot be read: ") +
                      QString::fromStdString(error.getMessageDetail()));
    }
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()),
                      static_cast<qsizetype>(data->getSize()));
}

} // namespace

std::optional<QByteArray> XmpPacket::of(QPDF& pdf) {
    QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
    if (!metadata.isStream())
        return std::nullopt;
    return decodedPacket(metadata);
}

std::optional<QByteArray> XmpPacket::readFromPdf(const QString& path,
                                                 const std::optional<QString>& password) {
    std::optional<QByteArray> packet;
    PdfFile::open(path, password, [&packet](QPDF& pdf) { packet = of(pdf); });
    return packet;
}

QByteArray XmpPacket::withPacket(const QString& input, const std::optional<QString>& password,
                                 const QByteArray& packet) {
    QByteArray bytes;
    PdfFile::open(input, password, [&](QPDF& pdf) {
        QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
        if (!metadata.isStream())
            throw Failure(QStringLiteral("it has no XMP metadata to replace"));
        // PDF/A forbids a filter here, and tools that look for the packet by scanning the file
        // find it only in the clear. The stream keeps its /Type and /Subtype.
        metadata.replaceStreamData(packet.toStdString(), QPDFObjectHandle::newNull(),
                                   QPDFObjectHandle::newNull());
        // Every other stream is copied as it is; compressing would also filter the packet.
        bytes = PdfFile::writeStreamsAsTheyAre(pdf);
    });
    return bytes;
}

QByteArray
XmpPacket::withUpdatedPacket(const QString& input,
                             const std::function<QByteArray(const QByteArray&)>& update) {
    QByteArray bytes;
    PdfFile::open(input, std::nullopt, [&](QPDF& pdf) {
        QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
        if (!metadata.isStream())
            return;
        const QByteArray packet = decodedPacket(metadata);
        const QByteArray updated = update(packet);
        if (updated == packet)
            return;
        // Unfiltered, as withPacket() writes it.
        metadata.replaceStreamData(updated.toStdString(), QPDFObjectHandle::newNull(),
                                   QPDFObjectHandle::newNull());
        bytes = PdfFile::writeStreamsAsTheyAre(pdf);
    });
    return bytes;
}

QByteArray XmpPacket::newPacket(QPDFObjectHandle info, const Rights& rights, const QDateTime& now) {
    // The eight fields as the file has them now, so the new packet does not contradict them.
    EditPlan inStep;
    if (info.isStream())
        info = info.getDict();
    for (InfoField field : EditPlan::fields) {
        QPDFObjectHandle value = info.isDictionary()
                                     ? info.getKey("/" + EditPlan::toolkitKey(field).toStdString())
                                     : QPDFObjectHandle::newNull();
        if (value.isString() && !value.getUTF8Value().empty())
            inStep.changeTo(field, QString::fromStdString(value.getUTF8Value()));
    }
    return update(QByteArray(), changesFor(inStep, {}), now, rights);
}

QByteArray XmpPacket::withNewPacket(const QString& input, const Rights& rights,
                                    const QDateTime& now) {
    QByteArray bytes;
    PdfFile::open(input, std::nullopt, [&](QPDF& pdf) {
        QPDFObjectHandle catalog = pdf.getRoot();
        if (!catalog.getKey("/Metadata").isNull())
            throw Failure(QStringLiteral("it has XMP metadata already"));
        const QByteArray packet = newPacket(pdf.getTrailer().getKey("/Info"), rights, now);
        // Uncompressed, as PDF/A wants it and scanning tools find it.
        QPDFObjectHandle metadata = pdf.newStream(packet.toStdString());
        metadata.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
        metadata.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
        catalog.replaceKey("/Metadata", metadata);
        bytes = PdfFile::writeStreamsAsTheyAre(pdf);
    });
    return bytes;
}

QStringList XmpPacket::keywordItems(const QString& keywords) {
    static const QRegularExpression separator(QStringLiteral("[,;]"));
    QStringList items;
    for (const QString& piece : keywords.split(separator)) {
        if (const QString item = piece.trimmed(); !item.isEmpty())
            items << item;
    }
    return items;
}

QStringList XmpPacket::subjects(const QByteArray& packet) {
    const Meta meta = parse(packet);
    return itemsOf(meta.get(), subjectsProperty);
}
