#pragma once

#include "EditPlan.h"
#include "PdfSnapshot.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;

// The document information of many files as one table a spreadsheet opens (show --csv, the
// window's export), and per-file plans read back from such a table (set --csv). Columns: "path",
// the eight fields by their keys as PDF spells them, "copyright" and "copyright-url" from the XMP
// metadata, "lang" and "display-title" (true, false or empty) from the catalog, then every other
// key. A column names a key as --remove does: a field by its key or
// option name, any other key as a file spells it, in any case. A key whose name is one of the
// columns of our own, or would be read as a field's or as another key's (differing only in case),
// is written with a slash before it ("/path", "/title"), as PDF writes names; a slash before any
// key is read so, as the key spelled exactly so.
class ValueTable {
public:
    // A cell holding exactly this removes the field or key from the file; a real value of this
    // text is written, and read, with one more pair of angle brackets ("<<remove>>").
    static QString removeMarker() { return QStringLiteral("<remove>"); }

    // Writes the table of files to device with CsvTable's writer, reading every file once and
    // holding its values until the keys that name the columns are known. A file that cannot be
    // read has no row; failed(path, reason) tells of it.
    static void write(QIODevice& device, const QStringList& files,
                      const std::function<void(const QString&, const QString&)>& failed);

    // One row of a table read back: the file (absolute, cleaned) and what its cells change; a
    // key named in any case is found in the file when it is changed (EditPlan::forKeys).
    struct Row {
        QString path;
        EditPlan plan;
    };
    // Reads the table at tablePath: a path relative to the table's folder is taken from there.
    // An empty cell, or a column that is not there, leaves its field alone. Throws Failure,
    // naming the row or column, for a table that cannot be read, a header without "path", a
    // column that names no key or one named twice, a value its key cannot take (unless the file
    // holds it already: it is then left alone, as is a value as the file holds it that may not
    // be written back as the same bytes), and a row whose
    // file does not exist, is a folder, or is the same file as an earlier row's; so nothing is
    // touched for a table that is wrong anywhere.
    static QList<Row> read(const QString& tablePath);

    // A value as a person reads it: a name without its slash, anything else that is not text (a
    // number, an array) as PDF writes it.
    static QString shownValue(const PdfSnapshot::InfoValue& value);
    // The text a cell holds for a value of the file.
    static QString cellOf(const QString& value);
    // What a cell stands for: nothing for an empty cell (leave alone), an empty optional inside
    // for the removal marker, the value otherwise.
    static std::optional<std::optional<QString>> valueOf(const QString& cell);
};
