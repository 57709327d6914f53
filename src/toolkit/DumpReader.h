#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Reads document-information values back from the toolkit's dump.
class DumpReader {
public:
    using Values = QList<QPair<QString, QString>>;

    // Every (key, value) found, in file order: a line containing "InfoKey: <key>" takes the next
    // line as its value, with "InfoValue:" removed, blanks trimmed and entities decoded. A key
    // line at the very end has no value. Throws Failure when the file cannot be read.
    static Values ReadInfoValues(const QString& dumpPath, const QStringList& keys);
    static Values parse(const QByteArray& dump, const QStringList& keys);

    // Decodes "&#233;", "&#xE9;" and the named entities the toolkit writes; anything else that
    // looks like an entity is kept as it stands.
    static QString decodeEntities(const QString& text);
};
