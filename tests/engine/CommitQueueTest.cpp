#include "CommitQueue.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

class CommitQueueTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    // A result for destination holding content, as the toolkit would have left it.
    static std::unique_ptr<OutputFile> result(const QString& destination,
                                              const QByteArray& content) {
        auto output = std::make_unique<OutputFile>(destination);
        TestFiles::write(output->temporaryPath(), content);
        return output;
    }

private slots:
    // Two results for one destination land in the order they were handed over, and each
    // reports back under its own tag.
    void inOrderAndTagged() {
        const QString destination = TestFiles::write(dir_.filePath("order.pdf"), "original");
        CommitQueue queue;
        for (int i = 0; i < 20; ++i)
            queue.add(result(destination, QByteArray::number(i)), 100 + i);
        queue.waitForAll();
        QVERIFY(!queue.pending(destination));
        QCOMPARE(TestFiles::bytes(destination), QByteArray("19"));
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), 20);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(finished[i].tag, 100 + i);
            QVERIFY(!finished[i].refused);
        }
        QVERIFY(queue.takeFinished().isEmpty());
    }

    // A result that cannot take its place is reported and removed; the original stays.
    void refusedIsReportedAndRemoved() {
        const QString folder = dir_.filePath("a folder.pdf");
        QDir().mkpath(folder);
        TestFiles::write(folder + "/inside", "kept");
        CommitQueue queue;
        auto output = result(folder, "%PDF-1.4\n%%EOF\n");
        const QString temporary = output->temporaryPath();
        queue.add(std::move(output), 7);
        queue.waitForAll();
        const auto finished = queue.takeFinished();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0].tag, 7);
        QVERIFY(finished[0].refused);
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
        queue.add(result(destination, "held"), 0, [&] {
            for (int i = 0; i < 500 && !released; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return QString();
        });
        QTimer::singleShot(0, [&] { released = true; });
        queue.waitForAll();
        QVERIFY(released);
        QVERIFY(QFile::exists(destination));
    }

    // Whatever was handed over is in place once the queue is gone, as when the program closes
    // in the middle of a run.
    void finishedOnDestruction() {
        const QString destination = TestFiles::write(dir_.filePath("closing.pdf"), "original");
        QString temporary;
        {
            CommitQueue queue;
            auto output = result(destination, "changed");
            temporary = output->temporaryPath();
            queue.add(std::move(output), 0);
        }
        QCOMPARE(TestFiles::bytes(destination), QByteArray("changed"));
        QVERIFY(!QFile::exists(temporary));
    }
};

QTEST_GUILESS_MAIN(CommitQueueTest)
#include "CommitQueueTest.moc"
