#pragma once

#include <QString>
#include <map>
#include <qpdf/QPDFObjGen.hh>
#include <string>

class QPDF;
class QPDFObjectHandle;

// Where in a document an object belongs, as a person looking for it would find it: "the text of a
// comment on page 2", "the value of the field "Name"", "a bookmark". Made once for a file; a text
// found in an object is then placed by the object and the key it was found under.
class ContentPlaces {
public:
    explicit ContentPlaces(QPDF& pdf);

    // Where a text found in object (an indirect object, or the trailer), under its entry key
    // (empty for a stream's data or an array's item), is; "object 12" for one that belongs to
    // nothing the document shows.
    QString of(QPDFObjectHandle object, const std::string& key) const;

private:
    enum class Role {
        Catalog,
        Page,
        Comment,
        Link,
        Field,
        Bookmark,
        AttachedFile,
        AttachedData,
        Script,
        Layer,
        Names,
    };

    struct Place {
        Role role;
        // The page's number, the field's full name.
        QString detail;
    };

    void mark(QPDFObjectHandle object, Role role, const QString& detail = {});
    void markFields(QPDFObjectHandle fields);
    void markTree(QPDFObjectHandle node, Role role);

    std::map<QPDFObjGen, Place> places_;
};
