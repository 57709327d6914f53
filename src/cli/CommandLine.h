#pragma once

#include <QString>
#include <QStringList>

// The program without its window, for scripts, scheduled jobs and file-manager actions: the
// commands set, strip, show and undo, and --help and --version (the synopsis is helpText()'s
// first lines). set and strip run the same batch engine as the window, with every check it
// makes. Needs a QCoreApplication only, so it runs without a display.
class CommandLine {
public:
    enum Status { AllDone = 0, NotAllDone = 1, UsageError = 2 };

    // Whether the arguments (the program's name first) ask for the command line rather than the
    // window.
    static bool wanted(const QStringList& arguments);
    // Runs the command the arguments give; the exit status. A QCoreApplication must exist.
    // undecodable holds the arguments, as read, whose bytes are not UTF-8: as read, they would
    // name another file or none.
    static int run(const QStringList& arguments, const QStringList& undecodable = {});
    // Refuses, as a usage error, to start the window where there is no display to show it on,
    // naming the commands that need none; the exit status.
    static int withoutDisplay();

    // Both made from one description of the commands and options.
    static QString helpText();
    static QString manualPage();

private:
    // The command's status, its output not yet checked.
    static int dispatch(const QStringList& arguments, const QStringList& undecodable);
};
