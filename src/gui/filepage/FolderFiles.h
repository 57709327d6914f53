#pragma once

#include <QString>

class ErrorTrap;
class FileList;

// Adding a folder's files to the first page's list: "Add All PDF File(s) In Folder", a dropped
// folder and a folder the program was opened with.
class FolderFiles {
public:
    // Appends the files matching pattern in folder and every folder beneath it, one folder's
    // files at a time. Failures are reported through the trap when there is one, and skipped
    // quietly otherwise.
    static void addTree(FileList& list, const QString& folder, const QString& pattern,
                        ErrorTrap* trap);
};
