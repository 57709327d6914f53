#pragma once

#include "ToolResult.h"

#include <QProcessEnvironment>
#include <QString>

// Starts a Java toolkit process faster by sharing its loaded classes from an archive kept per
// user in the cache folder (about 40 % off each start). The archive is written once, by a run
// that ends well, under a temporary name that is renamed into place, so a half-written archive
// is never used.
class JavaStartup {
public:
    // For one run of the toolkit launcher: the Java options to add, and, when the archive does
    // not exist yet, where this run writes it.
    struct Plan {
        QString options;
        QString archive;
        QString pendingArchive;
    };
    static Plan plan(const QString& toolkit);
    static void apply(const Plan& plan, QProcessEnvironment& environment);
    // Keeps a newly written archive, drops one that made Java fail, and removes Java's note
    // about the options from what the run wrote to standard error.
    static void finish(const Plan& plan, ToolResult& result);

    static QString archiveFolder();
};
