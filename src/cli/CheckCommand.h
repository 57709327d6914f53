#pragma once

#include "CommandDescription.h"

#include <QList>
#include <QStringList>

class QCommandLineParser;

// metascribe check: reads the given files and the PDF files of the given folders, changing
// nothing, and lists what each holds that its readers trip over once it is published
// (PublishingCheck): one line per finding, one JSON object per file, or one table.
class CheckCommand {
public:
    static QList<CommandDescription::Option> options();

    // Runs check with the options the parser found and the files and folders given; the exit
    // status: 0 when nothing was found, 1 when something was. undecodable holds the arguments,
    // as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);
};
