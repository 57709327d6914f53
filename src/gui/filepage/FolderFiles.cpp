#include "FolderFiles.h"

#include "ErrorTrap.h"
#include "FileList.h"
#include "FolderWalker.h"
#include "PathHelpers.h"

void FolderFiles::addTree(FileList& list, const QString& folder, const QString& pattern,
                          ErrorTrap* trap) {
    // Without a trap (a drop) a failure skips what it concerns and nothing is shown.
    const auto step = [trap](int number, const std::function<void()>& statement) {
        if (trap)
            trap->step(number, statement);
        else
            ErrorTrap::shielded("drop", statement);
    };
    QStringList folders{folder + QLatin1Char('/')};
    FolderWalker::Listing listing;
    step(116, [&] { FolderWalker::AppendSubFolders(folders, true, &listing); });
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
    }
}
