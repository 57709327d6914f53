#include "ToolFailure.h"

#include <QTest>

Q_DECLARE_METATYPE(ToolFailure::Kind)

class ToolFailureTest : public QObject {
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
    // The reason is a plain sentence; the toolkit's own words, without Java's stack trace, are
    // the detail.
    void reasonAndDetail_data() {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<ToolFailure::Kind>("kind");
        QTest::newRow("wrong password")
            << 1
            << QByteArray("WARNING: The creator of the input PDF:\n   /in/a.pdf\n   has set an "
                          "owner password\nError: Failed to open input PDF file: \n   /in/a.pdf\n"
                          "   OWNER OR USER PASSWORD REQUIRED, but incorrect\nErrors encountered.  "
                          "No output created.\nDone.  Input errors, so no output created.\n")
            << "it is password-protected and the password was not given or is wrong"
            << "Failed to open input PDF file: OWNER OR USER PASSWORD REQUIRED, but incorrect"
            << ToolFailure::Kind::NeedsPassword;
        QTest::newRow("not a PDF")
            << 1
            << QByteArray("Error: Invalid PDF: PDF header signature not found.\nError: Failed to "
                          "open input PDF file: \n   /in/a.pdf\nErrors encountered.  No output "
                          "created.\n")
            << "the toolkit could not read it"
            << "Invalid PDF: PDF header signature not found; Failed to open input PDF file"
            << ToolFailure::Kind::Unreadable;
        QTest::newRow("garbled trailer")
            << 1
            << QByteArray("Error: Invalid PDF: Rebuild failed: trailer not found.; Original "
                          "message: Unexpected ']' at file pointer 754\nError: Failed to open "
                          "input PDF file: \n   /in/a.pdf\nErrors encountered.  No output "
                          "created.\nDone.  Input errors, so no output created.\n")
            << "the toolkit could not read it"
            << "Invalid PDF: Rebuild failed: trailer not found.; Original message: Unexpected "
               "']' at file pointer 754; Failed to open input PDF file"
            << ToolFailure::Kind::Unreadable;
        QTest::newRow("exception while reading")
            << 1
            << QByteArray("Error: Unexpected Exception in open_reader()\nUnhandled Java Exception "
                          "in main():\njava.lang.IndexOutOfBoundsException: Index -1 out of bounds "
                          "for length 0\n\tat java.base/jdk.internal.util.Preconditions."
                          "outOfBounds(Preconditions.java:64)\n")
            << "the toolkit could not read it"
            << "Unexpected Exception in open_reader(); Unhandled Java Exception in main(): "
               "java.lang.IndexOutOfBoundsException: Index -1 out of bounds for length 0"
            << ToolFailure::Kind::Unreadable;
        QTest::newRow("Java exception")
            << 1
            << QByteArray("Error: Unexpected Exception in open_reader()\njava.io.IOException: "
                          "No space left on device\n\tat java.base/java.io.FileOutputStream."
                          "writeBytes(Native Method)\n\tat java.base/x.y(Z.java:1)\n")
            << "could not write the destination: no space left on device"
            << "Unexpected Exception in open_reader(); java.io.IOException: No space left on "
               "device"
            << ToolFailure::Kind::WriteRefused;
        QTest::newRow("full disk while writing")
            << 2
            << QByteArray("Unhandled Java Exception in create_output():\njava.io.IOException: No "
                          "space left on device\n\tat java.base/sun.nio.ch.FileDispatcherImpl."
                          "write0(Native Method)\n")
            << "could not write the destination: no space left on device"
            << "Unhandled Java Exception in create_output(): java.io.IOException: No space left on "
               "device"
            << ToolFailure::Kind::WriteRefused;
        QTest::newRow("silent failure") << 3 << QByteArray() << "the toolkit failed (exit code 3)"
                                        << QString() << ToolFailure::Kind::ExitCode;
        QTest::newRow("success with a bad file")
            << 0 << QByteArray() << "the toolkit's output is not a complete PDF file" << QString()
            << ToolFailure::Kind::Incomplete;
    }
    void reasonAndDetail() {
        QFETCH(int, exitCode);
        QFETCH(QByteArray, standardError);
        QFETCH(QString, expected);
        QFETCH(QString, detail);
        QFETCH(ToolFailure::Kind, kind);
        const std::optional<ToolFailure> failure =
            ToolFailure::of(finished(exitCode, standardError), "/in/a.pdf", false);
        QVERIFY(failure);
        QCOMPARE(failure->reason(), expected);
        QCOMPARE(failure->detail(), detail);
        QCOMPARE(failure->kind(), kind);
    }

    void reasonsBeyondTheToolkitsWords() {
        const auto reason = [](const ToolResult& result) {
            return ToolFailure::of(result, "/in/a.pdf", true).value().reason();
        };
        ToolResult result;
        result.outcome = ToolResult::Outcome::TimedOut;
        QCOMPARE(reason(result), QStringLiteral("timed out"));
        result.outcome = ToolResult::Outcome::Crashed;
        QCOMPARE(reason(result), QStringLiteral("the toolkit stopped unexpectedly"));
        result.outcome = ToolResult::Outcome::NotStarted;
        result.startError = "No such file or directory";
        QCOMPARE(reason(result),
                 QStringLiteral("the toolkit could not be started: No such file or directory"));
    }

    // A run that succeeded fails only when its output is not a whole PDF file.
    void successNeedsACompleteOutput() {
        QVERIFY(!ToolFailure::of(finished(0, {}), "/in/a.pdf", true));
        const std::optional<ToolFailure> failure =
            ToolFailure::of(finished(0, {}), "/in/a.pdf", false);
        QVERIFY(failure);
        QCOMPARE(failure->kind(), ToolFailure::Kind::Incomplete);
    }
};

QTEST_GUILESS_MAIN(ToolFailureTest)
#include "ToolFailureTest.moc"
