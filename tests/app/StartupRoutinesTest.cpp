#include "StartupRoutines.h"

#include "Contact.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QStandardPaths>
#include <QTemporaryDir>
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

    // A TMPDIR that names no folder to write into would make Qt create folders at the root.
    void unusableTempFolderIsDropped_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("a folder") << "folder" << false;
        QTest::newRow("missing") << "missing" << true;
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("empty") << "empty" << true;
    }
    void unusableTempFolderIsDropped() {
        QFETCH(QString, kind);
        QFETCH(bool, dropped);
        QTemporaryDir dir;
        QString value = dir.path();
        if (kind == "missing")
            value = dir.filePath("missing");
        else if (kind == "file")
            value = TestFiles::write(dir.filePath("file"), "x");
        else if (kind == "empty")
            value.clear();
        const QByteArray before = qgetenv("TMPDIR");
        const bool hadBefore = qEnvironmentVariableIsSet("TMPDIR");
        qputenv("TMPDIR", value.toLocal8Bit());
        const bool result = StartupRoutines::dropUnusableTempFolder();
        const bool stillSet = qEnvironmentVariableIsSet("TMPDIR");
        hadBefore ? qputenv("TMPDIR", before) : qunsetenv("TMPDIR");
        QCOMPARE(result, dropped);
        QCOMPARE(stillSet, !dropped);
    }

    void desktopFolderEndsWithSeparator() {
        const QString desktop = StartupRoutines::desktopFolder();
        QCOMPARE(desktop, QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) + "/");
    }
};

QTEST_GUILESS_MAIN(StartupRoutinesTest)
#include "StartupRoutinesTest.moc"
