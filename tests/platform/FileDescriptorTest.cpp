#include "FileDescriptor.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

int openNull() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

} // namespace

// A descriptor is closed exactly once, by whoever holds it last: a second close would close
// whatever the system handed that number to since, another part's file.
class FileDescriptorTest : public QObject {
    Q_OBJECT

private slots:
    void closedOnceByItsLastHolder() {
        int fd = -1;
        {
            FileDescriptor first(openNull());
            fd = first.get();
            QVERIFY(fd >= 0);
            FileDescriptor second(std::move(first));
            QCOMPARE(first.get(), -1);
            QCOMPARE(second.get(), fd);
            FileDescriptor third;
            third = std::move(second);
            QCOMPARE(second.get(), -1);
            QVERIFY(isOpen(fd));
        }
        QVERIFY(!isOpen(fd));
    }

    void assignmentClosesWhatWasHeld() {
        FileDescriptor held(openNull());
        const int before = held.get();
        held = FileDescriptor(openNull());
        QVERIFY(held.get() != before);
        QVERIFY(!isOpen(before));
    }

    void closeTellsAndReleaseHandsOn() {
        FileDescriptor closed(openNull());
        const int fd = closed.get();
        QCOMPARE(closed.close(), 0);
        QVERIFY(!closed.isOpen());
        QVERIFY(!isOpen(fd));
        QCOMPARE(closed.close(), 0);

        int kept = -1;
        {
            FileDescriptor handed(openNull());
            kept = handed.release();
            QVERIFY(!handed.isOpen());
        }
        QVERIFY(isOpen(kept));
        ::close(kept);
    }
};

QTEST_GUILESS_MAIN(FileDescriptorTest)
#include "FileDescriptorTest.moc"
