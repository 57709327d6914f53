#include "StripCommand.h"

#include "CommandDescription.h"
#include "Console.h"
#include "EditPlan.h"
#include "SetCommand.h"

#include <QCommandLineParser>

int StripCommand::run(const QCommandLineParser& parser, const QStringList& paths,
                      const QStringList& undecodable) {
    QStringList fieldNames;
    for (const CommandDescription::Option& option : CommandDescription::fieldOptions()) {
        const QString name = QLatin1String(option.name);
        fieldNames << name;
        if (parser.isSet(name))
            return Console::usageError(QStringLiteral("strip takes no option --") + name +
                                       QStringLiteral("; it keeps a field with --keep ") + name);
    }
    if (parser.isSet(QStringLiteral("title-from-filename")))
        return Console::usageError(QStringLiteral("strip takes no option --title-from-filename"));
    if (parser.isSet(QStringLiteral("csv")))
        return Console::usageError(QStringLiteral("strip takes no option --csv"));
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
