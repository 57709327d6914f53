#pragma once

#include "CommandDescription.h"

#include <QList>
#include <QStringList>

class QCommandLineParser;

// metascribe show: prints each given file's eight fields, the other keys of its document
// information, the XMP metadata's values where they differ from them and its copyright notice
// and address, as text or as JSON lines; or, with --csv, writes the values of the given files
// and of the PDF files in the given folders as one table that set --csv reads back.
class ShowCommand {
public:
    static QList<CommandDescription::Option> options();

    // Runs show with the options the parser found and the files (and, for the table, folders)
    // given; the exit status. undecodable holds the arguments, as read, whose bytes are not
    // UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);

private:
    // Reads each file in turn and prints its values.
    static int print(bool json, const QStringList& paths, const QStringList& undecodable);
    // Writes the values as one table (ValueTable) to standard output; files that cannot be read
    // are named on standard error and have no row.
    static int runCsv(const QStringList& paths, const QStringList& undecodable);
};
