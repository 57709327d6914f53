#pragma once

#include "FieldTemplate.h"

#include <QMap>
#include <QString>
#include <optional>

class PdfSnapshot;

// What a file's values are where a person sees them: its document information's keys with their
// texts (a name such as Trapped's without its slash) and the copyright notice and its address of
// its XMP metadata. Read in one opening of the file, by the reader every other part uses.
struct FileValues {
    QMap<QString, QString> info;
    std::optional<QString> copyright;
    std::optional<QString> copyrightUrl;

    // Throws Failure, whose text is a reason phrase about the file starting with "it".
    static FileValues read(const QString& path, const std::optional<QString>& password);
    // The document information of a file already read, as above.
    static QMap<QString, QString> infoOf(const PdfSnapshot& snapshot);
    // The copyright notice and its address of the XMP packet, where it has them.
    void takeRights(const std::optional<QByteArray>& packet);
    // What the placeholders of a template find for the file at path, modified at modified.
    FieldTemplate::FileFacts factsFor(const QString& path, const QDateTime& modified) const;
};
