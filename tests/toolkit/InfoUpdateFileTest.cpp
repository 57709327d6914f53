#include "InfoUpdateFile.h"

#include "PrivateTempFolder.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(EditPlan)

class InfoUpdateFileTest : public QObject {
    Q_OBJECT

private slots:
    void content_data() {
        QTest::addColumn<EditPlan>("plan");
        QTest::addColumn<QString>("titleFromName");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("every field kept") << EditPlan() << "a" << QByteArray("\r\n");

        EditPlan example;
        example.changeTo(InfoField::Author, "Finance");
        example.changeTo(InfoField::Title, "Q3 report");
        QTest::newRow("title and author, in field order")
            << example << "a"
            << QByteArray("InfoBegin\r\nInfoKey: Title\r\nInfoValue: Q3 report\r\n"
                          "InfoBegin\r\nInfoKey: Author\r\nInfoValue: Finance\r\n\r\n");

        EditPlan fromName;
        fromName.titleFromFileName();
        fromName.changeTo(InfoField::ModDate, "D:20240101");
        QTest::newRow("title from name")
            << fromName << "Annual.Report"
            << QByteArray("InfoBegin\r\nInfoKey: Title\r\nInfoValue: Annual.Report\r\n"
                          "InfoBegin\r\nInfoKey: ModDate\r\nInfoValue: D:20240101\r\n\r\n");

        EditPlan edges;
        edges.changeTo(InfoField::Subject, "");
        edges.changeTo(InfoField::Keywords, "  spaced  ");
        edges.changeTo(InfoField::CreationDate, "not a date");
        QTest::newRow("empty, blanks and any text kept as typed")
            << edges << "a"
            << QByteArray("InfoBegin\r\nInfoKey: Subject\r\nInfoValue: \r\n"
                          "InfoBegin\r\nInfoKey: Keywords\r\nInfoValue:   spaced  \r\n"
                          "InfoBegin\r\nInfoKey: CreationDate\r\nInfoValue: not a date\r\n\r\n");

        EditPlan all;
        for (InfoField field : EditPlan::fields)
            all.changeTo(field, EditPlan::toolkitKey(field).left(1));
        QTest::newRow("all eight keys spelled as the toolkit wants")
            << all << "a"
            << QByteArray("InfoBegin\r\nInfoKey: Title\r\nInfoValue: T\r\n"
                          "InfoBegin\r\nInfoKey: Subject\r\nInfoValue: S\r\n"
                          "InfoBegin\r\nInfoKey: Author\r\nInfoValue: A\r\n"
                          "InfoBegin\r\nInfoKey: Keywords\r\nInfoValue: K\r\n"
                          "InfoBegin\r\nInfoKey: Creator\r\nInfoValue: C\r\n"
                          "InfoBegin\r\nInfoKey: Producer\r\nInfoValue: P\r\n"
                          "InfoBegin\r\nInfoKey: CreationDate\r\nInfoValue: C\r\n"
                          "InfoBegin\r\nInfoKey: ModDate\r\nInfoValue: M\r\n\r\n");

        EditPlan keptText;
        keptText.changeTo(InfoField::Author, "ignored");
        keptText.keep(InfoField::Author);
        QTest::newRow("a kept field writes nothing") << keptText << "a" << QByteArray("\r\n");

        EditPlan keys;
        keys.setKey("Dept", "R&D");
        keys.setKey("Author", "Finance");
        keys.setKey("A#1", "é");
        keys.setKey("Trapped", "True");
        keys.removeKey("Gone");
        keys.removeKey("Title");
        QTest::newRow("other keys after the eight, without Trapped and removals")
            << keys << "a"
            << QByteArray("InfoBegin\r\nInfoKey: Author\r\nInfoValue: Finance\r\n"
                          "InfoBegin\r\nInfoKey: A#1\r\nInfoValue: &#233;\r\n"
                          "InfoBegin\r\nInfoKey: Dept\r\nInfoValue: R&amp;D\r\n\r\n");
    }
    void content() {
        QFETCH(EditPlan, plan);
        QFETCH(QString, titleFromName);
        QFETCH(QByteArray, expected);
        QCOMPARE(InfoUpdateFile::content(plan, titleFromName), expected);
    }

    void encodeValue_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain ASCII")
            << "Q3 report <draft> \"x\" 'y' ;#" << QByteArray("Q3 report <draft> \"x\" 'y' ;#");
        QTest::newRow("ampersand") << "A & B" << QByteArray("A &amp; B");
        QTest::newRow("typed entity stays literal") << "A &amp; B" << QByteArray("A &amp;amp; B");
        QTest::newRow("typed reference stays literal") << "&#233;" << QByteArray("&amp;#233;");
        QTest::newRow("Latin") << "Café" << QByteArray("Caf&#233;");
        QTest::newRow("CJK") << "東京" << QByteArray("&#26481;&#20140;");
        QTest::newRow("beyond U+FFFF") << "😀" << QByteArray("&#128512;");
        QTest::newRow("newline and tab") << "a\nb\tc" << QByteArray("a&#10;b&#9;c");
        QTest::newRow("DEL") << QString("a\x7f") << QByteArray("a&#127;");
        QTest::newRow("empty") << "" << QByteArray("");
    }
    void encodeValue() {
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        QCOMPARE(InfoUpdateFile::encodeValue(value), expected);
    }

    void writtenWhole() {
        QTemporaryDir temp;
        const QString path = temp.filePath("info.txt");
        InfoUpdateFile::write(path, QByteArray(5000, 'x'));
        InfoUpdateFile::write(path, "\r\n");
        QCOMPARE(PrivateTempFolder::readFile(path), QByteArray("\r\n"));
    }
};

QTEST_GUILESS_MAIN(InfoUpdateFileTest)
#include "InfoUpdateFileTest.moc"
