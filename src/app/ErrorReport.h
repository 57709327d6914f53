#pragma once

#include <QString>

// The "Application Error" warning shown when a step of a trapped handler fails.
class ErrorReport {
public:
    static QString messageText(const QString& description, const QString& context, int step);
    // Shows the warning and returns when the user has dismissed it.
    static void show(const QString& description, const QString& context, int step);
};
