#include "OutputFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

class OutputFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& content) {
        return TestFiles::write(dir_.filePath(name), content);
    }
    static QByteArray read(const QString& path) { return TestFiles::bytes(path); }
    QStringList leftovers() const {
        return QDir(dir_.path()).entryList({".metascribe-*"}, QDir::Files | QDir::Hidden);
    }
    static void putResult(const OutputFile& output,
                          const QByteArray& bytes = "%PDF-1.4\nnew\n%%EOF\n") {
        TestFiles::write(output.temporaryPath(), bytes);
    }
    // The reason commit() gave for refusing, or an empty text when it put the result in place.
    static QString refusal(OutputFile& output) {
        try {
            output.commit();
            return {};
        } catch (const OutputFile::Refused& refused) {
            return refused.reason();
        }
    }
    static struct stat statOf(const QString& path) {
        struct stat info {};
        ::stat(QFile::encodeName(path).constData(), &info);
        return info;
    }

private slots:
    void looksComplete_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("complete");
        QTest::newRow("whole") << QByteArray("%PDF-1.4\nbody\n%%EOF\n") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("no header") << QByteArray("JFIF\n%%EOF\n") << false;
        QTest::newRow("truncated") << QByteArray("%PDF-1.4\nbody") << false;
        QTest::newRow("end marker too far from the end")
            << QByteArray("%PDF-1.4\n%%EOF\n") + QByteArray(1100, ' ') << false;
        QTest::newRow("end marker within the last 1024 bytes")
            << QByteArray("%PDF-1.4\n") + QByteArray(5000, 'x') + "%%EOF" + QByteArray(1000, ' ')
            << true;
    }
    void looksComplete() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, complete);
        QCOMPARE(OutputFile::looksComplete(write("check.pdf", bytes)), complete);
    }

    void uniqueAndRemovedUnlessCommitted() {
        const QString destination = write("a.pdf", "original");
        {
            OutputFile first(destination);
            OutputFile second(destination);
            QVERIFY(first.temporaryPath() != second.temporaryPath());
            QCOMPARE(QFileInfo(first.temporaryPath()).absolutePath(), dir_.path());
            QVERIFY(QFile::exists(first.temporaryPath()));
            // A file of the user's named like the old work copy is never touched.
            QVERIFY(first.temporaryPath() != destination + "2");
        }
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(read(destination), QByteArray("original"));
    }

    void commitReplacesAndKeepsTheMode() {
        const QString destination = write("b.pdf", "original");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0640) == 0);
        OutputFile output(destination);
        QFile result(output.temporaryPath());
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.write("%PDF-1.4\nnew\n%%EOF\n");
        result.close();
        output.commit();
        QCOMPARE(read(destination), QByteArray("%PDF-1.4\nnew\n%%EOF\n"));
        QCOMPARE(TestFiles::mode(destination), mode_t(0640));
        QVERIFY(leftovers().isEmpty());
    }

    void linkKeptAndItsTargetReplaced() {
        QVERIFY(QDir(dir_.path()).mkpath("real"));
        const QString target = write("real/t.pdf", "old");
        const QString link = dir_.filePath("link.pdf");
        QVERIFY(QFile::link(target, link));
        OutputFile output(link, OutputFile::Link::Follow);
        QCOMPARE(output.target(), target);
        QCOMPARE(QFileInfo(output.temporaryPath()).absolutePath(), dir_.filePath("real"));
        QFile result(output.temporaryPath());
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.write("new");
        result.close();
        output.commit();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(read(link), QByteArray("new"));
        QCOMPARE(read(target), QByteArray("new"));
    }

    void missingFolderIsRefused() {
        try {
            OutputFile output(dir_.filePath("missing/a.pdf"));
            QFAIL("a missing folder cannot take a result");
        } catch (const OutputFile::Refused& refused) {
            QVERIFY(!refused.permissionDenied());
            QVERIFY(refused.description().contains("No such file"));
        }
    }

    void readOnlyTargetIsNotWritable() {
        const QString destination = write("ro.pdf", "x");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0444) == 0);
        OutputFile output(destination);
        QCOMPARE(output.whyNotWritable(), QStringLiteral("the file is read-only"));
        OutputFile fresh(dir_.filePath("new.pdf"));
        QCOMPARE(fresh.whyNotWritable(), QString());
    }

    // A results folder is no place to follow a link: it may point anywhere, into someone
    // else's files too. Refused when the output is made, and when one appears before the commit.
    void linkAtAResultsDestinationIsNeverWrittenThrough() {
        QVERIFY(QDir(dir_.path()).mkpath("elsewhere"));
        QVERIFY(QDir(dir_.path()).mkpath("out"));
        const QString thesis = write("elsewhere/thesis.pdf", "thesis");
        const QString link = dir_.filePath("out/report.pdf");
        QVERIFY(QFile::link(thesis, link));
        try {
            OutputFile output(link);
            QFAIL("a link in a results folder is refused");
        } catch (const OutputFile::Refused& refused) {
            QCOMPARE(refused.reason(), "the destination " + link +
                                           " is a symbolic link; a result is never written "
                                           "through a link");
        }
        QVERIFY(QFile::remove(link));
        OutputFile output(link);
        putResult(output);
        QVERIFY(QFile::link(thesis, link));
        QVERIFY(refusal(output).contains("is a symbolic link"));
        output.discard();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(read(thesis), QByteArray("thesis"));
        QVERIFY(QDir(dir_.filePath("out")).entryList({".metascribe-*"}, QDir::Hidden).isEmpty());
    }

    // A program that has the file open for writing keeps every byte it wrote, before the
    // commit and after.
    void fileOpenForWritingIsNotReplaced() {
        const QString destination = write("log.pdf", "original");
        QFile writer(destination);
        QVERIFY(writer.open(QIODevice::Append));
        QCOMPARE(writer.write(" appended"), 9);
        QVERIFY(writer.flush());
        OutputFile output(destination);
        putResult(output);
        QCOMPARE(refusal(output), QStringLiteral("it was being written by another program"));
        QCOMPARE(writer.write(" more"), 5);
        writer.close();
        QCOMPARE(read(destination), QByteArray("original appended more"));
    }

    // Changed since it was read, even if no one writes it now, it is not replaced.
    void fileChangedSinceReadIsNotReplaced() {
        const QString destination = write("c.pdf", "original");
        const std::optional<FileStamp> asRead = FileStamp::of(destination);
        QVERIFY(asRead);
        OutputFile output(destination);
        output.expect(*asRead);
        putResult(output);
        write("c.pdf", "rewritten by another program");
        QCOMPARE(refusal(output),
                 QStringLiteral("it was changed by another program during the run"));
        QCOMPARE(read(destination), QByteArray("rewritten by another program"));

        const QString gone = write("gone.pdf", "original");
        OutputFile removed(gone);
        removed.expect(*FileStamp::of(gone));
        putResult(removed);
        QVERIFY(QFile::remove(gone));
        QCOMPARE(refusal(removed),
                 QStringLiteral("it was removed by another program during the run"));
        QVERIFY(!QFile::exists(gone));
    }

    // A rename changes one name: the other names of the file keep the old content, and the
    // commit says so.
    void otherNamesAreNoted() {
        const QString destination = write("linked.pdf", "original");
        QVERIFY(::link(QFile::encodeName(destination).constData(),
                       QFile::encodeName(dir_.filePath("other.pdf")).constData()) == 0);
        OutputFile output(destination);
        putResult(output);
        QCOMPARE(output.commit(),
                 QStringLiteral("it has another name (a hard link), which keeps the old content"));
        QCOMPARE(read(dir_.filePath("other.pdf")), QByteArray("original"));
        OutputFile again(destination);
        putResult(again);
        QCOMPARE(again.commit(), QString());
    }

    // The result is the same file to everyone who used the old one: owner, group, access list
    // and extended attributes are kept.
    void ownerAccessListAndAttributesAreKept() {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        if (!TestFiles::haveProgram("setfacl") || !TestFiles::haveProgram("getfattr"))
            QSKIP("setfacl and getfattr (Debian's acl and attr) are not installed");
        const QString destination = write("shared.pdf", "original");
        const QByteArray name = QFile::encodeName(destination);
        QVERIFY(::chown(name.constData(), 4321, 4322) == 0);
        QVERIFY(::chmod(name.constData(), 0640) == 0);
        QCOMPARE(QProcess::execute("setfacl", {"-m", "u:4323:rw", destination}), 0);
        QCOMPARE(QProcess::execute("setfattr", {"-n", "user.case", "-v", "17-204", destination}),
                 0);
        QCOMPARE(QProcess::execute("setfattr", {"-n", "trusted.tier", "-v", "2", destination}), 0);
        const auto accessList = [](const QString& path) {
            QProcess getfacl;
            getfacl.start("getfacl", {"--omit-header", "--numeric", path});
            getfacl.waitForFinished();
            return getfacl.readAllStandardOutput();
        };
        const QByteArray listBefore = accessList(destination);
        QVERIFY(listBefore.contains("user:4323:rw-"));

        OutputFile output(destination);
        putResult(output);
        QCOMPARE(output.commit(), QString());
        const struct stat after = statOf(destination);
        QCOMPARE(after.st_uid, uid_t(4321));
        QCOMPARE(after.st_gid, gid_t(4322));
        QCOMPARE(accessList(destination), listBefore);
        QProcess getfattr;
        getfattr.start("getfattr", {"--only-values", "-n", "user.case", destination});
        getfattr.waitForFinished();
        QCOMPARE(getfattr.readAllStandardOutput(), QByteArray("17-204"));
        getfattr.start("getfattr", {"--only-values", "-n", "trusted.tier", destination});
        getfattr.waitForFinished();
        QCOMPARE(getfattr.readAllStandardOutput(), QByteArray("2"));
        QCOMPARE(read(destination), QByteArray("%PDF-1.4\nnew\n%%EOF\n"));
    }

    // A folder's default access list is what a new file starts with; a replacement takes the
    // list of the file it replaces, which had none.
    void noAccessListWhereTheOldFileHadNone() {
        if (!TestFiles::haveProgram("setfacl"))
            QSKIP("setfacl (Debian's acl) is not installed");
        QVERIFY(QDir(dir_.path()).mkpath("team"));
        const QString destination = write("team/plain.pdf", "original");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0600) == 0);
        if (QProcess::execute("setfacl", {"-d", "-m", "u:4323:rw", dir_.filePath("team")}) != 0)
            QSKIP("this file system keeps no access lists");
        OutputFile output(destination);
        putResult(output);
        output.commit();
        QCOMPARE(TestFiles::mode(destination), mode_t(0600));
        QProcess getfacl;
        getfacl.start("getfacl", {"--omit-header", "--numeric", destination});
        getfacl.waitForFinished();
        QVERIFY(!getfacl.readAllStandardOutput().contains("4323"));
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "OutputFileTest.moc"
