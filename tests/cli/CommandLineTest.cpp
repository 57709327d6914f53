#include "PrivateTempFolder.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString program() {
    return QCoreApplication::applicationDirPath() + "/metascribe";
}

// The program as a script starts it: no display, and a window system that does not exist, so
// that anything reaching for one fails. A run that has not ended within limit is killed and
// reads as a crash.
Ran started(QProcess& process, const QString& path, const QStringList& arguments,
            const QByteArray& input, int limit) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "none-such");
    process.setProcessEnvironment(environment);
    process.start(path, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(limit)) {
        process.kill();
        process.waitForFinished();
        return {-1, process.readAllStandardOutput(), process.readAllStandardError()};
    }
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

Ran metascribe(const QStringList& arguments, const QByteArray& input = {}, int limit = 120000) {
    QProcess process;
    return started(process, program(), arguments, input, limit);
}

// A word of a shell script that stands for bytes, each written as an escape.
QByteArray shellWord(const QByteArray& bytes) {
    QByteArray word = "$'";
    for (const char c : bytes)
        word +=
            "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
    return word + "'";
}

// With arguments as bytes, which need not be UTF-8, in the folder folder (bytes too) when one
// is given: QProcess would pass them as UTF-8, so a shell passes them on.
Ran metascribeWithBytes(const QList<QByteArray>& arguments, int limit = 120000,
                        const QByteArray& folder = {}) {
    QByteArray script = folder.isEmpty() ? "" : "cd " + shellWord(folder) + " && ";
    script += "exec \"$0\"";
    for (const QByteArray& argument : arguments)
        script += " " + shellWord(argument);
    QProcess process;
    return started(process, "/bin/bash", {"-c", QString::fromLatin1(script), program()}, {}, limit);
}

// Makes what a row names at path (bytes: the name need not be UTF-8).
bool make(const QByteArray& kind, const QByteArray& path) {
    if (kind == "fifo")
        return ::mkfifo(path.constData(), 0644) == 0;
    if (kind == "device")
        return ::symlink("/dev/zero", path.constData()) == 0;
    if (kind == "dangling")
        return ::symlink("nowhere.pdf", path.constData()) == 0;
    if (kind == "folder")
        return ::mkdir(path.constData(), 0755) == 0 && make("file", path + "/inside.pdf");
    const QByteArray pdf = TestFiles::bytes(TestFiles::corpusFolder() + "/habibi.pdf");
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written =
        descriptor >= 0 && ::write(descriptor, pdf.constData(), pdf.size()) == pdf.size();
    return ::close(descriptor) == 0 && written;
}

QByteArray contentOf(const QByteArray& path) {
    QFile file;
    const int descriptor = ::open(path.constData(), O_RDONLY);
    if (descriptor < 0 || !file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle))
        return {};
    return file.readAll();
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
        // Named on standard error too, beside the JSON lines.
        for (const QString& failed : {damaged, dir.path() + "/gone.pdf"})
            QVERIFY2(ran.err.contains((failed + ": not changed: ").toUtf8()), ran.err.constData());
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

    // What is not a plain file with a plain name, named or found in a folder, is read by no one
    // (a FIFO or a device would hang the run) and listed as not changed with the reason; the
    // rest of the folder is changed.
    void inputsThatAreNotPlainFiles_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("named");    // the reason when named on the command line
        QTest::addColumn<QString>("inFolder"); // the reason when found in a folder
        const QString special = "it is not a regular file";
        const QString notUtf8 = "its name is not valid UTF-8";
        QTest::newRow("FIFO") << QByteArray("fifo") << QByteArray("pipe.pdf") << special << special;
        QTest::newRow("link to /dev/zero")
            << QByteArray("device") << QByteArray("zero.pdf") << special << special;
        QTest::newRow("link to nothing") << QByteArray("dangling") << QByteArray("gone.pdf")
                                         << "it cannot be opened: No such file or directory"
                                         << "it is a link to a file that does not exist";
        QTest::newRow("file name not UTF-8")
            << QByteArray("file") << QByteArray("caf\xe9.pdf") << notUtf8 << notUtf8;
        QTest::newRow("folder name not UTF-8")
            << QByteArray("folder") << QByteArray("caf\xe9") << notUtf8
            << notUtf8 + ", so the files in it were not looked at";
    }
    void inputsThatAreNotPlainFiles() {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, name);
        QFETCH(QString, named);
        QFETCH(QString, inFolder);
        QTemporaryDir dir;
        // A name that is not UTF-8 cannot be removed through a QString.
        const auto removeByBytes = qScopeGuard([&] {
            QProcess::execute("rm", {"-rf", dir.path()});
        });
        const QString tree = dir.path() + "/tree";
        QDir().mkpath(tree);
        const QByteArray entry = QFile::encodeName(tree) + "/" + name;
        QVERIFY(make(kind, entry));
        // What the name reads as, a replacement character for each byte that is not UTF-8.
        const QString shown = tree + "/" + QString::fromUtf8(name) + (kind == "folder" ? "/" : "");
        // A file that has that name itself, which a run given the other must not take for it.
        const QString lookalike = tree + "/" + QString::fromUtf8(name);
        const bool withLookalike = kind == "file";
        if (withLookalike)
            TestFiles::copyCorpusFile("habibi.pdf", tree, QFileInfo(lookalike).fileName());
        const QByteArray lookalikeBefore = withLookalike ? TestFiles::bytes(lookalike) : "";
        // Only a file is read back: reading a FIFO or a device would not end.
        const QByteArray before = kind == "file" ? contentOf(entry) : "";

        Ran ran =
            metascribeWithBytes({"set", "--title", "T", "--in-place", "--json", entry}, 60000);
        QCOMPARE(ran.status, 1);
        QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0]["outcome"].toString(), "failed");
        QCOMPARE(lines[0]["reason"].toString(), named);
        QCOMPARE(ran.err.count('\n'), 1);
        QVERIFY2(ran.err.contains(": not changed: " + named.toUtf8()), ran.err.constData());
        if (withLookalike) {
            QCOMPARE(lines[0]["path"].toString(), shown);
            QCOMPARE(TestFiles::bytes(lookalike), lookalikeBefore);
            QFile::remove(lookalike);
        }

        const QString good = TestFiles::copyCorpusFile("minimal-document.pdf", tree);
        ran = metascribe({"set", "--title", "T", "--in-place", "--json", tree}, {}, 60000);
        QCOMPARE(ran.status, 1);
        lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 2);
        QMap<QString, QJsonObject> byPath;
        for (const QJsonObject& line : lines)
            byPath.insert(line["path"].toString(), line);
        QCOMPARE(byPath[shown]["outcome"].toString(), "failed");
        QCOMPARE(byPath[shown]["reason"].toString(), inFolder);
        QCOMPARE(byPath[good]["outcome"].toString(), "changed");
        QVERIFY2(ran.err.contains((shown + ": not changed: " + inFolder).toUtf8()),
                 ran.err.constData());
        if (kind == "file")
            QCOMPARE(contentOf(entry), before);
        QCOMPARE(TestFiles::pdfInfo(good).value("Title"), "T");
    }

    // In a folder whose name is not UTF-8, a relative name cannot be made a path: it is refused
    // with the reason rather than read as another file's or none.
    void relativeNameInAFolderNamedNotUtf8() {
        QTemporaryDir dir;
        const auto removeByBytes = qScopeGuard([&] {
            QProcess::execute("rm", {"-rf", dir.path()});
        });
        const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
        QVERIFY(make("folder", folder));
        const QByteArray before = contentOf(folder + "/inside.pdf");
        const Ran ran = metascribeWithBytes(
            {"set", "--title", "T", "--in-place", "--json", "inside.pdf"}, 60000, folder);
        QCOMPARE(ran.status, 1);
        const QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0]["reason"].toString(), "the current folder's name is not valid UTF-8");
        QCOMPARE(contentOf(folder + "/inside.pdf"), before);
    }

    // A file whose XMP metadata is not well-formed is not changed, and says so in one line that
    // names it: the XMP library's own message stays off standard error.
    void everyMessageNamesItsFile() {
        QTemporaryDir dir;
        const QString plain = dir.path() + "/plain.pdf";
        QVERIFY(
            TestPrograms::run("qpdf", {"--qdf", "--object-streams=disable",
                                       TestFiles::corpusFolder() + "/crazyones-pdfa.pdf", plain}));
        QByteArray bytes = TestFiles::bytes(plain);
        QVERIFY(bytes.contains("</rdf:RDF>"));
        const QString broken =
            TestFiles::write(dir.path() + "/broken.pdf", bytes.replace("</rdf:RDF>", "</rdf:RDX>"));
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", broken});
        QCOMPARE(ran.status, 1);
        const QList<QByteArray> lines = ran.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(("metascribe: " + broken + ": not changed: ").toUtf8()),
                 ran.err.constData());
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
