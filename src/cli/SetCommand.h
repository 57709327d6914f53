#pragma once

#include "EditPlan.h"

#include <QList>
#include <QStringList>
#include <optional>

class QCommandLineParser;

// metascribe set: changes the fields of the given files and of the files in the given folders
// with the window's batch engine, every check included, and reports each file on the console.
class SetCommand {
public:
    // Runs set with the options the parser found and the files and folders given; the exit
    // status. undecodable holds the arguments, as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);

    // Runs the batch over the files and folders given, with the options of set other than the
    // fields (--out, --in-place, --ext, --password-stdin, --dry-run, --json): with plan, or,
    // for strip, stripping each file but for the fields in strip. perFile, when given, holds a
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
