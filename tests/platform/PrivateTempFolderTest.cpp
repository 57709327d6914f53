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

    void withoutTempUsesSystemFolder_data() {
        QTest::addColumn<bool>("set");
        QTest::newRow("unset") << false;
        QTest::newRow("empty") << true;
    }
    void withoutTempUsesSystemFolder() {
        QFETCH(bool, set);
        if (set)
            qputenv("TEMP", "");
        else
            qunsetenv("TEMP");
        QCOMPARE(PrivateTempFolder::path(),
                 QDir::tempPath() + QStringLiteral("/metascribe-") + QString::number(::getuid()));
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

    void linkRefused() {
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), expected()));
        QVERIFY_THROWS_EXCEPTION(Failure, PrivateTempFolder::ensure());
    }

    void missingTempFails() {
        qputenv("TEMP", QFile::encodeName(base_.path() + "/does/not/exist"));
        QVERIFY_THROWS_EXCEPTION(Failure, PrivateTempFolder::ensure());
    }

    void foreignOwnerRefused() {
        if (::getuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QVERIFY(QDir().mkpath(expected()));
        QVERIFY(::chown(QFile::encodeName(expected()).constData(), 65534, 65534) == 0);
        QVERIFY_THROWS_EXCEPTION(Failure, PrivateTempFolder::ensure());
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
