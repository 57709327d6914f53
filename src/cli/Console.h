#pragma once

#include <QJsonValue>
#include <QString>
#include <QTextStream>
#include <optional>

class QIODevice;
class QJsonObject;

// Where the command line talks to its user or script: results on standard output, messages on
// standard error, each after the program's name as command-line tools write them. One stream
// each for the whole program, so that what is written keeps its order.
class Console {
public:
    static inline const QString program = QStringLiteral("metascribe");

    static QTextStream& out();
    static QTextStream& err();
    // Standard output for bytes written as they are (a table), after the text written so far.
    static QIODevice& outBytes();

    // Flushes everything written to standard output; whether all of it arrived. A script that
    // reads a cut table or half a JSON line must not take it for the whole.
    static bool outputWritten();
    // The exit status of a command that ended with status: when its output did not all arrive,
    // that is told on standard error and the status says not all was done (a usage error stays
    // one).
    static int finished(int status);

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
