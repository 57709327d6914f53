#include "ObjectMetadata.h"

#include "TextLists.h"

#include <QList>
#include <QMap>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <string_view>
#include <vector>

namespace {

// What an object is, as a removal names the objects it took something from.
enum class Kind {
    Page,
    Image,
    Form,
    Font,
    FontDescriptor,
    EmbeddedFile,
    Annotation,
    Layer,
    LayerConfiguration,
    Other
};

struct Noun {
    const char* one;
    const char* many;
    const char* withArticle;
};

const Noun& nounOf(Kind kind) {
    static const Noun nouns[] = {
        {"page", "pages", "a page"},
        {"image", "images", "an image"},
        {"form XObject", "form XObjects", "a form XObject"},
        {"font", "fonts", "a font"},
        {"font descriptor", "font descriptors", "a font descriptor"},
        {"embedded file", "embedded files", "an embedded file"},
        {"annotation", "annotations", "an annotation"},
        {"layer", "layers", "a layer"},
        {"layer configuration", "layer configurations", "a layer configuration"},
        {"other object", "other objects", "another object"},
    };
    return nouns[static_cast<int>(kind)];
}

int total(const QMap<Kind, int>& counts) {
    int sum = 0;
    for (const int count : counts)
        sum += count;
    return sum;
}

// "3 images, 1 page and 2 fonts", in the order of the kinds.
QStringList counted(const QMap<Kind, int>& counts) {
    QStringList items;
    for (auto count = counts.cbegin(); count != counts.cend(); ++count) {
        const Noun& noun = nounOf(count.key());
        items << QStringLiteral("%1 %2").arg(*count).arg(
            QLatin1String(*count == 1 ? noun.one : noun.many));
    }
    return items;
}

// TeX engines note on each figure they place the figure's own file name (often a path on the
// author's disk), its page and its document information.
const char* const texKeys[] = {"/PTEX.InfoDict", "/PTEX.FileName", "/PTEX.PageNumber"};

// Takes the metadata out of a file's objects, or only finds the first of it that is left. Both
// ways go through the same objects in the same way, so what the check looks for is what the
// stripping takes.
class Sweep {
public:
    enum class Mode { Remove, Find };

    Sweep(QPDF& pdf, Mode mode)
        : pdf_(pdf), mode_(mode), root_(pdf.getRoot()),
          documentPacket_(root_.getKey("/Metadata").getObjGen()) {}

    void run(bool everyObject) {
        findFields();
        findAnnotations();
        layerConfigurations();
        walk({pdf_.getTrailer()});
        // Only the files the document reaches are its attachments.
        reachedFiles_ = attachedFiles_;
        if (everyObject)
            walk(pdf_.getAllObjects());
    }

    ObjectMetadata::Left left() const { return {found_, reachedFiles_}; }

    ObjectMetadata::Removed removed() const {
        ObjectMetadata::Removed removed;
        if (!metadata_.isEmpty())
            removed.removals << QStringLiteral("XMP metadata on ") +
                                    TextLists::joined(counted(metadata_));
        if (!tex_.isEmpty())
            removed.removals << QStringLiteral("TeX figure data on ") +
                                    TextLists::joined(counted(tex_));
        if (documentPieces_ || !pieces_.isEmpty()) {
            QStringList owners;
            if (documentPieces_)
                owners << QStringLiteral("the document");
            owners << counted(pieces_);
            for (QString& owner : owners)
                owner.prepend(QStringLiteral("of "));
            removed.removals << QStringLiteral("private application data ") +
                                    TextLists::joined(owners);
        }
        if (annotations_ > 0)
            removed.removals << QStringLiteral("the authors, dates and names of ") +
                                    TextLists::joined(counted({{Kind::Annotation, annotations_}}));
        if (attachments_ > 0)
            removed.removals << QStringLiteral("the dates and Mac data of ") +
                                    TextLists::joined(
                                        counted({{Kind::EmbeddedFile, attachments_}}));
        if (!layers_.isEmpty())
            removed.removals << QStringLiteral("the creating application of ") +
                                    TextLists::joined(counted(layers_));
        const std::pair<const char*, int> counts[] = {
            {"object-xmp", total(metadata_)},
            {"tex-figure-data", total(tex_)},
            {"private-application-data", (documentPieces_ ? 1 : 0) + total(pieces_)},
            {"annotation-metadata", annotations_},
            {"attachment-metadata", attachments_},
            {"layer-creator", total(layers_)},
        };
        for (const auto& [kind, count] : counts) {
            if (count > 0)
                removed.counts.insert(QLatin1String(kind), count);
        }
        removed.texts = authors_;
        removed.catalogEntries = catalogEntries_;
        removed.attachedFiles = reachedFiles_;
        return removed;
    }

private:
    bool done() const { return !found_.isEmpty(); }

    // Whether dictionary has key, which it no longer has when removing; when finding, what is
    // found is the reason.
    bool take(QPDFObjectHandle dictionary, const std::string& key, const QString& reason) {
        if (done() || !dictionary.isDictionary() || !dictionary.hasKey(key) ||
            dictionary.getKey(key).isNull())
            return false;
        if (mode_ == Mode::Find) {
            found_ = reason;
            return true;
        }
        dictionary.removeKey(key);
        if (isCatalog(dictionary))
            catalogEntries_ << QString::fromStdString(key.substr(1));
        return true;
    }

    bool isCatalog(QPDFObjectHandle object) const {
        return object.isIndirect() && object.getObjGen() == root_.getObjGen();
    }

    Kind kindOf(QPDFObjectHandle object) const {
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        QPDFObjectHandle type = dictionary.getKey("/Type");
        QPDFObjectHandle subtype = dictionary.getKey("/Subtype");
        if (type.isNameAndEquals("/Page"))
            return Kind::Page;
        if (object.isStream() && subtype.isNameAndEquals("/Image"))
            return Kind::Image;
        if (object.isStream() && subtype.isNameAndEquals("/Form"))
            return Kind::Form;
        if (type.isNameAndEquals("/Font"))
            return Kind::Font;
        if (type.isNameAndEquals("/FontDescriptor"))
            return Kind::FontDescriptor;
        if (type.isNameAndEquals("/EmbeddedFile") ||
            (object.isIndirect() && embeddedFiles_.contains(object.getObjGen())))
            return Kind::EmbeddedFile;
        if (isAnnotation(object))
            return Kind::Annotation;
        if (type.isNameAndEquals("/OCG"))
            return Kind::Layer;
        return Kind::Other;
    }

    bool isAnnotation(QPDFObjectHandle object) const {
        return object.isDictionary() &&
               (object.getKey("/Type").isNameAndEquals("/Annot") ||
                (object.isIndirect() && annotationObjects_.contains(object.getObjGen())));
    }

    // A form field's /T is its name, which the form and its scripts need; a widget merged with
    // its field carries it too.
    void findFields() {
        std::vector<QPDFObjectHandle> stack;
        QPDFObjectHandle fields = root_.getKey("/AcroForm").getKey("/Fields");
        if (fields.isArray())
            stack = fields.getArrayAsVector();
        std::set<QPDFObjGen> seen;
        while (!stack.empty()) {
            QPDFObjectHandle field = stack.back();
            stack.pop_back();
            if (!field.isDictionary() ||
                (field.isIndirect() && !seen.insert(field.getObjGen()).second))
                continue;
            if (field.isIndirect())
                fields_.insert(field.getObjGen());
            if (QPDFObjectHandle kids = field.getKey("/Kids"); kids.isArray()) {
                for (QPDFObjectHandle kid : kids.aitems())
                    stack.push_back(kid);
            }
        }
    }

    // Annotations need not say they are ones: what a page lists as its annotations is one. Those
    // written into the list directly are not objects of their own and are taken here.
    void findAnnotations() {
        for (QPDFObjectHandle page : pdf_.getAllPages()) {
            QPDFObjectHandle annotations = page.getKey("/Annots");
            if (!annotations.isArray())
                continue;
            for (QPDFObjectHandle annotation : annotations.aitems()) {
                if (annotation.isIndirect())
                    annotationObjects_.insert(annotation.getObjGen());
                else
                    annotate(annotation);
            }
        }
    }

    void annotate(QPDFObjectHandle annotation) {
        if (done() || !annotation.isDictionary() ||
            (annotation.isIndirect() && !annotated_.insert(annotation.getObjGen()).second))
            return;
        bool any = false;
        const bool named = annotation.getKey("/Subtype").isNameAndEquals("/Widget") ||
                           annotation.hasKey("/FT") ||
                           (annotation.isIndirect() && fields_.contains(annotation.getObjGen()));
        if (!named) {
            QPDFObjectHandle author = annotation.getKey("/T");
            const QString text =
                author.isString() ? QString::fromStdString(author.getUTF8Value()) : QString();
            if (take(annotation, "/T", QStringLiteral("an annotation's author"))) {
                any = true;
                if (!text.isEmpty() && !authors_.contains(text))
                    authors_ << text;
            }
        }
        any = take(annotation, "/M", QStringLiteral("an annotation's date")) || any;
        any = take(annotation, "/CreationDate", QStringLiteral("an annotation's date")) || any;
        any = take(annotation, "/NM", QStringLiteral("an annotation's name")) || any;
        if (any)
            ++annotations_;
    }

    // An attached file's dates and the Mac's type, creator and resource fork; its name, its
    // description and its data stay.
    void attached(QPDFObjectHandle file) {
        if (done() || !file.isStream() ||
            (file.isIndirect() && !attached_.insert(file.getObjGen()).second))
            return;
        ++attachedFiles_;
        QPDFObjectHandle parameters = file.getDict().getKey("/Params");
        bool any = take(parameters, "/CreationDate", QStringLiteral("an attached file's date"));
        any = take(parameters, "/ModDate", QStringLiteral("an attached file's date")) || any;
        any = take(parameters, "/Mac", QStringLiteral("an attached file's Mac data")) || any;
        if (any)
            ++attachments_;
    }

    // The application that made the layers, noted on the configurations of what they show and
    // on each layer's use; the layers' names are what a reader chooses by, and stay.
    void layerConfigurations() {
        QPDFObjectHandle properties = root_.getKey("/OCProperties");
        if (!properties.isDictionary())
            return;
        std::vector<QPDFObjectHandle> configurations{properties.getKey("/D")};
        if (QPDFObjectHandle more = properties.getKey("/Configs"); more.isArray()) {
            for (QPDFObjectHandle configuration : more.aitems())
                configurations.push_back(configuration);
        }
        int count = 0;
        for (QPDFObjectHandle configuration : configurations) {
            const QString reason = QStringLiteral("the creating application of a layer "
                                                  "configuration");
            const bool creator = take(configuration, "/Creator", reason);
            if (take(configuration, "/CreatorInfo", reason) || creator)
                ++count;
        }
        if (count > 0)
            layers_.insert(Kind::LayerConfiguration, count);
    }

    void look(QPDFObjectHandle object) {
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        const Kind kind = kindOf(object);
        // The catalog's packet is the document's, which the stripper reduces on its own.
        if (!isCatalog(object) &&
            take(dictionary, "/Metadata",
                 QStringLiteral("XMP metadata on ") + QLatin1String(nounOf(kind).withArticle)))
            ++metadata_[kind];
        bool tex = false;
        for (const char* key : texKeys) {
            tex = take(dictionary, key,
                       QStringLiteral("TeX figure data on ") +
                           QLatin1String(nounOf(kind).withArticle)) ||
                  tex;
        }
        if (tex)
            ++tex_[kind];
        // The date the private data was last changed belongs to it.
        const QString ofWhat = isCatalog(object) ? QStringLiteral("the document")
                                                 : QLatin1String(nounOf(kind).withArticle);
        const bool piece =
            take(dictionary, "/PieceInfo", QStringLiteral("private application data of ") + ofWhat);
        if (take(dictionary, "/LastModified",
                 QStringLiteral("private application data of ") + ofWhat) ||
            piece) {
            if (isCatalog(object))
                documentPieces_ = true;
            else
                ++pieces_[kind];
        }
        if (object.isStream() && dictionary.getKey("/Type").isNameAndEquals("/Metadata") &&
            object.getObjGen() != documentPacket_)
            emptyPacket(object, kind);
        if (kind == Kind::Annotation)
            annotate(dictionary);
        if (kind == Kind::EmbeddedFile)
            attached(object);
        if (QPDFObjectHandle files = dictionary.getKey("/EF"); files.isDictionary()) {
            for (auto [key, file] : files.ditems()) {
                if (file.isIndirect())
                    embeddedFiles_.insert(file.getObjGen());
                attached(file);
            }
        }
        if (kind == Kind::Layer && take(dictionary.getKey("/Usage"), "/CreatorInfo",
                                        QStringLiteral("the creating application of a layer")))
            ++layers_[Kind::Layer];
    }

    // An XMP packet kept where no reader looks for one, under an entry of an application's own:
    // the entry may be read by it, so the packet stays, empty.
    void emptyPacket(QPDFObjectHandle packet, Kind kind) {
        static const std::string empty = "<?xpacket begin=\"\xEF\xBB\xBF\" "
                                         "id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                                         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>"
                                         "<?xpacket end=\"w\"?>";
        if (done())
            return;
        // One that cannot be read is emptied all the same.
        try {
            const std::shared_ptr<Buffer> data = packet.getStreamData(qpdf_dl_generalized);
            if (std::string_view(reinterpret_cast<const char*>(data->getBuffer()),
                                 data->getSize()) == empty)
                return;
        } catch (const std::exception&) {
        }
        if (mode_ == Mode::Find) {
            found_ = QStringLiteral("XMP metadata on ") + QLatin1String(nounOf(kind).withArticle);
            return;
        }
        packet.replaceStreamData(empty, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
        ++metadata_[kind];
    }

    // Every object reached from the start and not gone through before, each once; what is
    // removed is not gone through.
    void walk(std::vector<QPDFObjectHandle> stack) {
        while (!stack.empty() && !done()) {
            QPDFObjectHandle object = stack.back();
            stack.pop_back();
            if (object.isIndirect() && !seen_.insert(object.getObjGen()).second)
                continue;
            if (object.isArray()) {
                for (QPDFObjectHandle item : object.aitems())
                    stack.push_back(item);
                continue;
            }
            if (!object.isStream() && !object.isDictionary())
                continue;
            look(object);
            QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
            for (auto [key, value] : dictionary.ditems()) {
                if (value.isArray() || value.isDictionary() || value.isStream())
                    stack.push_back(value);
            }
        }
    }

    QPDF& pdf_;
    Mode mode_;
    QPDFObjectHandle root_;
    // The document's own packet, which the stripper reduces rather than empties.
    QPDFObjGen documentPacket_;
    std::set<QPDFObjGen> fields_;
    std::set<QPDFObjGen> annotationObjects_;
    std::set<QPDFObjGen> annotated_;
    std::set<QPDFObjGen> embeddedFiles_;
    std::set<QPDFObjGen> attached_;
    QString found_;
    QMap<Kind, int> metadata_;
    QMap<Kind, int> tex_;
    bool documentPieces_ = false;
    QMap<Kind, int> pieces_;
    int annotations_ = 0;
    QStringList authors_;
    int attachments_ = 0;
    int attachedFiles_ = 0;
    int reachedFiles_ = 0;
    std::set<QPDFObjGen> seen_;
    QMap<Kind, int> layers_;
    QStringList catalogEntries_;
};

} // namespace

ObjectMetadata::Removed ObjectMetadata::strip(QPDF& pdf) {
    Sweep sweep(pdf, Sweep::Mode::Remove);
    sweep.run(false);
    return sweep.removed();
}

ObjectMetadata::Left ObjectMetadata::left(QPDF& pdf) {
    Sweep sweep(pdf, Sweep::Mode::Find);
    sweep.run(true);
    return sweep.left();
}
