#pragma once

#include <QString>
#include <QStringList>

// Lists written out for people to read, as the program's messages name several things at once.
class TextLists {
public:
    // "a", "a and b", "a, b and c".
    static QString joined(const QStringList& items);
    // As joined(), with at most most items named and the rest counted: "a, b and 3 more".
    static QString joined(const QStringList& items, qsizetype most);
};
