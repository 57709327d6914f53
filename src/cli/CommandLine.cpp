#include "CommandLine.h"

#include "BatchEngine.h"
#include "BatchSource.h"
#include "EditPlan.h"
#include "Failure.h"
#include "FolderWalker.h"
#include "PdfDate.h"
#include "PdfSnapshot.h"
#include "TerminationSignals.h"
#include "Toolkit.h"
#include "XmpPacket.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

const QString program = QStringLiteral("metascribe");

// One option as --help and the manual page describe it.
struct OptionText {
    const char* name;
    const char* value; // nullptr for a switch
    const char* help;
    InfoField field = InfoField::Title; // for the field options
    bool isField = false;
};

const std::array<OptionText, 8> fieldOptions{{
    {"title", "TEXT", "Sets the title to TEXT.", InfoField::Title, true},
    {"subject", "TEXT", "Sets the subject to TEXT.", InfoField::Subject, true},
    {"author", "TEXT", "Sets the author to TEXT.", InfoField::Author, true},
    {"keywords", "TEXT", "Sets the keywords to TEXT.", InfoField::Keywords, true},
    {"creator", "TEXT", "Sets the creator (the program that made the original) to TEXT.",
     InfoField::Creator, true},
    {"producer", "TEXT", "Sets the producer (the program that made the PDF) to TEXT.",
     InfoField::Producer, true},
    {"creation-date", "DATE", "Sets the creation date to DATE.", InfoField::CreationDate, true},
    {"mod-date", "DATE", "Sets the modification date to DATE.", InfoField::ModDate, true},
}};

const std::array<OptionText, 7> setOptions{{
    {"title-from-filename", nullptr,
     "Sets the title to the file's name without its folder and extension."},
    {"out", "DIR",
     "Writes each result into the folder DIR, as the file's name with the extension .pdf; the "
     "originals stay as they are."},
    {"in-place", nullptr, "Replaces each file with its result."},
    {"ext", "EXT",
     "Takes from the folders given the files whose names end in .EXT, letter case ignored, in "
     "the whole tree (default: pdf). Files given by name are taken whatever their name."},
    {"password-stdin", nullptr,
     "Reads one password from standard input and opens every protected file with it; a file "
     "protected only against changes opens without it. A result keeps its original's "
     "protection."},
    {"dry-run", nullptr,
     "Reads every file and prints each changed field's old and new value and the destination; "
     "changes nothing."},
    {"json", nullptr,
     "Prints one JSON object per file on standard output, in the order of the files: \"path\", "
     "\"destination\", \"outcome\" (\"changed\", \"failed\" or, with --dry-run, \"planned\"), "
     "\"reason\" (null unless failed) and, with --dry-run, \"fields\" with each changed field's "
     "\"old\" and \"new\" value."},
}};

const OptionText showJson{
    "json", nullptr,
    "Prints one JSON object per file: \"path\", \"fields\" with the eight fields (null when "
    "missing), \"xmp\" with the XMP values that differ, or \"error\"."};

const char* const summary = "changes the document information of many PDF files at once";

const char* const description =
    "Metascribe sets the title, subject, author, keywords, creator, producer, creation date and "
    "modification date of many PDF files in one run. Every result is read back by a reader "
    "independent of the PDF toolkit that made it and compared with its original before it "
    "replaces anything, in one rename; a file that fails keeps its original and is reported "
    "with the reason. XMP metadata is kept in step and password protection is kept.";

const char* const windowText =
    "Without a command, the window opens, with the given files and the PDF files of the given "
    "folders in its list.";

const char* const setText =
    "set changes the given files and the files of the given folders. One of --out and "
    "--in-place is required, and at least one field to change. An empty TEXT empties the field. "
    "Progress goes to standard error, updated in place on a terminal and not shown otherwise; "
    "each file that was not changed is named there with the reason.";

const char* const showText =
    "show prints each file's eight fields, and the XMP metadata's values where they differ "
    "from them.";

QString dateText(const QLocale& locale = QLocale::system()) {
    return QStringLiteral("A DATE is written like ") + PdfDate::acceptedForms(locale) +
           QStringLiteral("; a date without a time is midnight, in the local zone.");
}

const std::array<std::pair<const char*, const char*>, 3> exitTexts{{
    {"0", "Every file was changed (with --dry-run: would be changed; show: was read)."},
    {"1", "At least one file was not."},
    {"2", "The command line was wrong; nothing was changed."},
}};

QString optionSpelling(const OptionText& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.value)
        text += QLatin1Char(' ') + QLatin1String(option.value);
    return text;
}

// Words filled into lines of at most width characters, each starting with indent spaces.
QString wrapped(const QString& text, int indent, int width = 79) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    const QString pad(indent, QLatin1Char(' '));
    return pad + lines.join(QLatin1Char('\n') + pad) + QLatin1Char('\n');
}

QString helpOption(const QString& spelling, const QString& help) {
    constexpr int column = 26;
    QString text = wrapped(help, column);
    if (spelling.size() + 2 < column)
        return QStringLiteral("  ") + spelling.leftJustified(column - 2) + text.mid(column);
    return QStringLiteral("  ") + spelling + QLatin1Char('\n') + text;
}

// Text for roff: backslashes and hyphens escaped, and no line may start with a dot or quote.
QString roff(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    escaped.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (escaped.startsWith(QLatin1Char('.')) || escaped.startsWith(QLatin1Char('\'')))
        escaped.prepend(QStringLiteral("\\&"));
    return escaped;
}

QString roffOption(const OptionText& option) {
    QString text = QStringLiteral(".TP\n\\fB\\-\\-") + roff(QLatin1String(option.name)) +
                   QStringLiteral("\\fR");
    if (option.value)
        text += QStringLiteral(" \\fI") + QLatin1String(option.value) + QStringLiteral("\\fR");
    return text + QLatin1Char('\n') + roff(QLatin1String(option.help)) + QLatin1Char('\n');
}

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString& message) {
    err() << program << ": " << message << "\nTry '" << program
          << " --help' for more information.\n";
    err().flush();
    return CommandLine::UsageError;
}

// The files a list of paths stands for: folders by their tree, anything else as given (a path
// that does not exist fails in its turn, with the reason).
QStringList expand(const QStringList& paths, const QString& pattern) {
    QStringList files;
    for (const QString& given : paths) {
        const QFileInfo info(given);
        QString path = QDir::cleanPath(info.absoluteFilePath());
        if (info.isDir())
            files << FolderWalker::FilesInTree(path == QStringLiteral("/") ? QString() : path,
                                               pattern);
        else
            files << path;
    }
    files.removeDuplicates();
    return files;
}

// One line from standard input, without echo when it is a terminal.
std::optional<QString> readPassword() {
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

// The files and save option of a run from the command line.
class FixedList : public BatchSource {
public:
    FixedList(QStringList files, QString outFolder)
        : files_(std::move(files)), outFolder_(std::move(outFolder)) {}
    int fileCount() const override { return int(files_.size()); }
    QString pathAt(int position) const override { return files_.at(position - 1); }
    bool saveToFolder() const override { return !outFolder_.isEmpty(); }
    bool saveBesideOriginal() const override { return false; }
    QString resultFolder() const override { return outFolder_; }
    bool promptForPassword() const override { return false; }
    bool inPlace() const override { return outFolder_.isEmpty(); }

private:
    QStringList files_;
    QString outFolder_;
};

QJsonValue orNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

QString quoted(const std::optional<QString>& text) {
    return text ? QLatin1Char('"') + *text + QLatin1Char('"') : QStringLiteral("(none)");
}

// What the engine reports, written to the terminal or a script.
class ConsoleHost : public BatchEngine::Host {
public:
    ConsoleHost(EditPlan plan, bool json, bool dryRun)
        : plan_(std::move(plan)), json_(json), dryRun_(dryRun), terminal_(::isatty(STDERR_FILENO)) {
    }

    EditPlan plan() const override { return plan_; }
    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }

    void progress(int position, int count, const QString& input) override {
        if (!terminal_)
            return;
        // Redrawn about ten times a second: a terminal is slower than the batch.
        if (shown_.isValid() && !shown_.hasExpired(100) && position < count)
            return;
        shown_.start();
        const QString name = QFileInfo(input).fileName();
        err() << "\r\033[K[" << position << "/" << count << "] " << name.left(60);
        err().flush();
        drawn_ = true;
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
        clearProgress();
        const bool failed = !outcome.reason.isEmpty();
        failed ? ++failed_ : ++done_;
        if (json_) {
            QJsonObject line{
                {QStringLiteral("path"), outcome.path},
                {QStringLiteral("destination"),
                 outcome.destination.isEmpty() ? QJsonValue() : QJsonValue(outcome.destination)},
                {QStringLiteral("outcome"), failed    ? QStringLiteral("failed")
                                            : dryRun_ ? QStringLiteral("planned")
                                                      : QStringLiteral("changed")},
                {QStringLiteral("reason"), failed ? QJsonValue(outcome.reason) : QJsonValue()}};
            if (dryRun_ && !failed) {
                QJsonObject fields;
                for (const BatchRun::FieldPreview& field : outcome.preview)
                    fields.insert(EditPlan::toolkitKey(field.field),
                                  QJsonObject{{QStringLiteral("old"), orNull(field.before)},
                                              {QStringLiteral("new"), field.after}});
                line.insert(QStringLiteral("fields"), fields);
            }
            out() << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
            out().flush();
            return;
        }
        if (failed) {
            err() << program << ": " << outcome.path << ": not changed: " << outcome.reason << '\n';
            err().flush();
        } else if (dryRun_) {
            out() << outcome.path << " -> " << outcome.destination << '\n';
            for (const BatchRun::FieldPreview& field : outcome.preview)
                out() << "  " << EditPlan::toolkitKey(field.field) << ": " << quoted(field.before)
                      << " -> " << quoted(field.after) << '\n';
            out().flush();
        }
    }

    void clearProgress() {
        if (drawn_) {
            err() << "\r\033[K";
            err().flush();
            drawn_ = false;
        }
    }

    int done() const { return done_; }
    int failed() const { return failed_; }

private:
    EditPlan plan_;
    bool json_;
    bool dryRun_;
    bool terminal_;
    bool drawn_ = false;
    QElapsedTimer shown_;
    int done_ = 0;
    int failed_ = 0;
};

int runSet(const QCommandLineParser& parser, const QStringList& paths) {
    EditPlan plan;
    for (const OptionText& option : fieldOptions) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        const QString text = parser.value(name);
        plan.changeTo(option.field, text);
        if (EditPlan::isDate(option.field) && plan.firstBadDate() == option.field)
            return usageError(QStringLiteral("--") + name + QStringLiteral(": \"") + text +
                              QStringLiteral("\" is not a date; write it like ") +
                              PdfDate::acceptedForms());
    }
    if (parser.isSet(QStringLiteral("title-from-filename"))) {
        if (parser.isSet(QStringLiteral("title")))
            return usageError(
                QStringLiteral("--title and --title-from-filename exclude each other"));
        plan.titleFromFileName();
    }
    if (plan == EditPlan())
        return usageError(QStringLiteral("nothing to change: give at least one field, such as "
                                         "--title TEXT"));
    const bool inPlace = parser.isSet(QStringLiteral("in-place"));
    const bool toFolder = parser.isSet(QStringLiteral("out"));
    if (inPlace == toFolder)
        return usageError(QStringLiteral("give exactly one of --out DIR and --in-place"));
    QString outFolder;
    if (toFolder) {
        const QFileInfo folder(parser.value(QStringLiteral("out")));
        if (!folder.isDir())
            return usageError(QStringLiteral("--out: no such folder: ") +
                              parser.value(QStringLiteral("out")));
        outFolder = QDir::cleanPath(folder.absoluteFilePath());
    }
    QString extension = parser.isSet(QStringLiteral("ext")) ? parser.value(QStringLiteral("ext"))
                                                            : QStringLiteral("pdf");
    if (extension.startsWith(QLatin1Char('.')))
        extension.remove(0, 1);
    if (extension.isEmpty() || extension.contains(QRegularExpression(QStringLiteral("[/*?]"))))
        return usageError(QStringLiteral("--ext: not an extension: ") +
                          parser.value(QStringLiteral("ext")));
    if (paths.isEmpty())
        return usageError(QStringLiteral("set: no files or folders given"));

    const bool dryRun = parser.isSet(QStringLiteral("dry-run"));
    const QString toolkit = Toolkit::path();
    if (toolkit.isEmpty() && !dryRun) {
        err() << program
              << ": no file was changed: the PDF toolkit \"pdftk\" was not found, neither beside "
                 "this program nor on the search path. Debian's pdftk-java package provides it.\n";
        err().flush();
        return CommandLine::NotAllDone;
    }
    BatchEngine::Settings settings;
    settings.dryRun = dryRun;
    settings.makeInputsWritable = false;
    if (parser.isSet(QStringLiteral("password-stdin"))) {
        const std::optional<QString> password = readPassword();
        if (!password)
            return usageError(QStringLiteral("--password-stdin: standard input gave no line"));
        if (!password->isEmpty())
            settings.password = password;
    }

    const QStringList files = expand(paths, QStringLiteral("*.") + extension);
    ConsoleHost host(plan, parser.isSet(QStringLiteral("json")), dryRun);
    FixedList source(files, outFolder);
    BatchEngine engine(source, host, settings);
    TerminationSignals::install([&engine] {
        engine.stop();
        QCoreApplication::exit(CommandLine::NotAllDone);
    });
    const int count = int(files.size());
    engine.run(count, toolkit);
    // The engine is about to go; a signal from now on only ends the program.
    TerminationSignals::install([] { QCoreApplication::exit(CommandLine::NotAllDone); });
    host.clearProgress();
    const int notReached = count - host.done() - host.failed();
    if (notReached > 0) {
        err() << program << ": stopped; " << notReached << " files were not reached\n";
        err().flush();
    }
    if (files.isEmpty()) {
        err() << program << ": no files ending in ." << extension << " were found\n";
        err().flush();
    }
    return host.failed() == 0 && notReached == 0 ? CommandLine::AllDone : CommandLine::NotAllDone;
}

// Whether two values of one field say the same: dates by the moment they name.
bool sameValue(InfoField field, const QString& info, const QString& xmp) {
    if (info == xmp)
        return true;
    if (!EditPlan::isDate(field))
        return false;
    const std::optional<QDateTime> a = PdfDate::parse(info);
    const std::optional<QDateTime> b = PdfDate::parse(xmp);
    return a && b && *a == *b;
}

int runShow(bool json, const QStringList& paths) {
    if (paths.isEmpty())
        return usageError(QStringLiteral("show: no files given"));
    bool allRead = true;
    bool first = true;
    for (const QString& given : paths) {
        const QString path = QFileInfo(given).absoluteFilePath();
        QJsonObject line{{QStringLiteral("path"), path}};
        QString text = path + QLatin1Char('\n');
        try {
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
                fields.insert(key, orNull(value));
                text += (key + QLatin1Char(':')).leftJustified(20) + value.value_or(QString()) +
                        QLatin1Char('\n');
                if (xmp.contains(key) && !sameValue(field, value.value_or(QString()), xmp[key])) {
                    differing.insert(key, xmp[key]);
                    xmpText += (key + QStringLiteral(" (XMP):")).leftJustified(20) + xmp[key] +
                               QLatin1Char('\n');
                }
            }
            line.insert(QStringLiteral("fields"), fields);
            line.insert(QStringLiteral("xmp"), differing);
            text += xmpText;
        } catch (const Failure& failure) {
            allRead = false;
            line.insert(QStringLiteral("error"), failure.description());
            err() << program << ": " << path << ": " << failure.description() << '\n';
            err().flush();
            if (!json)
                continue;
        }
        if (json) {
            out() << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
        } else {
            out() << (first ? "" : "\n") << text;
            first = false;
        }
        out().flush();
    }
    return allRead ? CommandLine::AllDone : CommandLine::NotAllDone;
}

} // namespace

bool CommandLine::wanted(const QStringList& arguments) {
    static const QStringList words{QStringLiteral("set"), QStringLiteral("show"),
                                   QStringLiteral("--help"), QStringLiteral("-h"),
                                   QStringLiteral("--version")};
    return arguments.size() > 1 && words.contains(arguments.at(1));
}

int CommandLine::run(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    const auto add = [&parser](const OptionText& option) {
        parser.addOption(option.value ? QCommandLineOption(QLatin1String(option.name), {},
                                                           QLatin1String(option.value))
                                      : QCommandLineOption(QLatin1String(option.name)));
    };
    std::for_each(fieldOptions.begin(), fieldOptions.end(), add);
    std::for_each(setOptions.begin(), setOptions.end(), add);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        out() << helpText();
        return AllDone;
    }
    if (parser.isSet(version)) {
        out() << program << ' ' << QStringLiteral(METASCRIBE_VERSION) << '\n';
        return AllDone;
    }
    QStringList positional = parser.positionalArguments();
    const QString command = positional.takeFirst();
    if (command == QLatin1String("show")) {
        for (const QString& name : parser.optionNames()) {
            if (name != QLatin1String("json"))
                return usageError(QStringLiteral("show takes no option --") + name);
        }
        return runShow(parser.isSet(QStringLiteral("json")), positional);
    }
    return runSet(parser, positional);
}

QString CommandLine::helpText() {
    QString text = QStringLiteral("Usage: metascribe [FILE-OR-FOLDER...]\n"
                                  "       metascribe set [OPTION...] (--out DIR | --in-place) "
                                  "FILE-OR-FOLDER...\n"
                                  "       metascribe show [--json] FILE...\n"
                                  "       metascribe --help | --version\n\n");
    text += wrapped(QLatin1String(description), 0);
    text += QLatin1Char('\n') + wrapped(QLatin1String(windowText), 0);
    text += QLatin1Char('\n') + wrapped(QLatin1String(setText), 0);
    text += QStringLiteral("\nFields of set:\n");
    for (const OptionText& option : fieldOptions)
        text += helpOption(optionSpelling(option), QLatin1String(option.help));
    text += wrapped(dateText(), 2);
    text += QStringLiteral("\nOther options of set:\n");
    for (const OptionText& option : setOptions)
        text += helpOption(optionSpelling(option), QLatin1String(option.help));
    text += QLatin1Char('\n') + wrapped(QLatin1String(showText), 0);
    text += QStringLiteral("\nOptions of show:\n");
    text += helpOption(optionSpelling(showJson), QLatin1String(showJson.help));
    text += QStringLiteral("\nExit status:\n");
    for (const auto& [code, meaning] : exitTexts)
        text += helpOption(QLatin1String(code), QLatin1String(meaning));
    return text;
}

QString CommandLine::manualPage() {
    QString page = QStringLiteral(".TH METASCRIBE 1 \"\" \"Metascribe ") +
                   QStringLiteral(METASCRIBE_VERSION) +
                   QStringLiteral("\" \"User Commands\"\n"
                                  ".SH NAME\n"
                                  "metascribe \\- ") +
                   roff(QLatin1String(summary)) +
                   QStringLiteral("\n.SH SYNOPSIS\n"
                                  "\\fBmetascribe\\fR [\\fIFILE\\-OR\\-FOLDER\\fR...]\n.br\n"
                                  "\\fBmetascribe set\\fR [\\fIOPTION\\fR...] (\\fB\\-\\-out\\fR "
                                  "\\fIDIR\\fR | \\fB\\-\\-in\\-place\\fR) "
                                  "\\fIFILE\\-OR\\-FOLDER\\fR...\n.br\n"
                                  "\\fBmetascribe show\\fR [\\fB\\-\\-json\\fR] \\fIFILE\\fR...\n"
                                  ".br\n"
                                  "\\fBmetascribe\\fR \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR\n"
                                  ".SH DESCRIPTION\n");
    page += roff(QLatin1String(description)) + QStringLiteral("\n.PP\n") +
            roff(QLatin1String(windowText)) + QStringLiteral("\n.PP\n") +
            roff(QLatin1String(setText)) + QStringLiteral("\n.PP\n") +
            roff(QLatin1String(showText)) + QLatin1Char('\n');
    page += QStringLiteral(".SH FIELDS OF SET\n");
    for (const OptionText& option : fieldOptions)
        page += roffOption(option);
    // The same page for every build: dates as they are written where no language is set.
    page += QStringLiteral(".PP\n") + roff(dateText(QLocale::c())) +
            roff(QStringLiteral(" The long date is also understood as the language setting "
                                "writes it.")) +
            QLatin1Char('\n');
    page += QStringLiteral(".SH OTHER OPTIONS OF SET\n");
    for (const OptionText& option : setOptions)
        page += roffOption(option);
    page += QStringLiteral(".SH OPTIONS OF SHOW\n") + roffOption(showJson);
    page += QStringLiteral(".SH EXIT STATUS\n");
    for (const auto& [code, meaning] : exitTexts)
        page += QStringLiteral(".TP\n") + QLatin1String(code) + QLatin1Char('\n') +
                roff(QLatin1String(meaning)) + QLatin1Char('\n');
    page += QStringLiteral(".SH EXAMPLES\n"
                           ".EX\n"
                           "metascribe set \\-\\-author \"Legal Department\" \\-\\-in\\-place "
                           "contracts/\n"
                           "metascribe set \\-\\-title\\-from\\-filename \\-\\-out done/ "
                           "\\-\\-dry\\-run scans/\n"
                           "metascribe show \\-\\-json report.pdf\n"
                           ".EE\n");
    return page;
}
