#include "ShowCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FolderWalker.h"
#include "InputFiles.h"
#include "PdfSnapshot.h"
#include "ValueTable.h"
#include "XmpPacket.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonObject>

namespace {

// The start of a line of text: the label in a column of its own, as wide as a long one needs.
QString labelled(const QString& label) {
    return (label + QLatin1Char(':')).leftJustified(19) + QLatin1Char(' ');
}

} // namespace

QList<CommandDescription::Option> ShowCommand::options() {
    return CommandDescription::joined({CommandDescription::showOptions()});
}

int ShowCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                     const QStringList& undecodable) {
    if (parser.isSet(QStringLiteral("csv"))) {
        if (parser.isSet(QStringLiteral("json")))
            return Console::usageError(QStringLiteral("show takes --json or --csv, not both"));
        return runCsv(paths, undecodable);
    }
    return print(parser.isSet(QStringLiteral("json")), paths, undecodable);
}

int ShowCommand::print(bool json, const QStringList& paths, const QStringList& undecodable) {
    if (paths.isEmpty())
        return Console::usageError(QStringLiteral("show: no files given"));
    bool allRead = true;
    bool first = true;
    for (const QString& given : paths) {
        const QString path = QFileInfo(given).absoluteFilePath();
        QJsonObject line{{QStringLiteral("path"), path}};
        QString text = path + QLatin1Char('\n');
        try {
            // As read, the name would be another file's or none.
            if (undecodable.contains(given))
                throw Failure(FolderWalker::notUtf8Reason());
            if (QFileInfo(given).isDir())
                throw Failure(QStringLiteral("it is a folder"));
            if (!QFileInfo::exists(given))
                throw Failure(QStringLiteral("no such file"));
            // Only the values are shown, so no search for other uses of them.
            const PdfSnapshot snapshot =
                PdfSnapshot::read(path, std::nullopt, PdfSnapshot::Sharing::Ignore);
            QMap<QString, QString> xmp;
            if (const std::optional<QByteArray> packet = XmpPacket::readFromPdf(path, std::nullopt))
                xmp = XmpPacket::read(*packet);
            QJsonObject fields;
            QJsonObject differing;
            QString xmpText;
            for (InfoField field : EditPlan::fields) {
                const QString key = EditPlan::toolkitKey(field);
                const std::optional<QString> value = snapshot.infoValue(key);
                fields.insert(key, Console::orNull(value));
                text += (key + QLatin1Char(':')).leftJustified(20) + value.value_or(QString()) +
                        QLatin1Char('\n');
                if (xmp.contains(key) &&
                    !EditPlan::sameValue(field, value.value_or(QString()), xmp[key])) {
                    differing.insert(key, xmp[key]);
                    xmpText += (key + QStringLiteral(" (XMP):")).leftJustified(20) + xmp[key] +
                               QLatin1Char('\n');
                }
            }
            // Then every other key, in the reader's order (by name).
            for (auto other = snapshot.info().cbegin(); other != snapshot.info().cend(); ++other) {
                if (EditPlan::fieldOf(other.key()))
                    continue;
                const QString value = ValueTable::shownValue(*other);
                fields.insert(other.key(), value);
                text += labelled(other.key()) + value + QLatin1Char('\n');
            }
            line.insert(QStringLiteral("fields"), fields);
            line.insert(QStringLiteral("xmp"), differing);
            text += xmpText;
            // The catalog's settings, which set --lang and --display-title make.
            const std::optional<bool> shown = snapshot.displaysTitle();
            line.insert(QStringLiteral("lang"), Console::orNull(snapshot.language()));
            line.insert(QStringLiteral("displayDocTitle"),
                        shown ? QJsonValue(*shown) : QJsonValue());
            text += labelled(QStringLiteral("Lang")) + snapshot.language().value_or(QString()) +
                    QLatin1Char('\n');
            text +=
                labelled(QStringLiteral("DisplayDocTitle")) +
                (shown ? (*shown ? QStringLiteral("true") : QStringLiteral("false")) : QString()) +
                QLatin1Char('\n');
            const std::pair<QString, QString> rights[] = {
                {XmpPacket::copyrightKey(), QStringLiteral("copyright")},
                {XmpPacket::copyrightUrlKey(), QStringLiteral("copyrightUrl")}};
            for (const auto& [key, name] : rights) {
                const std::optional<QString> value =
                    xmp.contains(key) ? std::optional<QString>(xmp[key]) : std::nullopt;
                line.insert(name, Console::orNull(value));
                if (value)
                    text += labelled(key == XmpPacket::copyrightKey()
                                         ? QStringLiteral("Copyright (XMP)")
                                         : QStringLiteral("Copyright URL (XMP)")) +
                            *value + QLatin1Char('\n');
            }
        } catch (const Failure& failure) {
            allRead = false;
            line.insert(QStringLiteral("error"), failure.description());
            Console::message(path + QStringLiteral(": ") + failure.description());
            if (!json)
                continue;
        }
        if (json) {
            Console::jsonLine(line);
        } else {
            Console::out() << (first ? "" : "\n") << text;
            Console::out().flush();
            first = false;
        }
    }
    return allRead ? CommandLine::AllDone : CommandLine::NotAllDone;
}

int ShowCommand::runCsv(const QStringList& paths, const QStringList& undecodable) {
    if (paths.isEmpty())
        return Console::usageError(QStringLiteral("show: no files or folders given"));
    bool allRead = true;
    const auto failed = [&allRead](const QString& path, const QString& reason) {
        allRead = false;
        Console::message(path + QStringLiteral(": ") + reason);
    };
    QStringList files;
    for (const FolderWalker::Found& found :
         InputFiles::expand(paths, undecodable, QStringLiteral("*.pdf"))) {
        if (!found.refusal.isEmpty())
            failed(found.path, found.refusal);
        else if (!QFileInfo::exists(found.path))
            failed(found.path, QStringLiteral("no such file"));
        else
            files << found.path;
    }
    try {
        ValueTable::write(Console::outBytes(), files, failed);
    } catch (const Failure& failure) {
        // Standard output that refuses the table is told once, as any output is, when the
        // command ends.
        if (Console::outputWritten())
            Console::message(failure.description());
        return CommandLine::NotAllDone;
    }
    return allRead ? CommandLine::AllDone : CommandLine::NotAllDone;
}
