#pragma once

#include <QString>
#include <QStringList>
#include <string>

// The toolkit stores every value it sets as UTF-16 text, dates too, whatever form its info-update
// file takes. A date is all ASCII, every writer in wide use stores it in PDF's own encoding, and
// readers that take a date apart (ExifTool among them) read it only there; so the dates a run
// sets are put back into plain bytes in the toolkit's result.
class DateStrings {
public:
    // In the unencrypted file at path, stores the document information's entries named by keys
    // ("CreationDate", ...) as plain strings where they are UTF-16 text of printable ASCII. Only
    // those strings' bytes change, in place and padded with spaces to their old length (a plain
    // string is always shorter), so no other byte moves and the file's cross-reference offsets
    // stay true: no copy of the file is written, whatever its size. A file whose document
    // information is not an object of its own in the file's body is left alone, and so is
    // anything that does not read as expected; the result check finds what is left. Throws
    // Failure, whose text is a reason phrase about the file starting with "it".
    static void makePlain(const QString& path, const QStringList& keys);

    // Whether a string's bytes are Unicode text after a byte order mark (UTF-16 or UTF-8) rather
    // than PDF's own encoding.
    static bool isUnicode(const std::string& bytes);
};
