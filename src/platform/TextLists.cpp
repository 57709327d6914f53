#include "TextLists.h"

QString TextLists::joined(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return items.first(items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           items.last();
}

QString TextLists::joined(const QStringList& items, qsizetype most) {
    if (items.size() <= most)
        return joined(items);
    return items.first(most).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(items.size() - most);
}
