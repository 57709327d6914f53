#pragma once

#include <QString>

// Exchange and temporary files named after the process that made them
// ("<prefix><pid>.<start>-XXXXXX<suffix>"), so that no two processes or runs ever share one, and
// so that what a killed process left behind can be told apart from a live run's files.
class TaggedFile {
public:
    // Creates a new, empty file of that form in folder, readable and writable by its owner only,
    // and gives its path; an empty text with errno set when it cannot be created.
    static QString create(const QString& folder, const QString& prefix, const QString& suffix);

    // Removes the files of that form in folder that belong to this user and to a process that
    // no longer runs; never a link, a folder or a file of another name. Gives how many went.
    static int removeLeftovers(const QString& folder, const QString& prefix, const QString& suffix);
};
