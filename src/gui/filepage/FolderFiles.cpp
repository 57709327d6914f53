#include "FolderFiles.h"

#include "Dialogs.h"
#include "ErrorTrap.h"
#include "FileList.h"
#include "FolderWalker.h"
#include "PathHelpers.h"

QList<FolderWalker::Found> FolderFiles::addTree(FileList& list, const QString& folder,
                                                const QString& pattern, ErrorTrap* trap) {
    // Without a trap (a drop) a failure skips what it concerns and nothing is shown.
    const auto step = [trap](int number, const std::function<void()>& statement) {
        if (trap)
            trap->step(number, statement);
        else
            ErrorTrap::shielded("drop", statement);
    };
    QStringList folders{folder + QLatin1Char('/')};
    FolderWalker::Listing listing;
    FolderWalker::Refusals refusals;
    step(116, [&] { FolderWalker::AppendSubFolders(folders, true, &listing, &refusals); });
    QList<FolderWalker::Found> passedOver;
    for (const QString& entry : std::as_const(folders)) {
        const QString base = entry.chopped(1);
        QStringList names;
        step(122, [&] { names = FolderWalker::GetFolderFiles(base, pattern, &listing); });
        QStringList paths;
        for (const QString& name : std::as_const(names)) {
            step(132, [&] {
                if (FolderWalker::IsWanted(base, name))
                    paths << PathHelpers::CollapseSlashes(base + QLatin1Char('/') + name);
            });
        }
        step(132, [&] { list.AddPaths(paths); });
        // Never skipped in silence: a file the user sees in the folder and does not find in
        // the list is named with its reason (a sub-folder refused for its name too).
        for (const FolderWalker::Found& refused : FolderWalker::RefusedIn(refusals, entry, pattern))
            passedOver.append({base + QLatin1Char('/') + refused.path, refused.refusal});
    }
    return passedOver;
}

void FolderFiles::tellPassedOver(const QList<FolderWalker::Found>& passedOver) {
    if (passedOver.isEmpty())
        return;
    QStringList lines;
    for (const FolderWalker::Found& refused : passedOver)
        lines << refused.path + QStringLiteral(": ") + refused.refusal;
    Dialogs::current().message(
        QStringLiteral("These files cannot be changed and were not added:\r\n") +
        lines.join(QStringLiteral("\r\n")));
}
