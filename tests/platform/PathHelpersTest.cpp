#include "PathHelpers.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace PathHelpers;

class PathHelpersTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString make(const QString& name, const QByteArray& bytes = "x") {
        QFile file(dir_.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    }

private slots:
    void fileNameOf_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full path") << "/in/a.pdf"
                                   << "a.pdf";
        QTest::newRow("bare name") << "a.pdf"
                                   << "a.pdf";
        QTest::newRow("trailing separator") << "/in/"
                                            << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("root") << "/"
                              << "";
        QTest::newRow("backslash is a character") << "/in/a\\b.pdf"
                                                  << "a\\b.pdf";
        QTest::newRow("unicode") << "/Dokumente/Übersicht 東京.pdf"
                                 << "Übersicht 東京.pdf";
    }
    void fileNameOf() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(FileNameOf(path), expected);
    }

    void folderOf_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("keeps trailing separator") << "/in/a.pdf"
                                                  << "/in/";
        QTest::newRow("bare name") << "a.pdf"
                                   << "";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("file in root") << "/a.pdf"
                                      << "/";
        QTest::newRow("empty") << ""
                               << "";
    }
    void folderOf() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(FolderOf(path), expected);
    }

    void stripExtension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last dot only") << "Report.final.pdf"
                                       << "Report.final";
        QTest::newRow("dot first") << ".pdf"
                                   << "";
        QTest::newRow("ends with its only dot") << "scan."
                                                << "scan";
        QTest::newRow("upper case kept") << "SCAN.PDF"
                                         << "SCAN";
    }
    void stripExtension() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(StripExtension(name), expected);
    }

    void stripExtensionWithoutDotFails_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "scan";
        QTest::newRow("empty") << "";
    }
    void stripExtensionWithoutDotFails() {
        QFETCH(QString, name);
        try {
            StripExtension(name);
            QFAIL("a name without a dot must fail");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(), QStringLiteral("Invalid procedure call or argument"));
        }
    }

    void collapseBackslashes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pair after folder") << "/out//a.pdf"
                                           << "/out/a.pdf";
        QTest::newRow("leading pair") << "//home/a.pdf"
                                      << "/home/a.pdf";
        QTest::newRow("every pair") << "//in//a.pdf"
                                    << "/in/a.pdf";
        QTest::newRow("three become two") << "/in///a.pdf"
                                          << "/in//a.pdf";
        QTest::newRow("four become two") << "/in////a.pdf"
                                         << "/in//a.pdf";
        QTest::newRow("five become three") << "/in/////a.pdf"
                                           << "/in///a.pdf";
        QTest::newRow("single kept") << "/x"
                                     << "/x";
        QTest::newRow("separators only") << "////"
                                         << "//";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("backslashes untouched") << "C:\\\\x"
                                               << "C:\\\\x";
    }
    void collapseBackslashes() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(CollapseSlashes(path), expected);
    }

    void existsAndIsFolder() {
        const QString file = make("exists.pdf");
        const QString link = dir_.filePath("link-to-folder");
        QVERIFY(QFile::link(dir_.path(), link));
        const QString dangling = dir_.filePath("dangling");
        QVERIFY(QFile::link(dir_.filePath("nowhere"), dangling));

        QVERIFY(PathExists(file));
        QVERIFY(!PathExists(dir_.filePath("missing.pdf")));
        QVERIFY(!PathExists(dir_.filePath("missing/a.pdf")));
        QVERIFY(!PathExists(""));
        QVERIFY(!PathExists(dangling));

        QVERIFY(IsFolder(dir_.path()));
        QVERIFY(IsFolder(link));
        QVERIFY(!IsFolder(file));
        QVERIFY(!IsFolder(dir_.filePath("missing")));
        QVERIFY(!IsFolder(""));
    }

    void placeOf_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QDir(dir_.path()).mkpath("real/sub");
        make("real/file.pdf");
        QFile::link(dir_.filePath("real/file.pdf"), dir_.filePath("file link.pdf"));
        QFile::link(dir_.filePath("real"), dir_.filePath("folder link"));
        QTest::newRow("link to the file")
            << dir_.filePath("file link.pdf") << dir_.filePath("real/file.pdf") << true;
        QTest::newRow("through a linked folder")
            << dir_.filePath("folder link/file.pdf") << dir_.filePath("real/file.pdf") << true;
        QTest::newRow("dot-dot") << dir_.filePath("real/sub/../file.pdf")
                                 << dir_.filePath("real/file.pdf") << true;
        QTest::newRow("not there yet, linked folder")
            << dir_.filePath("folder link/new é.pdf") << dir_.filePath("real/new é.pdf") << true;
        QTest::newRow("other file")
            << dir_.filePath("real/file.pdf") << dir_.filePath("real/sub/file.pdf") << false;
    }
    void placeOf() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(PlaceOf(a) == PlaceOf(b), same);
    }

    void removeFile() {
        RemoveFile(dir_.filePath("missing.pdf")); // must return quietly

        const QString readOnly = make("read-only.pdf");
        QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner));
        RemoveFile(readOnly);
        QVERIFY(!QFile::exists(readOnly));

        // A link goes, what it points to stays.
        const QString target = make("target.pdf");
        const QString link = dir_.filePath("link.pdf");
        QVERIFY(QFile::link(target, link));
        RemoveFile(link);
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(QFile::exists(target));
    }

    void forceDeleteFileExplainsFailure() {
        try {
            ForceDeleteFile(dir_.filePath("missing.pdf"));
            QFAIL("deleting a missing file must fail");
        } catch (const Failure& failure) {
            QVERIFY(failure.description().contains("No such file"));
        }
    }

    void attributes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain file") << "plain.pdf" << true << int(Archive);
        QTest::newRow("read-only") << "locked.pdf" << false << int(Archive | ReadOnly);
        QTest::newRow("hidden") << ".hidden.pdf" << true << int(Archive | Hidden);
        QTest::newRow("hidden read-only")
            << ".both.pdf" << false << int(Archive | Hidden | ReadOnly);
    }
    void attributes() {
        QFETCH(QString, name);
        QFETCH(bool, writable);
        QFETCH(int, expected);
        const QString path = make(name);
        QFile::setPermissions(path,
                              writable ? QFile::ReadOwner | QFile::WriteOwner : QFile::ReadOwner);
        QCOMPARE(FileAttributes(path), std::optional<int>(expected));
    }

    void attributesOfFoldersAndLinks() {
        QCOMPARE(FileAttributes(dir_.path()).value_or(-1) & (Directory | Archive | Alias),
                 int(Directory));
        const QString target = make("linked.pdf");
        const QString link = dir_.filePath("alias.pdf");
        QVERIFY(QFile::link(target, link));
        QCOMPARE(FileAttributes(link), std::optional<int>(Alias | Archive));
        QCOMPARE(FileAttributes(dir_.filePath("missing.pdf")), std::nullopt);
    }

    void resetAttributesGivesOwnerWriteOnly() {
        const QString path = make("reset.pdf");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0444) == 0);
        MakeOwnerWritable(path);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0644));
        QVERIFY_THROWS_EXCEPTION(Failure, MakeOwnerWritable(dir_.filePath("missing.pdf")));
    }
};

QTEST_GUILESS_MAIN(PathHelpersTest)
#include "PathHelpersTest.moc"
