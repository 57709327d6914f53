#include "ToolRunner.h"

#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"
#include "ToolkitHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/stat.h>

using namespace std::chrono_literals;

class ToolRunnerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString script(const QString& name, const QString& body) {
        return TestFiles::writeScript(dir_.filePath(name), body);
    }

    static bool processAlive(const QString& pidFile) {
        QFile file(pidFile);
        return file.open(QIODevice::ReadOnly) && TestPrograms::alive(file.readAll().trimmed());
    }
    // The processes below root, by process id, with their names.
    static QMap<QByteArray, QByteArray> descendants(const QByteArray& root) {
        QMap<QByteArray, QByteArray> found;
        QByteArrayList parents{root};
        const QStringList all = QDir("/proc").entryList(QDir::Dirs);
        while (!parents.isEmpty()) {
            const QByteArray parent = parents.takeFirst();
            for (const QString& entry : all) {
                const QByteArray pid = entry.toLatin1();
                if (const auto child = TestPrograms::status(pid);
                    child && child->parent == parent) {
                    found.insert(pid, child->name);
                    parents << pid;
                }
            }
        }
        return found;
    }

private slots:
    void missingProgramReturnsAtOnce() {
        QElapsedTimer clock;
        clock.start();
        const ToolResult result =
            ToolRunner::run({dir_.filePath("no-such-tool"), {"x"}, std::nullopt}, 60s);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(result.outcome, ToolResult::Outcome::NotStarted);
        QVERIFY(!result.startError.isEmpty());
        QVERIFY(!result.succeeded());
    }

    void exitCodeAndOutputs_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("standardOutput");
        QTest::addColumn<QByteArray>("standardError");
        QTest::newRow("success") << "echo out; exit 0" << 0 << QByteArray("out\n") << QByteArray();
        QTest::newRow("failure with a reason")
            << "echo 'Error: Failed to open input PDF file' >&2; exit 1" << 1 << QByteArray()
            << QByteArray("Error: Failed to open input PDF file\n");
        QTest::newRow("odd exit code") << "exit 259" << 3 << QByteArray() << QByteArray();
    }
    void exitCodeAndOutputs() {
        QFETCH(QString, body);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, standardOutput);
        QFETCH(QByteArray, standardError);
        const ToolResult result = ToolRunner::run({script("tool.sh", body), {}, std::nullopt}, 60s);
        QCOMPARE(result.outcome, ToolResult::Outcome::Finished);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.standardOutput, standardOutput);
        QCOMPARE(result.standardError, standardError);
        QCOMPARE(result.succeeded(), exitCode == 0);
    }

    // Arguments reach the tool one by one, exactly, with no shell in between.
    void argumentsArriveExactly() {
        const QStringList arguments{"a b", "\"q\"", "$HOME", "-x", "two\nlines", "'s'", "*", ""};
        const ToolResult result =
            ToolRunner::run({script("args.sh", "for a in \"$@\"; do printf '%s\\0' \"$a\"; done"),
                             arguments, std::nullopt},
                            60s);
        QStringList received = QString::fromUtf8(result.standardOutput).split(QChar(u'\0'));
        received.removeLast();
        QCOMPARE(received, arguments);
    }

    void environmentAndInput() {
        const QString tool = script("env.sh", "echo \"$LC_ALL\"; cat");
        // Without input the tool reads end of file at once instead of waiting for a user.
        ToolResult result = ToolRunner::run({tool, {}, std::nullopt}, 10s);
        QCOMPARE(result.outcome, ToolResult::Outcome::Finished);
        QCOMPARE(result.standardOutput, QByteArray("C.UTF-8\n"));

        result = ToolRunner::run({tool, {}, QByteArray("pass word\n")}, 10s);
        QCOMPARE(result.standardOutput, QByteArray("C.UTF-8\npass word\n"));
    }

    // A tool that runs past its limit is killed, together with what it started, and the event
    // loop keeps turning during the wait.
    void timeLimit() {
        const QString pidFile = dir_.filePath("child.pid");
        const QString tool =
            script("hang.sh", QStringLiteral("sleep 30 & echo $! > '%1'; wait").arg(pidFile));
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);

        QElapsedTimer clock;
        clock.start();
        const ToolResult result = ToolRunner::run({tool, {}, std::nullopt}, 700ms);
        const qint64 elapsed = clock.elapsed();

        QCOMPARE(result.outcome, ToolResult::Outcome::TimedOut);
        QVERIFY(!result.succeeded());
        QVERIFY2(elapsed >= 600 && elapsed < 10000, qPrintable(QString::number(elapsed)));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QTRY_VERIFY(!processAlive(pidFile));
    }

    void killedBySignalIsACrash() {
        const ToolResult result =
            ToolRunner::run({script("crash.sh", "kill -SEGV $$"), {}, std::nullopt}, 10s);
        QCOMPARE(result.outcome, ToolResult::Outcome::Crashed);
        QVERIFY(!result.succeeded());
    }

    // Nothing a tool started through the runner may outlive a program that is killed: neither
    // an ordinary tool nor the toolkit, whose launcher script would leave Java running.
    void toolEndsWithTheProgram_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("working");
        const QString fifo = dir_.filePath("never-written.pdf");
        QVERIFY(QFile::exists(fifo) || ::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QTest::newRow("tool") << script("sleeper.sh", "exec sleep 60") << QStringList()
                              << QByteArray("sleep");
        QTest::newRow("toolkit") << Toolkit::path() << QStringList{fifo, "dump_data"}
                                 << QByteArray("java");
    }
    void toolEndsWithTheProgram() {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, working);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TEMP", dir_.path());
        environment.insert("XDG_CACHE_HOME", dir_.filePath("cache"));
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationFilePath(),
                      QStringList{"--as-program", tool} + arguments);
        QVERIFY(program.waitForStarted());
        const QByteArray pid = QByteArray::number(program.processId());
        QMap<QByteArray, QByteArray> started;
        QTRY_VERIFY_WITH_TIMEOUT((started = descendants(pid)).values().contains(working), 30000);
        // A failure must not leave the tools running.
        const auto reap = qScopeGuard([&] {
            for (auto child = started.cbegin(); child != started.cend(); ++child)
                if (const auto now = TestPrograms::status(child.key());
                    now && now->name == child.value())
                    ::kill(static_cast<pid_t>(child.key().toLong()), SIGKILL);
        });
        ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
        QVERIFY(program.waitForFinished());
        for (auto child = started.cbegin(); child != started.cend(); ++child)
            QTRY_VERIFY2(!TestPrograms::alive(child.key()), child.value().constData());
    }

    // Java starts in the place of a launcher script that says plainly how it starts Java, so
    // nothing stands between the program and Java; any other script runs as it is.
    void toolkitLauncherReplacedByJava_data() {
        QTest::addColumn<QString>("javaStart");
        QTest::addColumn<bool>("scriptRuns");
        QTest::newRow("plain launcher") << "java -cp" << false;
        QTest::newRow("launcher with its own options") << "java -Dx=1 -cp" << true;
    }
    void toolkitLauncherReplacedByJava() {
        QFETCH(QString, javaStart);
        QFETCH(bool, scriptRuns);
        const QString real = Toolkit::path();
        QString text = QString::fromUtf8(TestFiles::bytes(real));
        QVERIFY2(text.startsWith("#!") && text.contains("\njava -cp "),
                 "the toolkit is not the launcher script of Debian's package");
        const QString marker = dir_.filePath("script-ran");
        QFile::remove(marker);
        text = text.mid(text.indexOf('\n') + 1).replace("\njava -cp ", "\n" + javaStart + " ");
        // Named after the row: a launcher is read once per run of the program.
        const QString launcher =
            script(QTest::currentDataTag(), QStringLiteral(": > '%1'\n").arg(marker) + text);
        Toolkit::replace(launcher);
        ToolkitHost::instance().setEnabled(false);

        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        const QString viaRunner = dir_.filePath("runner.dump");
        const QString viaScript = dir_.filePath("script.dump");
        const ToolResult result =
            ToolRunner::run(ToolkitCommand::dump(launcher, input, viaRunner), 60s);
        Toolkit::restore();
        QVERIFY2(result.succeeded(), result.standardError.constData());
        QCOMPARE(QFile::exists(marker), scriptRuns);
        QCOMPARE(QProcess::execute(real, ToolkitCommand::dump(real, input, viaScript).arguments),
                 0);
        QVERIFY(TestFiles::bytes(viaRunner).contains("NumberOfPages: 1"));
        QCOMPARE(TestFiles::bytes(viaRunner), TestFiles::bytes(viaScript));
    }

    // Leaving the event loop (the program is closing) stops the tool at once. Runs last: the
    // request to quit stays in force for this thread's later event loops.
    void quitStopsTheTool() {
        const QString pidFile = dir_.filePath("quit.pid");
        const QString tool =
            script("long.sh", QStringLiteral("echo $$ > '%1'; sleep 30").arg(pidFile));
        QTimer::singleShot(300, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        const ToolResult result = ToolRunner::run({tool, {}, std::nullopt}, 60s);
        QCOMPARE(result.outcome, ToolResult::Outcome::Interrupted);
        QVERIFY(clock.elapsed() < 10000);
        QTRY_VERIFY(!processAlive(pidFile));
    }
};

// Run again with "--as-program <tool> <arguments>", the test stands in for the program: it runs
// the tool through the runner, per file, until it is killed.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == "--as-program") {
        ToolkitHost::instance().setEnabled(false);
        ToolRunner::run({arguments.value(2), arguments.mid(3), std::nullopt}, 120s);
        return 0;
    }
    ToolRunnerTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "ToolRunnerTest.moc"
