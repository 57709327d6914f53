#pragma once

#include "BatchRun.h"

#include <QList>
#include <QString>

// What the window's second page tells the user during and after "Start Changing": the password
// question, the closing summary and its details, and why a result could not be written. Plain
// texts of outcomes, so they live with the engine and are tried without a window.
class RunMessages {
public:
    static QString passwordPrompt(const QString& inputPath);

    // "Done.", followed by how many files were not changed; the details list each of them with
    // its reason (and under it, indented, the toolkit's or the reader's own words), and each
    // changed file with a note (other names that keep the old content).
    static QString summary(const QList<BatchRun::Outcome>& outcomes, int total);
    static QString details(const QList<BatchRun::Outcome>& outcomes);

    static QString copyFailureMessage(const QString& destination);
};
