#pragma once

#include <QString>

// What the list's owner chose for a run, as it stands when a file's turn comes: where results
// go and whether to ask for passwords. Read anew for each file, since the window's options stay
// editable while the run goes on.
struct RunChoices {
    bool saveToFolder = false;       // "Save results to this folder:"
    bool saveBesideOriginal = false; // "Save results in folder of original file"
    QString resultFolder;
    // Each result replaces its own input, whatever the input's name (the command line's
    // --in-place); the two options above then do not count.
    bool inPlace = false;
    bool promptForPassword = false;
    // Each file a result replaces is first kept in the Trash, so that the run can be taken back
    // ("Keep replaced originals in the Trash", the command line's --trash).
    bool keepOriginalsInTrash = false;

    // Where the result of input goes, base being its name cut as the chosen option cuts it;
    // empty when no option is chosen.
    QString destinationOf(const QString& input, const QString& base) const;
};
