#include "SetCommand.h"

#include "BatchEngine.h"
#include "CommandDescription.h"
#include "CommandLine.h"
#include "Console.h"
#include "ConsoleHost.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FieldTemplate.h"
#include "FilePlan.h"
#include "FileValues.h"
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

// The one password of --password-stdin, read from standard input once, whoever asks first;
// nothing for none. Throws Failure when standard input gives no line.
std::optional<QString> password(const QCommandLineParser& parser) {
    static std::optional<std::optional<QString>> read;
    if (!parser.isSet(QStringLiteral("password-stdin")))
        return std::nullopt;
    if (!read) {
        const std::optional<QString> line = Console::readPassword();
        if (!line)
            throw Failure(QStringLiteral("--password-stdin: standard input gave no line"));
        read = line->isEmpty() ? std::optional<QString>() : line;
    }
    return *read;
}

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
    // Whether a key named as --remove names it is changed by an option already.
    const auto claim = [&named](const EditPlan::KeyName& name) {
        const bool taken = named.contains(name.key) ||
                           (!name.exact && std::ranges::any_of(named, [&](const QString& other) {
                               return EditPlan::anyCase(other) == EditPlan::anyCase(name.key);
                           }));
        named.insert(name.key);
        return !taken;
    };
    for (const QString& given : parser.values(QStringLiteral("template"))) {
        const QString option = QStringLiteral("--template: ");
        const qsizetype equals = given.indexOf(QLatin1Char('='));
        if (equals < 0)
            return option + QStringLiteral("\"") + given +
                   QStringLiteral("\" is not FIELD=TEMPLATE");
        const EditPlan::KeyName name = EditPlan::keyNamed(given.left(equals));
        // The key alone: the text each file gets is checked for that file.
        if (const QString problem = EditPlan::keyProblem(
                name.key, name.key == EditPlan::trappedKey() ? QStringLiteral("True") : QString());
            !problem.isEmpty())
            return option + problem;
        if (!claim(name))
            return option + name.key + QStringLiteral(" is changed by another option too");
        const std::variant<FieldTemplate, QString> parsed =
            FieldTemplate::parse(given.mid(equals + 1));
        if (const QString* problem = std::get_if<QString>(&parsed))
            return option + *problem;
        plan.setTemplate(name, std::get<FieldTemplate>(parsed));
    }
    if (parser.isSet(QStringLiteral("name-pattern"))) {
        const QString option = QStringLiteral("--name-pattern: ");
        const std::variant<FieldTemplate, QString> parsed =
            FieldTemplate::parse(parser.value(QStringLiteral("name-pattern")));
        if (const QString* problem = std::get_if<QString>(&parsed))
            return option + *problem;
        const FieldTemplate& pattern = std::get<FieldTemplate>(parsed);
        if (!pattern.hasPlaceholders())
            return option + QStringLiteral("the pattern takes nothing: give a key in braces, "
                                           "such as {Title}");
        for (const QString& placeholder : pattern.placeholders()) {
            if (FieldTemplate::isFileKey(placeholder))
                return option + QLatin1Char('{') + placeholder +
                       QStringLiteral("} cannot be taken out of a name; give a key, such as "
                                      "{Title}");
            const EditPlan::KeyName name = placeholder == FieldTemplate::copyrightKey()
                                               ? EditPlan::KeyName{placeholder, true}
                                               : EditPlan::keyNamed(placeholder);
            if (const QString problem = EditPlan::keyProblem(name.key, QString());
                !problem.isEmpty() && name.key != EditPlan::trappedKey())
                return option + problem;
            if (!claim(name))
                return option + name.key + QStringLiteral(" is changed by another option too");
        }
        if (pattern.usesCopyright() && plan.copyright())
            return option + QStringLiteral("the copyright is changed by another option too");
        plan.takeFromName(pattern);
    }
    if (parser.isSet(QStringLiteral("only-empty")))
        plan.fillOnlyEmpty();
    std::optional<QStringList> fields;
    if (parser.isSet(QStringLiteral("fields"))) {
        if (!parser.isSet(QStringLiteral("from")) && !parser.isSet(QStringLiteral("from-folder")))
            return QStringLiteral("--fields: it names what --from or --from-folder copies; give "
                                  "one of them");
        fields.emplace();
        for (const QString& name :
             parser.value(QStringLiteral("fields")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            if (const QString problem = FilePlan::fieldNameProblem(name.trimmed());
                !problem.isEmpty())
                return QStringLiteral("--fields: ") + problem;
            *fields << name.trimmed();
        }
        if (fields->isEmpty())
            return QStringLiteral("--fields: no field named");
    }
    if (parser.isSet(QStringLiteral("from-folder"))) {
        const QString option = QStringLiteral("--from-folder: ");
        if (parser.isSet(QStringLiteral("from")))
            return option + QStringLiteral("give --from or --from-folder, not both");
        const QString folder = parser.value(QStringLiteral("from-folder"));
        if (!QFileInfo(folder).isDir())
            return option + QStringLiteral("no such folder: ") + folder;
        plan.copyFromFolder(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()), fields);
    }
    if (parser.isSet(QStringLiteral("from"))) {
        // Read once, before any file is touched; what the other options set wins.
        const QString option = QStringLiteral("--from: ");
        const QString source = parser.value(QStringLiteral("from"));
        std::variant<EditPlan, QString> copied;
        try {
            if (!QFileInfo(source).isFile())
                throw Failure(QStringLiteral("no such file"));
            copied = FilePlan::copiedFrom(FileValues::read(source, password(parser)), fields);
        } catch (const Failure& failure) {
            return option + source + QStringLiteral(": ") + failure.description();
        }
        if (const QString* problem = std::get_if<QString>(&copied))
            return option + source + QStringLiteral(": ") + *problem;
        plan = std::get<EditPlan>(copied).mergedWith(plan);
    }
    return plan;
}

// Whether the plan changes anything: the options that work out values for each file count.
bool changesNothing(const EditPlan& plan) {
    return plan.withoutFileParts() == EditPlan() && plan.templates().isEmpty() &&
           !plan.namePattern() && !plan.sourceFolder();
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
    if (changesNothing(plan))
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
    if (changesNothing(plan) && std::ranges::all_of(rows, [](const ValueTable::Row& row) {
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
    settings.keepFileTime = parser.isSet(QStringLiteral("keep-file-time"));
    if (parser.isSet(QStringLiteral("password-stdin"))) {
        try {
            settings.password = password(parser);
        } catch (const Failure& failure) {
            return Console::usageError(failure.description());
        }
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
