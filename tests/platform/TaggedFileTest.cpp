#include "TaggedFile.h"

#include "ProcessTag.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Files named after the process that made them, and the removal of what dead processes left.
class TaggedFileTest : public QObject {
    Q_OBJECT

private:
    // The tag a process had that has ended since.
    static QString endedProcessTag() {
        QProcess process;
        process.start("sleep", {"5"});
        process.waitForStarted();
        const QString tag =
            QString::number(process.processId()) + "." + ProcessTag::startTime(process.processId());
        process.kill();
        process.waitForFinished();
        return tag;
    }

private slots:
    void createdUniqueAndPrivate() {
        QTemporaryDir dir;
        const QString first = TaggedFile::create(dir.path(), ".x-", ".pdf");
        const QString second = TaggedFile::create(dir.path(), ".x-", ".pdf");
        QVERIFY(!first.isEmpty() && first != second);
        QCOMPARE(ProcessTag::tagOf(QFileInfo(first).fileName(), ".x-", ".pdf"), ProcessTag::own());
        QVERIFY(ProcessTag::isLive(ProcessTag::own()));
        QCOMPARE(TestFiles::mode(first), mode_t(0600));
        QVERIFY(TaggedFile::create(dir.filePath("missing"), ".x-", ".pdf").isEmpty());
    }

    void onlyDeadProcessesLeftoversGo() {
        QTemporaryDir dir;
        const QString dead = endedProcessTag();
        QVERIFY(!ProcessTag::isLive(dead));
        const QStringList removed{
            ".m-" + dead + "-abc123.pdf",
            // An earlier process with this one's id: only the start time tells them apart.
            ".m-" + QString::number(::getpid()) + ".1-abc123.pdf",
        };
        const QStringList kept{
            ".m-" + ProcessTag::own() + "-abc123.pdf", // a live run's
            ".m-" + dead + "-abc123.pdf.bak",          // not of the form
            ".m-" + dead + "-abc12.pdf",               // not of the form
            "report.pdf",
        };
        for (const QString& name : removed + kept)
            TestFiles::write(dir.filePath(name), "x");
        const QString link = ".m-" + dead + "-link00.pdf";
        QVERIFY(QFile::link(dir.filePath("report.pdf"), dir.filePath(link)));
        QDir(dir.path()).mkdir(".m-" + dead + "-fold00.pdf");

        QCOMPARE(TaggedFile::removeLeftovers(dir.path(), ".m-", ".pdf"), 2);
        for (const QString& name : removed)
            QVERIFY2(!QFileInfo::exists(dir.filePath(name)), qPrintable(name));
        for (const QString& name : kept)
            QVERIFY2(QFileInfo::exists(dir.filePath(name)), qPrintable(name));
        QVERIFY(QFileInfo(dir.filePath(link)).isSymLink());
        QVERIFY(QFileInfo(dir.filePath(".m-" + dead + "-fold00.pdf")).isDir());
    }
};

QTEST_GUILESS_MAIN(TaggedFileTest)
#include "TaggedFileTest.moc"
