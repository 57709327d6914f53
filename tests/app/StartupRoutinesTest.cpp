#include "StartupRoutines.h"

#include "Contact.h"
#include "ScriptedDialogs.h"

#include <QStandardPaths>
#include <QTest>

class StartupRoutinesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { StartupRoutines::setDraw({}); }

    void webSiteOnlyOnTheLuckyDraw_data() {
        QTest::addColumn<int>("draw");
        QTest::addColumn<bool>("opened");
        QTest::newRow("seven") << 7 << true;
        QTest::newRow("one") << 1 << false;
        QTest::newRow("hundred") << 100 << false;
    }
    void webSiteOnlyOnTheLuckyDraw() {
        QFETCH(int, draw);
        QFETCH(bool, opened);
        ScriptedDialogs dialogs;
        StartupRoutines::setDraw([draw] { return draw; });
        StartupRoutines::webSiteRoutine();
        QCOMPARE(dialogs.shown.size(), opened ? 1 : 0);
        if (opened) {
            QCOMPARE(dialogs.shown.first().kind, ScriptedDialogs::Kind::External);
            QCOMPARE(dialogs.shown.first().text, QString::fromLatin1(Contact::WebAddress));
        }
    }

    void desktopFolderEndsWithSeparator() {
        const QString desktop = StartupRoutines::desktopFolder();
        QCOMPARE(desktop, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/");
    }
};

QTEST_GUILESS_MAIN(StartupRoutinesTest)
#include "StartupRoutinesTest.moc"
