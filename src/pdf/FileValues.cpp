#include "FileValues.h"

#include "PdfSnapshot.h"
#include "XmpPacket.h"

#include <QDir>
#include <QFileInfo>
#include <qpdf/QPDF.hh>

FileValues FileValues::read(const QString& path, const std::optional<QString>& password) {
    FileValues values;
    std::optional<QByteArray> packet;
    // Only the values are read, so no search for other uses of them.
    const PdfSnapshot snapshot =
        PdfSnapshot::read(path, password, PdfSnapshot::Sharing::Ignore,
                          [&packet](QPDF& pdf) { packet = XmpPacket::of(pdf); });
    values.info = infoOf(snapshot);
    values.takeRights(packet);
    return values;
}

QMap<QString, QString> FileValues::infoOf(const PdfSnapshot& snapshot) {
    QMap<QString, QString> info;
    for (auto entry = snapshot.info().cbegin(); entry != snapshot.info().cend(); ++entry) {
        const bool name = !entry->isString && entry->text.startsWith(QLatin1Char('/'));
        info.insert(entry.key(), name ? entry->text.mid(1) : entry->text);
    }
    return info;
}

void FileValues::takeRights(const std::optional<QByteArray>& packet) {
    if (!packet)
        return;
    const QMap<QString, QString> xmp = XmpPacket::read(*packet);
    if (xmp.contains(XmpPacket::copyrightKey()))
        copyright = xmp.value(XmpPacket::copyrightKey());
    if (xmp.contains(XmpPacket::copyrightUrlKey()))
        copyrightUrl = xmp.value(XmpPacket::copyrightUrlKey());
}

FieldTemplate::FileFacts FileValues::factsFor(const QString& path,
                                              const QDateTime& modified) const {
    const QFileInfo file(path);
    // The last extension only, as the title from the file's name takes it.
    QString name = file.fileName();
    if (const qsizetype dot = name.lastIndexOf(QLatin1Char('.')); dot >= 0)
        name.truncate(dot);
    return {name, file.absoluteDir().dirName(), info, copyright, modified};
}
