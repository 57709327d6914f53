#include "ValueTable.h"

#include "CsvTable.h"
#include "Failure.h"
#include "TestFiles.h"
#include "TestPrograms.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <variant>

// The table of values show --csv writes and set --csv reads: what a row changes, and every table
// that must change nothing.
class ValueTableTest : public QObject {
    Q_OBJECT

    // A table at folder/values.csv with these lines, CRLF after each.
    static QString table(const QString& folder, const QStringList& lines) {
        return TestFiles::write(folder + "/values.csv", (lines.join("\r\n") + "\r\n").toUtf8());
    }

private slots:
    void refusedTables_data() {
        QTest::addColumn<QStringList>("lines");
        // What the failure names: the row or the column at fault.
        QTest::addColumn<QString>("named");
        QTest::newRow("no path column") << QStringList{"Title", "x"} << "column \"path\"";
        QTest::newRow("key with a space set")
            << QStringList{"path;Two words", "a.pdf;x"} << "row 2, column \"Two words\"";
        QTest::newRow("key with a space removed")
            << QStringList{"path;Two words", "a.pdf;<remove>"} << "row 2, column \"Two words\"";
        QTest::newRow("empty column name") << QStringList{"path;", "a.pdf;x"} << "column 2";
        QTest::newRow("column twice")
            << QStringList{"path;Title;/Title", "a.pdf;x;y"} << "column 3";
        QTest::newRow("path in a later column")
            << QStringList{"Title;path", "x;gone.pdf"} << "row 2: no such file: @/gone.pdf";
        QTest::newRow("missing file")
            << QStringList{"path;Title", "a.pdf;x", "gone.pdf;y"} << "row 3: no such file";
        QTest::newRow("no path in a row") << QStringList{"path;Title", ";x"} << "row 2";
        QTest::newRow("folder") << QStringList{"path;Title", "sub;x"} << "row 2: it names a folder";
        QTest::newRow("same file by two spellings")
            << QStringList{"path;Title", "a.pdf;x", "", "sub/../a.pdf;y"}
            << "row 4: @/a.pdf is the same file as row 2's";
        QTest::newRow("same file by a link")
            << QStringList{"path;Title", "a.pdf;x", "link.pdf;y"} << "row 3";
        QTest::newRow("not a date")
            << QStringList{"path;ModDate", "a.pdf;soon"} << "row 2, column \"ModDate\"";
        QTest::newRow("Trapped not a truth value")
            << QStringList{"path;Trapped", "a.pdf;yes"} << "row 2, column \"Trapped\"";
        QTest::newRow("language not a tag")
            << QStringList{"path;lang", "a.pdf;English"}
            << "row 2, column \"lang\": \"English\" is not a language tag";
        QTest::newRow("shown title taken back")
            << QStringList{"path;display-title", "a.pdf;<remove>"}
            << "row 2, column \"display-title\": it takes only true";
        QTest::newRow("key that is not ASCII set")
            << QStringList{"path;Schlüssel", "a.pdf;x"} << "row 2, column \"Schlüssel\"";
        QTest::newRow("a field named again in another case")
            << QStringList{"path;Title;title", "a.pdf;x;y"} << "column 3 (\"title\")";
        QTest::newRow("a field named again by its option")
            << QStringList{"path;ModDate;mod-date", "a.pdf;;"} << "column 3 (\"mod-date\")";
        QTest::newRow("quote not closed")
            << QStringList{"path;Title", "a.pdf;\"x"} << "row 2: a quoted cell";
    }
    void refusedTables() {
        QFETCH(QStringList, lines);
        QFETCH(QString, named);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        TestFiles::write(dir.path() + "/a.pdf", "not read");
        QVERIFY(QFile::link(dir.path() + "/a.pdf", dir.path() + "/link.pdf"));
        try {
            ValueTable::read(table(dir.path(), lines));
            QFAIL("the table was taken");
        } catch (const Failure& failure) {
            QVERIFY2(failure.description().contains(named.replace("@", dir.path())),
                     qPrintable(failure.description()));
        }
    }

    // Paths from the table's folder, not the current one; what each kind of cell changes.
    void rowsAndTheirPlans() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        TestFiles::write(dir.path() + "/sub/a.pdf", "");
        TestFiles::write(dir.path() + "/b.pdf", "");
        const QString path = table(dir.path() + "/sub",
                                   {"path,Title,Author,copyright,copyright-url,/path,Dept,Keywords,"
                                    "LANG,display-title",
                                    "a.pdf,<remove>,<<remove>>,<remove>,,x,<remove>,,de-CH,true",
                                    dir.path() + "/b.pdf,,,,u,,,k,<remove>,"});
        QDir::setCurrent(QDir::tempPath());
        const QList<ValueTable::Row> rows = ValueTable::read(path);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].path, dir.path() + "/sub/a.pdf");
        EditPlan first;
        first.removeKey("Title");
        first.setKey("Author", "<remove>");
        first.setCopyright("");
        first.setKey("path", "x");
        first.removeKey(EditPlan::keyNamed("Dept"));
        first.setLanguage("de-CH");
        first.showTitleInTitleBar();
        QCOMPARE(rows[0].plan, first);
        EditPlan second;
        second.setCopyrightUrl("u");
        second.setKey("Keywords", "k");
        second.setLanguage("");
        QCOMPARE(rows[1].path, dir.path() + "/b.pdf");
        QCOMPARE(rows[1].plan, second);
    }

    // A column names a field by its key or option name in any case, any other key in any case
    // as each file spells it, and with a slash the key spelled exactly so.
    void columnNames_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("held"); // the file's keys
        QTest::addColumn<QString>("key");      // the key the cell "x" then sets
        QTest::newRow("title") << "title" << QStringList{"Title"} << "Title";
        QTest::newRow("title beside a key title")
            << "title" << QStringList{"Title", "title"} << "Title";
        QTest::newRow("/title") << "/title" << QStringList{"Title"} << "title";
        QTest::newRow("an option's name") << "creation-date" << QStringList{} << "CreationDate";
        QTest::newRow("a key in another case") << "company" << QStringList{"Company"} << "Company";
        QTest::newRow("a key spelled so beside another case")
            << "company" << QStringList{"Company", "company"} << "company";
        QTest::newRow("/company beside Company")
            << "/company" << QStringList{"Company"} << "company";
    }
    void columnNames() {
        QFETCH(QString, column);
        QFETCH(QStringList, held);
        QFETCH(QString, key);
        QTemporaryDir dir;
        TestFiles::write(dir.path() + "/a.pdf", "not read");
        const QString value = key == "CreationDate" ? "D:20240101" : "x";
        const QList<ValueTable::Row> rows =
            ValueTable::read(table(dir.path(), {"path;" + column, "a.pdf;" + value}));
        QCOMPARE(rows.size(), 1);
        const std::variant<EditPlan, QString> found = rows[0].plan.forKeys(held);
        const QString* refused = std::get_if<QString>(&found);
        QVERIFY2(!refused, qPrintable(refused ? *refused : QString()));
        EditPlan expected;
        expected.setKey(key, value);
        QCOMPARE(std::get<EditPlan>(found), expected);
    }

    // Keys that differ only in case, or from a field's key, are written so that each column
    // reads back as the key it was written for.
    void keysDifferingOnlyInCaseReadBack() {
        QTemporaryDir dir;
        const QString pdf = TestFiles::write(
            dir.path() + "/cases.pdf",
            TestFiles::pdfWithInfo("<< /Title (T) /title (t) /Company (C) /company (c) /Dept (D) "
                                   "/Creation-Date (d) >>"));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        ValueTable::write(buffer, {pdf},
                          [](const QString&, const QString& reason) { QFAIL(qPrintable(reason)); });
        buffer.close();
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const QStringList header = CsvTable::Reader(buffer).header();
        for (const char* column :
             {"Title", "/title", "/Company", "/company", "Dept", "/Creation-Date"})
            QVERIFY2(header.contains(column), qPrintable(header.join(';')));

        const QString path = TestFiles::write(dir.path() + "/values.csv", bytes);
        const QList<ValueTable::Row> rows = ValueTable::read(path);
        QCOMPARE(rows.size(), 1);
        const std::variant<EditPlan, QString> found =
            rows[0].plan.forKeys({"Title", "title", "Company", "company", "Dept", "Creation-Date"});
        const QString* refused = std::get_if<QString>(&found);
        QVERIFY2(!refused, qPrintable(refused ? *refused : QString()));
        EditPlan expected;
        for (const auto& [key, value] : {std::pair{"Title", "T"},
                                         {"title", "t"},
                                         {"Company", "C"},
                                         {"company", "c"},
                                         {"Dept", "D"},
                                         {"Creation-Date", "d"}})
            expected.setKey(key, value);
        QCOMPARE(std::get<EditPlan>(found), expected);
    }

    // A value that cannot be set is left alone where the file holds it already, as in a table
    // show wrote of a file whose date is in a form of its own; anywhere else it is refused.
    void valueTheFileHoldsAlready() {
        QTemporaryDir dir;
        TestFiles::copyCorpusFile("output_with_metadata_pymupdf.pdf", dir.path(), "odd.pdf");
        const QString held = "D:20230410074654Z07'46'";
        const QList<ValueTable::Row> rows = ValueTable::read(
            table(dir.path(), {"path;CreationDate;Title", "odd.pdf;" + held + ";T"}));
        EditPlan plan;
        plan.setKey("Title", "T");
        QCOMPARE(rows.value(0).plan, plan);
        QVERIFY_THROWS_EXCEPTION(
            Failure, ValueTable::read(table(dir.path(), {"path;ModDate", "odd.pdf;" + held})));
    }

    // A table show wrote reads back leaving the file as it is, whatever key or value it holds:
    // a key that cannot be set, and a value this reader could not read as the characters it was
    // written with, are left alone rather than written as something else.
    void heldKeysAndValuesReadBack_data() {
        QTest::addColumn<QByteArray>("entry"); // as the file writes it
        QTest::addColumn<QString>("key");
        QTest::newRow("space in the key") << QByteArray("/My#20Key (v)") << "My Key";
        QTest::newRow("delimiters in the key") << QByteArray("/a#2Fb#28c#29 (v)") << "a/b(c)";
        QTest::newRow("byte PDF's encoding leaves undefined")
            << QByteArray("/Odd (a\\237b)") << "Odd";
        QTest::newRow("half of a UTF-16 pair") << QByteArray("/Half <FEFFD8000041>") << "Half";
        QTest::newRow("control character") << QByteArray("/Ctl (a\\001b)") << "Ctl";
    }
    void heldKeysAndValuesReadBack() {
        QFETCH(QByteArray, entry);
        QFETCH(QString, key);
        QTemporaryDir dir;
        const QString pdf = TestFiles::write(
            dir.path() + "/odd.pdf", TestFiles::pdfWithInfo("<< /Title (T) " + entry + " >>"));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        ValueTable::write(buffer, {pdf},
                          [](const QString&, const QString& reason) { QFAIL(qPrintable(reason)); });
        QVERIFY2(bytes.contains(key.toUtf8()), bytes.constData());
        const QString path = TestFiles::write(dir.path() + "/values.csv", bytes);
        const QList<ValueTable::Row> rows = ValueTable::read(path);
        EditPlan plan;
        plan.setKey("Title", "T");
        QCOMPARE(rows.value(0).plan, plan);
    }

    // The marker and the texts that look like it are written so that each reads back as itself.
    void markerLikeValuesReadBackAsThemselves_data() {
        QTest::addColumn<QString>("value");
        for (const char* value : {"<remove>", "<<remove>>", "<<remove>", "remove", "<Remove>"})
            QTest::newRow(value) << QString(value);
    }
    void markerLikeValuesReadBackAsThemselves() {
        QFETCH(QString, value);
        QCOMPARE(ValueTable::valueOf(ValueTable::cellOf(value)),
                 std::optional(std::optional(value)));
    }

    // One row per file that can be read, the other keys in the order of first appearance; a
    // key of our own column's name gets a slash, and a real marker text is escaped.
    void writtenTable() {
        QTemporaryDir dir;
        const QString plain = TestFiles::copyCorpusFile("minimal-document.pdf", dir.path());
        const QString latex = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        const QString broken = TestFiles::write(dir.path() + "/broken.pdf", "%PDF-1.4 no more");
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        QStringList failures;
        ValueTable::write(buffer, {plain, broken, latex},
                          [&](const QString& path, const QString&) { failures << path; });
        buffer.close();
        QCOMPARE(failures, QStringList{broken});

        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CsvTable::Reader reader(buffer);
        const QStringList header = reader.header();
        QCOMPARE(header.mid(0, 11), (QStringList{"path", "Title", "Subject", "Author", "Keywords",
                                                 "Creator", "Producer", "CreationDate", "ModDate",
                                                 "copyright", "copyright-url"}));
        QByteArray out;
        QVERIFY(TestPrograms::run("pdfinfo", {"-custom", "-enc", "UTF-8", latex}, &out));
        QMap<QString, QString> info;
        for (const QString& line : QString::fromUtf8(out).split('\n'))
            info.insert(line.section(':', 0, 0), line.section(':', 1).trimmed());
        QVERIFY(header.contains("PTEX.Fullbanner"));
        const std::optional<QStringList> first = reader.next();
        const std::optional<QStringList> second = reader.next();
        QVERIFY(first && second && !reader.next());
        QCOMPARE(first->at(0), plain);
        QCOMPARE(second->at(0), latex);
        for (const char* key : {"Producer", "Creator", "PTEX.Fullbanner"})
            QCOMPARE(second->at(header.indexOf(key)), info.value(key));
    }
};

QTEST_GUILESS_MAIN(ValueTableTest)
#include "ValueTableTest.moc"
