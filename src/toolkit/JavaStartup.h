#pragma once

#include "ToolResult.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Starts Java for the toolkit faster, a process of its own or the resident host, by sharing its
// loaded classes from an archive kept per user in the cache folder (about 40 % off each start). The
// archive is written once, by a run that ends well, under a temporary name that is renamed into
// place, so a half-written archive is never used.
class JavaStartup {
public:
    // For one run of the toolkit launcher: the Java options to add, and, when the archive does
    // not exist yet, where this run writes it.
    struct Plan {
        // The options, as words of Java's command line and as one line for its environment.
        QStringList arguments;
        QString options;
        QString archive;
        QString pendingArchive;
    };
    static Plan plan(const QString& toolkit);
    // The same for the toolkit's resident host, whose Java loads these jars.
    static Plan hostPlan(const QStringList& classPath);
    static void apply(const Plan& plan, QProcessEnvironment& environment);
    // Keeps a newly written archive, drops one that made Java fail, and removes Java's note
    // about the options from what the run wrote to standard error.
    static void finish(const Plan& plan, ToolResult& result);
    // Puts the archive a Java has written into place if it ended well, else throws it away.
    static void keep(const Plan& plan, bool endedWell);
    // Removes the archive a Java could not start with; whether the plan started from one that
    // is gone now.
    static bool drop(const Plan& plan);

    static QString archiveFolder();
};
