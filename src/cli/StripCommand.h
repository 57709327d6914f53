#pragma once

#include "CommandDescription.h"

#include <QList>
#include <QStringList>

class QCommandLineParser;

// metascribe strip: makes copies of the given files, and of the files in the given folders, fit
// to be sent out: without document information, XMP metadata, private application data, page
// thumbnails and earlier revisions, but for the fields named with --keep. It runs the batch
// engine as set does, with its checks and its one rename, and reports as set does.
class StripCommand {
public:
    // The options strip takes: those of the run, and its own.
    static QList<CommandDescription::Option> options();
    // What to tell a user who gave strip an option it does not take: a field's option would set
    // what strip removes, so the way to keep the field is named.
    static QString adviceFor(const QString& option);

    // Runs strip with the options the parser found and the files and folders given; the exit
    // status. undecodable holds the arguments, as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);
};
