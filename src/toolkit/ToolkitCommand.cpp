#include "ToolkitCommand.h"

#include <QDir>

namespace {
const QString handle = QStringLiteral("A=");
} // namespace

QString ToolkitCommand::absolute(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return path;
    QString folder = QDir::currentPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + path;
}

ToolInvocation ToolkitCommand::update(const QString& toolkit, const QString& inputPath,
                                      const std::optional<QString>& password,
                                      const QString& infoFile, const QString& outputPath) {
    ToolInvocation invocation{toolkit, {}, std::nullopt};
    if (password) {
        invocation.arguments << handle + absolute(inputPath) << QStringLiteral("input_pw")
                             << handle + QStringLiteral("PROMPT");
        invocation.standardInput = password->toUtf8() + '\n';
    } else {
        invocation.arguments << absolute(inputPath);
    }
    invocation.arguments << QStringLiteral("update_info") << absolute(infoFile)
                         << QStringLiteral("output") << absolute(outputPath)
                         << QStringLiteral("dont_ask");
    return invocation;
}

ToolInvocation ToolkitCommand::updateFromBytes(const QString& toolkit, const QByteArray& bytes,
                                               const QString& infoFile, const QString& outputPath) {
    return {toolkit,
            {QStringLiteral("-"), QStringLiteral("update_info"), absolute(infoFile),
             QStringLiteral("output"), absolute(outputPath), QStringLiteral("dont_ask")},
            bytes};
}

ToolInvocation ToolkitCommand::dump(const QString& toolkit, const QString& inputPath,
                                    const QString& dumpFile) {
    return {toolkit,
            {absolute(inputPath), QStringLiteral("dumpdata"), QStringLiteral("output"),
             absolute(dumpFile)},
            std::nullopt};
}
