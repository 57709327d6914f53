#pragma once

#include <QString>

// Choosing a folder in a dialog that opens at a given folder.
class FolderPicker {
public:
    // The chosen folder: "/" for the root, any other folder without a trailing "/", and "" when
    // the user cancels.
    static QString BrowseForFolder(const QString& instruction, const QString& initialFolder);

    // The picker's answer in that form.
    static QString normalised(const QString& chosen);
};
