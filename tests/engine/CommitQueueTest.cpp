#include "CommitQueue.h"

#include "FileJob.h"
#include "OriginalKeeper.h"
#include "Rejection.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

class CommitQueueTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    // A file's job whose result for destination holds content, as the toolkit would have left it.
    static std::unique_ptr<FileJob> result(const QString& destination, const QByteArray& content,
                                           int position = 1) {
        auto job = std::make_unique<FileJob>(position, destination);
        job->outcome.destination = destination;
        job->output = std::make_unique<OutputFile>(destination);
        TestFiles::write(job->output->temporaryPath(), content);
        return job;
    }

private slots:
    // The Trash and the run's journal in a home of the test's own.
    void initTestCase() { TestFiles::isolateHome(dir_.filePath("home")); }

    // Two results for one destination land in the order they were handed over, and each
    // comes back with its own job.
    void inOrderAndTagged() {
        const QString destination = TestFiles::write(dir_.filePath("order.pdf"), "original");
        CommitQueue queue;
        for (int i = 0; i < 20; ++i)
            queue.add(result(destination, QByteArray::number(i), 100 + i));
        queue.waitForAll();
        QVERIFY(!queue.pending(destination));
        QCOMPARE(TestFiles::bytes(destination), QByteArray("19"));
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), std::size_t(20));
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(finished[i].job->position, 100 + i);
            QVERIFY(!finished[i].refused);
            QCOMPARE(finished[i].job->outcome.reason, QString());
        }
        QVERIFY(queue.takeFinished().empty());
    }

    // A result that cannot take its place is reported and removed; the original stays.
    void refusedIsReportedAndRemoved() {
        const QString folder = dir_.filePath("a folder.pdf");
        QDir().mkpath(folder);
        TestFiles::write(folder + "/inside", "kept");
        CommitQueue queue;
        auto job = result(folder, "%PDF-1.4\n%%EOF\n", 7);
        const QString temporary = job->output->temporaryPath();
        queue.add(std::move(job));
        queue.waitForAll();
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), std::size_t(1));
        QCOMPARE(finished[0].job->position, 7);
        QVERIFY(finished[0].refused);
        QCOMPARE(finished[0].job->outcome.reason, finished[0].refused->reason());
        QVERIFY(!finished[0].refused->permissionDenied());
        QVERIFY(!QFile::exists(temporary));
        QCOMPARE(TestFiles::bytes(folder + "/inside"), QByteArray("kept"));
    }

    // The window's thread turns its event loop while it waits: here only the loop can release
    // the result the queue is working on.
    void waitingKeepsTheLoopTurning() {
        CommitQueue queue;
        std::atomic<bool> released{false};
        const QString destination = dir_.filePath("held.pdf");
        queue.add(result(destination, "held"), [&](const FileJob&) {
            for (int i = 0; i < 500 && !released; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        QTimer::singleShot(0, [&] { released = true; });
        queue.waitForAll();
        QVERIFY(released);
        QVERIFY(QFile::exists(destination));
    }

    // Results handed over faster than they are put in place wait a few at a time: each holds
    // an open result file, and a run of thousands of files must not run out of descriptors.
    void fewWaitAtOnce() {
        CommitQueue queue;
        std::atomic<int> started{0};
        int added = 0;
        int mostWaiting = 0;
        const int count = 4 * int(CommitQueue::waitingLimit);
        for (int i = 0; i < count; ++i) {
            queue.add(result(dir_.filePath(QStringLiteral("slow%1.pdf").arg(i)), "slow", i),
                      [&](const FileJob&) {
                          ++started;
                          std::this_thread::sleep_for(std::chrono::milliseconds(1));
                      });
            mostWaiting = std::max(mostWaiting, ++added - started);
        }
        queue.waitForAll();
        // Those waiting and the group being worked on.
        QVERIFY(mostWaiting <= int(CommitQueue::waitingLimit + CommitQueue::largestGroup) + 1);
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), std::size_t(count));
        for (int i = 0; i < count; ++i)
            QCOMPARE(finished[i].job->position, i);
    }

    // A check that turns the result down gives the file's reason; one that fails in itself says
    // that the result could not be checked. Neither lets the result replace its destination,
    // and the results handed over with it, flushed in the same group, still replace theirs.
    void turnedDownOrNotChecked_data() {
        QTest::addColumn<bool>("rejected");
        QTest::addColumn<QString>("reason");
        QTest::newRow("rejected") << true << "a page was lost";
        QTest::newRow("not checked")
            << false << "the result could not be checked: the reader stopped";
    }
    void turnedDownOrNotChecked() {
        QFETCH(bool, rejected);
        QFETCH(QString, reason);
        const QString destination = TestFiles::write(dir_.filePath("checked.pdf"), "original");
        CommitQueue queue;
        // The first check waits until the others are queued, which are then one group.
        std::atomic<bool> queued{false};
        queue.add(result(TestFiles::write(dir_.filePath("first.pdf"), "original"), "changed"),
                  [&queued](const FileJob&) {
                      while (!queued)
                          std::this_thread::yield();
                  });
        const QString before = TestFiles::write(dir_.filePath("before.pdf"), "original");
        const QString after = TestFiles::write(dir_.filePath("after.pdf"), "original");
        // The originals replaced go to the Trash, whose names are flushed for the group.
        const auto keeper = std::make_shared<OriginalKeeper>(RunJournal(RunJournal::Kind::Set));
        const auto kept = [&keeper](std::unique_ptr<FileJob> job) {
            job->output->keepOriginalWith(keeper);
            return job;
        };
        queue.add(kept(result(before, "changed")));
        auto job = kept(result(destination, "changed"));
        const QString temporary = job->output->temporaryPath();
        queue.add(std::move(job), [rejected](const FileJob&) {
            if (rejected)
                throw Rejection(QStringLiteral("a page was lost"));
            throw Failure(QStringLiteral("the reader stopped"));
        });
        queue.add(kept(result(after, "changed")));
        queued = true;
        queue.waitForAll();
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), std::size_t(4));
        QCOMPARE(finished[2].job->outcome.reason, reason);
        QVERIFY(!finished[2].refused);
        QCOMPARE(TestFiles::bytes(destination), QByteArray("original"));
        QVERIFY(!QFile::exists(temporary));
        const QString trash = TrashCan::forPath(destination).folder() + "/files/";
        for (const QString& neighbour : {before, after}) {
            QCOMPARE(TestFiles::bytes(neighbour), QByteArray("changed"));
            QCOMPARE(TestFiles::bytes(trash + QFileInfo(neighbour).fileName()),
                     QByteArray("original"));
        }
        QVERIFY(!QFile::exists(trash + "checked.pdf"));
        keeper->finish();
    }

    // Whatever was handed over is in place once the queue is gone, as when the program closes
    // in the middle of a run.
    void finishedOnDestruction() {
        const QString destination = TestFiles::write(dir_.filePath("closing.pdf"), "original");
        QString temporary;
        {
            CommitQueue queue;
            auto job = result(destination, "changed");
            temporary = job->output->temporaryPath();
            queue.add(std::move(job));
        }
        QCOMPARE(TestFiles::bytes(destination), QByteArray("changed"));
        QVERIFY(!QFile::exists(temporary));
    }
};

QTEST_GUILESS_MAIN(CommitQueueTest)
#include "CommitQueueTest.moc"
