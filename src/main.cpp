#include "Form1.h"
#include "Form2.h"
#include "QtDialogs.h"
#include "TerminationSignals.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QtDialogs native;
    Dialogs::setNative(&native);
    Form1 form;
    form.Form_Load();
    form.show();
    // Files and folders given on the command line, as a file manager's "Open With" does.
    if (const QStringList paths = application.arguments().mid(1); !paths.isEmpty())
        form.openPaths(paths);
    // A logout or a kill ends the program as closing its window does.
    TerminationSignals::install([&form] {
        if (Form2* second = form.secondPage())
            second->close();
        form.close();
        QCoreApplication::exit(0);
    });
    return application.exec();
}
