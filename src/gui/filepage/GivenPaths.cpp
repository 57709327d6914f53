#include "GivenPaths.h"

#include "Dialogs.h"
#include "FileList.h"
#include "FolderFiles.h"
#include "PathHelpers.h"

#include <QFileInfo>
#include <QUrl>

namespace {

// A folder given with a slash at its end is named without it, as the walk names folders.
QString withoutEndSlash(QString path) {
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

bool GivenPaths::holdLocalFile(const QList<QUrl>& urls) {
    bool local = false;
    for (const QUrl& url : urls)
        local = local || url.isLocalFile();
    return local;
}

bool GivenPaths::drop(FileList& list, const QList<QUrl>& urls) {
    bool any = false;
    QList<FolderWalker::Found> passedOver;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        any = true;
        const QString path = withoutEndSlash(url.toLocalFile());
        if (PathHelpers::IsFolder(path))
            passedOver << FolderFiles::addTree(list, path, QStringLiteral("*.*"), nullptr);
        else
            list.AddPath(path);
    }
    FolderFiles::tellPassedOver(passedOver);
    return any;
}

GivenPaths::Left GivenPaths::open(FileList& list, const QStringList& paths,
                                  const QStringList& undecodable) {
    Left left;
    for (const QString& given : undecodable)
        left.passedOver.append({given, FolderWalker::notUtf8Reason()});
    for (const QString& given : paths) {
        if (undecodable.contains(given))
            continue;
        const QFileInfo info(given);
        const QString path = withoutEndSlash(info.absoluteFilePath());
        if (info.isDir())
            left.passedOver << FolderFiles::addTree(list, path, QStringLiteral("*.pdf"), nullptr);
        else if (info.exists())
            list.AddPath(path);
        else
            left.missing << given;
    }
    return left;
}

void GivenPaths::tell(const Left& left) {
    if (!left.missing.isEmpty())
        Dialogs::current().message(QStringLiteral("These files were not found:\r\n") +
                                   left.missing.join(QStringLiteral("\r\n")));
    FolderFiles::tellPassedOver(left.passedOver);
}
