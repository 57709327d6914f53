#include "BatchRun.h"

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::optional<QString>)

class BatchRunTest : public QObject {
    Q_OBJECT

private:
    static ToolResult finished(int exitCode, const QByteArray& standardError) {
        ToolResult result;
        result.outcome = ToolResult::Outcome::Finished;
        result.exitCode = exitCode;
        result.standardError = standardError;
        return result;
    }

private slots:
    void destination_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("toFolder");
        QTest::addColumn<bool>("beside");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<std::optional<QString>>("expected");
        using O = std::optional<QString>;
        QTest::newRow("folder with separator")
            << "/in/SCAN.PDF"
            << "SCAN" << true << false << "/out/" << O("/out/SCAN.pdf");
        QTest::newRow("folder without separator")
            << "/in/a.pdf"
            << "a" << true << false << "/out" << O("/out/a.pdf");
        QTest::newRow("beside the original replaces it")
            << "/in/a.pdf"
            << "a" << false << true << "/ignored" << O("/in/a.pdf");
        QTest::newRow("beside, upper-case extension becomes lower case")
            << "/in/scan.PDF"
            << "scan" << false << true << "" << O("/in/scan.pdf");
        QTest::newRow("beside, root folder") << "/x.pdf"
                                             << "x" << false << true << "" << O("/x.pdf");
        QTest::newRow("several dots")
            << "/in/Annual.Report.pdf"
            << "Annual.Report" << false << true << "" << O("/in/Annual.Report.pdf");
        QTest::newRow("name without dot keeps its name")
            << "/in/scan"
            << "scan" << false << true << "" << O("/in/scan.pdf");
        QTest::newRow("doubled separators collapse")
            << "/in/a.pdf"
            << "a" << true << false << "/out//sub/" << O("/out/sub/a.pdf");
        QTest::newRow("neither option") << "/in/a.pdf"
                                        << "a" << false << false << "/out" << O();
    }
    void destination() {
        QFETCH(QString, input);
        QFETCH(QString, base);
        QFETCH(bool, toFolder);
        QFETCH(bool, beside);
        QFETCH(QString, folder);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(BatchRun::destination(input, base, toFolder, beside, folder), expected);
    }

    void timeLimitGrowsWithSize() {
        QCOMPARE(BatchRun::timeLimit(0), 60000ms);
        QCOMPARE(BatchRun::timeLimit(1024 * 1024 - 1), 60000ms);
        QCOMPARE(BatchRun::timeLimit(500LL * 1024 * 1024), 560000ms);
    }

    // The reason is a plain sentence; the toolkit's own words, without Java's stack trace, are
    // the detail.
    void toolkitReason_data() {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("detail");
        QTest::newRow("wrong password")
            << 1
            << QByteArray("WARNING: The creator of the input PDF:\n   /in/a.pdf\n   has set an "
                          "owner password\nError: Failed to open input PDF file: \n   /in/a.pdf\n"
                          "   OWNER OR USER PASSWORD REQUIRED, but incorrect\nErrors encountered.  "
                          "No output created.\nDone.  Input errors, so no output created.\n")
            << "it is password-protected and the password was not given or is wrong"
            << "Failed to open input PDF file: OWNER OR USER PASSWORD REQUIRED, but incorrect";
        QTest::newRow("not a PDF")
            << 1
            << QByteArray("Error: Invalid PDF: PDF header signature not found.\nError: Failed to "
                          "open input PDF file: \n   /in/a.pdf\nErrors encountered.  No output "
                          "created.\n")
            << "the toolkit could not read it"
            << "Invalid PDF: PDF header signature not found; Failed to open input PDF file";
        QTest::newRow("garbled trailer")
            << 1
            << QByteArray("Error: Invalid PDF: Rebuild failed: trailer not found.; Original "
                          "message: Unexpected ']' at file pointer 754\nError: Failed to open "
                          "input PDF file: \n   /in/a.pdf\nErrors encountered.  No output "
                          "created.\nDone.  Input errors, so no output created.\n")
            << "the toolkit could not read it"
            << "Invalid PDF: Rebuild failed: trailer not found.; Original message: Unexpected "
               "']' at file pointer 754; Failed to open input PDF file";
        QTest::newRow("exception while reading")
            << 1
            << QByteArray("Error: Unexpected Exception in open_reader()\nUnhandled Java Exception "
                          "in main():\njava.lang.IndexOutOfBoundsException: Index -1 out of bounds "
                          "for length 0\n\tat java.base/jdk.internal.util.Preconditions."
                          "outOfBounds(Preconditions.java:64)\n")
            << "the toolkit could not read it"
            << "Unexpected Exception in open_reader(); Unhandled Java Exception in main(): "
               "java.lang.IndexOutOfBoundsException: Index -1 out of bounds for length 0";
        QTest::newRow("Java exception")
            << 1
            << QByteArray("Error: Unexpected Exception in open_reader()\njava.io.IOException: "
                          "No space left on device\n\tat java.base/java.io.FileOutputStream."
                          "writeBytes(Native Method)\n\tat java.base/x.y(Z.java:1)\n")
            << "could not write the destination: no space left on device"
            << "Unexpected Exception in open_reader(); java.io.IOException: No space left on "
               "device";
        QTest::newRow("full disk while writing")
            << 2
            << QByteArray("Unhandled Java Exception in create_output():\njava.io.IOException: No "
                          "space left on device\n\tat java.base/sun.nio.ch.FileDispatcherImpl."
                          "write0(Native Method)\n")
            << "could not write the destination: no space left on device"
            << "Unhandled Java Exception in create_output(): java.io.IOException: No space left on "
               "device";
        QTest::newRow("silent failure")
            << 3 << QByteArray() << "the toolkit failed (exit code 3)" << QString();
        QTest::newRow("success with a bad file")
            << 0 << QByteArray() << "the toolkit's output is not a complete PDF file" << QString();
    }
    void toolkitReason() {
        QFETCH(int, exitCode);
        QFETCH(QByteArray, standardError);
        QFETCH(QString, expected);
        QFETCH(QString, detail);
        const ToolResult result = finished(exitCode, standardError);
        QCOMPARE(BatchRun::toolkitReason(result), expected);
        QCOMPARE(BatchRun::toolkitDetail(result, "/in/a.pdf"), detail);
    }

    void reasonsBeyondTheToolkitsWords() {
        ToolResult result;
        result.outcome = ToolResult::Outcome::TimedOut;
        QCOMPARE(BatchRun::toolkitReason(result), QStringLiteral("timed out"));
        result.outcome = ToolResult::Outcome::Crashed;
        QCOMPARE(BatchRun::toolkitReason(result),
                 QStringLiteral("the toolkit stopped unexpectedly"));
        result.outcome = ToolResult::Outcome::NotStarted;
        result.startError = "No such file or directory";
        QCOMPARE(BatchRun::toolkitReason(result),
                 QStringLiteral("the toolkit could not be started: No such file or directory"));
    }
};

QTEST_GUILESS_MAIN(BatchRunTest)
#include "BatchRunTest.moc"
