#include "CommandLine.h"
#include "FolderWalker.h"
#include "Form1.h"
#include "QtDialogs.h"
#include "StartupRoutines.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QTimer>

namespace {

QStringList argumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The arguments, as Qt reads them, whose bytes are not UTF-8: read with replacement
// characters, such a name no longer names its file, and may name another.
QStringList undecodableOf(int argc, char* argv[]) {
    QStringList undecodable;
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (!FolderWalker::isUtf8(bytes))
            undecodable << QString::fromLocal8Bit(bytes);
    }
    return undecodable;
}

// Without a window: no display is needed, and nothing of the window system is loaded.
int runCommand(int argc, char* argv[]) {
    const QStringList undecodable = undecodableOf(argc, argv);
    QCoreApplication application(argc, argv);
    int status = CommandLine::UsageError;
    // Run from the event loop, so that quitting (a termination signal) shuts the toolkit down
    // as it does for the window.
    QTimer::singleShot(0, &application, [&] {
        status = CommandLine::run(QCoreApplication::arguments(), undecodable);
        QCoreApplication::exit(status);
    });
    QCoreApplication::exec();
    return status;
}

// Whether the window system can be reached: without a display, and without a platform chosen
// for Qt (offscreen, for one), Qt would abort before a word reaches the user.
bool displayAvailable() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    StartupRoutines::dropUnusableTempFolder();
    if (CommandLine::wanted(argumentsOf(argc, argv)))
        return runCommand(argc, argv);
    // A mistyped command, most likely, typed where only commands can run.
    if (!displayAvailable())
        return CommandLine::withoutDisplay();
    const QStringList undecodable = undecodableOf(argc, argv);
    QApplication application(argc, argv);
    QtDialogs native;
    Dialogs::setNative(&native);
    Form1 form;
    form.Form_Load();
    form.show();
    // Files and folders given on the command line, as a file manager's "Open With" does.
    if (const QStringList paths = application.arguments().mid(1); !paths.isEmpty())
        form.openPaths(paths, undecodable);
    // A logout or a kill ends the program as closing its window does.
    TerminationSignals::install([&form] { form.close(); });
    return application.exec();
}
