#include "InputFiles.h"

#include "PathHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <unistd.h>

namespace {

// Whether relative paths can be made absolute: the current folder's name may not be UTF-8 either.
bool currentFolderReadable() {
    const QByteArray current = PathHelpers::native(QDir::currentPath());
    char bytes[FolderWalker::PathLimit + 1];
    return ::getcwd(bytes, sizeof bytes) == nullptr || current == bytes;
}

} // namespace

QList<FolderWalker::Found> InputFiles::expand(const QStringList& paths,
                                              const QStringList& undecodable,
                                              const QString& pattern) {
    QList<FolderWalker::Found> found;
    const bool relativeReadable = currentFolderReadable();
    for (const QString& given : paths) {
        const QFileInfo info(given);
        QString path = QDir::cleanPath(info.absoluteFilePath());
        if (undecodable.contains(given))
            found.append({path, FolderWalker::notUtf8Reason()});
        else if (info.isRelative() && !relativeReadable)
            found.append({path, QStringLiteral("the current folder's name is not valid UTF-8")});
        else if (info.isDir())
            found << FolderWalker::FilesInTree(path == QStringLiteral("/") ? QString() : path,
                                               pattern);
        else
            found.append({path, {}});
    }
    QList<FolderWalker::Found> once;
    QSet<QString> seen;
    for (const FolderWalker::Found& item : std::as_const(found)) {
        const qsizetype before = seen.size();
        seen.insert(item.path + QChar(0) + item.refusal);
        if (seen.size() > before)
            once << item;
    }
    return once;
}
