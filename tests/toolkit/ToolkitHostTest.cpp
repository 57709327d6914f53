#include "ToolkitHost.h"

#include "InfoUpdateFile.h"
#include "PrivateTempFolder.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "ToolRunner.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <pwd.h>
#include <sys/stat.h>

using namespace std::chrono_literals;

class ToolkitHostTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString info_;

    ToolInvocation update(const QString& input, const std::optional<QString>& password = {}) {
        return ToolkitCommand::update(Toolkit::path(), input, password, info_, input + "2");
    }
    static QByteArray withoutId(QByteArray pdf) {
        static const QRegularExpression id(QStringLiteral("/ID\\s*\\[[^\\]]*\\]"));
        return QString::fromLatin1(pdf).remove(id).toLatin1();
    }
    static QByteArray bytes(const QString& path) { return TestFiles::bytes(path); }
    // More than a host hands over as its input (32 MB), so the host writes the result file
    // itself: one page showing an image of 34 MB.
    static QByteArray largePdf() {
        const qsizetype side = 6000;
        QByteArray image(side * side, Qt::Uninitialized);
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 7919) >> 5);
        const QByteArray content = "q 612 0 0 792 0 0 cm /Im0 Do Q";
        const QList<QByteArray> objects{
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /XObject << "
            "/Im0 5 0 R >> >> /Contents 4 0 R >>",
            "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                "\nendstream",
            "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(side) + " /Height " +
                QByteArray::number(side) + " /ColorSpace /DeviceGray /BitsPerComponent 8 /Length " +
                QByteArray::number(image.size()) + " >>\nstream\n" + image + "\nendstream",
            "<< /Title (Large) >>",
        };
        return TestFiles::pdfOf(objects, "/Info 6 0 R");
    }
    // Where Java keeps the performance data of process pid, whatever the temporary folder is.
    static QString perfDataOf(qint64 pid) {
        const passwd* user = ::getpwuid(::geteuid());
        return QStringLiteral("/tmp/hsperfdata_%1/%2")
            .arg(QString::fromLocal8Bit(user ? user->pw_name : "").trimmed())
            .arg(pid);
    }

private slots:
    void initTestCase() {
        QVERIFY2(!Toolkit::path().isEmpty(), "pdftk is missing: install Debian's pdftk-java");
        qputenv("TEMP", QFile::encodeName(dir_.path()));
        info_ = PrivateTempFolder::ensure() + "/info.txt";
        EditPlan plan;
        plan.changeTo(InfoField::Title, "Hosted Café");
        plan.changeTo(InfoField::Author, "Finance");
        InfoUpdateFile::write(info_, InfoUpdateFile::content(plan, {}));
    }
    void cleanup() {
        ToolkitHost::instance().setEnabled(true);
        Toolkit::restore();
    }

    void framing() {
        const QByteArray request = ToolkitHost::encodeRequest({"a\nb", "", "é"}, "pw\n");
        QCOMPARE(request, QByteArray("\0\0\0\3"
                                     "\0\0\0\3a\nb"
                                     "\0\0\0\0"
                                     "\0\0\0\2\xc3\xa9"
                                     "\0\0\0\3pw\n",
                                     4 + 7 + 4 + 6 + 7));
        const QByteArray answers("\xff\xff\xff\xfe"
                                 "\0\0\0\2e1"
                                 "\0\0\0\0",
                                 4 + 6 + 4);
        const QByteArray partial = answers.left(9);
        QByteArray buffer = partial;
        QVERIFY(!ToolkitHost::takeAnswer(buffer));
        QCOMPARE(buffer, partial);
        buffer = answers + QByteArray("\0\0", 2);
        const auto answer = ToolkitHost::takeAnswer(buffer);
        QVERIFY(answer);
        QCOMPARE(answer->exitCode, -2);
        QCOMPARE(answer->standardError, QByteArray("e1"));
        QCOMPARE(answer->standardOutput, QByteArray());
        QCOMPARE(buffer, QByteArray("\0\0", 2));
    }

    void launcherJars() {
        const QStringList jars = Toolkit::launcherJars(Toolkit::path());
        QVERIFY2(!jars.isEmpty(), "the toolkit is not the launcher script of Debian's package");
        for (const QString& jar : jars)
            QVERIFY(jar.endsWith(".jar"));
        QVERIFY(Toolkit::launcherJars("/bin/true").isEmpty());
    }

    // Names with a newline, a tab, quotes and non-Latin letters reach the toolkit intact.
    void hostileNamesThroughTheHost() {
        const QString name = "new\nline\ttab \"q\" 'x' $HOME 東京.pdf";
        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path(), name);
        ToolkitHost::instance().shutDown();
        const ToolResult result = ToolRunner::run(update(input), 60s);
        QVERIFY2(result.succeeded(), result.standardError.constData());
        QVERIFY(ToolkitHost::instance().isRunning());
        QCOMPARE(TestFiles::pdfInfo(input + "2").value("Title"), QStringLiteral("Hosted Café"));
    }

    void wrongPasswordThenAGoodFile() {
        const QString locked =
            TestFiles::copyCorpusFile("libreoffice-writer-password.pdf", dir_.path());
        const QString plain = TestFiles::copyCorpusFile("habibi.pdf", dir_.path());
        const ToolResult wrong = ToolRunner::run(update(locked, QString("wrong")), 60s);
        QCOMPARE(wrong.outcome, ToolResult::Outcome::Finished);
        QCOMPARE(wrong.exitCode, 1);
        QVERIFY(wrong.standardError.contains("OWNER OR USER PASSWORD REQUIRED"));
        const ToolResult right = ToolRunner::run(update(locked, QString("openpassword")), 60s);
        QVERIFY2(right.succeeded(), right.standardError.constData());
        const ToolResult good = ToolRunner::run(update(plain), 60s);
        QVERIFY2(good.succeeded(), good.standardError.constData());
        QCOMPARE(TestFiles::pdfInfo(plain + "2").value("Author"), QStringLiteral("Finance"));
    }

    void sameResultsAsAProcessPerRun_data() {
        QTest::addColumn<QString>("corpusFile");
        QTest::newRow("pdfTeX") << "minimal-document.pdf";
        QTest::newRow("four pages") << "pdflatex-4-pages.pdf";
        QTest::newRow("XMP") << "output_with_metadata_pymupdf.pdf";
        QTest::newRow("LibreOffice") << "002-trivial-libre-office-writer.pdf";
        QTest::newRow("larger than a file handed over") << "";
    }
    void sameResultsAsAProcessPerRun() {
        QFETCH(QString, corpusFile);
        const QString hosted =
            corpusFile.isEmpty() ? TestFiles::write(dir_.filePath("hosted.pdf"), largePdf())
                                 : TestFiles::copyCorpusFile(corpusFile, dir_.path(), "hosted.pdf");
        const QString alone = corpusFile.isEmpty()
                                  ? TestFiles::write(dir_.filePath("alone.pdf"), largePdf())
                                  : TestFiles::copyCorpusFile(corpusFile, dir_.path(), "alone.pdf");
        const ToolResult viaHost = ToolRunner::run(update(hosted), 60s);
        QVERIFY(ToolkitHost::instance().isRunning());
        ToolkitHost::instance().setEnabled(false);
        const ToolResult viaProcess = ToolRunner::run(update(alone), 60s);
        QCOMPARE(viaHost.exitCode, viaProcess.exitCode);
        QCOMPARE(viaHost.standardError, viaProcess.standardError);
        QCOMPARE(withoutId(bytes(hosted + "2")), withoutId(bytes(alone + "2")));
    }

    // Failures and warnings read exactly as from a toolkit process of its own: same exit code,
    // same text, naming the same file.
    void answersAsTheToolkitWould_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("cut off") << bytes(TestFiles::corpusFolder() + "/habibi.pdf").left(1000)
                                 << 1;
        QTest::newRow("not a PDF") << QByteArray("plain text\n") << 1;
        QTest::newRow("owner password") << QByteArray() << 0;
        // The host writes the result file itself for a large input, yet leaves none where the
        // toolkit leaves none.
        QTest::newRow("large, not a PDF") << QByteArray(33 * 1024 * 1024, 'x') << 1;
    }
    void answersAsTheToolkitWould() {
        QFETCH(QByteArray, contents);
        QFETCH(int, exitCode);
        const QString input = dir_.filePath("answer é.pdf");
        QFile::remove(input);
        if (contents.isEmpty()) {
            QVERIFY(TestFiles::haveProgram("qpdf"));
            QCOMPARE(TestPrograms::encrypted(TestFiles::corpusFolder() + "/minimal-document.pdf",
                                             input, {"", "owner", "128", "--use-aes=y"}),
                     input);
        } else {
            TestFiles::write(input, contents);
        }
        QFile::remove(input + "2");
        const ToolResult viaHost = ToolRunner::run(update(input), 60s);
        QVERIFY(ToolkitHost::instance().isRunning());
        const bool hostWrote = QFile::remove(input + "2");
        ToolkitHost::instance().setEnabled(false);
        const ToolResult viaProcess = ToolRunner::run(update(input), 60s);
        QCOMPARE(hostWrote, QFile::remove(input + "2"));
        QCOMPARE(viaHost.exitCode, exitCode);
        QCOMPARE(viaProcess.exitCode, exitCode);
        QVERIFY2(viaHost.standardError.contains(QFile::encodeName(input)),
                 viaHost.standardError.constData());
        QCOMPARE(viaHost.standardError, viaProcess.standardError);
    }

    void sameDumpAsAProcessPerRun() {
        const QString input = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir_.path());
        const QString hostDump = dir_.filePath("host.dump");
        const QString processDump = dir_.filePath("process.dump");
        QVERIFY(ToolRunner::run(ToolkitCommand::dump(Toolkit::path(), input, hostDump), 60s)
                    .succeeded());
        QVERIFY(ToolkitHost::instance().isRunning());
        ToolkitHost::instance().setEnabled(false);
        QVERIFY(ToolRunner::run(ToolkitCommand::dump(Toolkit::path(), input, processDump), 60s)
                    .succeeded());
        QVERIFY(bytes(hostDump).contains("NumberOfPages: 4"));
        QCOMPARE(bytes(hostDump), bytes(processDump));
    }

    // A request past its time limit ends the host; the next request gets a fresh one.
    void hangingRequest() {
        const QString fifo = dir_.filePath("never-written.pdf");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString good = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        QVERIFY(ToolRunner::run(update(good), 60s).succeeded());
        const qint64 before = ToolkitHost::instance().processId();
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        const ToolResult hung = ToolRunner::run(update(fifo), 1s);
        QCOMPARE(hung.outcome, ToolResult::Outcome::TimedOut);
        QVERIFY(ticks >= 10);
        QVERIFY(!ToolkitHost::instance().isRunning());
        QVERIFY(::kill(static_cast<pid_t>(before), 0) != 0);
        QVERIFY(ToolRunner::run(update(good), 60s).succeeded());
        QVERIFY(ToolkitHost::instance().processId() != before);

        // A request sent behind a hanging one, and collected first, waits for it and is then
        // run by a new host rather than lost with the old one.
        QFile::remove(good + "2");
        const ToolRunner::Started hanging = ToolRunner::start(update(fifo), 1s);
        const ToolRunner::Started behind = ToolRunner::start(update(good), 60s);
        QVERIFY(hanging.ticket && behind.ticket);
        const qint64 first = ToolkitHost::instance().processId();
        const ToolResult after = ToolRunner::finish(behind);
        QVERIFY2(after.succeeded(), after.standardError.constData());
        QCOMPARE(TestFiles::pdfInfo(good + "2").value("Title"), QStringLiteral("Hosted Café"));
        QVERIFY(ToolkitHost::instance().processId() != first);
        QCOMPARE(ToolRunner::finish(hanging).outcome, ToolResult::Outcome::TimedOut);
    }

    // A host that dies is reported for that file and replaced for the next.
    void killedHost() {
        const QString fifo = dir_.filePath("stuck.pdf");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString good = TestFiles::copyCorpusFile("habibi.pdf", dir_.path());
        QVERIFY(ToolRunner::run(update(good), 60s).succeeded());
        const qint64 pid = ToolkitHost::instance().processId();
        QTimer::singleShot(300, [pid] { ::kill(static_cast<pid_t>(pid), SIGKILL); });
        const ToolResult killed = ToolRunner::run(update(fifo), 60s);
        QCOMPARE(killed.outcome, ToolResult::Outcome::Crashed);
        const ToolResult next = ToolRunner::run(update(good), 60s);
        QVERIFY2(next.succeeded(), next.standardError.constData());
        QVERIFY(ToolkitHost::instance().processId() != pid);

        // Killed between requests: the next request starts a new host. The killed Java leaves
        // nothing in the system's temporary folder (a Java that starts later would clear it).
        const qint64 idle = ToolkitHost::instance().processId();
        ::kill(static_cast<pid_t>(idle), SIGKILL);
        QTRY_VERIFY(!ToolkitHost::instance().isRunning());
        QVERIFY(!QFile::exists(perfDataOf(idle)));
        QVERIFY(ToolRunner::run(update(good), 60s).succeeded());
    }

    // A toolkit the host cannot load runs as a process of its own, every time.
    void fallbackWhenTheHostCannotStart() {
        QTemporaryDir tools;
        const QString launcher = TestFiles::writeScript(
            tools.filePath("pdftk"),
            "# class path: /usr/share/java/commons-lang3.jar\nexec /usr/bin/pdftk \"$@\"");
        Toolkit::replace(launcher);
        const QString input =
            TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path(), "f.pdf");
        for (int i = 0; i < 2; ++i) {
            const ToolResult result = ToolRunner::run(
                ToolkitCommand::update(launcher, input, {}, info_, input + "2"), 60s);
            QVERIFY2(result.succeeded(), result.standardError.constData());
            QVERIFY(!ToolkitHost::instance().isRunning());
        }
        QCOMPARE(TestFiles::pdfInfo(input + "2").value("Title"), QStringLiteral("Hosted Café"));
    }

    // A run started while the host warms up with the sample files gets its own answers, the
    // warm-ups' skipped however far they have got.
    void runWhileWarmingUp_data() {
        QTest::addColumn<int>("waitMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("while warming up") << 400;
    }
    void runWhileWarmingUp() {
        QFETCH(int, waitMs);
        ToolkitHost& host = ToolkitHost::instance();
        host.shutDown();
        host.prepare(ToolkitHost::WarmUp::WithSamples);
        QTest::qWait(waitMs);
        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        const ToolResult changed = ToolRunner::run(update(input), 60s);
        QVERIFY2(changed.succeeded(), changed.standardError.constData());
        QVERIFY(changed.standardOutput.isEmpty());
        QCOMPARE(TestFiles::pdfInfo(input + "2").value("Title"), QStringLiteral("Hosted Café"));
        const QString dump = dir_.filePath("warm.dump");
        QVERIFY(
            ToolRunner::run(ToolkitCommand::dump(Toolkit::path(), input, dump), 60s).succeeded());
        QVERIFY(bytes(dump).contains("NumberOfPages: 1"));
    }

    void shutDownEndsTheHost() {
        const QString good = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        QVERIFY(ToolRunner::run(update(good), 60s).succeeded());
        const qint64 pid = ToolkitHost::instance().processId();
        QVERIFY(pid > 0);
        ToolkitHost::instance().shutDown();
        QVERIFY(!ToolkitHost::instance().isRunning());
        QTRY_VERIFY(::kill(static_cast<pid_t>(pid), 0) != 0);
    }
};

QTEST_GUILESS_MAIN(ToolkitHostTest)
#include "ToolkitHostTest.moc"
