#pragma once

#include <QString>

// What the desktop shows of a run outside the window: progress on the task bar's launcher (the
// com.canonical.Unity.LauncherEntry signal that docks and task bars listen for) and a
// notification at its end. Both go over the session bus without waiting for an answer; without a
// session bus, or with no one listening, nothing happens.
class DesktopSignals {
public:
    // The launcher shows the bar at fraction (0 to 1).
    static void progress(double fraction);
    // The launcher's bar goes away.
    static void progressEnded();
    // A notification with summary and body, sent without waiting for the answer.
    static void notify(const QString& summary, const QString& body);

    // Whether a session bus can be reached without starting one.
    static bool busAvailable();
};
