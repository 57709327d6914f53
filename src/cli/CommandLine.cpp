#include "CommandLine.h"

#include "CommandDescription.h"
#include "Console.h"
#include "SetCommand.h"
#include "ShowCommand.h"
#include "StripCommand.h"
#include "UndoCommand.h"

#include <QCommandLineParser>
#include <algorithm>

bool CommandLine::wanted(const QStringList& arguments) {
    static const QStringList words{QStringLiteral("set"),  QStringLiteral("strip"),
                                   QStringLiteral("show"), QStringLiteral("undo"),
                                   QStringLiteral("--help"), QStringLiteral("-h"),
                                   QStringLiteral("--version")};
    return arguments.size() > 1 && words.contains(arguments.at(1));
}

int CommandLine::run(const QStringList& arguments, const QStringList& undecodable) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    // show's --csv is a switch, set's names a table: the command comes first, so the parser
    // knows which it is.
    const bool show = arguments.size() > 1 && arguments.at(1) == QLatin1String("show");
    const auto add = [&parser, show](const CommandDescription::Option& option) {
        const bool valued = option.value && !(show && qstrcmp(option.name, "csv") == 0);
        parser.addOption(
            valued ? QCommandLineOption(QLatin1String(option.name), {}, QLatin1String(option.value))
                   : QCommandLineOption(QLatin1String(option.name)));
    };
    std::ranges::for_each(CommandDescription::fieldOptions(), add);
    std::ranges::for_each(CommandDescription::setOptions(), add);
    std::ranges::for_each(CommandDescription::stripOptions(), add);
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
    QStringList positional = parser.positionalArguments();
    const QString command = positional.takeFirst();
    if (command == QLatin1String("show")) {
        for (const QString& name : parser.optionNames()) {
            if (name != QLatin1String("json") && name != QLatin1String("csv"))
                return Console::usageError(QStringLiteral("show takes no option --") + name);
        }
        if (parser.isSet(QStringLiteral("csv"))) {
            if (parser.isSet(QStringLiteral("json")))
                return Console::usageError(QStringLiteral("show takes --json or --csv, not both"));
            return ShowCommand::runCsv(positional, undecodable);
        }
        return ShowCommand::run(parser.isSet(QStringLiteral("json")), positional, undecodable);
    }
    if (command == QLatin1String("undo")) {
        for (const QString& name : parser.optionNames()) {
            if (!std::ranges::any_of(CommandDescription::undoOptions(),
                                     [&name](const CommandDescription::Option& option) {
                                         return name == QLatin1String(option.name);
                                     }))
                return Console::usageError(QStringLiteral("undo takes no option --") + name);
        }
        if (!positional.isEmpty())
            return Console::usageError(QStringLiteral("undo takes no files: it takes back the "
                                                      "last run as a whole"));
        return UndoCommand::run(parser.isSet(QStringLiteral("dry-run")),
                                parser.isSet(QStringLiteral("json")));
    }
    if (command == QLatin1String("strip"))
        return StripCommand::run(parser, positional, undecodable);
    for (const CommandDescription::Option& option : CommandDescription::stripOptions()) {
        if (parser.isSet(QLatin1String(option.name)))
            return Console::usageError(QStringLiteral("set takes no option --") +
                                       QLatin1String(option.name));
    }
    return SetCommand::run(parser, positional, undecodable);
}

QString CommandLine::helpText() {
    return CommandDescription::helpText();
}

QString CommandLine::manualPage() {
    return CommandDescription::manualPage();
}
