#include "KeptContent.h"

#include "PageTree.h"
#include "TextLists.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <exception>
#include <functional>
#include <qpdf/Pl_Function.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <utility>
#include <vector>

namespace {

// A phrase shows this many names of a list; the rest are counted.
constexpr qsizetype namesShown = 5;
// Deeper than any real tree of fields or name-tree nodes, or chain of pages' parents.
constexpr int deepest = 256;
// More actions than any real chain of them has; a hostile one is not followed further.
constexpr int longestChain = 1000;
// Colour spaces built on others (an indexed space on a separation's alternate) nest no deeper.
constexpr int deepestColourSpace = 4;
// How much of a colour profile is kept: real ones are smaller, and of a stream that inflates to
// more only this much is held; its description, near the start, is still found.
constexpr qsizetype largestProfile = 4 * 1024 * 1024;

// Annotation flags under which a viewer draws nothing.
constexpr long long hiddenFlag = 2;
constexpr long long noViewFlag = 32;

// Looking up keys only in dictionaries and items only in arrays keeps the library from warning
// about the file, or throwing, over every damaged object.
QPDFObjectHandle entry(QPDFObjectHandle object, const std::string& key) {
    if (object.isStream())
        object = object.getDict();
    return object.isDictionary() ? object.getKey(key) : QPDFObjectHandle::newNull();
}

std::vector<QPDFObjectHandle> itemsOf(QPDFObjectHandle array) {
    return array.isArray() ? array.getArrayAsVector() : std::vector<QPDFObjectHandle>{};
}

QString textOf(QPDFObjectHandle string) {
    return string.isString() ? QString::fromStdString(string.getUTF8Value()) : QString();
}

// Whether object is met for the first time; objects written in place cannot be met again.
bool firstVisit(std::set<QPDFObjGen>& seen, QPDFObjectHandle object) {
    return !object.isIndirect() || seen.insert(object.getObjGen()).second;
}

// "\"a\", \"b\", \"c\", \"d\", \"e\" and 2 more"
QString listed(const QStringList& names) {
    QStringList shown;
    for (const QString& name : names.first(std::min(names.size(), namesShown)))
        shown << TextLists::quoted(name);
    QString text = shown.join(QStringLiteral(", "));
    if (names.size() > namesShown)
        text += QStringLiteral(" and %1 more").arg(names.size() - namesShown);
    return text;
}

// one for a single name ("the name of 1 layer: "), many with the count's place for more.
QString namesPhrase(const QStringList& names, const char* one, const char* many) {
    return (names.size() == 1 ? QString::fromLatin1(one)
                              : QString::fromLatin1(many).arg(names.size())) +
           listed(names);
}

QString counted(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

// Whether action, or an action that follows it, runs JavaScript.
bool runsJavaScript(QPDFObjectHandle action) {
    std::vector<QPDFObjectHandle> stack{action};
    std::set<QPDFObjGen> seen;
    for (int steps = 0; !stack.empty() && steps < longestChain; ++steps) {
        QPDFObjectHandle current = stack.back();
        stack.pop_back();
        if (!current.isDictionary() || !firstVisit(seen, current))
            continue;
        if (current.getKey("/S").isNameAndEquals("/JavaScript"))
            return true;
        QPDFObjectHandle next = current.getKey("/Next");
        if (next.isArray()) {
            const std::vector<QPDFObjectHandle> actions = next.getArrayAsVector();
            stack.insert(stack.end(), actions.rbegin(), actions.rend());
        } else {
            stack.push_back(next);
        }
    }
    return false;
}

// Whether any trigger of an additional-actions dictionary runs JavaScript.
bool anyRunsJavaScript(QPDFObjectHandle triggers) {
    if (!triggers.isDictionary())
        return false;
    for (auto [trigger, action] : triggers.ditems()) {
        if (runsJavaScript(action))
            return true;
    }
    return false;
}

// Whether an annotation's own action or any of its additional actions runs JavaScript.
bool annotationRunsJavaScript(QPDFObjectHandle annotation) {
    return runsJavaScript(entry(annotation, "/A")) || anyRunsJavaScript(entry(annotation, "/AA"));
}

// A form field's value that someone filled in: a text, a choice, a button's state but "off".
bool holdsValue(QPDFObjectHandle value, bool inList = false) {
    if (value.isString())
        return !textOf(value).isEmpty();
    if (value.isName())
        return value.getName() != "/Off" && value.getName() != "/";
    // The choices of a list that allows several.
    if (value.isArray() && !inList) {
        for (QPDFObjectHandle item : value.aitems()) {
            if (holdsValue(item, true))
                return true;
        }
    }
    return false;
}

quint32 bigEndian(QByteArrayView bytes, qsizetype at) {
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3]));
}

// The text of a profile's description tag: ASCII in version 2, the first of its localized
// texts in version 4.
QString tagText(QByteArrayView tag) {
    const QByteArrayView type = tag.first(4);
    if (type == "desc") {
        const quint64 count = bigEndian(tag, 8);
        QByteArrayView ascii =
            tag.sliced(12, qsizetype(std::min<quint64>(count, quint64(tag.size() - 12))));
        if (const qsizetype end = ascii.indexOf('\0'); end >= 0)
            ascii.truncate(end);
        return QString::fromLatin1(ascii);
    }
    // Type, reserved, number and size of records, then the first record: language, country,
    // length and offset from the tag's start.
    if (type != "mluc" || tag.size() < 28 || bigEndian(tag, 8) == 0 || bigEndian(tag, 12) < 12)
        return {};
    const quint64 length = bigEndian(tag, 20);
    const quint64 offset = bigEndian(tag, 24);
    if (offset + length > quint64(tag.size()))
        return {};
    QString text = QStringDecoder(QStringDecoder::Utf16BE)(
        tag.sliced(qsizetype(offset), qsizetype(length & ~quint64(1))));
    if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
        text.truncate(end);
    return text;
}

// The description an ICC profile carries of itself; empty when it has none that can be read.
// Every offset and count in it is checked against its size.
QString profileDescription(QByteArrayView profile) {
    // The header (128 bytes) and the number of tags.
    if (profile.size() < 132)
        return {};
    const quint64 tags = bigEndian(profile, 128);
    for (quint64 tag = 0; tag < tags && 132 + 12 * (tag + 1) <= quint64(profile.size()); ++tag) {
        const qsizetype at = qsizetype(132 + 12 * tag);
        if (profile.sliced(at, 4) != "desc")
            continue;
        const quint64 offset = bigEndian(profile, at + 4);
        const quint64 size = bigEndian(profile, at + 8);
        if (size < 12 || offset + size > quint64(profile.size()))
            return {};
        return tagText(profile.sliced(qsizetype(offset), qsizetype(size)));
    }
    return {};
}

// A profile stream's data with the general filters undone, no more than largestProfile of it;
// empty when it cannot be decoded. The rest is decoded and dropped rather than cut off, since
// the inflater warns on the document about a stream left unfinished; warnings about the data
// itself are kept out of the document's.
QByteArray decodedProfile(QPDFObjectHandle stream) {
    bool decodable = false;
    stream.pipeStreamData(nullptr, &decodable, 0, qpdf_dl_generalized, true);
    if (!decodable)
        return {};
    QByteArray data;
    Pl_Function collect(
        "colour profile", nullptr, [&data](const unsigned char* bytes, size_t size) {
            const auto room = size_t(largestProfile - data.size());
            data.append(reinterpret_cast<const char*>(bytes), qsizetype(std::min(size, room)));
        });
    return stream.pipeStreamData(&collect, nullptr, 0, qpdf_dl_generalized, true) ? data
                                                                                  : QByteArray();
}

// Goes through the parts of a document that may hold what a stripped file keeps.
class Finder {
public:
    explicit Finder(QPDF& pdf) : pdf_(pdf) {}

    QStringList phrases() {
        // From the trailer, as the library's own look-up would mend a catalog without its type.
        part([this] { root_ = entry(pdf_.getTrailer(), "/Root"); });
        part([this] { findPages(); });
        part([this] { opensWithScript_ = runsJavaScript(entry(root_, "/OpenAction")); });
        part([this] { findDocumentScripts(); });
        part([this] { documentActions_ = anyRunsJavaScript(entry(root_, "/AA")); });
        part([this] { findFields(); });
        part([this] { findAnnotations(); });
        part([this] { base_ = TextLists::plain(textOf(entry(entry(root_, "/URI"), "/Base"))); });
        part([this] { findLayers(); });
        part([this] { findProfiles(); });

        QStringList phrases;
        if (opensWithScript_)
            phrases << QStringLiteral("JavaScript that runs when the document opens");
        if (documentScripts_ > 0)
            phrases << QStringLiteral("document-level JavaScript (%1)")
                           .arg(counted(documentScripts_, "script", "scripts"));
        if (documentActions_)
            phrases << QStringLiteral("JavaScript in the document's actions");
        if (scriptedPages_ > 0)
            phrases << QStringLiteral("JavaScript in the actions of ") +
                           counted(scriptedPages_, "page", "pages");
        if (const int fields = int(scriptedFields_.size()) + scriptedDirectFields_; fields > 0)
            phrases << QStringLiteral("JavaScript in ") +
                           counted(fields, "form field", "form fields");
        if (scriptedLinks_ > 0)
            phrases << QStringLiteral("JavaScript in ") + counted(scriptedLinks_, "link", "links");
        if (!hiddenValues_.isEmpty())
            phrases << namesPhrase(hiddenValues_, "the value of 1 hidden form field: ",
                                   "the values of %1 hidden form fields: ");
        if (!base_.isEmpty())
            phrases << QStringLiteral("a base address for links: ") + TextLists::quoted(base_);
        if (!layers_.isEmpty())
            phrases << namesPhrase(layers_, "the name of 1 layer: ", "the names of %1 layers: ");
        if (!profiles_.isEmpty())
            phrases << namesPhrase(profiles_, "the description of 1 ICC profile: ",
                                   "the descriptions of %1 ICC profiles: ");
        return phrases;
    }

private:
    // A part the library cannot read to its end gives what was found before; the others go on.
    static void part(const std::function<void()>& work) {
        try {
            work();
        } catch (const std::exception&) {
        }
    }

    // The pages as the tree holds them, each once, and the annotations they list, which are the
    // only ones a viewer draws. The tree is walked rather than listed by the library, which
    // would repair a damaged one: nothing here changes the document.
    void findPages() {
        QPDFObjectHandle tree = entry(root_, "/Pages");
        if (!tree.isDictionary())
            return;
        std::set<QPDFObjGen> seen;
        PageTree::walk(
            tree, PageTree::Manner::Counting, [&](QPDFObjectHandle kid, PageTree::Kid kind) {
                if (kind == PageTree::Kid::Node)
                    return PageTree::Step::Enter;
                if (kind == PageTree::Kid::Other && kid.isDictionary() && firstVisit(seen, kid))
                    pages_.push_back(kid);
                return PageTree::Step::Pass;
            });
        seen.clear();
        for (QPDFObjectHandle page : pages_) {
            for (QPDFObjectHandle annotation : itemsOf(entry(page, "/Annots"))) {
                if (annotation.isDictionary() && firstVisit(seen, annotation))
                    annotations_.push_back(annotation);
            }
        }
        for (const QPDFObjectHandle& annotation : annotations_) {
            if (annotation.isIndirect())
                drawn_.insert(annotation.getObjGen());
        }
        pagesKnown_ = true;
    }

    void findDocumentScripts() {
        std::vector<std::pair<QPDFObjectHandle, int>> nodes{
            {entry(entry(root_, "/Names"), "/JavaScript"), 0}};
        std::set<QPDFObjGen> seen;
        while (!nodes.empty()) {
            auto [node, depth] = nodes.back();
            nodes.pop_back();
            if (!node.isDictionary() || depth > deepest || !firstVisit(seen, node))
                continue;
            // Names and values alternate.
            const std::vector<QPDFObjectHandle> names = itemsOf(entry(node, "/Names"));
            for (size_t value = 1; value < names.size(); value += 2) {
                if (runsJavaScript(names[value]))
                    ++documentScripts_;
            }
            for (QPDFObjectHandle kid : itemsOf(entry(node, "/Kids")))
                nodes.emplace_back(kid, depth + 1);
        }
    }

    // Whether a viewer draws widget: a widget no page lists is drawn nowhere, when the pages
    // could be read.
    bool drawn(QPDFObjectHandle widget) const {
        QPDFObjectHandle flags = entry(widget, "/F");
        if (flags.isInteger() && (flags.getIntValue() & (hiddenFlag | noViewFlag)) != 0)
            return false;
        QPDFObjectHandle rect = entry(widget, "/Rect");
        if (!rect.isRectangle())
            return false;
        const QPDFObjectHandle::Rectangle area = rect.getArrayAsRectangle();
        if ((area.urx - area.llx) * (area.ury - area.lly) == 0)
            return false;
        return !pagesKnown_ || !widget.isIndirect() || drawn_.contains(widget.getObjGen());
    }

    void scriptedField(QPDFObjectHandle field) {
        if (field.isIndirect())
            scriptedFields_.insert(field.getObjGen());
        else
            ++scriptedDirectFields_;
    }

    // The form's fields, with the names and values they inherit from their parents. A field's
    // kids are fields (they have names or kids of their own) or its widgets; a field without
    // kids is its own widget when it is an annotation at all.
    void findFields() {
        struct Field {
            QPDFObjectHandle field;
            QString parentName;
            QPDFObjectHandle inheritedValue;
            int depth;
        };
        std::vector<Field> stack;
        const std::vector<QPDFObjectHandle> top =
            itemsOf(entry(entry(root_, "/AcroForm"), "/Fields"));
        for (auto field = top.rbegin(); field != top.rend(); ++field)
            stack.push_back({*field, {}, QPDFObjectHandle::newNull(), 0});
        std::set<QPDFObjGen> seen;
        while (!stack.empty()) {
            const Field node = stack.back();
            stack.pop_back();
            QPDFObjectHandle field = node.field;
            if (!field.isDictionary() || node.depth > deepest || !firstVisit(seen, field))
                continue;
            QString name = node.parentName;
            if (const QString partial = textOf(field.getKey("/T")); !partial.isEmpty())
                name = name.isEmpty() ? partial : name + u'.' + partial;
            QPDFObjectHandle value = field.getKey("/V");
            if (value.isNull())
                value = node.inheritedValue;

            std::vector<QPDFObjectHandle> widgets;
            std::vector<QPDFObjectHandle> fieldKids;
            QPDFObjectHandle kids = field.getKey("/Kids");
            if (!kids.isArray() && (field.hasKey("/Subtype") || field.hasKey("/Rect")))
                widgets.push_back(field);
            for (QPDFObjectHandle kid : itemsOf(kids)) {
                if (!kid.isDictionary())
                    continue;
                if (kid.hasKey("/T") || kid.hasKey("/Kids"))
                    fieldKids.push_back(kid);
                else
                    widgets.push_back(kid);
            }
            for (auto kid = fieldKids.rbegin(); kid != fieldKids.rend(); ++kid)
                stack.push_back({*kid, name, value, node.depth + 1});

            bool scripted = anyRunsJavaScript(field.getKey("/AA"));
            bool shown = false;
            for (QPDFObjectHandle widget : widgets) {
                if (widget.isIndirect())
                    widgets_.insert(widget.getObjGen());
                scripted = scripted || annotationRunsJavaScript(widget);
                shown = shown || drawn(widget);
            }
            if (scripted)
                scriptedField(field);
            if (fieldKids.empty() && !shown && holdsValue(value))
                hiddenValues_ << name;
        }
    }

    // Pages' actions, and the scripts of the annotations they list: widgets belong to their
    // fields (also one the form's field tree does not reach), every other kind is a link.
    void findAnnotations() {
        for (QPDFObjectHandle page : pages_) {
            if (anyRunsJavaScript(entry(page, "/AA")))
                ++scriptedPages_;
        }
        for (QPDFObjectHandle annotation : annotations_) {
            const bool known = annotation.isIndirect() && widgets_.contains(annotation.getObjGen());
            if (known || !annotationRunsJavaScript(annotation))
                continue;
            if (!annotation.getKey("/Subtype").isNameAndEquals("/Widget")) {
                ++scriptedLinks_;
                continue;
            }
            QPDFObjectHandle parent = annotation.getKey("/Parent");
            scriptedField(parent.isDictionary() && parent.isIndirect() ? parent : annotation);
        }
    }

    // The layers' names stay: readers choose by them what a page shows.
    void findLayers() {
        std::set<QPDFObjGen> seen;
        for (QPDFObjectHandle layer : itemsOf(entry(entry(root_, "/OCProperties"), "/OCGs"))) {
            if (!layer.isDictionary() || !firstVisit(seen, layer))
                continue;
            if (const QString name = TextLists::plain(textOf(layer.getKey("/Name")));
                !name.isEmpty())
                layers_ << name;
        }
    }

    // The colour profiles of the pages' colour spaces and images (and those of the forms they
    // place), and of the output intents.
    void findProfiles() {
        for (QPDFObjectHandle page : pages_) {
            part([&] {
                resources(inherited(page, "/Resources"), true);
                outputIntents(entry(page, "/OutputIntents"));
            });
        }
        outputIntents(entry(root_, "/OutputIntents"));
    }

    // A page's entry, or the nearest of its parents'.
    static QPDFObjectHandle inherited(QPDFObjectHandle node, const std::string& key) {
        std::set<QPDFObjGen> seen;
        for (int depth = 0; node.isDictionary() && depth <= deepest && firstVisit(seen, node);
             ++depth) {
            if (QPDFObjectHandle value = node.getKey(key); !value.isNull())
                return value;
            node = node.getKey("/Parent");
        }
        return QPDFObjectHandle::newNull();
    }

    void resources(QPDFObjectHandle resources, bool withForms) {
        if (!resources.isDictionary() || !firstVisit(resourcesSeen_, resources))
            return;
        if (QPDFObjectHandle spaces = resources.getKey("/ColorSpace"); spaces.isDictionary()) {
            for (auto [name, space] : spaces.ditems())
                colourSpace(space, 0);
        }
        QPDFObjectHandle objects = resources.getKey("/XObject");
        if (!objects.isDictionary())
            return;
        for (auto [name, object] : objects.ditems()) {
            if (!object.isStream())
                continue;
            QPDFObjectHandle subtype = entry(object, "/Subtype");
            if (subtype.isNameAndEquals("/Image"))
                colourSpace(entry(object, "/ColorSpace"), 0);
            else if (subtype.isNameAndEquals("/Form") && withForms)
                this->resources(entry(object, "/Resources"), false);
        }
    }

    void colourSpace(QPDFObjectHandle space, int depth) {
        if (depth > deepestColourSpace || !space.isArray())
            return;
        std::vector<QPDFObjectHandle> items = space.getArrayAsVector();
        if (items.size() < 2)
            return;
        if (items[0].isNameAndEquals("/ICCBased"))
            profile(items[1]);
        else if (items[0].isNameAndEquals("/Indexed") || items[0].isNameAndEquals("/Pattern"))
            colourSpace(items[1], depth + 1);
        else if ((items[0].isNameAndEquals("/Separation") ||
                  items[0].isNameAndEquals("/DeviceN")) &&
                 items.size() > 2)
            colourSpace(items[2], depth + 1);
    }

    void outputIntents(QPDFObjectHandle intents) {
        for (QPDFObjectHandle intent : itemsOf(intents))
            profile(entry(intent, "/DestOutputProfile"));
    }

    void profile(QPDFObjectHandle stream) {
        if (!stream.isStream() || !firstVisit(profilesSeen_, stream))
            return;
        QString description;
        part([&] { description = TextLists::plain(profileDescription(decodedProfile(stream))); });
        if (!description.isEmpty() && !profiles_.contains(description))
            profiles_ << description;
    }

    QPDF& pdf_;
    QPDFObjectHandle root_ = QPDFObjectHandle::newNull();
    std::vector<QPDFObjectHandle> pages_;
    bool pagesKnown_ = false;
    // The annotations the pages list, each once, and those of them that are objects.
    std::vector<QPDFObjectHandle> annotations_;
    std::set<QPDFObjGen> drawn_;
    // The widgets the form's field tree reaches.
    std::set<QPDFObjGen> widgets_;
    std::set<QPDFObjGen> resourcesSeen_;
    std::set<QPDFObjGen> profilesSeen_;

    bool opensWithScript_ = false;
    int documentScripts_ = 0;
    bool documentActions_ = false;
    int scriptedPages_ = 0;
    std::set<QPDFObjGen> scriptedFields_;
    int scriptedDirectFields_ = 0;
    int scriptedLinks_ = 0;
    QStringList hiddenValues_;
    QString base_;
    QStringList layers_;
    QStringList profiles_;
};

} // namespace

QStringList KeptContent::in(QPDF& pdf) {
    try {
        return Finder(pdf).phrases();
    } catch (const std::exception&) {
        // Only running out of memory is left to come here.
        return {};
    }
}
