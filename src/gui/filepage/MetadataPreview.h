#pragma once

#include "DumpReader.h"

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The rows that show how a file's document information looks before anything is changed.
class MetadataPreview {
public:
    // The keys read from the toolkit's dump.
    static const QStringList dumpKeys;

    // "Creator: ", "Producer: ", "Title: " and "Author: " rows in the dump's order, then the
    // file's modification and creation times and its Subject and Keywords; empty values and
    // what the file system does not tell give no row.
    static QStringList rows(const DumpReader::Values& values, const QString& path);

    // What viewers that prefer the XMP metadata show instead: a "Title (XMP): " and an
    // "Author (XMP): " row where the file's XMP value differs from its document information.
    static QStringList xmpRows(const DumpReader::Values& values, const QMap<QString, QString>& xmp);

    // When the file was created, where the file system records it.
    static std::optional<QDateTime> birthTime(const QString& path);
    static std::optional<QDateTime> modificationTime(const QString& path);
};
