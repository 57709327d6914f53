#include "PrivateTempFolder.h"
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
#include <csignal>

namespace {

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The program as a script starts it: no display, and a window system that does not exist, so
// that anything reaching for one fails.
Ran metascribe(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "none-such");
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + "/metascribe", arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Whether qpdf reads the file without a password (status 3: with warnings).
bool opensWithoutPassword(const QString& path) {
    QProcess qpdf;
    qpdf.start("qpdf", {"--show-npages", path});
    qpdf.waitForFinished(60000);
    return qpdf.exitStatus() == QProcess::NormalExit &&
           (qpdf.exitCode() == 0 || qpdf.exitCode() == 3);
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

    // Killed while the toolkit works on protected files, a run leaves nothing that opens
    // without their password: not beside them, not in the private folder. The toolkit here
    // is the real one that then waits, so the kill comes after it has written its result.
    void killedRunLeavesNothingReadable() {
        if (!TestFiles::haveProgram("qpdf"))
            QSKIP("qpdf is not installed");
        QTemporaryDir dir;
        QTemporaryDir tools;
        const QString plain = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", tools.path());
        QStringList files;
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            files << TestPrograms::encrypted(plain, dir.filePath(name), {"user", "owner", "256"});
        QVERIFY(!files.contains(QString()));
        const QString written = tools.filePath("written");
        TestFiles::writeScript(tools.filePath("pdftk"), "'" + Toolkit::path() +
                                                            "' \"$@\" || exit\n: > '" + written +
                                                            "'\nexec sleep 60");

        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", tools.path() + ":" + environment.value("PATH"));
        environment.insert("QT_QPA_PLATFORM", "none-such");
        run.setProcessEnvironment(environment);
        run.start(QCoreApplication::applicationDirPath() + "/metascribe",
                  {"set", "--title", "Never", "--in-place", "--password-stdin", dir.path()});
        run.write("user\n");
        run.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(written), 120000);
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        QVERIFY(run.waitForFinished(60000));

        QStringList left;
        for (const QString& folder : {dir.path(), PrivateTempFolder::path()})
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
                left << folder + "/" + name;
        QVERIFY(left.size() >= files.size());
        for (const QString& path : left)
            QVERIFY2(!opensWithoutPassword(path), qPrintable(path));
        for (const QString& file : files)
            QCOMPARE(TestFiles::pdfInfo(file, "user").value("Pages"), "4");
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
