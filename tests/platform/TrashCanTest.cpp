#include "TrashCan.h"

#include "Failure.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Open {
    int fd;
    explicit Open(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {}
    ~Open() {
        if (fd >= 0)
            ::close(fd);
    }
};

struct stat statOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// The description's entries as a reader of the Trash sees them.
QMap<QString, QString> describedBy(const QString& info) {
    QMap<QString, QString> entries;
    const QList<QByteArray> lines = TestFiles::bytes(info).split('\n');
    if (lines.value(0) != "[Trash Info]")
        return {};
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            entries.insert(QString::fromLatin1(line.left(equals)),
                           QString::fromLatin1(line.mid(equals + 1)));
    }
    return entries;
}

// A small memory file system at path, unmounted when the guard goes; false when not root.
bool mountSmall(const QString& path, const QByteArray& options) {
    QDir().mkpath(path);
    return ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0,
                                       options.constData()) == 0;
}

} // namespace

// The desktop's Trash: where a file goes, what its description says, and that a failed step
// leaves nothing behind.
class TrashCanTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() { TestFiles::isolateHome(home_.path()); }

    // Kept under its own name, or the next free one; the description names where it was, so
    // that a file manager puts it back there.
    void keptWithItsDescription_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keptAs");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("plain") << "report.pdf"
                               << "report.pdf"
                               << "report.pdf";
        QTest::newRow("spaces") << "Q3 board minutes.pdf"
                                << "Q3 board minutes.pdf"
                                << "Q3%20board%20minutes.pdf";
        QTest::newRow("percent") << "100% done.pdf"
                                 << "100% done.pdf"
                                 << "100%25%20done.pdf";
        QTest::newRow("unicode") << "Übersicht–ß.pdf"
                                 << "Übersicht–ß.pdf"
                                 << "%C3%9Cbersicht%E2%80%93%C3%9F.pdf";
        // A name already in the Trash, from another folder: the first free number.
        QTest::newRow("clash") << "taken.pdf"
                               << "taken.3.pdf"
                               << "taken.pdf";
        QTest::newRow("clash without extension") << "taken"
                                                 << "taken.3"
                                                 << "taken";
    }
    void keptWithItsDescription() {
        QFETCH(QString, name);
        QFETCH(QString, keptAs);
        QFETCH(QString, encoded);
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.path() + "/" + name, "original");
        const TrashCan trash = TrashCan::forPath(file);
        QCOMPARE(trash.folder(), home_.path() + "/data/Trash");
        // An earlier file of that name, and a name under files/ whose description is gone.
        if (keptAs != name) {
            TestFiles::write(trash.folder() + "/info/" + name + ".trashinfo", "[Trash Info]\n");
            TestFiles::write(trash.folder() + "/files/" + TrashCan::candidateName(name, 2), "x");
        }
        const Open open(file);
        const TrashCan::Item item = trash.keep(file, open.fd);
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(item.file);
            QFile::remove(item.info);
        });
        QCOMPARE(item.file, trash.folder() + "/files/" + keptAs);
        QCOMPARE(item.info, trash.folder() + "/info/" + keptAs + ".trashinfo");
        // The same file under a second name: the original path still holds it.
        QCOMPARE(statOf(item.file).st_ino, statOf(file).st_ino);
        QCOMPARE(TestFiles::bytes(file), "original");
        const QMap<QString, QString> entries = describedBy(item.info);
        QCOMPARE(entries.value("Path"),
                 QString(QUrl::toPercentEncoding(dir.path(), "/")) + "/" + encoded);
        QCOMPARE(QUrl::fromPercentEncoding(entries.value("Path").toLatin1()), file);
        QVERIFY(QDateTime::fromString(entries.value("DeletionDate"), Qt::ISODate).isValid());
        QCOMPARE(entries.value("DeletionDate").size(), 19);
    }

    // Put back by one rename over whatever holds the path now; withdrawn, nothing is left.
    void putBackAndWithdraw() {
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.path() + "/a.pdf", "original");
        const TrashCan trash = TrashCan::forPath(file);
        TrashCan::Item item;
        {
            const Open open(file);
            item = trash.keep(file, open.fd);
        }
        TestFiles::write(dir.path() + "/new.pdf", "result");
        QVERIFY(::rename(QFile::encodeName(dir.path() + "/new.pdf").constData(),
                         QFile::encodeName(file).constData()) == 0);
        TrashCan::putBack(item, file);
        QCOMPARE(TestFiles::bytes(file), "original");
        QVERIFY(!QFile::exists(item.file));
        QVERIFY(!QFile::exists(item.info));

        const Open again(file);
        item = trash.keep(file, again.fd);
        TrashCan::withdraw(item, statOf(file));
        QVERIFY(!QFile::exists(item.file));
        QVERIFY(!QFile::exists(item.info));
        QCOMPARE(TestFiles::bytes(file), "original");
    }

    // A file on another mount goes to that mount's Trash: the administrator's sticky .Trash
    // when there is one, else the user's own .Trash-$uid; its Path= is relative to the mount.
    void anotherMountsTrash_data() {
        QTest::addColumn<bool>("shared");
        QTest::newRow(".Trash-uid") << false;
        QTest::newRow("sticky .Trash") << true;
    }
    void anotherMountsTrash() {
        QFETCH(bool, shared);
        QTemporaryDir dir;
        const QString mount = dir.path() + "/mount";
        if (!mountSmall(mount, "size=1m"))
            QSKIP("mounting a file system needs root");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mount), MNT_DETACH); });
        if (shared)
            QVERIFY(::mkdir(QFile::encodeName(mount + "/.Trash").constData(), 01777) == 0 &&
                    ::chmod(QFile::encodeName(mount + "/.Trash").constData(), 01777) == 0);
        QDir().mkpath(mount + "/sub dir");
        const QString file = TestFiles::write(mount + "/sub dir/a.pdf", "original");
        const TrashCan trash = TrashCan::forPath(file);
        const QString uid = QString::number(::geteuid());
        QCOMPARE(trash.folder(), shared ? mount + "/.Trash/" + uid : mount + "/.Trash-" + uid);
        const Open open(file);
        const TrashCan::Item item = trash.keep(file, open.fd);
        QCOMPARE(describedBy(item.info).value("Path"), "sub%20dir/a.pdf");
    }

    // A full disk while the description is written: the file is not kept, and neither the
    // description nor a second name is left.
    void fullDiskKeepsNothing() {
        QTemporaryDir dir;
        const QString mount = dir.path() + "/mount";
        if (!mountSmall(mount, "size=64k"))
            QSKIP("mounting a file system needs root");
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(mount), MNT_DETACH); });
        const QString file = TestFiles::write(mount + "/a.pdf", "original");
        const TrashCan trash = TrashCan::forPath(file);
        // Every block taken.
        QFile filler(mount + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        const Open open(file);
        try {
            trash.keep(file, open.fd);
            QFAIL("kept on a full disk");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains("no space left on device"),
                     qPrintable(failure.description()));
        }
        QCOMPARE(QDir(trash.folder() + "/info").entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(trash.folder() + "/files").entryList(QDir::Files), QStringList());
        QCOMPARE(TestFiles::bytes(file), "original");
    }

    // A Trash that is not a folder is no Trash: the reason says where.
    void unusableTrash() {
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.path() + "/a.pdf", "original");
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", data.toUtf8()); });
        QDir().mkpath(dir.path() + "/data");
        TestFiles::write(dir.path() + "/data/Trash", "not a folder");
        try {
            TrashCan::forPath(file);
            QFAIL("a file taken for the Trash");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().startsWith("there is no Trash this user may use at " +
                                                      dir.path() + "/data/Trash"),
                     qPrintable(failure.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TrashCanTest)
#include "TrashCanTest.moc"
