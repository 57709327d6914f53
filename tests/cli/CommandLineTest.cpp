#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Another user for the runs that need one: nobody, with a home of its own in home.
struct OtherUser {
    uid_t uid = 65534;
    gid_t gid = 65534;
    QString home;
};

// The program as a script starts it: no display, and a window system that does not exist, so
// that anything reaching for one fails. Started as user when one is given.
Ran metascribe(const QStringList& arguments, const QByteArray& input = {},
               const std::optional<OtherUser>& user = std::nullopt) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "none-such");
    const QString program = QCoreApplication::applicationDirPath() + "/metascribe";
    if (user) {
        for (const char* name : {"HOME", "TEMP", "TMPDIR"})
            environment.insert(name, user->home);
        environment.insert("XDG_CONFIG_HOME", user->home + "/config");
        environment.insert("XDG_CACHE_HOME", user->home + "/cache");
    }
    process.setProcessEnvironment(environment);
    if (user)
        process.start("setpriv", QStringList{"--reuid=" + QString::number(user->uid),
                                             "--regid=" + QString::number(user->gid),
                                             "--clear-groups", "--", program} +
                                     arguments);
    else
        process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QList<QJsonObject> jsonLines(const QByteArray& out) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

} // namespace

// The command line end to end: the real program, the real toolkit, copies of real files, and
// other readers to check what it did.
class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        TestFiles::isolateHome(home_.path());
        if (Toolkit::path().isEmpty())
            QSKIP("pdftk is not installed");
    }

    void usageErrorsTouchNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("neither --out nor --in-place") << QStringList{"set", "--title", "x"};
        QTest::newRow("both") << QStringList{"set", "--title", "x", "--in-place", "--out", "."};
        QTest::newRow("unknown option") << QStringList{"set", "--titel", "x", "--in-place"};
        QTest::newRow("not a date") << QStringList{"set", "--mod-date", "soon", "--in-place"};
        QTest::newRow("nothing to change") << QStringList{"set", "--in-place"};
        QTest::newRow("two titles")
            << QStringList{"set", "--title", "x", "--title-from-filename", "--in-place"};
        QTest::newRow("missing results folder")
            << QStringList{"set", "--title", "x", "--out", "/nonexistent/folder"};
        QTest::newRow("field option to show") << QStringList{"show", "--title", "x"};
    }
    void usageErrorsTouchNothing() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        const Ran ran = metascribe(arguments << file);
        QCOMPARE(ran.status, 2);
        QVERIFY(ran.out.isEmpty());
        QCOMPARE(ran.err.count('\n'), 2);
        QVERIFY(ran.err.contains("Try 'metascribe --help'"));
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // A folder tree in place, a missing path, a damaged and a protected file: every file gets
    // one JSON line, the good ones are changed (the protected one with the password from
    // standard input, and protected still), and the status says that not all were.
    void setOverAFolderWithJsonLines() {
        QTemporaryDir dir;
        const QString tree = dir.path() + "/tree";
        QDir().mkpath(tree + "/sub");
        const QString plain = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", tree);
        const QString upper = TestFiles::copyCorpusFile("habibi.pdf", tree + "/sub", "Upper.PDF");
        const QString locked = TestFiles::copyCorpusFile("libreoffice-writer-password.pdf", tree);
        const QString damaged =
            TestFiles::write(tree + "/damaged.pdf", TestFiles::bytes(plain).left(3000));
        TestFiles::write(tree + "/notes.txt", "not a PDF");

        const Ran ran = metascribe({"set", "--author", "Ünïcode & <Co>", "--in-place", "--json",
                                    "--password-stdin", tree, dir.path() + "/gone.pdf"},
                                   "openpassword\n");
        QCOMPARE(ran.status, 1);
        const QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 5);
        QMap<QString, QJsonObject> byPath;
        for (const QJsonObject& line : lines)
            byPath.insert(line["path"].toString(), line);
        QCOMPARE(byPath[dir.path() + "/gone.pdf"]["outcome"].toString(), "failed");
        QCOMPARE(byPath[damaged]["outcome"].toString(), "failed");
        QVERIFY(!byPath[damaged]["reason"].toString().isEmpty());
        for (const QString& changed : {plain, upper, locked}) {
            QCOMPARE(byPath[changed]["outcome"].toString(), "changed");
            QCOMPARE(byPath[changed]["destination"].toString(), changed);
            QVERIFY(byPath[changed]["reason"].isNull());
        }
        QCOMPARE(TestFiles::pdfInfo(upper).value("Author"), "Ünïcode & <Co>");
        QCOMPARE(TestFiles::pdfInfo(locked, "openpassword").value("Author"), "Ünïcode & <Co>");
        QVERIFY(TestFiles::pdfInfo(locked).isEmpty());
    }

    // A script's files keep their modes: a read-only file is read, never made writable, and
    // not replaced in place.
    void readOnlyFilesStayAsTheyAre() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        const QByteArray before = TestFiles::bytes(file);
        QDir().mkpath(dir.path() + "/out");
        Ran ran = metascribe({"set", "--title", "T", "--out", dir.path() + "/out", file});
        QCOMPARE(ran.status, 0);
        QCOMPARE(TestFiles::pdfInfo(dir.path() + "/out/habibi.pdf").value("Title"), "T");
        ran = metascribe({"set", "--title", "T", "--in-place", file});
        QCOMPARE(ran.status, 1);
        QVERIFY(ran.err.contains("read-only"));
        QCOMPARE(QFileInfo(file).permissions() & QFile::WriteOwner, 0);
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // A link at a destination in a results folder may point anywhere, into another user's
    // files too: it is never written through, and the file is listed with the link's name.
    void linkInTheResultsFolderIsNotWrittenThrough() {
        QTemporaryDir dir;
        for (const char* folder : {"in", "out", "elsewhere"})
            QDir().mkpath(dir.path() + "/" + folder);
        const QString input =
            TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path() + "/in", "report.pdf");
        const QString thesis =
            TestFiles::copyCorpusFile("habibi.pdf", dir.path() + "/elsewhere", "thesis.pdf");
        const QString link = dir.path() + "/out/report.pdf";
        QVERIFY(QFile::link("../elsewhere/thesis.pdf", link));
        const QByteArray before = TestFiles::bytes(thesis);
        const Ran ran = metascribe({"set", "--title", "NEW", "--out", dir.path() + "/out", input});
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains(QFile::encodeName(link) + " is a symbolic link"), ran.err);
        QCOMPARE(TestFiles::bytes(thesis), before);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QDir(dir.path() + "/out").entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"report.pdf"});
        // In place, a link is the file itself: its target is changed and it stays a link.
        const QString inPlace = dir.path() + "/in/link.pdf";
        QVERIFY(QFile::link("report.pdf", inPlace));
        QCOMPARE(metascribe({"set", "--title", "NEW", "--in-place", inPlace}).status, 0);
        QVERIFY(QFileInfo(inPlace).isSymLink());
        QCOMPARE(TestFiles::pdfInfo(input).value("Title"), "NEW");
    }

    // A program appending to a file while it is changed in place keeps what it wrote: the file
    // is not replaced, and the reason says why.
    void fileBeingWrittenIsNotReplaced() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        QFile writer(file);
        QVERIFY(writer.open(QIODevice::Append));
        QCOMPARE(writer.write("% first\n"), 8);
        QVERIFY(writer.flush());
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", "--json", file});
        QCOMPARE(ran.status, 1);
        QCOMPARE(jsonLines(ran.out).value(0)["reason"].toString(),
                 "it was being written by another program");
        QCOMPARE(writer.write("% second\n"), 9);
        writer.close();
        QCOMPARE(TestFiles::bytes(file), before + "% first\n% second\n");
    }

    // A file with other names is changed under the name given; the others keep the old
    // content, and the outcome says so.
    void hardLinkIsNoted() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QString other = dir.path() + "/other.pdf";
        QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(other).constData()) ==
                0);
        Ran ran = metascribe({"set", "--title", "T", "--in-place", "--json", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject line = jsonLines(ran.out).value(0);
        QCOMPARE(line["outcome"].toString(), "changed");
        QCOMPARE(line["note"].toString(),
                 "it has another name (a hard link), which keeps the old content");
        QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "T");
        QCOMPARE(TestFiles::pdfInfo(other).value("Title"), "habibi");
        QVERIFY(::link(QFile::encodeName(other).constData(),
                       QFile::encodeName(dir.path() + "/third.pdf").constData()) == 0);
        ran = metascribe({"set", "--title", "U", "--in-place", other});
        QCOMPARE(ran.status, 0);
        QVERIFY(ran.err.contains(": changed, but it has another name"));
    }

    // Run by root in place, another user's file keeps its owner, group, access list and
    // extended attributes, so that user and the colleague the list names can still read it.
    void ownerAccessListAndAttributesKept() {
        if (::geteuid() != 0)
            QSKIP("changing another user's file needs root");
        if (!TestFiles::haveProgram("setfacl") || !TestFiles::haveProgram("getfattr"))
            QSKIP("setfacl and getfattr (Debian's acl and attr) are not installed");
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        QVERIFY(::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
        QCOMPARE(QProcess::execute("setfacl", {"-m", "u:4323:r", file}), 0);
        QCOMPARE(QProcess::execute("setfattr", {"-n", "user.matter", "-v", "Smith v Jones", file}),
                 0);
        QByteArray listBefore;
        QVERIFY(TestPrograms::run("getfacl", {"--omit-header", "--numeric", file}, &listBefore));
        const Ran ran = metascribe({"set", "--author", "Counsel", "--in-place", file});
        QVERIFY2(ran.status == 0, ran.err);
        QCOMPARE(TestFiles::pdfInfo(file).value("Author"), "Counsel");
        QCOMPARE(QFileInfo(file).ownerId(), 65534u);
        QCOMPARE(QFileInfo(file).groupId(), 65534u);
        QByteArray listAfter;
        QVERIFY(TestPrograms::run("getfacl", {"--omit-header", "--numeric", file}, &listAfter));
        QCOMPARE(listAfter, listBefore);
        QByteArray value;
        QVERIFY(
            TestPrograms::run("getfattr", {"--only-values", "-n", "user.matter", file}, &value));
        QCOMPARE(value, QByteArray("Smith v Jones"));
    }

    // An ordinary user with a folder of their own and someone else's files in it: a file they
    // may not write is reported, not replaced, and one they may write but cannot give back to
    // its owner is not replaced either. Both stay byte for byte, and the owner's.
    void anotherUsersFilesAreNotTaken() {
        if (::geteuid() != 0)
            QSKIP("making files of another user needs root");
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        OtherUser nobody;
        nobody.home = dir.path() + "/home";
        const QString shared = dir.path() + "/shared";
        for (const QString& folder : {nobody.home, shared}) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), nobody.uid, nobody.gid) == 0);
        }
        const QString readOnly = TestFiles::copyCorpusFile("habibi.pdf", shared, "theirs.pdf");
        const QString open = TestFiles::copyCorpusFile("habibi.pdf", shared, "open.pdf");
        QVERIFY(::chmod(QFile::encodeName(open).constData(), 0666) == 0);
        const QByteArray before = TestFiles::bytes(open);
        const Ran ran =
            metascribe({"set", "--title", "Taken", "--in-place", "--json", shared}, {}, nobody);
        QCOMPARE(ran.status, 1);
        QMap<QString, QString> reasons;
        for (const QJsonObject& line : jsonLines(ran.out))
            reasons.insert(line["path"].toString(), line["reason"].toString());
        QCOMPARE(reasons.value(readOnly), "could not write the destination: it is another "
                                          "user's file, which this user may not write");
        QCOMPARE(reasons.value(open), "could not keep the file's owner: Operation not permitted");
        for (const QString& file : {readOnly, open}) {
            QCOMPARE(TestFiles::bytes(file), before);
            QCOMPARE(QFileInfo(file).ownerId(), 0u);
        }
        QCOMPARE(QDir(shared).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // A dry run prints and changes nothing; show prints what pdfinfo reads.
    void dryRunAndShow() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        Ran ran = metascribe({"set", "--dry-run", "--title", "New", "--out", dir.path(), file});
        QCOMPARE(ran.status, 0);
        QVERIFY(ran.out.contains("Title: \"habibi\" -> \"New\""));
        QCOMPARE(TestFiles::bytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

        ran = metascribe({"show", "--json", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject fields = jsonLines(ran.out).value(0)["fields"].toObject();
        const QMap<QString, QString> info = TestFiles::pdfInfo(file);
        for (const char* key : {"Title", "Producer"})
            QCOMPARE(fields[key].toString(), info.value(key));
        QVERIFY(fields["Keywords"].isNull());

        ran = metascribe({"show", dir.path() + "/gone.pdf"});
        QCOMPARE(ran.status, 1);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
