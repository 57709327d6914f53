#include "SampleFiles.h"

#include "Dialogs.h"
#include "FileList.h"
#include "FolderWalker.h"
#include "PathHelpers.h"
#include "SettingsStore.h"

#include <QUrl>

namespace {
const QString snapshotKey = QStringLiteral("Snapshot");
}

QString SampleFiles::folder() {
    return PathHelpers::ProgramFolder() + QStringLiteral("/Samples");
}

QString SampleFiles::question() {
    return QStringLiteral("Would you like this software to open the folder where these sample "
                          "files are stored (so that you can view them before working with "
                          "them)?");
}

void SampleFiles::RecordSampleFiles() {
    QStringList paths;
    if (PathHelpers::IsFolder(folder())) {
        for (const QString& name : FolderWalker::GetFolderFiles(folder(), QStringLiteral("*.*")))
            paths << folder() + QLatin1Char('/') + name;
    }
    SettingsStore::save(snapshotKey, paths.join(QLatin1Char('|')));
}

void SampleFiles::AddSampleFiles(FileList& list) {
    // An absent setting names no file, like an empty one.
    const QString snapshot = SettingsStore::get(snapshotKey);
    for (const QString& path : snapshot.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (PathHelpers::PathExists(path) && !list.ContainsPath(path))
            list.AddPath(path);
    }
    if (Dialogs::current().message(question(), {}, Dialogs::Buttons::YesNo) == Dialogs::Answer::Yes)
        Dialogs::current().openExternally(QUrl::fromLocalFile(folder() + QLatin1Char('/')));
}
