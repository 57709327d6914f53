#include "FolderPicker.h"

#include "Dialogs.h"

QString FolderPicker::BrowseForFolder(const QString& instruction, const QString& initialFolder) {
    return normalised(Dialogs::current().pickFolder(instruction, initialFolder));
}

QString FolderPicker::normalised(const QString& chosen) {
    QString folder = chosen;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}
