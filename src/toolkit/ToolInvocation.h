#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// One run of an external program: started directly with an argument list, never through a shell.
struct ToolInvocation {
    QString program;
    QStringList arguments;
    // Written to the program's standard input, which is then closed. Without it the program's
    // standard input is closed from the start.
    std::optional<QByteArray> standardInput;
};
