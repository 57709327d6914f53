#include "Console.h"

#include "CommandLine.h"
#include "Failure.h"

#include <QFileDevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
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

namespace {

// Why not all that was written to standard output arrived, after flushing it; nothing when all did.
std::optional<QString> outputFailure() {
    QTextStream& stream = Console::out();
    stream.flush();
    // A failed write leaves the stream failed for good; its file keeps the bytes it could not
    // pass on and tries them again here, which gives the system's reason.
    bool written = stream.status() == QTextStream::Ok;
    QString reason;
    auto* file = qobject_cast<QFileDevice*>(stream.device());
    if (file && !file->flush()) {
        written = false;
        reason = file->errorString();
    }
    // Output longer than the stream's buffer failed on an earlier write, whose bytes are gone:
    // the file still tells why.
    if (!written && reason.isEmpty() && file && file->error() != QFileDevice::NoError)
        reason = file->errorString();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        written = false;
        if (reason.isEmpty() && errno != 0)
            reason = Failure::systemText(errno);
    }
    if (written)
        return std::nullopt;
    if (reason.isEmpty())
        reason = QStringLiteral("part of it was lost");
    reason[0] = reason[0].toLower();
    return reason;
}

} // namespace

QIODevice& Console::outBytes() {
    out().flush();
    return *out().device();
}

bool Console::outputWritten() {
    return !outputFailure();
}

int Console::finished(int status) {
    const std::optional<QString> failure = outputFailure();
    if (!failure)
        return status;
    message(QStringLiteral("could not write the output: ") + *failure);
    return status == CommandLine::UsageError ? status : CommandLine::NotAllDone;
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
