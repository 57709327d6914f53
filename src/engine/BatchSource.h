#pragma once

#include <QString>

// What the batch run reads from the first page, anew for every file: the list, where results
// go and whether to ask for passwords.
class BatchSource {
public:
    virtual ~BatchSource() = default;

    virtual int fileCount() const = 0;
    // Throws Failure for a position no longer in the list.
    virtual QString pathAt(int position) const = 0;
    virtual bool saveToFolder() const = 0;       // "Save results to this folder:"
    virtual bool saveBesideOriginal() const = 0; // "Save results in folder of original file"
    virtual QString resultFolder() const = 0;
    // Each result replaces its own input, whatever the input's name (the command line's
    // --in-place); the two options above are then not asked.
    virtual bool inPlace() const { return false; }
    virtual bool promptForPassword() const = 0;
    // Each file a result replaces is first kept in the Trash, so that the run can be taken back
    // ("Keep replaced originals in the Trash", the command line's --trash).
    virtual bool keepOriginalsInTrash() const { return false; }
};
