#include "Console.h"

#include "CommandLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

QTextStream& Console::out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Console::err() {
    static QTextStream stream(stderr);
    return stream;
}

void Console::message(const QString& text) {
    err() << program << ": " << text << '\n';
    err().flush();
}

int Console::usageError(const QString& text) {
    err() << program << ": " << text << "\nTry '" << program << " --help' for more information.\n";
    err().flush();
    return CommandLine::UsageError;
}

void Console::jsonLine(const QJsonObject& object) {
    out() << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
    out().flush();
}

QJsonValue Console::orNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

std::optional<QString> Console::readPassword() {
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::fputs("Password: ", stderr);
    }
    QByteArray line;
    bool any = false;
    for (int c; (c = std::getchar()) != EOF;) {
        any = true;
        if (c == '\n')
            break;
        line.append(char(c));
    }
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (line.endsWith('\r'))
        line.chop(1);
    if (!any)
        return std::nullopt;
    return QString::fromLocal8Bit(line);
}
