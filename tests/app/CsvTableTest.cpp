#include "CsvTable.h"

#include "Failure.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

namespace {

using Rows = QList<QStringList>;

// Every row a table gives, the header first.
Rows readAll(const QByteArray& bytes) {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    CsvTable::Reader reader(device);
    Rows rows{reader.header()};
    while (const std::optional<QStringList> row = reader.next())
        rows << *row;
    return rows;
}

QByteArray written(const Rows& rows) {
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    CsvTable::Writer writer(device);
    for (const QStringList& row : rows)
        writer.writeRow(row);
    return device.data();
}

} // namespace

class CsvTableTest : public QObject {
    Q_OBJECT

private slots:
    void reads_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("rows");
        const Rows plain{{"path", "Title"}, {"a.pdf", "One"}, {"b.pdf", "Two"}};
        QTest::newRow("commas, LF") << QByteArray("path,Title\na.pdf,One\nb.pdf,Two\n") << plain;
        QTest::newRow("semicolons, CRLF")
            << QByteArray("path;Title\r\na.pdf;One\r\nb.pdf;Two\r\n") << plain;
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBFpath;Title\r\na.pdf;One\r\nb.pdf;Two") << plain;
        QTest::newRow("CR only") << QByteArray("path,Title\ra.pdf,One\rb.pdf,Two\r") << plain;
        QTest::newRow("separator from the header, not the cells")
            << QByteArray("path;Title\na,b.pdf;One, Two\n")
            << Rows{{"path", "Title"}, {"a,b.pdf", "One, Two"}};
        QTest::newRow("quoted separators in the header")
            << QByteArray("\"a;b;c\",Title\nx,y\n") << Rows{{"a;b;c", "Title"}, {"x", "y"}};
        QTest::newRow("quoted separator, quote, line breaks")
            << QByteArray("path;Title\r\n\"a;b.pdf\";\"say \"\"hi\"\"\r\nnext\nline\"\r\n")
            << Rows{{"path", "Title"}, {"a;b.pdf", "say \"hi\"\r\nnext\nline"}};
        QTest::newRow("quote inside a plain cell")
            << QByteArray("path,Title\na.pdf,5\" disk\n")
            << Rows{{"path", "Title"}, {"a.pdf", "5\" disk"}};
        QTest::newRow("missing cells are empty")
            << QByteArray("path,Title,Author\na.pdf\nb.pdf,Two\n")
            << Rows{{"path", "Title", "Author"}, {"a.pdf", "", ""}, {"b.pdf", "Two", ""}};
        QTest::newRow("empty lines are no rows") << QByteArray("path,Title\n\na.pdf,One\n\n")
                                                 << Rows{{"path", "Title"}, {"a.pdf", "One"}};
        QTest::newRow("empty quoted cells")
            << QByteArray("path,Title\n\"\",\"\"\n") << Rows{{"path", "Title"}, {"", ""}};
        QTest::newRow("apostrophe taken off")
            << QByteArray("path;Title\n'0012;'=1+1\nx;''Tis\n")
            << Rows{{"path", "Title"}, {"0012", "=1+1"}, {"x", "'Tis"}};
        QTest::newRow("unicode") << QByteArray(
                                        "path;Title\n\xC3\xBC.pdf;\xE6\x9D\xB1\xE4\xBA\xAC\n")
                                 << Rows{{"path", "Title"}, {"ü.pdf", "東京"}};
    }
    void reads() {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, rows);
        QCOMPARE(readAll(bytes), rows);
    }

    // A row long enough to cross the reader's pieces, with a character split between two of them.
    void longCellsAcrossPieces() {
        const QString cell = QString(70000, QChar(0x00FC)) + QStringLiteral(";\"\n");
        const Rows rows{{"path", "Title"}, {"a.pdf", cell}, {"b.pdf", "x"}};
        QCOMPARE(readAll(written(rows)), rows);
    }

    void malformed_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unclosed quote, counted with the cell's own line breaks")
            << QByteArray("path,Title\n\"a\nb\",x\n\nc,\"open\nmore\n")
            << "row 4: a quoted cell is not closed";
        QTest::newRow("more cells than the header")
            << QByteArray("path;Title\r\na;b\r\na;b;c\r\n")
            << "row 3: it has 3 cells, but the header row only 2";
        QTest::newRow("text after a closing quote")
            << QByteArray("path,Title\n\"a\"b,c\n")
            << "row 2: cell 1 has text after its closing quote";
        QTest::newRow("not UTF-8")
            << QByteArray("path,Title\n\xFF\xFE,x\n") << "row 2: it is not UTF-8 text";
        QTest::newRow("ends inside a character")
            << QByteArray("path,Title\na.pdf,\xC3") << "row 2: it is not UTF-8 text";
        QTest::newRow("half of a UTF-16 pair in a later row")
            << QByteArray("path,Title\na,b\nc,\xED\xA0\x80\n") << "row 3: it is not UTF-8 text";
        QTest::newRow("cell too long")
            << "path\n" + QByteArray(CsvTable::Reader::maxCellLength + 1, 'x') + "\n"
            << "row 2: cell 1 is longer than 1048576 characters";
        // Cells of half the longest cell, separated: only the row is too long.
        const QByteArray half(CsvTable::Reader::maxCellLength / 2, 'x');
        QTest::newRow("row too long")
            << "path\n" + (half + ',').repeated(CsvTable::Reader::maxRowLength / half.size()) + "\n"
            << "row 2: it is longer than 16777216 characters";
        QTest::newRow("nothing") << QByteArray("") << "the table is empty: it has no header row";
    }
    void malformed() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        try {
            readAll(bytes);
            QFAIL("no failure");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(), reason);
        }
    }

    // Input that never ends and has no line break ends with a reason, and soon.
    void endlessInputEnds() {
        QFile zeros("/dev/zero");
        QVERIFY(zeros.open(QIODevice::ReadOnly));
        try {
            CsvTable::Reader reader(zeros);
            QFAIL("no failure");
        } catch (const Failure& failure) {
            QCOMPARE(failure.description(), "row 1: cell 1 is longer than 1048576 characters");
        }
    }

    void writesForSpreadsheets_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plain") << "Annual report"
                               << "Annual report";
        QTest::newRow("decimal comma") << "1,5 Mio"
                                       << "\"1,5 Mio\"";
        QTest::newRow("separator") << "a;b"
                                   << "\"a;b\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("line break") << "a\nb"
                                    << "\"a\nb\"";
        QTest::newRow("blank at the end") << "a "
                                          << "\"a \"";
        QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                                 << "\"'=HYPERLINK(\"\"x\"\")\"";
        QTest::newRow("plus") << "+49 30 1234"
                              << "'+49 30 1234";
        QTest::newRow("minus") << "-draft-"
                               << "'-draft-";
        QTest::newRow("at") << "@home"
                            << "'@home";
        QTest::newRow("tab") << "\tx"
                             << "'\tx";
        QTest::newRow("apostrophe") << "'Tis"
                                    << "''Tis";
        QTest::newRow("leading zeros") << "0012"
                                       << "'0012";
        QTest::newRow("date") << "2024-05-01"
                              << "'2024-05-01";
        QTest::newRow("number with comma") << "1,5"
                                           << "\"'1,5\"";
        QTest::newRow("truth value") << "true"
                                     << "'true";
        QTest::newRow("text after a number") << "2024 report"
                                             << "2024 report";
        QTest::newRow("empty") << ""
                               << "";
    }
    void writesForSpreadsheets() {
        QFETCH(QString, value);
        QFETCH(QString, cell);
        QCOMPARE(CsvTable::cellText(value), cell);
        const Rows rows{{"path", "Title"}, {"a.pdf", value}};
        QCOMPARE(readAll(written(rows)), rows);
    }

    void writesBomSemicolonsAndCrlf() {
        QCOMPARE(written({{"path", "Title"}, {"a.pdf", "One"}}),
                 QByteArray("\xEF\xBB\xBFpath;Title\r\na.pdf;One\r\n"));
    }
};

QTEST_GUILESS_MAIN(CsvTableTest)
#include "CsvTableTest.moc"
