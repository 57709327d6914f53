#include "RunMessages.h"

#include "Contact.h"

#include <QStringList>

QString RunMessages::passwordPrompt(const QString& inputPath) {
    return QStringLiteral("Enter password for file (") + inputPath +
           QStringLiteral("): \r\nNote: Leave this box blank if file is not password protected");
}

QString RunMessages::summary(const QList<BatchRun::Outcome>& outcomes, int total) {
    int failed = 0;
    for (const BatchRun::Outcome& outcome : outcomes) {
        if (!outcome.reason.isEmpty())
            ++failed;
    }
    QString text = QStringLiteral("Done.");
    if (failed > 0)
        text += QStringLiteral("\r\n%1 of %2 files were not changed.").arg(failed).arg(total);
    return text;
}

QString RunMessages::details(const QList<BatchRun::Outcome>& outcomes) {
    QStringList lines;
    for (const BatchRun::Outcome& outcome : outcomes) {
        if (!outcome.reason.isEmpty()) {
            lines << outcome.path + QStringLiteral(": not changed: ") + outcome.reason;
            // The toolkit's or the reader's own words, under the line that says what they mean.
            for (const QString& said : outcome.detail.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                lines << QStringLiteral("    ") + said;
        } else if (!outcome.note.isEmpty())
            lines << outcome.path + QStringLiteral(": changed, but ") + outcome.note;
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString RunMessages::copyFailureMessage(const QString& destination) {
    return QStringLiteral("Error #194635: Please make sure that destination file: \r\n") +
           destination + QStringLiteral("\r\nis not open.\r\n\r\nPlease email ") +
           QLatin1String(Contact::SupportEmail) +
           QStringLiteral(" with a screenshot of this message if you have any questions.");
}
