#include "CommandLine.h"

#include "CheckCommand.h"
#include "CommandDescription.h"
#include "Console.h"
#include "RenameCommand.h"
#include "SetCommand.h"
#include "ShowCommand.h"
#include "StripCommand.h"
#include "TextLists.h"
#include "UndoCommand.h"

#include <QCommandLineParser>
#include <QSet>
#include <algorithm>
#include <array>

namespace {

using Option = CommandDescription::Option;

// A command: its word, the options it takes, and what runs it with the files given.
struct Command {
    const char* word;
    QList<Option> (*options)();
    int (*run)(const QCommandLineParser& parser, const QStringList& paths,
               const QStringList& undecodable);
    // What follows the refusal of an option the command does not take, if anything.
    QString (*advice)(const QString& option) = nullptr;
};

const std::array<Command, 6> commands{{
    {"set", &SetCommand::options, &SetCommand::run},
    {"strip", &StripCommand::options, &StripCommand::run, &StripCommand::adviceFor},
    {"show", &ShowCommand::options, &ShowCommand::run},
    {"check", &CheckCommand::options, &CheckCommand::run},
    {"undo", &UndoCommand::options, &UndoCommand::run},
    {"rename", &RenameCommand::options, &RenameCommand::run},
}};

const Command* commandOf(const QStringList& arguments) {
    const auto found = std::ranges::find_if(commands, [&arguments](const Command& command) {
        return arguments.size() > 1 && arguments.at(1) == QLatin1String(command.word);
    });
    return found == commands.end() ? nullptr : &*found;
}

// The chosen command's options as it declares them (show's --csv is a switch, set's names a
// table), then every other command's as that one declares it: an option of another command
// parses as it would there, and is refused by name rather than taken for an unknown one.
// Without a command (--help, --version), every command's.
void addOptions(QCommandLineParser& parser, const Command* chosen) {
    QSet<QString> added;
    const auto add = [&parser, &added](const Option& option) {
        const QString name = QLatin1String(option.name);
        if (added.contains(name))
            return;
        added.insert(name);
        parser.addOption(option.value ? QCommandLineOption(name, {}, QLatin1String(option.value))
                                      : QCommandLineOption(name));
    };
    if (chosen)
        std::ranges::for_each(chosen->options(), add);
    for (const Command& command : commands)
        std::ranges::for_each(command.options(), add);
}

// Why the command cannot run with the options given: the first one it does not take.
QString refusal(const Command& command, const QCommandLineParser& parser) {
    const QList<Option> own = command.options();
    for (const QString& name : parser.optionNames()) {
        if (std::ranges::none_of(
                own, [&name](const Option& option) { return name == QLatin1String(option.name); }))
            return QLatin1String(command.word) + QStringLiteral(" takes no option --") + name +
                   (command.advice ? command.advice(name) : QString());
    }
    return {};
}

} // namespace

bool CommandLine::wanted(const QStringList& arguments) {
    static const QStringList others{QStringLiteral("--help"), QStringLiteral("-h"),
                                    QStringLiteral("--version")};
    return commandOf(arguments) || (arguments.size() > 1 && others.contains(arguments.at(1)));
}

int CommandLine::run(const QStringList& arguments, const QStringList& undecodable) {
    // Every command's status waits for its output to have arrived: a script must not take a cut
    // table or a half-written line for the whole.
    return Console::finished(dispatch(arguments, undecodable));
}

int CommandLine::dispatch(const QStringList& arguments, const QStringList& undecodable) {
    const Command* command = commandOf(arguments);
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    addOptions(parser, command);
    if (!parser.parse(arguments))
        return Console::usageError(parser.errorText());
    if (parser.isSet(help)) {
        Console::out() << helpText();
        return AllDone;
    }
    if (parser.isSet(version)) {
        Console::out() << Console::program << ' ' << QStringLiteral(METASCRIBE_VERSION) << '\n';
        return AllDone;
    }
    if (!command)
        return Console::usageError(QStringLiteral("no command given"));
    if (const QString problem = refusal(*command, parser); !problem.isEmpty())
        return Console::usageError(problem);
    // The first positional argument is the command's word.
    return command->run(parser, parser.positionalArguments().mid(1), undecodable);
}

int CommandLine::withoutDisplay() {
    QStringList words;
    for (const Command& command : commands)
        words << QLatin1String(command.word);
    return Console::usageError(
        QStringLiteral("the window needs a display, and none was found; the commands ") +
        TextLists::joined(words) + QStringLiteral(" need none"));
}

QString CommandLine::helpText() {
    return CommandDescription::helpText();
}

QString CommandLine::manualPage() {
    return CommandDescription::manualPage();
}
