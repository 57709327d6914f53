#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What a PDF file about to be published holds that its readers trip over: no title or one a
// program made, metadata that says two things, impossible dates, no language for a screen
// reader, a title bar that shows the file's name, and old values an incremental update left
// readable. Read with our own reader alone, without writing anything: the file is opened for
// reading only and nothing is created beside it. May run on any thread, several at once.
class PublishingCheck {
public:
    // One thing found: its kind, by a name scripts rely on ("no-title"), and what was found, for
    // a person to read.
    struct Finding {
        QString kind;
        QString detail;

        bool operator==(const Finding&) const = default;
    };

    // Every kind, in the order a file's findings are listed.
    static const QStringList& kinds();

    // The findings of the file at path, in the order of kinds(); none for a file fit to go out.
    // A date after now is in the future. A file that cannot be read has one finding,
    // "unreadable", whose detail is the reason, as a run that changes files gives it.
    static QList<Finding> of(const QString& path, const QDateTime& now);

    // Whether a title was made by a program rather than a person: an office program's name and
    // " - " before it, a file's extension at its end, or a placeholder such as "Untitled-3".
    static bool isMadeByProgram(const QString& title);
};
