#include "StripCommand.h"

#include "Console.h"
#include "EditPlan.h"
#include "SetCommand.h"

#include <QCommandLineParser>
#include <algorithm>

QList<CommandDescription::Option> StripCommand::options() {
    return CommandDescription::joined(
        {CommandDescription::runOptions(), CommandDescription::stripOptions()});
}

QString StripCommand::adviceFor(const QString& option) {
    const bool field = std::ranges::any_of(CommandDescription::fieldOptions(),
                                           [&option](const CommandDescription::Option& field) {
                                               return option == QLatin1String(field.name);
                                           });
    return field ? QStringLiteral("; it keeps a field with --keep ") + option : QString();
}

int StripCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                      const QStringList& undecodable) {
    QStringList fieldNames;
    for (const CommandDescription::Option& option : CommandDescription::fieldOptions())
        fieldNames << QLatin1String(option.name);
    QList<InfoField> keep;
    for (const QString& name : parser.values(QStringLiteral("keep"))) {
        const qsizetype index = fieldNames.indexOf(name);
        if (index < 0)
            return Console::usageError(QStringLiteral("--keep: not a field: ") + name +
                                       QStringLiteral("; the fields are ") +
                                       fieldNames.join(QStringLiteral(", ")));
        keep << CommandDescription::fieldOptions()[static_cast<size_t>(index)].field;
    }
    return SetCommand::runBatch(parser, paths, undecodable, EditPlan(), keep);
}
