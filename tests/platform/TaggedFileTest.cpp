#include "TaggedFile.h"

#include "ProcessTag.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

    // Whether another open of path could take its lock now.
    static bool lockable(const QString& path) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        ::close(fd);
        return free;
    }

private slots:
    void createdUniqueAndPrivate() {
        QTemporaryDir dir;
        TaggedFile held = TaggedFile::create(dir.path(), ".x-", ".pdf");
        const QString first = held.path();
        const QString second = TaggedFile::create(dir.path(), ".x-", ".pdf").path();
        QVERIFY(!first.isEmpty() && first != second);
        QCOMPARE(ProcessTag::tagOf(QFileInfo(first).fileName(), ".x-", ".pdf"), ProcessTag::own());
        QVERIFY(ProcessTag::isLive(ProcessTag::own()));
        QCOMPARE(TestFiles::mode(first), mode_t(0600));
        QVERIFY(TaggedFile::create(dir.filePath("missing"), ".x-", ".pdf").isEmpty());
        // Held locked while in use, moved or not; the file stays when the hold ends.
        QVERIFY(!lockable(first));
        TaggedFile moved = std::move(held);
        QVERIFY(!lockable(first));
        QVERIFY(lockable(second));
        held = TaggedFile();
        QVERIFY(!lockable(first));
        { const TaggedFile gone = std::move(moved); }
        QVERIFY(lockable(first));
        QVERIFY(QFileInfo::exists(first));
    }

    // A live run in another PID namespace: the id in its files' names is no process here (or
    // another one), yet it holds them locked, and they stay. Unlocked, they go.
    void lockedFilesStayWhateverTheirNames() {
        QTemporaryDir dir;
        const QString dead = endedProcessTag();
        const QString live = TestFiles::write(dir.filePath(".m-" + dead + "-live00.pdf"), "x");
        const QString left = TestFiles::write(dir.filePath(".m-" + dead + "-left00.pdf"), "x");
        const int holder = ::open(QFile::encodeName(live).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(holder >= 0 && ::flock(holder, LOCK_SH) == 0);
        QCOMPARE(TaggedFile::removeLeftovers(dir.path(), ".m-", ".pdf"), 1);
        QVERIFY(QFileInfo::exists(live));
        QVERIFY(!QFileInfo::exists(left));
        ::close(holder);
        QCOMPARE(TaggedFile::removeLeftovers(dir.path(), ".m-", ".pdf"), 1);
        QVERIFY(!QFileInfo::exists(live));
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
