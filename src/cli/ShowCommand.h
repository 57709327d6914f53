#pragma once

#include <QStringList>

// metascribe show: prints the eight fields of each given file, and the XMP metadata's values
// where they differ from them, as text or as JSON lines.
class ShowCommand {
public:
    // Reads each file in turn; the exit status. undecodable holds the arguments, as read, whose
    // bytes are not UTF-8.
    static int run(bool json, const QStringList& paths, const QStringList& undecodable);
    // Writes the values of the given files and of the PDF files in the given folders as one
    // table (ValueTable) to standard output; files that cannot be read are named on standard
    // error and have no row.
    static int runCsv(const QStringList& paths, const QStringList& undecodable);
};
