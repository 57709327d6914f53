#pragma once

#include "CommandDescription.h"

#include <QList>
#include <QStringList>

class QCommandLineParser;

// metascribe undo: takes back the last run that kept its originals in the Trash (or the last
// undo), file by file, and reports each file on the console as set does.
class UndoCommand {
public:
    static QList<CommandDescription::Option> options();

    // Runs undo with the options the parser found; it takes no files, since it takes back a
    // run as a whole. The exit status: 0 when every file of the run got its original back.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);

private:
    static int takeBack(bool dryRun, bool json);
};
