#pragma once

#include "FolderWalker.h"

#include <QList>
#include <QString>

class ErrorTrap;
class FileList;

// Adding a folder's files to the first page's list: "Add All PDF File(s) In Folder", a dropped
// folder and a folder the program was opened with.
class FolderFiles {
public:
    // Appends the files matching pattern in folder and every folder beneath it, one folder's
    // files at a time. Failures are reported through the trap when there is one, and skipped
    // quietly otherwise. Gives the entries matching pattern that the walk passed over (a FIFO,
    // a device, a link to nothing, a name that is not UTF-8) with their reasons.
    static QList<FolderWalker::Found> addTree(FileList& list, const QString& folder,
                                              const QString& pattern, ErrorTrap* trap);

    // Tells the user which files found in a folder were not added and why; nothing when none.
    static void tellPassedOver(const QList<FolderWalker::Found>& passedOver);
};
