#include "DumpReader.h"
#include "InfoUpdateFile.h"
#include "PrivateTempFolder.h"
#include "TestFiles.h"
#include "ToolRunner.h"
#include "ToolkitCommand.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::optional<QString>)

// The real toolkit on copies of real-world files; results are read back with poppler's pdfinfo.
class ToolkitEndToEndTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString toolkit_;
    QString temp_;

    ToolResult update(const QString& input, const EditPlan& plan,
                      const std::optional<QString>& password = std::nullopt) {
        const QString info = temp_ + "/info.txt";
        InfoUpdateFile::write(info, InfoUpdateFile::content(plan, QString()));
        return ToolRunner::run(
            ToolkitCommand::update(toolkit_, input, password, info, changedCopy(input)), 120s);
    }
    // Where update() has the toolkit write the changed document.
    static QString changedCopy(const QString& input) { return input + "2"; }

    static EditPlan awkwardPlan() {
        EditPlan plan;
        plan.changeTo(InfoField::Title, "Café 東京 😀 A &amp; B");
        plan.changeTo(InfoField::Author, "");
        plan.changeTo(InfoField::Keywords, "  spaced  ");
        return plan;
    }

    static void verifyAwkwardValues(const QMap<QString, QString>& fields) {
        QCOMPARE(fields.value("Title"), QStringLiteral("Café 東京 😀 A &amp; B"));
        QVERIFY(fields.contains("Author"));
        QCOMPARE(fields.value("Author"), QString());
        QCOMPARE(fields.value("Keywords"), QStringLiteral("  spaced  "));
    }

private slots:
    void initTestCase() {
        toolkit_ =
            TestFiles::haveProgram("pdftk") ? QStandardPaths::findExecutable("pdftk") : QString();
        QVERIFY2(!toolkit_.isEmpty(), "pdftk is missing: install Debian's pdftk-java");
        QVERIFY2(TestFiles::haveProgram("pdfinfo"), "pdfinfo is missing: install poppler-utils");
        qputenv("TEMP", QFile::encodeName(dir_.path()));
        temp_ = PrivateTempFolder::ensure();
    }

    void awkwardValuesArriveExactly_data() {
        QTest::addColumn<QString>("corpusFile");
        QTest::addColumn<QString>("copyName");
        QTest::newRow("pdfTeX") << "minimal-document.pdf"
                                << "plain.pdf";
        QTest::newRow("LibreOffice") << "002-trivial-libre-office-writer.pdf"
                                     << "writer.pdf";
        QTest::newRow("four pages") << "pdflatex-4-pages.pdf"
                                    << "four.pdf";
        QTest::newRow("XMP metadata") << "output_with_metadata_pymupdf.pdf"
                                      << "xmp.pdf";
        QTest::newRow("PDF/A, empty fields") << "crazyones-pdfa.pdf"
                                             << "pdfa.pdf";
        QTest::newRow("Arabic") << "habibi.pdf"
                                << "habibi.pdf";
        QTest::newRow("awkward name") << "minimal-document.pdf"
                                      << "-Ü 東京 $HOME \"q\" 'x'.pdf";
        QTest::newRow("newline in name") << "habibi.pdf"
                                         << "two\nlines.pdf";
    }
    void awkwardValuesArriveExactly() {
        QFETCH(QString, corpusFile);
        QFETCH(QString, copyName);
        const QString input = TestFiles::copyCorpusFile(corpusFile, dir_.path(), copyName);
        QVERIFY(!input.isEmpty());
        const QMap<QString, QString> before = TestFiles::pdfInfo(input);
        QVERIFY(!before.isEmpty());

        const ToolResult result = update(input, awkwardPlan());
        QVERIFY2(result.succeeded(), result.standardError.constData());
        const QString workCopy = changedCopy(input);
        const QMap<QString, QString> after = TestFiles::pdfInfo(workCopy);
        verifyAwkwardValues(after);
        QCOMPARE(after.value("Pages"), before.value("Pages"));
        QCOMPARE(after.value("Creator"), before.value("Creator"));
        QCOMPARE(after.value("Subject"), before.value("Subject"));

        // The toolkit's own dump of the result reads back the same text.
        const QString dumpFile = temp_ + "/result.txt";
        const ToolResult dump =
            ToolRunner::run(ToolkitCommand::dump(toolkit_, workCopy, dumpFile), 120s);
        QVERIFY2(dump.succeeded(), dump.standardError.constData());
        const DumpReader::Values values = DumpReader::ReadInfoValues(dumpFile, {"Title"});
        QCOMPARE(values, (DumpReader::Values{{"Title", "Café 東京 😀 A &amp; B"}}));
        QVERIFY(QFile::remove(dumpFile));
        QVERIFY(QFile::remove(workCopy));
    }

    void everyFieldKeptChangesNothing() {
        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        const ToolResult result = update(input, EditPlan());
        QVERIFY2(result.succeeded(), result.standardError.constData());
        const QMap<QString, QString> before = TestFiles::pdfInfo(input);
        const QMap<QString, QString> after = TestFiles::pdfInfo(changedCopy(input));
        for (const char* key : {"Title", "Author", "Creator", "Producer", "Pages"})
            QCOMPARE(after.value(key), before.value(key));
    }

    void passwordThroughStandardInput() {
        const QString input =
            TestFiles::copyCorpusFile("libreoffice-writer-password.pdf", dir_.path());
        const ToolResult result = update(input, awkwardPlan(), QStringLiteral("openpassword"));
        QVERIFY2(result.succeeded(), result.standardError.constData());
        verifyAwkwardValues(TestFiles::pdfInfo(changedCopy(input)));
        QVERIFY(QFile::remove(changedCopy(input)));
    }

    void failuresExplainThemselves_data() {
        QTest::addColumn<QString>("corpusFile");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("wrong password")
            << "libreoffice-writer-password.pdf" << QByteArray() << std::optional<QString>("nope")
            << QByteArray("PASSWORD REQUIRED");
        QTest::newRow("no password") << "libreoffice-writer-password.pdf" << QByteArray()
                                     << std::optional<QString>() << QByteArray("PASSWORD REQUIRED");
        QTest::newRow("not a PDF") << "" << QByteArray("\xff\xd8\xff\xe0 JFIF")
                                   << std::optional<QString>() << QByteArray("Error");
    }
    void failuresExplainThemselves() {
        QFETCH(QString, corpusFile);
        QFETCH(QByteArray, bytes);
        QFETCH(std::optional<QString>, password);
        QFETCH(QByteArray, reason);
        QString input = dir_.filePath("failing.pdf");
        QFile::remove(input);
        if (corpusFile.isEmpty()) {
            QFile file(input);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        } else {
            input = TestFiles::copyCorpusFile(corpusFile, dir_.path(), "failing.pdf");
        }
        const ToolResult result = update(input, awkwardPlan(), password);
        QCOMPARE(result.outcome, ToolResult::Outcome::Finished);
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.standardError.contains(reason), result.standardError.constData());
        QVERIFY(!QFile::exists(changedCopy(input)));
    }
};

QTEST_GUILESS_MAIN(ToolkitEndToEndTest)
#include "ToolkitEndToEndTest.moc"
