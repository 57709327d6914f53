#include "RenameCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "Failure.h"
#include "FieldTemplate.h"
#include "FileRenamer.h"
#include "FileValues.h"
#include "InputFiles.h"
#include "OriginalKeeper.h"
#include "RunJournal.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonObject>
#include <algorithm>
#include <variant>

namespace {

// Tells of one file as set tells of its files: failures on standard error, a dry run's plan on
// standard output, or a JSON line for each.
class Report {
public:
    Report(bool json, bool dryRun) : json_(json), dryRun_(dryRun) {}

    void operator()(const FileRenamer::Outcome& outcome) {
        const bool failed = !outcome.reason.isEmpty();
        failed_ += failed ? 1 : 0;
        if (failed)
            Console::message(outcome.path + QStringLiteral(": not renamed: ") + outcome.reason);
        if (json_) {
            const QString result = failed                ? QStringLiteral("failed")
                                   : outcome.unchanged() ? QStringLiteral("unchanged")
                                   : dryRun_             ? QStringLiteral("planned")
                                                         : QStringLiteral("changed");
            Console::jsonLine(
                {{QStringLiteral("path"), outcome.path},
                 {QStringLiteral("destination"),
                  outcome.destination.isEmpty() ? QJsonValue() : QJsonValue(outcome.destination)},
                 {QStringLiteral("outcome"), result},
                 {QStringLiteral("reason"), failed ? QJsonValue(outcome.reason) : QJsonValue()}});
        } else if (dryRun_ && !failed && !outcome.unchanged()) {
            Console::out() << outcome.path << " -> " << outcome.destination << '\n';
            Console::out().flush();
        }
    }
    int failed() const { return failed_; }

private:
    bool json_;
    bool dryRun_;
    int failed_ = 0;
};

} // namespace

QList<CommandDescription::Option> RenameCommand::options() {
    return CommandDescription::joined({CommandDescription::renameOptions()});
}

int RenameCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                       const QStringList& undecodable) {
    const QString option = QStringLiteral("--to: ");
    if (!parser.isSet(QStringLiteral("to")))
        return Console::usageError(
            QStringLiteral("rename: give the new name with --to TEMPLATE, such as --to "
                           "\"{Author} - {Title}\""));
    const std::variant<FieldTemplate, QString> parsed =
        FieldTemplate::parse(parser.value(QStringLiteral("to")));
    if (const QString* problem = std::get_if<QString>(&parsed))
        return Console::usageError(option + *problem);
    const FieldTemplate& to = std::get<FieldTemplate>(parsed);
    if (to.literalText().contains(QLatin1Char('/')))
        return Console::usageError(option + QStringLiteral("a name cannot hold a slash: each "
                                                           "file stays in its folder"));
    if (paths.isEmpty())
        return Console::usageError(QStringLiteral("rename: no files or folders given"));

    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    Report report(parser.isSet(QStringLiteral("json")), dryRun);
    const QList<FolderWalker::Found> entries =
        InputFiles::expand(paths, undecodable, QStringLiteral("*.pdf"));
    QStringList files;
    for (const FolderWalker::Found& entry : entries) {
        if (entry.refusal.isEmpty())
            files << entry.path;
        else
            report({entry.path, {}, entry.refusal, std::nullopt, {}});
    }
    // A template of the file's name, folder and time alone needs no reading of the file.
    const bool readsFile = std::ranges::any_of(
        to.placeholders(), [](const QString& name) { return !FieldTemplate::isFileKey(name); });
    const auto read = [readsFile](const QString& path) {
        const QFileInfo file(path);
        if (!file.isFile())
            throw Failure(file.exists() ? QStringLiteral("it is not a regular file")
                                        : QStringLiteral("no such file"));
        const FileValues values = readsFile ? FileValues::read(path, std::nullopt) : FileValues();
        return values.factsFor(path, file.lastModified());
    };
    QList<FileRenamer::Outcome> planned = FileRenamer::plan(files, to, read);
    if (dryRun) {
        std::ranges::for_each(planned, std::ref(report));
    } else {
        OriginalKeeper keeper{RunJournal(RunJournal::Kind::Rename)};
        FileRenamer::carryOut(planned, keeper, std::ref(report));
        keeper.finish();
    }
    if (entries.isEmpty()) {
        Console::message(QStringLiteral("no files ending in .pdf were found"));
        return CommandLine::NotAllDone;
    }
    return report.failed() == 0 ? CommandLine::AllDone : CommandLine::NotAllDone;
}
