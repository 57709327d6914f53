#include "ToolFailure.h"

#include <QRegularExpression>
#include <QStringList>
#include <utility>

namespace {

// The toolkit's report: the lines from the first "Error:" on, without the lines that only repeat
// the file's name; a line that ended in a colon before the name goes on with the line after it.
// Without an "Error:", every line but Java's stack trace.
QStringList reportOf(const QStringList& lines, const QString& inputPath) {
    bool anyError = false;
    for (const QString& raw : lines)
        anyError = anyError || raw.trimmed().startsWith(QLatin1String("Error:"));
    QStringList pieces;
    bool inError = !anyError;
    bool continues = false;
    for (const QString& raw : lines) {
        QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("Error:")))
            inError = true;
        if (!inError || line.isEmpty() || line == inputPath)
            continue;
        // The end of the toolkit's report, or the start of a Java stack trace.
        if (line.startsWith(QLatin1String("Errors encountered")) ||
            line.startsWith(QLatin1String("Done.")) || line.startsWith(QLatin1String("at ")))
            break;
        if (line.startsWith(QLatin1String("Error:")))
            line = line.mid(6).trimmed();
        if (continues && !pieces.isEmpty())
            pieces.last() += QLatin1Char(' ') + line;
        else
            pieces << line;
        continues = line.endsWith(QLatin1Char(':'));
    }
    for (QString& piece : pieces) {
        while (piece.endsWith(QLatin1Char(':')) || piece.endsWith(QLatin1Char('.')))
            piece.chop(1);
        piece = piece.trimmed();
    }
    pieces.removeAll(QString());
    return pieces;
}

// An exception while writing the output is the system refusing the write (a full disk, a quota,
// a folder gone): the system's own words for it, or nothing when the toolkit said no such thing.
std::optional<QString> refusedWrite(const QStringList& lines) {
    bool inOutput = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.contains(QLatin1String("create_output")))
            inOutput = true;
        static const QRegularExpression exception(
            QStringLiteral("^java\\.[\\w.]*(IOException|FileNotFoundException)[\\w]*: (.+)$"));
        const QRegularExpressionMatch match = exception.match(line);
        if (match.hasMatch() && (inOutput || line.contains(QLatin1String("No space left")))) {
            QString why = match.captured(2);
            if (why.startsWith(QLatin1Char('/')) || why.startsWith(QLatin1String("-")))
                why = QStringLiteral("the file could not be created");
            why[0] = why[0].toLower();
            return why;
        }
    }
    return std::nullopt;
}

} // namespace

ToolFailure::ToolFailure(Kind kind, QString systemWords, int exitCode, QString detail)
    : kind_(kind), systemWords_(std::move(systemWords)), exitCode_(exitCode),
      detail_(std::move(detail)) {}

std::optional<ToolFailure> ToolFailure::of(const ToolResult& result, const QString& inputPath,
                                           bool outputComplete) {
    if (result.succeeded() && outputComplete)
        return std::nullopt;
    const QString said = QString::fromUtf8(result.standardError);
    const QStringList lines = said.split(QLatin1Char('\n'));
    const QString detail = reportOf(lines, inputPath).join(QStringLiteral("; "));
    const auto failure = [&](Kind kind, QString systemWords = {}) {
        return ToolFailure(kind, std::move(systemWords), result.exitCode, detail);
    };
    switch (result.outcome) {
    case ToolResult::Outcome::NotStarted:
        return failure(Kind::NotStarted, result.startError);
    case ToolResult::Outcome::TimedOut:
        return failure(Kind::TimedOut);
    case ToolResult::Outcome::Crashed:
        return failure(Kind::Crashed);
    case ToolResult::Outcome::Interrupted:
        return failure(Kind::Interrupted);
    case ToolResult::Outcome::Finished:
        break;
    }
    if (std::optional<QString> why = refusedWrite(lines))
        return failure(Kind::WriteRefused, std::move(*why));
    // The toolkit's words and Java's stay in the detail: the kind says what they mean.
    if (said.contains(QLatin1String("PASSWORD REQUIRED")) ||
        said.contains(QLatin1String("BadPasswordException")))
        return failure(Kind::NeedsPassword);
    for (const char* words : {"Failed to open input", "Invalid PDF", "open_reader", "PdfReader"}) {
        if (said.contains(QLatin1String(words)))
            return failure(Kind::Unreadable);
    }
    return failure(result.exitCode != 0 ? Kind::ExitCode : Kind::Incomplete);
}

QString ToolFailure::reason() const {
    switch (kind_) {
    case Kind::NotStarted:
        return QStringLiteral("the toolkit could not be started: ") + systemWords_;
    case Kind::TimedOut:
        return QStringLiteral("timed out");
    case Kind::Crashed:
        return QStringLiteral("the toolkit stopped unexpectedly");
    case Kind::Interrupted:
        return QStringLiteral("stopped because the program was closed");
    case Kind::WriteRefused:
        return QStringLiteral("could not write the destination: ") + systemWords_;
    case Kind::NeedsPassword:
        return QStringLiteral("it is password-protected and the password was not given or is "
                              "wrong");
    case Kind::Unreadable:
        return QStringLiteral("the toolkit could not read it");
    case Kind::ExitCode:
        return QStringLiteral("the toolkit failed (exit code %1)").arg(exitCode_);
    case Kind::Incomplete:
        break;
    }
    return QStringLiteral("the toolkit's output is not a complete PDF file");
}
