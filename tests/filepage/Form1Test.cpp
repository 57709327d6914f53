#include "Form1.h"

#include "Dialogs.h"

#include <QTest>

class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void loadSetsCaptionAndTitle() {
        Form1 form;
        form.Form_Load();
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Metascribe"));
        QCOMPARE(Dialogs::applicationTitle(), QStringLiteral("Metascribe"));
    }
};

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
