#include "BatchRun.h"

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::optional<QString>)

class BatchRunTest : public QObject {
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(BatchRunTest)
#include "BatchRunTest.moc"
