#include "PrivateTempFolder.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

class PrivateTempFolderTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir base_;
    QString expected() const {
        return base_.path() + QStringLiteral("/metascribe-") + QString::number(::getuid());
    }

private slots:
    void init() {
        QDir(expected()).removeRecursively();
        QFile::remove(expected());
        qputenv("TEMP", QFile::encodeName(base_.path()));
    }
    void cleanupTestCase() { qunsetenv("TEMP"); }

    void followsTemp() {
        QCOMPARE(PrivateTempFolder::path(), expected());
        qputenv("TEMP", QFile::encodeName(base_.path() + "/"));
        QCOMPARE(PrivateTempFolder::path(), expected());
    }

    void unusableTempFallsBack_data() {
        QTest::addColumn<QByteArray>("temp");
        QTest::addColumn<QByteArray>("tmpdir");
        QTest::addColumn<QString>("folder");
        const QByteArray system = QFile::encodeName(base_.path());
        QTest::newRow("unset") << QByteArray() << system << base_.path();
        QTest::newRow("empty") << QByteArray("") << system << base_.path();
        QTest::newRow("missing") << system + "/does/not/exist" << system << base_.path();
        QTest::newRow("relative") << QByteArray("tmp") << system << base_.path();
        QTest::newRow("system folder missing too")
            << QByteArray() << QByteArray("/nonexistent") << QStringLiteral("/tmp");
        QTest::newRow("system folder relative")
            << QByteArray("") << QByteArray("relative") << QStringLiteral("/tmp");
    }
    void unusableTempFallsBack() {
        QFETCH(QByteArray, temp);
        QFETCH(QByteArray, tmpdir);
        QFETCH(QString, folder);
        const QByteArray savedTmpdir = qgetenv("TMPDIR");
        if (temp.isNull())
            qunsetenv("TEMP");
        else
            qputenv("TEMP", temp);
        qputenv("TMPDIR", tmpdir);
        const QString path = PrivateTempFolder::path();
        qputenv("TMPDIR", savedTmpdir);
        QCOMPARE(path, folder + QStringLiteral("/metascribe-") + QString::number(::getuid()));
    }

    void createdPrivate() {
        QCOMPARE(PrivateTempFolder::ensure(), expected());
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(expected()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        // An existing folder with looser permissions is tightened.
        QVERIFY(::chmod(QFile::encodeName(expected()).constData(), 0755) == 0);
        PrivateTempFolder::ensure();
        QVERIFY(::lstat(QFile::encodeName(expected()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
    }

    // A name taken by a link or by another user's folder stops no run: the process works in a
    // private folder elsewhere, and nothing reaches through the link.
    void takenNameAvoided_data() {
        QTest::addColumn<QString>("taken");
        QTest::addColumn<bool>("runtimeFolder");
        QTest::newRow("a link, no runtime folder") << "link" << false;
        QTest::newRow("a link, a runtime folder") << "link" << true;
        QTest::newRow("another user's folder") << "foreign" << false;
    }
    void takenNameAvoided() {
        QFETCH(QString, taken);
        QFETCH(bool, runtimeFolder);
        QTemporaryDir elsewhere;
        if (taken == "link") {
            QVERIFY(QFile::link(elsewhere.path(), expected()));
        } else {
            if (::getuid() != 0)
                QSKIP("giving a folder to another user needs root");
            QVERIFY(QDir().mkpath(expected()));
            QVERIFY(::chown(QFile::encodeName(expected()).constData(), 65534, 65534) == 0);
        }
        QTemporaryDir runtime;
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        if (runtimeFolder)
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        else
            qunsetenv("XDG_RUNTIME_DIR");
        const QString folder = PrivateTempFolder::ensure();
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        QVERIFY(folder != expected());
        if (runtimeFolder)
            QCOMPARE(folder, runtime.path() + "/metascribe");
        struct stat info {};
        QVERIFY(::lstat(QFile::encodeName(folder).constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode));
        QCOMPARE(info.st_uid, ::getuid());
        QCOMPARE(info.st_mode & 0777, mode_t(0700));
        PrivateTempFolder::writeFile(
            PrivateTempFolder::createFile(PrivateTempFolder::Kind::Info).path(), "x");
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
        if (!runtimeFolder)
            QDir(folder).removeRecursively();
    }

    void writeAndReadRefuseLinks() {
        const QString folder = PrivateTempFolder::ensure();
        const QString info = folder + "/info.txt";
        PrivateTempFolder::writeFile(info, "first, longer content");
        PrivateTempFolder::writeFile(info, "second");
        QCOMPARE(PrivateTempFolder::readFile(info), QByteArray("second"));

        const QString victim = base_.filePath("victim.txt");
        QFile file(victim);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        QVERIFY(QFile::remove(info));
        QVERIFY(QFile::link(victim, info));
        QVERIFY_THROWS_EXCEPTION(Failure, PrivateTempFolder::writeFile(info, "overwritten"));
        QVERIFY_THROWS_EXCEPTION(Failure, PrivateTempFolder::readFile(info));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }
};

QTEST_GUILESS_MAIN(PrivateTempFolderTest)
#include "PrivateTempFolderTest.moc"
