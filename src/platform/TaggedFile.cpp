#include "TaggedFile.h"

#include "ProcessTag.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString TaggedFile::create(const QString& folder, const QString& prefix, const QString& suffix) {
    QString start = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (!start.endsWith(QLatin1Char('/')))
        start += QLatin1Char('/');
    QByteArray pattern = QFile::encodeName(start + ProcessTag::leftoverName(prefix, suffix));
    const int fd = ::mkostemps(pattern.data(), int(QFile::encodeName(suffix).size()), O_CLOEXEC);
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(pattern);
}

int TaggedFile::removeLeftovers(const QString& folder, const QString& prefix,
                                const QString& suffix) {
    const QDir dir(folder);
    const QStringList names = dir.entryList({prefix + QLatin1Char('*') + suffix},
                                            QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : names) {
        const QString tag = ProcessTag::tagOf(name, prefix, suffix);
        if (tag.isEmpty() || ProcessTag::isLive(tag))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}
