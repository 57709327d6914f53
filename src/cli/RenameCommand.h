#pragma once

#include "CommandDescription.h"

#include <QList>
#include <QStringList>

class QCommandLineParser;

// metascribe rename: renames the given files, and the PDF files of the given folders, each in
// its own folder, to what a template makes of its fields. Only names change: no toolkit runs and
// no file's content is touched, and the run is journaled for undo.
class RenameCommand {
public:
    static QList<CommandDescription::Option> options();
    // Runs rename with the options the parser found and the files and folders given; the exit
    // status. undecodable holds the arguments, as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);
};
