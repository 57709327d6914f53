#pragma once

#include <QJsonValue>
#include <QString>
#include <QTextStream>
#include <optional>

class QJsonObject;

// Where the command line talks to its user or script: results on standard output, messages on
// standard error, each after the program's name as command-line tools write them. One stream
// each for the whole program, so that what is written keeps its order.
class Console {
public:
    static inline const QString program = QStringLiteral("metascribe");

    static QTextStream& out();
    static QTextStream& err();

    // "metascribe: message" on standard error.
    static void message(const QString& text);
    // The message with the hint to --help; the usage error status.
    static int usageError(const QString& text);

    // One JSON object on a line of its own on standard output, compact, so that a script can
    // read the results line by line as they come.
    static void jsonLine(const QJsonObject& object);
    // The text, or JSON's null when there is none.
    static QJsonValue orNull(const std::optional<QString>& text);

    // One line from standard input, without echo when it is a terminal; nothing when standard
    // input ended before giving any.
    static std::optional<QString> readPassword();
};
