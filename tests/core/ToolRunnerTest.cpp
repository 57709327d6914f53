#include "ToolRunner.h"

#include "TestFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

class ToolRunnerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString script(const QString& name, const QString& body) {
        return TestFiles::writeScript(dir_.filePath(name), body);
    }

    // A killed grandchild may linger as a zombie where nothing reaps orphans; that counts as gone.
    static bool processAlive(const QString& pidFile) {
        QFile file(pidFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray pid = file.readAll().trimmed();
        QFile stat("/proc/" + pid + "/stat");
        if (pid.isEmpty() || !stat.open(QIODevice::ReadOnly))
            return false;
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close > 0 && line.mid(close + 2, 1) != "Z";
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

QTEST_GUILESS_MAIN(ToolRunnerTest)
#include "ToolRunnerTest.moc"
