#include "Toolkit.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class ToolkitTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(QDir(dir_.path()).mkpath("program"));
        QVERIFY(QDir(dir_.path()).mkpath("bin1"));
        QVERIFY(QDir(dir_.path()).mkpath("bin2"));
        QVERIFY(QDir(dir_.path()).mkpath("empty"));
        TestFiles::writeScript(dir_.filePath("bin1/pdftk"), "exit 0");
        TestFiles::writeScript(dir_.filePath("bin2/pdftk"), "exit 0");
    }

    void ownToolkitWins() {
        const QString own = TestFiles::writeScript(dir_.filePath("program/pdftk"), "exit 0");
        QCOMPARE(Toolkit::locate(dir_.filePath("program"), dir_.filePath("bin1")), own);
        QFile::remove(own);
    }

    void ownToolkitMustBeExecutable() {
        const QString own = TestFiles::writeScript(dir_.filePath("program/pdftk"), "exit 0");
        QFile::setPermissions(own, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(Toolkit::locate(dir_.filePath("program"), dir_.filePath("bin1")),
                 dir_.filePath("bin1/pdftk"));
        QFile::remove(own);
    }

    void firstOnPath() {
        const QString path =
            dir_.filePath("empty") + ":" + dir_.filePath("bin2") + ":" + dir_.filePath("bin1");
        QCOMPARE(Toolkit::locate(dir_.filePath("program"), path), dir_.filePath("bin2/pdftk"));
    }

    void noneFound() {
        QCOMPARE(Toolkit::locate(dir_.filePath("program"), dir_.filePath("empty")), QString());
        QCOMPARE(Toolkit::locate(dir_.filePath("program"), QString()), QString());
    }
};

QTEST_GUILESS_MAIN(ToolkitTest)
#include "ToolkitTest.moc"
