#include "DestinationPlan.h"

#include "PathHelpers.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Which destinations one run may write: never one twice, never a file the user did not mean.
class DestinationPlanTest : public QObject {
    Q_OBJECT

private slots:
    void claims_data() {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QStringList>("destinations");
        QTest::addColumn<bool>("besideOriginal");
        // One expected reason per input, "" for a claim that is granted; "@" stands for the
        // temporary folder.
        QTest::addColumn<QStringList>("reasons");

        QTest::newRow("in place, upper-case extension beside another file")
            << QStringList{"doc.pdf", "doc.PDF"} << QStringList{"doc.pdf", "doc.PDF"}
            << QStringList{"doc.pdf", "doc.pdf"} << true
            << QStringList{"", "would replace @/doc.pdf, which is another file"};
        QTest::newRow("in place, upper-case extension alone")
            << QStringList{"doc.PDF"} << QStringList{"doc.PDF"} << QStringList{"doc.pdf"} << true
            << QStringList{""};
        QTest::newRow("one results folder, two files of one name")
            << QStringList{"a/report.pdf", "b/report.pdf"}
            << QStringList{"a/report.pdf", "b/report.pdf"}
            << QStringList{"out/report.pdf", "out/report.pdf"} << false
            << QStringList{"", "another file of this run writes @/out/report.pdf"};
        QTest::newRow("results folder: an earlier run's result is replaced")
            << QStringList{"a/report.pdf", "out/report.pdf"} << QStringList{"a/report.pdf"}
            << QStringList{"out/report.pdf"} << false << QStringList{""};
        QTest::newRow("results folder holds a file of the run")
            << QStringList{"a/x.pdf", "out/x.pdf"} << QStringList{"a/x.pdf", "out/x.pdf"}
            << QStringList{"out/x.pdf", "out/x.pdf"} << false
            << QStringList{"would replace @/out/x.pdf, which is another file", ""};
        QTest::newRow("the same file listed twice")
            << QStringList{"a/x.pdf"} << QStringList{"a/x.pdf", "a/../a/x.pdf"}
            << QStringList{"a/x.pdf", "a/x.pdf"} << true << QStringList{"", ""};
        QTest::newRow("a name without an extension beside a file of that name")
            << QStringList{"notes", "notes.pdf"} << QStringList{"notes"} << QStringList{"notes.pdf"}
            << true << QStringList{"would replace @/notes.pdf, which is another file"};
    }
    void claims() {
        QFETCH(QStringList, existing);
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, destinations);
        QFETCH(bool, besideOriginal);
        QFETCH(QStringList, reasons);
        QTemporaryDir dir;
        for (const QString& name : existing) {
            QDir(dir.path()).mkpath(QFileInfo(dir.filePath(name)).path());
            TestFiles::write(dir.filePath(name), name.toUtf8());
        }
        QDir(dir.path()).mkpath("out");
        QStringList paths;
        for (const QString& input : inputs)
            paths << dir.filePath(input);
        DestinationPlan plan(paths);
        for (int i = 0; i < inputs.size(); ++i)
            QCOMPARE(plan.claim(paths[i], dir.filePath(destinations[i]), besideOriginal),
                     QString(reasons[i]).replace("@", dir.path()));
    }

    // Another program replaced b.pdf during the run by a file with the inode a.pdf had when
    // the run claimed it (as a freed inode number is given again): b.pdf's reason says what
    // happened, not that another file of the run writes it.
    void fileReplacedDuringTheRun() {
        QTemporaryDir dir;
        const QString a = TestFiles::write(dir.filePath("a.pdf"), "a");
        const QString b = TestFiles::write(dir.filePath("b.pdf"), "b");
        DestinationPlan plan({a, b});
        QCOMPARE(plan.claim(a, a, true), QString());
        QVERIFY(QFile::rename(b, dir.filePath("old-b.pdf")));
        QVERIFY(QFile::rename(a, b));
        QCOMPARE(plan.claim(b, b, true),
                 QStringLiteral("it was changed by another program during the run"));
    }

    // Installed, the program's folder belongs to the system: its sample files are never changed.
    void programFolderIsNeverWritten() {
        const QString sample = PathHelpers::ProgramFolder() + "/Samples/Quarterly Report.pdf";
        DestinationPlan plan({sample});
        QVERIFY(plan.claim(sample, sample, true).startsWith("would write into this program's"));
    }
};

QTEST_GUILESS_MAIN(DestinationPlanTest)
#include "DestinationPlanTest.moc"
