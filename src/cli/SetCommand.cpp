#include "SetCommand.h"

#include "BatchEngine.h"
#include "BatchSource.h"
#include "CommandDescription.h"
#include "CommandLine.h"
#include "Console.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FolderWalker.h"
#include "PathHelpers.h"
#include "PdfDate.h"
#include "ProgressLine.h"
#include "TerminationSignals.h"
#include "Toolkit.h"
#include "ValueTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <unistd.h>
#include <variant>

namespace {

// Whether relative paths can be made absolute: the current folder's name may not be UTF-8 either.
bool currentFolderReadable() {
    const QByteArray current = PathHelpers::native(QDir::currentPath());
    char bytes[FolderWalker::PathLimit + 1];
    return ::getcwd(bytes, sizeof bytes) == nullptr || current == bytes;
}

// The files a list of paths stands for: folders by their tree, anything else as given (a path
// that does not exist fails in its turn, with the reason). A name whose bytes are not UTF-8
// (undecodable holds such arguments as read) is refused before anything opens it: as read, it
// names another file or none.
QList<FolderWalker::Found> expand(const QStringList& paths, const QStringList& undecodable,
                                  const QString& pattern) {
    QList<FolderWalker::Found> found;
    const bool relativeReadable = currentFolderReadable();
    for (const QString& given : paths) {
        const QFileInfo info(given);
        QString path = QDir::cleanPath(info.absoluteFilePath());
        if (undecodable.contains(given))
            found.append({path, FolderWalker::notUtf8Reason()});
        else if (info.isRelative() && !relativeReadable)
            found.append({path, QStringLiteral("the current folder's name is not valid UTF-8")});
        else if (info.isDir())
            found << FolderWalker::FilesInTree(path == QStringLiteral("/") ? QString() : path,
                                               pattern);
        else
            found.append({path, {}});
    }
    QList<FolderWalker::Found> once;
    QSet<QString> seen;
    for (const FolderWalker::Found& item : std::as_const(found)) {
        const qsizetype before = seen.size();
        seen.insert(item.path + QChar(0) + item.refusal);
        if (seen.size() > before)
            once << item;
    }
    return once;
}

// The files and save option of a run from the command line.
class FixedList : public BatchSource {
public:
    FixedList(QStringList files, QString outFolder, bool trash)
        : files_(std::move(files)), outFolder_(std::move(outFolder)), trash_(trash) {}
    int fileCount() const override { return int(files_.size()); }
    QString pathAt(int position) const override { return files_.at(position - 1); }
    bool saveToFolder() const override { return !outFolder_.isEmpty(); }
    bool saveBesideOriginal() const override { return false; }
    QString resultFolder() const override { return outFolder_; }
    bool promptForPassword() const override { return false; }
    bool inPlace() const override { return outFolder_.isEmpty(); }
    bool keepOriginalsInTrash() const override { return trash_; }

private:
    QStringList files_;
    QString outFolder_;
    bool trash_;
};

QString quoted(const std::optional<QString>& text) {
    return text ? QLatin1Char('"') + *text + QLatin1Char('"') : QStringLiteral("(none)");
}

// What the engine reports, written to the terminal or a script.
class ConsoleHost : public BatchEngine::Host {
public:
    // perFile, when given, holds a plan for each file of the run, in its order, that goes on
    // top of plan for that file.
    ConsoleHost(EditPlan plan, QList<EditPlan> perFile, bool json, bool dryRun, bool strip,
                QList<FolderWalker::Found> entries)
        : plan_(std::move(plan)), perFile_(std::move(perFile)), json_(json), dryRun_(dryRun),
          strip_(strip), entries_(std::move(entries)) {}

    // The engine asks for the plan of the file whose progress it reported last.
    EditPlan plan() const override {
        return perFile_.isEmpty() ? plan_ : plan_.mergedWith(perFile_.at(position_ - 1));
    }
    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }

    void progress(int position, int count, const QString& input) override {
        position_ = position;
        progress_.show(position, count, input);
    }

    // The outcome carries every reason that matters here; a step that fails only leaves its
    // default (a name without a dot keeps its whole name).
    void step(RunStep, const std::function<void()>& work) override {
        try {
            work();
        } catch (const std::exception&) {
        }
    }
    bool test(RunStep, const std::function<bool()>& condition) override {
        try {
            return condition();
        } catch (const std::exception&) {
            return true;
        }
    }
    void writeRefused(const QString&) override {}

    void finished(const BatchRun::Outcome& outcome) override {
        reportRefused(false);
        ++reached_;
        ++next_;
        write(outcome);
    }

    // Reports the entries refused before the run that come next in the list, in their places
    // between the engine's outcomes; or, when the run is over, every one not reported yet.
    void reportRefused(bool all) {
        for (; next_ < entries_.size(); ++next_) {
            const FolderWalker::Found& entry = entries_.at(next_);
            if (entry.refusal.isEmpty()) {
                if (!all)
                    return;
                continue;
            }
            BatchRun::Outcome outcome;
            outcome.path = entry.path;
            outcome.reason = entry.refusal;
            write(outcome);
        }
    }

    void clearProgress() { progress_.clear(); }

    int done() const { return done_; }
    int failed() const { return failed_; }
    // How many outcomes the engine gave.
    int reached() const { return reached_; }

private:
    void write(const BatchRun::Outcome& outcome) {
        progress_.clear();
        const bool failed = !outcome.reason.isEmpty();
        failed ? ++failed_ : ++done_;
        // Named on standard error also beside JSON lines: a script's log shows what failed, and
        // what was changed with a caveat.
        if (failed)
            Console::message(outcome.path + QStringLiteral(": not changed: ") + outcome.reason);
        else if (!outcome.note.isEmpty())
            Console::message(outcome.path + QStringLiteral(": changed, but ") + outcome.note);
        if (json_) {
            QJsonObject line{
                {QStringLiteral("path"), outcome.path},
                {QStringLiteral("destination"),
                 outcome.destination.isEmpty() ? QJsonValue() : QJsonValue(outcome.destination)},
                {QStringLiteral("outcome"), failed    ? QStringLiteral("failed")
                                            : dryRun_ ? QStringLiteral("planned")
                                                      : QStringLiteral("changed")},
                {QStringLiteral("reason"), failed ? QJsonValue(outcome.reason) : QJsonValue()}};
            if (dryRun_ && !failed && strip_) {
                line.insert(QStringLiteral("removals"),
                            QJsonArray::fromStringList(outcome.removals));
            } else if (dryRun_ && !failed) {
                QJsonObject fields;
                for (const BatchRun::FieldPreview& field : outcome.preview)
                    fields.insert(
                        field.key,
                        QJsonObject{{QStringLiteral("old"), Console::orNull(field.before)},
                                    {QStringLiteral("new"), Console::orNull(field.after)}});
                line.insert(QStringLiteral("fields"), fields);
            }
            if (!outcome.note.isEmpty())
                line.insert(QStringLiteral("note"), outcome.note);
            if (failed && !outcome.detail.isEmpty())
                line.insert(QStringLiteral("detail"), outcome.detail);
            Console::jsonLine(line);
            return;
        }
        if (!failed && dryRun_) {
            QTextStream& out = Console::out();
            out << outcome.path << " -> " << outcome.destination << '\n';
            for (const QString& removal : outcome.removals)
                out << "  remove " << removal << '\n';
            if (strip_ && outcome.removals.isEmpty())
                out << "  nothing to remove\n";
            for (const BatchRun::FieldPreview& field : outcome.preview)
                out << "  " << field.key << ": " << quoted(field.before) << " -> "
                    << (field.after ? quoted(field.after) : QStringLiteral("(removed)")) << '\n';
            out.flush();
        }
    }

    EditPlan plan_;
    QList<EditPlan> perFile_;
    int position_ = 0;
    bool json_;
    bool dryRun_;
    bool strip_;
    QList<FolderWalker::Found> entries_;
    qsizetype next_ = 0;
    ProgressLine progress_;
    int done_ = 0;
    int failed_ = 0;
    int reached_ = 0;
};

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
    for (const QString& given : parser.values(QStringLiteral("remove"))) {
        // A field by its option's name; anything else is a key as the file spells it.
        QString key = given;
        for (const CommandDescription::Option& option : CommandDescription::fieldOptions()) {
            if (given == QLatin1String(option.name))
                key = EditPlan::toolkitKey(option.field);
        }
        const QString option = QStringLiteral("--remove");
        if (const QString problem = EditPlan::keyProblem(key, std::nullopt); !problem.isEmpty())
            return option + QStringLiteral(": ") + problem;
        if (named.contains(key))
            return option + QStringLiteral(": ") + key +
                   QStringLiteral(" is changed by another option too");
        named.insert(key);
        plan.removeKey(key);
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

} // namespace

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
    if (parser.isSet(QStringLiteral("password-stdin"))) {
        const std::optional<QString> password = Console::readPassword();
        if (!password)
            return Console::usageError(
                QStringLiteral("--password-stdin: standard input gave no line"));
        if (!password->isEmpty())
            settings.password = password;
    }

    const QList<FolderWalker::Found> entries =
        expand(paths, undecodable, QStringLiteral("*.") + extension);
    QStringList files;
    for (const FolderWalker::Found& entry : entries) {
        if (entry.refusal.isEmpty())
            files << entry.path;
    }
    // A table's files are listed once each and none is a folder, so each keeps its place.
    Q_ASSERT(perFile.isEmpty() || perFile.size() == files.size());
    ConsoleHost host(plan, perFile, parser.isSet(QStringLiteral("json")), dryRun, strip.has_value(),
                     entries);
    FixedList source(files, outFolder, parser.isSet(QStringLiteral("trash")));
    BatchEngine engine(source, host, settings);
    TerminationSignals::install([&engine] {
        engine.stop();
        QCoreApplication::exit(CommandLine::NotAllDone);
    });
    const int count = int(files.size());
    engine.run(count, toolkit);
    // The engine is about to go; a signal from now on only ends the program.
    TerminationSignals::install([] { QCoreApplication::exit(CommandLine::NotAllDone); });
    host.reportRefused(true);
    host.clearProgress();
    const int notReached = count - host.reached();
    if (notReached > 0)
        Console::message(QStringLiteral("stopped; %1 files were not reached").arg(notReached));
    if (entries.isEmpty())
        Console::message(QStringLiteral("no files ending in .") + extension +
                         QStringLiteral(" were found"));
    return host.failed() == 0 && notReached == 0 ? CommandLine::AllDone : CommandLine::NotAllDone;
}
