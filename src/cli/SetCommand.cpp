#include "SetCommand.h"

#include "BatchEngine.h"
#include "CommandDescription.h"
#include "CommandLine.h"
#include "Console.h"
#include "ConsoleHost.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FixedList.h"
#include "FolderWalker.h"
#include "InputFiles.h"
#include "PdfDate.h"
#include "TerminationSignals.h"
#include "Toolkit.h"
#include "ToolkitHost.h"
#include "ValueTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <variant>

namespace {

// The plan the field options, --info, --remove and the copyright options make; or why they
// make none, as a usage error's text. A key may be named once only, by whichever option.
std::variant<EditPlan, QString> planOf(const QCommandLineParser& parser) {
    EditPlan plan;
    QSet<QString> named;
    // Sets key (the field's key for the eight) and tells why that cannot be.
    const auto set = [&](const QString& option, const QString& key,
                         const QString& text) -> QString {
        if (named.contains(key))
            return option + QStringLiteral(": ") + key +
                   QStringLiteral(" is changed by another option too");
        named.insert(key);
        plan.setKey(key, text);
        const std::optional<InfoField> field = EditPlan::fieldOf(key);
        if (field && EditPlan::isDate(*field) && plan.firstBadDate() == field)
            return option + QStringLiteral(": \"") + text +
                   QStringLiteral("\" is not a date; write it like ") + PdfDate::acceptedForms();
        return {};
    };
    for (const CommandDescription::Option& option : CommandDescription::fieldOptions()) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        if (const QString problem = set(QStringLiteral("--") + name,
                                        EditPlan::toolkitKey(option.field), parser.value(name));
            !problem.isEmpty())
            return problem;
    }
    for (const QString& given : parser.values(QStringLiteral("info"))) {
        const QString option = QStringLiteral("--info");
        const qsizetype equals = given.indexOf(QLatin1Char('='));
        if (equals < 0)
            return option + QStringLiteral(": \"") + given + QStringLiteral("\" is not KEY=VALUE");
        const QString key = given.left(equals);
        const QString text = given.mid(equals + 1);
        if (const QString problem = EditPlan::keyProblem(key, text); !problem.isEmpty())
            return option + QStringLiteral(": ") + problem;
        if (const QString problem = set(option, key, text); !problem.isEmpty())
            return problem;
    }
    if (parser.isSet(QStringLiteral("lang"))) {
        const QString tag = parser.value(QStringLiteral("lang"));
        if (!EditPlan::isLanguageTag(tag))
            return QStringLiteral("--lang: \"") + tag +
                   QStringLiteral("\" is not a language tag; write it like de, en-GB or pt-BR");
        plan.setLanguage(tag);
    }
    if (parser.isSet(QStringLiteral("display-title")))
        plan.showTitleInTitleBar();
    for (const QString& given : parser.values(QStringLiteral("remove"))) {
        // The document's language is no key of the document information ("/lang" is one).
        if (given.compare(QStringLiteral("lang"), Qt::CaseInsensitive) == 0) {
            if (plan.language())
                return QStringLiteral("--remove: the language is changed by another option too");
            plan.setLanguage(QString());
            continue;
        }
        // A field by its key or its option's name, any other key as a file spells it, in any
        // case; "/key" only the key spelled exactly so.
        const EditPlan::KeyName name = EditPlan::keyNamed(given);
        const QString& key = name.key;
        const QString option = QStringLiteral("--remove");
        if (const QString problem = EditPlan::keyProblem(key, std::nullopt); !problem.isEmpty())
            return option + QStringLiteral(": ") + problem;
        // A key named in any case may be any key of those letters another option changes.
        if (named.contains(key) ||
            (!name.exact && std::ranges::any_of(named, [&](const QString& other) {
                return EditPlan::anyCase(other) == EditPlan::anyCase(key);
            })))
            return option + QStringLiteral(": ") + key +
                   QStringLiteral(" is changed by another option too");
        named.insert(key);
        plan.removeKey(name);
    }
    if (parser.isSet(QStringLiteral("title-from-filename"))) {
        if (named.contains(EditPlan::toolkitKey(InfoField::Title)))
            return QStringLiteral("--title-from-filename: the title is changed by another option "
                                  "too");
        plan.titleFromFileName();
    }
    if (parser.isSet(QStringLiteral("copyright")))
        plan.setCopyright(parser.value(QStringLiteral("copyright")));
    if (parser.isSet(QStringLiteral("copyright-url")))
        plan.setCopyrightUrl(parser.value(QStringLiteral("copyright-url")));
    return plan;
}

// Changes the files of source, each reported by host; true when every file was reached and
// changed (or, in a dry run, would be).
bool changeFiles(FixedList& source, ConsoleHost& host, const BatchEngine::Settings& settings,
                 const QString& toolkit) {
    BatchEngine engine(source, host, settings);
    TerminationSignals::install([&engine] {
        engine.stop();
        QCoreApplication::exit(CommandLine::NotAllDone);
    });
    const int count = source.fileCount();
    engine.run(count, toolkit);
    // The engine is about to go; a signal from now on only ends the program.
    TerminationSignals::install([] { QCoreApplication::exit(CommandLine::NotAllDone); });
    host.reportRefused(true);
    host.clearProgress();
    const int notReached = count - host.reached();
    if (notReached > 0)
        Console::message(QStringLiteral("stopped; %1 files were not reached").arg(notReached));
    return host.failed() == 0 && notReached == 0;
}

} // namespace

QList<CommandDescription::Option> SetCommand::options() {
    return CommandDescription::joined({CommandDescription::fieldOptions(),
                                       CommandDescription::setOptions(),
                                       CommandDescription::runOptions()});
}

int SetCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                    const QStringList& undecodable) {
    const std::variant<EditPlan, QString> planned = planOf(parser);
    if (const QString* problem = std::get_if<QString>(&planned))
        return Console::usageError(*problem);
    const EditPlan plan = std::get<EditPlan>(planned);
    if (parser.isSet(QStringLiteral("csv")))
        return runTable(parser, paths, undecodable, plan);
    if (plan == EditPlan())
        return Console::usageError(
            QStringLiteral("nothing to change: give at least one field, such as "
                           "--title TEXT"));
    return runBatch(parser, paths, undecodable, plan, std::nullopt);
}

int SetCommand::runTable(const QCommandLineParser& parser, const QStringList& paths,
                         const QStringList& undecodable, const EditPlan& plan) {
    const QString option = QStringLiteral("--csv: ");
    const QString table = parser.value(QStringLiteral("csv"));
    if (!paths.isEmpty())
        return Console::usageError(option + QStringLiteral("the table names the files; give no "
                                                           "FILE-OR-FOLDER beside it"));
    if (undecodable.contains(table))
        return Console::usageError(option + FolderWalker::notUtf8Reason());
    // The whole table is checked, every file found, before the first file is touched.
    QList<ValueTable::Row> rows;
    try {
        rows = ValueTable::read(table);
    } catch (const Failure& failure) {
        return Console::usageError(option + table + QStringLiteral(": ") + failure.description());
    }
    if (rows.isEmpty())
        return Console::usageError(option + table + QStringLiteral(": the table lists no files"));
    if (plan == EditPlan() && std::ranges::all_of(rows, [](const ValueTable::Row& row) {
            return row.plan == EditPlan();
        }))
        return Console::usageError(option + table +
                                   QStringLiteral(": nothing to change: every cell is empty"));
    QStringList files;
    QList<EditPlan> plans;
    files.reserve(rows.size());
    plans.reserve(rows.size());
    for (ValueTable::Row& row : rows) {
        files << std::move(row.path);
        plans << std::move(row.plan);
    }
    rows.clear();
    return runBatch(parser, files, {}, plan, std::nullopt, plans);
}

int SetCommand::runBatch(const QCommandLineParser& parser, const QStringList& paths,
                         const QStringList& undecodable, const EditPlan& plan,
                         const std::optional<QList<InfoField>>& strip,
                         const QList<EditPlan>& perFile) {
    const bool inPlace = parser.isSet(QStringLiteral("in-place"));
    const bool toFolder = parser.isSet(QStringLiteral("out"));
    if (inPlace == toFolder)
        return Console::usageError(QStringLiteral("give exactly one of --out DIR and --in-place"));
    QString outFolder;
    if (toFolder) {
        if (undecodable.contains(parser.value(QStringLiteral("out"))))
            return Console::usageError(QStringLiteral("--out: ") + FolderWalker::notUtf8Reason());
        const QFileInfo folder(parser.value(QStringLiteral("out")));
        if (!folder.isDir())
            return Console::usageError(QStringLiteral("--out: no such folder: ") +
                                       parser.value(QStringLiteral("out")));
        outFolder = QDir::cleanPath(folder.absoluteFilePath());
    }
    QString extension = parser.isSet(QStringLiteral("ext")) ? parser.value(QStringLiteral("ext"))
                                                            : QStringLiteral("pdf");
    if (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    if (extension.isEmpty() || extension.contains(QRegularExpression(QStringLiteral("[/*?]"))))
        return Console::usageError(QStringLiteral("--ext: not an extension: ") +
                                   parser.value(QStringLiteral("ext")));
    if (paths.isEmpty())
        return Console::usageError((strip ? QStringLiteral("strip") : QStringLiteral("set")) +
                                   QStringLiteral(": no files or folders given"));

    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    const QString toolkit = Toolkit::path();
    if (toolkit.isEmpty() && !dryRun && !strip) {
        Console::message(QStringLiteral(
            "no file was changed: the PDF toolkit \"pdftk\" was not found, neither beside this "
            "program nor on the search path. Debian's pdftk-java package provides it."));
        return CommandLine::NotAllDone;
    }
    BatchEngine::Settings settings;
    settings.dryRun = dryRun;
    settings.makeInputsWritable = false;
    settings.strip = strip;
    // Java starts while the files are found and the first is read; warming it up with samples
    // would only delay the first file here.
    if (!dryRun && !strip)
        ToolkitHost::instance().prepare(ToolkitHost::WarmUp::None);
    if (parser.isSet(QStringLiteral("password-stdin"))) {
        const std::optional<QString> password = Console::readPassword();
        if (!password)
            return Console::usageError(
                QStringLiteral("--password-stdin: standard input gave no line"));
        if (!password->isEmpty())
            settings.password = password;
    }

    const QList<FolderWalker::Found> entries =
        InputFiles::expand(paths, undecodable, QStringLiteral("*.") + extension);
    QStringList files;
    for (const FolderWalker::Found& entry : entries) {
        if (entry.refusal.isEmpty())
            files << entry.path;
    }
    // A table's files are listed once each and none is a folder, so each keeps its place.
    Q_ASSERT(perFile.isEmpty() || perFile.size() == files.size());
    FixedList source(files, outFolder, parser.isSet(QStringLiteral("trash")), plan, perFile);
    ConsoleHost host(parser.isSet(QStringLiteral("json")), dryRun, strip.has_value(), entries);
    const bool allDone = changeFiles(source, host, settings, toolkit);
    if (entries.isEmpty()) {
        Console::message(QStringLiteral("no files ending in .") + extension +
                         QStringLiteral(" were found"));
        // Nothing was changed: a script must not take the run for done.
        return CommandLine::NotAllDone;
    }
    return allDone ? CommandLine::AllDone : CommandLine::NotAllDone;
}
