#include "ContentPlaces.h"

#include "TextLists.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <vector>

namespace {

QString textOf(QPDFObjectHandle string) {
    return string.isString() ? QString::fromStdString(string.getUTF8Value()) : QString();
}

// The keys under which a field or an annotation holds what a person reads.
bool isValueKey(const std::string& key) {
    return key == "/V" || key == "/DV";
}

bool isNameKey(const std::string& key) {
    return key == "/T" || key == "/TU" || key == "/TM";
}

} // namespace

ContentPlaces::ContentPlaces(QPDF& pdf) {
    QPDFObjectHandle root = pdf.getRoot();
    mark(root, Role::Catalog);
    // Fields first: a widget merged with its field is placed as the field.
    markFields(root.getKey("/AcroForm").getKey("/Fields"));
    int number = 0;
    for (QPDFObjectHandle page : pdf.getAllPages()) {
        const QString at = QString::number(++number);
        mark(page, Role::Page, at);
        QPDFObjectHandle annotations = page.getKey("/Annots");
        if (!annotations.isArray())
            continue;
        for (QPDFObjectHandle annotation : annotations.aitems()) {
            if (!annotation.isDictionary())
                continue;
            QPDFObjectHandle subtype = annotation.getKey("/Subtype");
            if (subtype.isNameAndEquals("/Widget"))
                continue;
            const Role role = subtype.isNameAndEquals("/Link") ? Role::Link : Role::Comment;
            mark(annotation, role, at);
            mark(annotation.getKey("/Popup"), Role::Comment, at);
            mark(annotation.getKey("/A"), role, at);
            if (QPDFObjectHandle file = annotation.getKey("/FS"); file.isDictionary()) {
                mark(file, Role::AttachedFile);
                if (QPDFObjectHandle data = file.getKey("/EF"); data.isDictionary()) {
                    for (auto [key, stream] : data.ditems())
                        mark(stream, Role::AttachedData);
                }
            }
        }
    }
    std::vector<QPDFObjectHandle> bookmarks{root.getKey("/Outlines")};
    std::set<QPDFObjGen> seen;
    while (!bookmarks.empty()) {
        QPDFObjectHandle item = bookmarks.back();
        bookmarks.pop_back();
        if (!item.isDictionary() || (item.isIndirect() && !seen.insert(item.getObjGen()).second))
            continue;
        mark(item, Role::Bookmark);
        bookmarks.push_back(item.getKey("/First"));
        bookmarks.push_back(item.getKey("/Next"));
    }
    QPDFObjectHandle names = root.getKey("/Names");
    mark(names, Role::Names);
    markTree(names.getKey("/EmbeddedFiles"), Role::AttachedFile);
    markTree(names.getKey("/JavaScript"), Role::Script);
    markTree(names.getKey("/Dests"), Role::Names);
    if (QPDFObjectHandle files = root.getKey("/AF"); files.isArray()) {
        for (QPDFObjectHandle file : files.aitems())
            mark(file, Role::AttachedFile);
    }
    if (QPDFObjectHandle layers = root.getKey("/OCProperties").getKey("/OCGs"); layers.isArray()) {
        for (QPDFObjectHandle layer : layers.aitems())
            mark(layer, Role::Layer);
    }
}

void ContentPlaces::mark(QPDFObjectHandle object, Role role, const QString& detail) {
    if (object.isIndirect())
        places_.try_emplace(object.getObjGen(), Place{role, detail});
}

void ContentPlaces::markFields(QPDFObjectHandle fields) {
    struct Waiting {
        QPDFObjectHandle field;
        QString parent;
    };
    std::vector<Waiting> waiting;
    if (fields.isArray()) {
        for (QPDFObjectHandle field : fields.aitems())
            waiting.push_back({field, {}});
    }
    std::set<QPDFObjGen> seen;
    while (!waiting.empty()) {
        const Waiting next = waiting.back();
        waiting.pop_back();
        QPDFObjectHandle field = next.field;
        if (!field.isDictionary() || (field.isIndirect() && !seen.insert(field.getObjGen()).second))
            continue;
        // A widget without a name of its own is a part of its parent field.
        const QString partial = textOf(field.getKey("/T"));
        const QString name = partial.isEmpty() || next.parent.isEmpty()
                                 ? next.parent + partial
                                 : next.parent + QLatin1Char('.') + partial;
        mark(field, Role::Field, name);
        mark(field.getKey("/A"), Role::Field, name);
        if (QPDFObjectHandle kids = field.getKey("/Kids"); kids.isArray()) {
            for (QPDFObjectHandle kid : kids.aitems())
                waiting.push_back({kid, name});
        }
    }
}

// Every node of a name tree, and what its leaves name: an attached file's entry and data, a
// script's action and text.
void ContentPlaces::markTree(QPDFObjectHandle node, Role role) {
    std::vector<QPDFObjectHandle> waiting{node};
    std::set<QPDFObjGen> seen;
    while (!waiting.empty()) {
        QPDFObjectHandle next = waiting.back();
        waiting.pop_back();
        if (!next.isDictionary() || (next.isIndirect() && !seen.insert(next.getObjGen()).second))
            continue;
        mark(next, role == Role::Script ? Role::Script : Role::Names);
        if (QPDFObjectHandle kids = next.getKey("/Kids"); kids.isArray()) {
            for (QPDFObjectHandle kid : kids.aitems())
                waiting.push_back(kid);
        }
        QPDFObjectHandle leaves = next.getKey("/Names");
        if (!leaves.isArray())
            continue;
        for (QPDFObjectHandle leaf : leaves.aitems()) {
            if (!leaf.isDictionary())
                continue;
            mark(leaf, role);
            if (role == Role::Script)
                mark(leaf.getKey("/JS"), Role::Script);
            if (QPDFObjectHandle data = leaf.getKey("/EF"); data.isDictionary()) {
                for (auto [key, stream] : data.ditems())
                    mark(stream, Role::AttachedData);
            }
        }
    }
}

QString ContentPlaces::of(QPDFObjectHandle object, const std::string& key) const {
    if (!object.isIndirect())
        return QStringLiteral("the file's trailer");
    const auto found = places_.find(object.getObjGen());
    if (found == places_.end()) {
        // Objects that say what they are, wherever they are used.
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        QPDFObjectHandle type = dictionary.getKey("/Type");
        if (type.isNameAndEquals("/Font") || type.isNameAndEquals("/FontDescriptor"))
            return QStringLiteral("a font");
        if (type.isNameAndEquals("/StructElem") || type.isNameAndEquals("/StructTreeRoot"))
            return QStringLiteral("the document's tagged structure");
        if (type.isNameAndEquals("/Filespec"))
            return key == "/Desc" ? QStringLiteral("the description of an attached file")
                                  : QStringLiteral("the name of an attached file");
        if (type.isNameAndEquals("/EmbeddedFile"))
            return QStringLiteral("an attached file's content");
        if (dictionary.getKey("/S").isNameAndEquals("/JavaScript"))
            return QStringLiteral("a script");
        if (type.isNameAndEquals("/Annot"))
            return key == "/Contents" || key == "/RC" ? QStringLiteral("the text of a comment")
                                                      : QStringLiteral("a comment");
        return QStringLiteral("object %1").arg(object.getObjectID());
    }
    const Place& place = found->second;
    switch (place.role) {
    case Role::Catalog:
        return key == "/Names" ? QStringLiteral("the document's names")
                               : QStringLiteral("the document's catalog");
    case Role::Page:
        // Annotations written into the page's list directly are held by the page.
        return key == "/Annots" ? QStringLiteral("a comment or link on page ") + place.detail
                                : QStringLiteral("page ") + place.detail;
    case Role::Comment:
        return (key == "/Contents" || key == "/RC"
                    ? QStringLiteral("the text of a comment on page ")
                    : QStringLiteral("a comment on page ")) +
               place.detail;
    case Role::Link:
        return QStringLiteral("a link on page ") + place.detail;
    case Role::Field:
        if (isValueKey(key))
            return QStringLiteral("the value of the form field ") + TextLists::quoted(place.detail);
        if (isNameKey(key))
            return QStringLiteral("the name of a form field");
        return QStringLiteral("the form field ") + TextLists::quoted(place.detail);
    case Role::Bookmark:
        return QStringLiteral("a bookmark");
    case Role::AttachedFile:
        return key == "/Desc" ? QStringLiteral("the description of an attached file")
                              : QStringLiteral("the name of an attached file");
    case Role::AttachedData:
        return QStringLiteral("an attached file's content");
    case Role::Script:
        return QStringLiteral("a script");
    case Role::Layer:
        return QStringLiteral("a layer's name");
    case Role::Names:
        return key == "/EmbeddedFiles" ? QStringLiteral("the name of an attached file")
                                       : QStringLiteral("the document's names");
    }
    return {};
}
