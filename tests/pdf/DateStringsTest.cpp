#include "DateStrings.h"

#include "PdfSnapshot.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The text as the toolkit writes it: UTF-16 with a byte order mark, in a literal string whose
// parentheses and backslashes are escaped.
QByteArray wide(const QByteArray& text) {
    QByteArray bytes = "\xfe\xff";
    for (char c : text)
        bytes += QByteArray(1, '\0') + c;
    QByteArray escaped = "(";
    for (char c : bytes) {
        if (c == '(' || c == ')' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped + ')';
}

} // namespace

// Dates the toolkit wrote as UTF-16 text become plain date strings where they lie, and nothing
// else in the file changes.
class DateStringsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void datesBecomePlain_data() {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("stillWide");
        const QByteArray date = wide("D:20240501000000+02'00'");
        QTest::newRow("both dates") << "<< /CreationDate " + date + " /ModDate " + date + " >>"
                                    << QStringList{"CreationDate", "ModDate"} << QStringList();
        // Text that looks like the end of the object, and nested values, before the date.
        QTest::newRow("awkward neighbours")
            << "<< /Title " + wide("a) >> endobj (b") + " /Extra << /Kids [1 0 R (x)] >> " +
                   "/Keywords (endobj >>) /CreationDate" + date + "/Trapped /False >>"
            << QStringList{"CreationDate"} << QStringList{"Title"};
        // A text the plan did not set stays as it was, even where it is a date.
        QTest::newRow("only the keys given")
            << "<< /CreationDate " + date + " /ModDate " + date + " >>" << QStringList{"ModDate"}
            << QStringList{"CreationDate"};
        QTest::newRow("not ASCII") << "<< /CreationDate " + wide("D:2024\x01") + " >>"
                                   << QStringList{"CreationDate"} << QStringList{"CreationDate"};
    }
    void datesBecomePlain() {
        QFETCH(QByteArray, info);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, stillWide);
        const QString path = dir_.filePath("dated.pdf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray before = TestFiles::pdfWithInfo(info);
        file.write(before);
        file.close();
        const PdfSnapshot original = PdfSnapshot::read(path);

        DateStrings::makePlain(path, keys);

        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray after = file.readAll();
        file.close();
        QCOMPARE(after.size(), before.size());
        const PdfSnapshot result = PdfSnapshot::read(path);
        QVERIFY(!result.hadWarnings());
        QCOMPARE(result.info(), original.info());
        QCOMPARE(result.unicodeInfo(), stillWide);
        for (const QString& key : keys)
            QVERIFY(stillWide.contains(key) || after.contains("/" + key.toLatin1() + "(D:2024") ||
                    after.contains("/" + key.toLatin1() + " (D:2024"));
    }
};

QTEST_GUILESS_MAIN(DateStringsTest)
#include "DateStringsTest.moc"
