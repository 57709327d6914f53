#include "DumpReader.h"

#include "Failure.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Values = DumpReader::Values;
Q_DECLARE_METATYPE(Values)

namespace {
const QStringList previewKeys{"Creator", "Producer", "Title", "Author"};
}

class DumpReaderTest : public QObject {
    Q_OBJECT

private slots:
    // A dump the toolkit wrote for a document whose Title is "Café 東京 😀 A &amp; B".
    void realDump() {
        const Values values =
            DumpReader::ReadInfoValues(TEST_DATA_FOLDER "/changed-document.dump", previewKeys);
        const Values expected{
            {"Creator", "TeX"}, {"Producer", "pdfTeX-1.40.23"}, {"Title", "Café 東京 😀 A &amp; B"}};
        QCOMPARE(values, expected);
        QCOMPARE(DumpReader::ReadInfoValues(TEST_DATA_FOLDER "/changed-document.dump",
                                            {"Keywords", "ModDate"}),
                 (Values{{"Keywords", "spaced"}, {"ModDate", "D:20220403180542+02'00'"}}));
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<Values>("expected");
        QTest::newRow("key line last has no value")
            << QByteArray("InfoKey: Creator\nInfoValue: TeX\nInfoBegin\nInfoKey: Title\n")
            << Values{{"Creator", "TeX"}};
        QTest::newRow("key line last without newline") << QByteArray("InfoKey: Title") << Values{};
        QTest::newRow("InfoValue: inside a value is removed too")
            << QByteArray("InfoKey: Title\nInfoValue: see InfoValue: here\n")
            << Values{{"Title", "see  here"}};
        QTest::newRow("a key twice gives two values, in file order")
            << QByteArray("InfoKey: Author\nInfoValue: B\nInfoKey: Title\nInfoValue: T\n"
                          "InfoKey: Author\nInfoValue: A\n")
            << Values{{"Author", "B"}, {"Title", "T"}, {"Author", "A"}};
        QTest::newRow("CR LF lines")
            << QByteArray("InfoKey: Title\r\nInfoValue: T\r\n") << Values{{"Title", "T"}};
        QTest::newRow("empty value")
            << QByteArray("InfoKey: Producer\nInfoValue: \n") << Values{{"Producer", ""}};
        QTest::newRow("entities decoded after trimming")
            << QByteArray("InfoKey: Title\nInfoValue: &#32;a &lt;b&gt; &quot;c&quot; &#xE9;\n")
            << Values{{"Title", " a <b> \"c\" é"}};
        QTest::newRow("exact case of the key")
            << QByteArray("InfoKey: title\nInfoValue: t\n") << Values{};
        QTest::newRow("nothing") << QByteArray() << Values{};
    }
    void parse() {
        QFETCH(QByteArray, dump);
        QFETCH(Values, expected);
        QCOMPARE(DumpReader::parse(dump, previewKeys), expected);
    }

    void decodeEntities_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("decimal") << "Caf&#233;"
                                 << "Café";
        QTest::newRow("beyond U+FFFF") << "&#128512;"
                                       << "😀";
        QTest::newRow("surrogate pair") << "&#55357;&#56832;"
                                        << "😀";
        QTest::newRow("hex") << "&#x6771;&#X4EAC;"
                             << "東京";
        QTest::newRow("named") << "&amp;&lt;&gt;&quot;&apos;"
                               << "&<>\"'";
        QTest::newRow("decoded once") << "&amp;amp;"
                                      << "&amp;";
        QTest::newRow("unknown name kept") << "&nbsp;"
                                           << "&nbsp;";
        QTest::newRow("no semicolon kept") << "A & B &#233"
                                           << "A & B &#233";
        QTest::newRow("not a number kept") << "&#12a;&#;&#x;&#+5;"
                                           << "&#12a;&#;&#x;&#+5;";
        QTest::newRow("out of range kept") << "&#1114112;&#0;"
                                           << "&#1114112;&#0;";
    }
    void decodeEntities() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(DumpReader::decodeEntities(text), expected);
    }

    void missingDumpFails() {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(
            Failure, DumpReader::ReadInfoValues(dir.filePath("result.txt"), previewKeys));
    }
};

QTEST_GUILESS_MAIN(DumpReaderTest)
#include "DumpReaderTest.moc"
