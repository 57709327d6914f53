#include "ErrorTrap.h"

#include "ErrorReport.h"
#include "Failure.h"
#include "ScriptedDialogs.h"

#include <QTest>

namespace {
const QString load = QStringLiteral("in Metascribe2021/08/31.Form1.Form_Load ");

// A routine without a trap of its own: its failure belongs to the step that called it.
int routineThatFails() {
    throw Failure(QStringLiteral("File not found"));
}
} // namespace

class ErrorTrapTest : public QObject {
    Q_OBJECT

private slots:
    void messageText_data() {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("context");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("expected");
        QTest::newRow("load")
            << "Type mismatch" << load << 126
            << "Type mismatch\r\nin Metascribe2021/08/31.Form1.Form_Load at line 126\r\r"
               "Please email screenshot of this message to support@brightfen.example";
        QTest::newRow("empty description keeps its empty first line")
            << ""
            << "in Treescribe2021/08/31.AddFolder.GetSubDirectories2016 " << 100
            << "\r\nin Treescribe2021/08/31.AddFolder.GetSubDirectories2016 at line 100\r\r"
               "Please email screenshot of this message to support@brightfen.example";
        QTest::newRow("odd step number") << "x"
                                         << "in a.b " << 333
                                         << "x\r\nin a.b at line 333\r\r"
                                            "Please email screenshot of this message to "
                                            "support@brightfen.example";
    }
    void messageText() {
        QFETCH(QString, description);
        QFETCH(QString, context);
        QFETCH(int, step);
        QFETCH(QString, expected);
        QCOMPARE(ErrorReport::messageText(description, context, step), expected);
    }

    void reportBox() {
        ScriptedDialogs dialogs;
        ErrorTrap trap(load);
        trap.step(104, [] { throw Failure("Overflow"); });
        QCOMPARE(dialogs.shown.size(), 1);
        const ScriptedDialogs::Shown& box = dialogs.shown.first();
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(box.text, ErrorReport::messageText("Overflow", load, 104));
    }

    // Two failures in one run give two reports in order, and the handler reaches its end.
    void resumesAtTheNextStep() {
        ScriptedDialogs dialogs;
        ErrorTrap trap(load);
        QStringList done;
        trap.step(100, [&] { done << "100"; });
        trap.step(102, [&] {
            throw Failure("first");
            done << "102"; // never reached: the rest of a failed step stays undone
        });
        trap.step(104, [&] { done << "104"; });
        trap.step(106, [&] { throw std::runtime_error("second"); });
        trap.step(108, [&] { done << "108"; });
        QCOMPARE(done, (QStringList{"100", "104", "108"}));
        QCOMPARE(trap.failures(), 2);
        const QList<ScriptedDialogs::Shown> boxes = dialogs.messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text, ErrorReport::messageText("first", load, 102));
        QCOMPARE(boxes[1].text, ErrorReport::messageText("second", load, 106));
    }

    // A test that fails runs the branch it guards, and not the else branch.
    void failingTestRunsGuardedBranch() {
        ScriptedDialogs dialogs;
        ErrorTrap trap(load);
        QStringList done;
        if (trap.test(110, [] { return routineThatFails() > 0; }))
            trap.step(112, [&] { done << "then"; });
        else
            trap.step(114, [&] { done << "else"; });
        if (trap.test(116, [] { return false; }))
            done << "then";
        else
            done << "else";
        QCOMPARE(done, (QStringList{"then", "else"}));
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages()[0].text, ErrorReport::messageText("File not found", load, 110));
    }

    void failureInCalledRoutineNamesTheCaller() {
        ScriptedDialogs dialogs;
        ErrorTrap trap(load);
        int value = 7;
        trap.step(106, [&] { value = routineThatFails(); });
        QCOMPARE(value, 7);
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages()[0].text, ErrorReport::messageText("File not found", load, 106));
    }

    void loopGoesOnAfterAFailedBody() {
        ScriptedDialogs dialogs;
        ErrorTrap trap(load);
        QList<int> done;
        for (int i = 1; i <= 3; ++i) {
            trap.step(120, [&] {
                if (i == 2)
                    throw Failure("bad row");
            });
            trap.step(122, [&] { done << i; });
        }
        QCOMPARE(done, (QList<int>{1, 2, 3}));
        QCOMPARE(dialogs.messages().size(), 1);
    }

    void shieldedSwallowsEverything() {
        ScriptedDialogs dialogs;
        QTest::ignoreMessage(QtWarningMsg, "hover: boom");
        QVERIFY(!ErrorTrap::shielded("hover", [] { throw Failure("boom"); }));
        QTest::ignoreMessage(QtWarningMsg, "hover: Unexpected failure");
        QVERIFY(!ErrorTrap::shielded("hover", [] { throw 42; }));
        QVERIFY(ErrorTrap::shielded("hover", [] {}));
        QVERIFY(dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(ErrorTrapTest)
#include "ErrorTrapTest.moc"
