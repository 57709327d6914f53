#pragma once

#include "FolderWalker.h"

#include <QList>
#include <QStringList>

// The files that the FILE-OR-FOLDER arguments of a command stand for. Every command that takes
// files and folders expands them here, so that each refuses the same names for the same
// reasons and takes a file once however often it is given.
class InputFiles {
public:
    // Folders by their tree (the files whose names match pattern), anything else as given: a
    // path that does not exist is the command's to report. A name whose bytes are not UTF-8
    // (undecodable holds such arguments as read), or a relative one while the current folder's
    // name is not UTF-8, is refused before anything opens it: as read, it names another file or
    // none. Paths are absolute and clean; an entry found twice is listed at its first place.
    static QList<FolderWalker::Found>
    expand(const QStringList& paths, const QStringList& undecodable, const QString& pattern);
};
