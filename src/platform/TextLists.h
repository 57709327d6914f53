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
    // A text from a file as a message can show it: on one line, and without the marks that
    // change the direction of what follows, so that it cannot turn the rest of the message
    // around.
    static QString plain(const QString& text);
    // plain(text) in double quotes, cut with an ellipsis after longest characters, so that a
    // message stays readable whatever a file holds.
    static QString quoted(const QString& text, qsizetype longest = 80);
};
