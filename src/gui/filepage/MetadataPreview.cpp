#include "MetadataPreview.h"

#include "PathHelpers.h"

#include <QLocale>
#include <fcntl.h>
#include <sys/stat.h>

const QStringList MetadataPreview::dumpKeys{QStringLiteral("Creator"), QStringLiteral("Producer"),
                                            QStringLiteral("Title"),   QStringLiteral("Author"),
                                            QStringLiteral("Subject"), QStringLiteral("Keywords")};

namespace {

std::optional<QDateTime> fromStatx(const statx_timestamp& stamp) {
    return QDateTime::fromMSecsSinceEpoch(stamp.tv_sec * 1000LL + stamp.tv_nsec / 1000000);
}

std::optional<struct statx> statxOf(const QString& path, unsigned int mask) {
    struct statx info {};
    if (::statx(AT_FDCWD, PathHelpers::native(path).constData(), 0, mask, &info) != 0)
        return std::nullopt;
    return info;
}

QString shown(const QDateTime& time) {
    return QLocale::system().toString(time.toLocalTime(), QLocale::ShortFormat);
}

} // namespace

std::optional<QDateTime> MetadataPreview::birthTime(const QString& path) {
    const auto info = statxOf(path, STATX_BTIME);
    if (!info || !(info->stx_mask & STATX_BTIME))
        return std::nullopt;
    return fromStatx(info->stx_btime);
}

std::optional<QDateTime> MetadataPreview::modificationTime(const QString& path) {
    const auto info = statxOf(path, STATX_MTIME);
    if (!info || !(info->stx_mask & STATX_MTIME))
        return std::nullopt;
    return fromStatx(info->stx_mtime);
}

QStringList MetadataPreview::rows(const DumpReader::Values& values, const QString& path) {
    QStringList rows;
    for (const auto& [key, value] : values) {
        if (key != QLatin1String("Subject") && key != QLatin1String("Keywords"))
            rows << key + QStringLiteral(": ") + value;
    }
    if (const auto modified = modificationTime(path))
        rows << QStringLiteral("Modified Date: ") + shown(*modified);
    if (const auto created = birthTime(path))
        rows << QStringLiteral("Created Date: ") + shown(*created);
    for (const char* key : {"Subject", "Keywords"}) {
        for (const auto& [found, value] : values) {
            if (found == QLatin1String(key) && !value.isEmpty())
                rows << found + QStringLiteral(": ") + value;
        }
    }
    return rows;
}

QStringList MetadataPreview::xmpRows(const DumpReader::Values& values,
                                     const QMap<QString, QString>& xmp) {
    QStringList rows;
    for (const char* key : {"Title", "Author"}) {
        const auto found = xmp.constFind(QLatin1String(key));
        if (found == xmp.constEnd() || found->isEmpty())
            continue;
        bool same = false;
        for (const auto& [infoKey, value] : values)
            same = same || (infoKey == QLatin1String(key) && value == *found);
        if (!same)
            rows << QLatin1String(key) + QStringLiteral(" (XMP): ") + *found;
    }
    return rows;
}
