#pragma once

#include "CommandDescription.h"
#include "EditPlan.h"

#include <QList>
#include <QStringList>
#include <optional>

class QCommandLineParser;

// metascribe set: changes the document information (the eight fields, any other key) and the
// XMP copyright of the given files and of the files in the given folders, or of the files a table
// names (--csv) with that table's values, with the window's batch engine, every check included,
// and reports each file on the console. strip runs its batch here too.
class SetCommand {
public:
    // The options set takes: the fields, the other changes and those of the run.
    static QList<CommandDescription::Option> options();

    // Runs set with the options the parser found and the files and folders given; the exit
    // status. undecodable holds the arguments, as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);

    // Runs the batch over the files and folders given, with the options of the run
    // (CommandDescription::runOptions()): with plan, or, for strip, stripping each file but for
    // the fields in strip. perFile, when given, holds a
    // plan for each of the files in paths, in their order, that goes on top of plan.
    static int runBatch(const QCommandLineParser& parser, const QStringList& paths,
                        const QStringList& undecodable, const EditPlan& plan,
                        const std::optional<QList<InfoField>>& strip,
                        const QList<EditPlan>& perFile = {});

private:
    // set --csv: the files and their values from the table, with plan under every row.
    static int runTable(const QCommandLineParser& parser, const QStringList& paths,
                        const QStringList& undecodable, const EditPlan& plan);
};
