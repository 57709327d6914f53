#include "FileIdentity.h"

#include "FileDescriptor.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>

Q_DECLARE_METATYPE(FileIdentity::Links)

// Which file a path names: a link is the file it points to only when links are followed, a hard
// link always is, and a path that cannot be examined is no file at all.
class FileIdentityTest : public QObject {
    Q_OBJECT

private slots:
    void pathsNameTheSameFile_data() {
        QTest::addColumn<QString>("other");
        QTest::addColumn<FileIdentity::Links>("links");
        QTest::addColumn<bool>("examined");
        QTest::addColumn<bool>("same");
        const auto followed = FileIdentity::Links::Followed;
        const auto notFollowed = FileIdentity::Links::NotFollowed;
        QTest::newRow("itself") << "file.pdf" << notFollowed << true << true;
        QTest::newRow("another spelling") << "./sub/../file.pdf" << followed << true << true;
        QTest::newRow("link followed") << "link.pdf" << followed << true << true;
        QTest::newRow("link not followed") << "link.pdf" << notFollowed << true << false;
        QTest::newRow("hard link") << "hard.pdf" << notFollowed << true << true;
        QTest::newRow("another file") << "other.pdf" << followed << true << false;
        QTest::newRow("dangling link followed") << "dangling.pdf" << followed << false << false;
        QTest::newRow("dangling link not followed")
            << "dangling.pdf" << notFollowed << true << false;
        QTest::newRow("missing") << "missing.pdf" << notFollowed << false << false;
    }
    void pathsNameTheSameFile() {
        QFETCH(QString, other);
        QFETCH(FileIdentity::Links, links);
        QFETCH(bool, examined);
        QFETCH(bool, same);
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.filePath("file.pdf"), "content");
        TestFiles::write(dir.filePath("other.pdf"), "content");
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(QFile::link(file, dir.filePath("link.pdf")));
        QVERIFY(QFile::link(dir.filePath("gone.pdf"), dir.filePath("dangling.pdf")));
        QVERIFY(::link(QFile::encodeName(file).constData(),
                       QFile::encodeName(dir.filePath("hard.pdf")).constData()) == 0);

        const std::optional<FileIdentity> named = FileIdentity::of(file, links);
        const std::optional<FileIdentity> found = FileIdentity::of(dir.path() + "/" + other, links);
        QVERIFY(named);
        QCOMPARE(found.has_value(), examined);
        QCOMPARE(named == found, same);
    }

    // An open file is the file its name led to when it was opened, and stays so when the name
    // goes to another file.
    void openFileKeepsItsIdentity() {
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.filePath("file.pdf"), "content");
        const FileDescriptor open(::open(QFile::encodeName(file).constData(), O_RDONLY));
        QVERIFY(open.isOpen());
        QVERIFY(FileIdentity::of(open.get()) ==
                FileIdentity::of(file, FileIdentity::Links::NotFollowed));
        const QString replacement = TestFiles::write(dir.filePath("new.pdf"), "new");
        QVERIFY(::rename(QFile::encodeName(replacement).constData(),
                         QFile::encodeName(file).constData()) == 0);
        QVERIFY(FileIdentity::of(open.get()) !=
                FileIdentity::of(file, FileIdentity::Links::NotFollowed));
        QVERIFY(!FileIdentity::of(-1));
    }
};

QTEST_GUILESS_MAIN(FileIdentityTest)
#include "FileIdentityTest.moc"
