#include "RunMessages.h"

#include <QTest>

class RunMessagesTest : public QObject {
    Q_OBJECT

private slots:
    void passwordPrompt() {
        QCOMPARE(RunMessages::passwordPrompt("/in/a.pdf"),
                 QStringLiteral("Enter password for file (/in/a.pdf): \r\nNote: Leave this box "
                                "blank if file is not password protected"));
    }

    void summary() {
        const QList<BatchRun::Outcome> allGood{{"/a.pdf", {}, {}, {}, {}, {}},
                                               {"/b.pdf", {}, {}, {}, {}, {}}};
        QCOMPARE(RunMessages::summary(allGood, 2), QStringLiteral("Done."));
        QCOMPARE(RunMessages::details(allGood), QString());

        const QList<BatchRun::Outcome> mixed{
            {"/a.pdf", {}, {}, {}, {}, {}},
            {"/b.pdf", "timed out", {}, {}, {}, {}},
            {"/c.pdf", {}, {}, {}, "it has another name", {}},
            {"/d.pdf",
             "the toolkit could not read it",
             {},
             {},
             {},
             "Invalid PDF: Rebuild failed\nwith a repaired copy: Invalid PDF"}};
        QCOMPARE(RunMessages::summary(mixed, 4),
                 QStringLiteral("Done.\r\n2 of 4 files were not changed."));
        QCOMPARE(RunMessages::details(mixed),
                 QStringLiteral("/b.pdf: not changed: timed out\r\n/c.pdf: changed, but it has "
                                "another name\r\n/d.pdf: not changed: the toolkit could not read "
                                "it\r\n    Invalid PDF: Rebuild failed\r\n    with a repaired "
                                "copy: Invalid PDF"));
    }

    void copyFailureMessage() {
        QCOMPARE(RunMessages::copyFailureMessage("/out/a.pdf"),
                 QStringLiteral("Error #194635: Please make sure that destination file: \r\n"
                                "/out/a.pdf\r\nis not open.\r\n\r\nPlease email "
                                "support@brightfen.example with a screenshot of this message if "
                                "you have any questions."));
    }
};

QTEST_GUILESS_MAIN(RunMessagesTest)
#include "RunMessagesTest.moc"
