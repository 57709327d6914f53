#include "BatchRun.h"

#include "PathHelpers.h"

#include <QRegularExpression>

using namespace std::chrono_literals;

std::optional<QString> BatchRun::destination(const QString& inputPath, const QString& base,
                                             bool saveToFolder, bool saveBesideOriginal,
                                             const QString& resultFolder) {
    QString folder;
    if (saveToFolder)
        folder = resultFolder;
    else if (saveBesideOriginal)
        folder = PathHelpers::FolderOf(inputPath);
    else
        return std::nullopt;
    return PathHelpers::CollapseSlashes(folder + QLatin1Char('/') + base + QStringLiteral(".pdf"));
}

std::chrono::milliseconds BatchRun::timeLimit(qint64 fileSize) {
    return 60s + std::chrono::seconds(fileSize / (1024 * 1024));
}

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

} // namespace

QString BatchRun::toolkitReason(const ToolResult& result) {
    switch (result.outcome) {
    case ToolResult::Outcome::NotStarted:
        return QStringLiteral("the toolkit could not be started: ") + result.startError;
    case ToolResult::Outcome::TimedOut:
        return QStringLiteral("timed out");
    case ToolResult::Outcome::Crashed:
        return QStringLiteral("the toolkit stopped unexpectedly");
    case ToolResult::Outcome::Interrupted:
        return QStringLiteral("stopped because the program was closed");
    case ToolResult::Outcome::Finished:
        break;
    }
    const QString said = QString::fromUtf8(result.standardError);
    const QStringList lines = said.split(QLatin1Char('\n'));

    // An exception while writing the output is the system refusing the write (a full disk, a
    // quota, a folder gone): the reason names the write and the system's own words.
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
            return QStringLiteral("could not write the destination: ") + why;
        }
    }

    // The toolkit's words and Java's stay in the detail: the reason says what they mean.
    if (said.contains(QLatin1String("PASSWORD REQUIRED")) ||
        said.contains(QLatin1String("BadPasswordException")))
        return QStringLiteral("it is password-protected and the password was not given or is "
                              "wrong");
    for (const char* words : {"Failed to open input", "Invalid PDF", "open_reader", "PdfReader"}) {
        if (said.contains(QLatin1String(words)))
            return QStringLiteral("the toolkit could not read it");
    }
    if (result.exitCode != 0)
        return QStringLiteral("the toolkit failed (exit code %1)").arg(result.exitCode);
    return QStringLiteral("the toolkit's output is not a complete PDF file");
}

QString BatchRun::toolkitDetail(const ToolResult& result, const QString& inputPath) {
    return reportOf(QString::fromUtf8(result.standardError).split(QLatin1Char('\n')), inputPath)
        .join(QStringLiteral("; "));
}
