#include "TextLists.h"

QString TextLists::joined(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return items.first(items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}

QString TextLists::plain(const QString& text) {
    QString line = text;
    for (QChar& c : line) {
        const char16_t code = c.unicode();
        if (c.category() == QChar::Other_Control || (code >= 0x202A && code <= 0x202E) ||
            (code >= 0x2066 && code <= 0x2069))
            c = u' ';
    }
    return line.simplified();
}

QString TextLists::quoted(const QString& text, qsizetype longest) {
    QString shown = plain(text);
    if (shown.size() > longest) {
        shown.truncate(longest - 1);
        if (shown.back().isHighSurrogate())
            shown.chop(1);
        shown += u'\u2026';
    }
    return u'"' + shown + u'"';
}

QString TextLists::joined(const QStringList& items, qsizetype most) {
    if (items.size() <= most)
        return joined(items);
    return items.first(most).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(items.size() - most);
}
