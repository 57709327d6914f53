#include "FolderWalker.h"

#include "Failure.h"
#include "ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class FolderWalkerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString root() const { return dir_->path() + "/R/"; }
    void folders(const QStringList& paths) {
        for (const QString& path : paths)
            QVERIFY(QDir().mkpath(dir_->path() + "/R/" + path));
    }
    void files(const QStringList& paths) {
        for (const QString& path : paths) {
            QFile file(dir_->path() + "/R/" + path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
    QStringList walk() {
        QStringList list{root()};
        FolderWalker::AppendSubFolders(list, true);
        QStringList relative;
        for (const QString& entry : list)
            relative << entry.mid(dir_->path().size() + 1);
        return relative;
    }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void breadthFirst() {
        folders({"B/B1", "A/A1"});
        QCOMPARE(walk(), (QStringList{"R/", "R/A/", "R/B/", "R/A/A1/", "R/B/B1/"}));
    }

    void noSubFolders() {
        folders({""});
        files({"a.pdf"});
        QCOMPARE(walk(), QStringList{"R/"});
    }

    void sortedAsAFileManagerShowsThem() {
        folders({"b", "A", "item10", "item9", "C"});
        QCOMPARE(walk(), (QStringList{"R/", "R/A/", "R/b/", "R/C/", "R/item9/", "R/item10/"}));
    }

    void linksToFoldersAreNotFollowed() {
        folders({"A/A1"});
        QVERIFY(QFile::link(root(), root() + "A/A1/loop"));
        QVERIFY(QFile::link(root() + "A", root() + "toA"));
        QCOMPARE(walk(), (QStringList{"R/", "R/A/", "R/A/A1/"}));
    }

    void oddNamesLeftOutWithEverythingBelow_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("control character") << QByteArray("tab\there");
        QTest::newRow("question mark") << QByteArray("what?");
        QTest::newRow("DEL") << QByteArray("del\x7f");
        QTest::newRow("C1 control") << QByteArray("c1\xc2\x85");
        QTest::newRow("not UTF-8") << QByteArray("latin1-\xe9");
    }
    void oddNamesLeftOutWithEverythingBelow() {
        QFETCH(QByteArray, name);
        folders({"fine/Ünïcödé 東京"});
        const QByteArray odd = QFile::encodeName(root()) + name;
        QVERIFY(::mkdir(odd.constData(), 0755) == 0);
        QVERIFY(::mkdir((odd + "/below").constData(), 0755) == 0);
        const QStringList walked = walk();
        // Removed by its bytes: a name that is not UTF-8 cannot be removed through a QString.
        ::rmdir((odd + "/below").constData());
        ::rmdir(odd.constData());
        QCOMPARE(walked, (QStringList{"R/", "R/fine/", "R/fine/Ünïcödé 東京/"}));
    }

    void folderWithoutPermissionDropped() {
        if (::getuid() == 0)
            QSKIP("root may list any folder; run the tests as another user to see this");
        folders({"A/hidden", "B/B1"});
        QVERIFY(::chmod(QFile::encodeName(root() + "A").constData(), 0) == 0);
        const QStringList result = walk();
        ::chmod(QFile::encodeName(root() + "A").constData(), 0755);
        QCOMPARE(result, (QStringList{"R/", "R/B/", "R/B/B1/"}));
    }

    void missingStartStaysButGivesNothing() {
        QStringList list{dir_->path() + "/gone/"};
        ScriptedDialogs dialogs;
        FolderWalker::AppendSubFolders(list, true);
        QCOMPARE(list, QStringList{dir_->path() + "/gone/"});
        QVERIFY(dialogs.shown.isEmpty());
    }

    void folderFiles() {
        folders({"sub.pdf"});
        files({"a.pdf", "B.Pdf", "c.PDF.txt", ".hidden.pdf", "noext", "file10.pdf", "file9.pdf"});
        QVERIFY(QFile::link(root() + "a.pdf", root() + "link.pdf"));
        QVERIFY(QFile::link(root() + "missing.pdf", root() + "dangling.pdf"));
        QCOMPARE(
            FolderWalker::GetFolderFiles(root(), "*.pdf"),
            (QStringList{".hidden.pdf", "a.pdf", "B.Pdf", "file9.pdf", "file10.pdf", "link.pdf"}));
        QCOMPARE(FolderWalker::GetFolderFiles(dir_->path() + "/R", "*.PDF").size(), 6);
        QCOMPARE(FolderWalker::GetFolderFiles(root(), "*.*").size(), 8);
        QVERIFY(FolderWalker::GetFolderFiles(root(), "*.doc").isEmpty());
        QVERIFY_THROWS_EXCEPTION(Failure, FolderWalker::GetFolderFiles(root() + "gone", "*.*"));
    }

    // A tree's walk for the command line lists, in their places, the entries it does not take
    // that match the pattern, with the reasons; links to folders and other names stay unsaid.
    void filesInTreeListRefusedEntries() {
        folders({"sub", "real"});
        files({"b.pdf", "sub/c.pdf"});
        const QByteArray base = QFile::encodeName(root());
        QVERIFY(::mkfifo((base + "a-pipe.pdf").constData(), 0644) == 0);
        QVERIFY(::mkfifo((base + "pipe.txt").constData(), 0644) == 0);
        QVERIFY(::symlink("/dev/null", (base + "sub/device.pdf").constData()) == 0);
        QVERIFY(::symlink("gone", (base + "dangling.pdf").constData()) == 0);
        QVERIFY(::symlink((base + "real").constData(), (base + "folder.pdf").constData()) == 0);
        const QByteArray oddFile = base + "caf\xe9.pdf";
        const QByteArray oddFolder = base + "d\xe9j\xe0";
        QVERIFY(::close(::open(oddFile.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        QVERIFY(::mkdir(oddFolder.constData(), 0755) == 0);
        const QList<FolderWalker::Found> found =
            FolderWalker::FilesInTree(root().chopped(1), "*.pdf");
        ::unlink(oddFile.constData());
        ::rmdir(oddFolder.constData());
        QStringList listed;
        for (const FolderWalker::Found& entry : found)
            listed << entry.path.mid(root().size()) + " " + entry.refusal;
        QCOMPARE(listed,
                 (QStringList{"a-pipe.pdf it is not a regular file", "b.pdf ",
                              "caf\uFFFD.pdf its name is not valid UTF-8",
                              "dangling.pdf it is a link to a file that does not exist",
                              "d\uFFFDj\uFFFD/ its name is not valid UTF-8, so the files in it "
                              "were not looked at",
                              "sub/c.pdf ", "sub/device.pdf it is not a regular file"}));
    }

    void existingFile() {
        folders({"folder"});
        files({"a.pdf"});
        QVERIFY(QFile::link(root() + "a.pdf", root() + "link"));
        QVERIFY(FolderWalker::IsExistingFile(root() + "a.pdf"));
        QVERIFY(FolderWalker::IsExistingFile(root() + "link"));
        QVERIFY(!FolderWalker::IsExistingFile(root() + "folder"));
        QVERIFY(!FolderWalker::IsExistingFile(root() + "missing"));
        QVERIFY(!FolderWalker::IsExistingFile(""));
    }

    void matches_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("expected");
        QTest::newRow("extension") << "a.pdf"
                                   << "*.pdf" << true;
        QTest::newRow("case ignored") << "SCAN.PDF"
                                      << "*.pdf" << true;
        QTest::newRow("upper-case pattern") << "notes.txt"
                                            << "*.TXT" << true;
        QTest::newRow("other extension") << "a.pdf.txt"
                                         << "*.pdf" << false;
        QTest::newRow("every file") << "noext"
                                    << "*.*" << true;
        QTest::newRow("question mark") << "a1.pdf"
                                       << "a?.pdf" << true;
        QTest::newRow("question mark needs a character") << "a.pdf"
                                                         << "a?.pdf" << false;
        QTest::newRow("brackets are plain") << "[x].pdf"
                                            << "[x].*" << true;
        QTest::newRow("non-Latin") << "東京.PDF"
                                   << "*.pdf" << true;
        QTest::newRow("two stars") << "a.b.c"
                                   << "*.*.c" << true;
    }
    void matches() {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, expected);
        QCOMPARE(FolderWalker::matches(name, pattern), expected);
    }
};

QTEST_MAIN(FolderWalkerTest)
#include "FolderWalkerTest.moc"
