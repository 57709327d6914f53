#include "XmpPacket.h"

#include "Failure.h"
#include "FailureOf.h"
#include "TestFiles.h"
#include "TestPrograms.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <atomic>
#include <thread>
#include <vector>

using Changes = QList<XmpPacket::Change>;
Q_DECLARE_METATYPE(Changes)
Q_DECLARE_METATYPE(InfoField)

namespace {

const QDateTime now(QDate(2024, 2, 3), QTime(4, 5, 6), QTimeZone(3600));
const QByteArray nowText = "<xmp:MetadataDate>2024-02-03T04:05:06+01:00</xmp:MetadataDate>";

const Changes typical{{InfoField::Title, "Changed Title"},
                      {InfoField::Author, ""},
                      {InfoField::Keywords, "alpha, beta"},
                      {InfoField::ModDate, "2024-05-06T07:08:09+02:00"}};

QByteArray wrapped(const QByteArray& properties) {
    return R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
           R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
           R"(rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/" )"
           R"(xmlns:pdf="http://ns.adobe.com/pdf/1.3/">)" +
           properties + "</rdf:Description></rdf:RDF></x:xmpmeta>";
}

QByteArray alternative(const char* name, const QByteArray& entries) {
    return QByteArray("<dc:") + name + "><rdf:Alt>" + entries + "</rdf:Alt></dc:" + name + ">";
}

} // namespace

class XmpPacketTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    static QByteArray corpusPacket(const QString& name) {
        return XmpPacket::readFromPdf(TestFiles::corpusFolder() + "/" + name, std::nullopt)
            .value_or(QByteArray());
    }

    // What ExifTool reads in a packet, keyed "XMP-dc:Title", other languages "XMP-dc:Title-de".
    // Empty when it is not installed.
    QJsonObject exifTool(const QByteArray& packet) {
        QByteArray json;
        if (!TestFiles::haveProgram("exiftool") ||
            !TestPrograms::run("exiftool",
                               {"-j", "-a", "-G1", "-XMP:all",
                                TestFiles::write(dir_.filePath("packet.xmp"), packet)},
                               &json))
            return {};
        return QJsonDocument::fromJson(json).array().at(0).toObject();
    }

    // The catalog's metadata stream dictionary as qpdf shows it.
    static QJsonObject metadataDictionary(const QString& pdf, const QString& password) {
        QByteArray json;
        if (!TestPrograms::run(
                "qpdf", {"--json=2", "--json-key=qpdf", "--password=" + password, pdf}, &json))
            return {};
        const QJsonObject objects = QJsonDocument::fromJson(json)["qpdf"][1].toObject();
        const QString root = objects["trailer"]["value"]["/Root"].toString();
        const QString metadata = objects["obj:" + root]["value"]["/Metadata"].toString();
        return objects["obj:" + metadata]["stream"]["dict"].toObject();
    }

private slots:
    void readsTheCorpus_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: absent
        const QString xmp = "output_with_metadata_pymupdf.pdf";
        const QString pdfa = "crazyones-pdfa.pdf";
        QTest::newRow("title") << xmp << "Title"
                               << "Sample PDF with XMP Metadata";
        QTest::newRow("author") << xmp << "Author"
                                << "John Doe";
        QTest::newRow("subject written as simple text") << xmp << "Subject"
                                                        << "This is a text";
        QTest::newRow("absent") << xmp << "Keywords" << QString();
        QTest::newRow("producer") << pdfa << "Producer"
                                  << "GPL Ghostscript 10.00.0";
        QTest::newRow("creator tool, empty") << pdfa << "Creator"
                                             << "";
        QTest::newRow("creation date") << pdfa << "CreationDate"
                                       << "2023-04-23T17:59:04+08:00";
        QTest::newRow("modification date") << pdfa << "ModDate"
                                           << "2023-04-23T17:59:04+08:00";
        QTest::newRow("one empty author") << pdfa << "Author"
                                          << "";
    }
    void readsTheCorpus() {
        QFETCH(QString, file);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QMap<QString, QString> values = XmpPacket::read(corpusPacket(file));
        QCOMPARE(values.contains(key), !value.isNull());
        QCOMPARE(values.value(key), value);
    }

    void readsEveryShape_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value"); // null: absent
        QTest::newRow("authors joined")
            << wrapped("<dc:creator><rdf:Seq><rdf:li>A</rdf:li><rdf:li>B, C</rdf:li></rdf:Seq>"
                       "</dc:creator>")
            << "Author"
            << "A; B, C";
        QTest::newRow("default, not first")
            << wrapped(alternative("title", R"(<rdf:li xml:lang="de">Titel</rdf:li>)"
                                            R"(<rdf:li xml:lang="x-default">Title</rdf:li>)"))
            << "Title"
            << "Title";
        QTest::newRow("no default, the first")
            << wrapped(alternative("title", R"(<rdf:li xml:lang="de">Titel</rdf:li>)"
                                            R"(<rdf:li xml:lang="fr">Titre</rdf:li>)"))
            << "Title"
            << "Titel";
        QTest::newRow("no entries") << wrapped(alternative("title", "")) << "Title" << QString();
        QTest::newRow("keywords as a bag")
            << wrapped("<pdf:Keywords><rdf:Bag><rdf:li>a</rdf:li><rdf:li>b</rdf:li></rdf:Bag>"
                       "</pdf:Keywords>")
            << "Keywords"
            << "a; b";
        QTest::newRow("structure") << wrapped(R"(<pdf:Producer rdf:parseType="Resource">)"
                                              "<pdf:Name>x</pdf:Name></pdf:Producer>")
                                   << "Producer" << QString();
        QTest::newRow("without the xmpmeta wrapper")
            << QByteArray(
                   R"(<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
                   R"(<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/")"
                   R"( xmp:CreatorTool="Writer"/></rdf:RDF>)")
            << "Creator"
            << "Writer";
        QTest::newRow("blank") << QByteArray("\n") << "Title" << QString();
    }
    void readsEveryShape() {
        QFETCH(QByteArray, packet);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QMap<QString, QString> values = XmpPacket::read(packet);
        QCOMPARE(values.contains(key), !value.isNull());
        QCOMPARE(values.value(key), value);
    }

    void updatesTheCorpus_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("custom properties") << "output_with_metadata_pymupdf.pdf";
        QTest::newRow("PDF/A") << "crazyones-pdfa.pdf";
    }
    void updatesTheCorpus() {
        QFETCH(QString, file);
        const QByteArray before = corpusPacket(file);
        const QByteArray after = XmpPacket::update(before, typical, now);

        QMap<QString, QString> expected = XmpPacket::read(before);
        expected.insert("Title", "Changed Title");
        expected.remove("Author");
        expected.insert("Keywords", "alpha, beta");
        expected.insert("ModDate", "2024-05-06T07:08:09+02:00");
        QCOMPARE(XmpPacket::read(after), expected);
        QVERIFY(after.startsWith("<?xpacket begin="));
        QVERIFY(after.trimmed().endsWith(R"(<?xpacket end="w"?>)"));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(after);
        QVERIFY(!utf8.hasError());
        QVERIFY(text.contains(nowText));
        QVERIFY(!text.contains("dc:creator"));
        // The PDF/A identification: both of its properties, now written as elements.
        QCOMPARE(text.count("<pdfaid:"), before.contains("pdfaid") ? 2 : 0);

        QJsonObject read = exifTool(after);
        if (read.isEmpty())
            QSKIP("ExifTool is not installed to read the packet independently");
        QCOMPARE(read.take("XMP-dc:Title").toString(), QString("Changed Title"));
        QCOMPARE(read.take("XMP-pdf:Keywords").toString(), QString("alpha, beta"));
        QCOMPARE(read.take("XMP-xmp:ModifyDate").toString(), QString("2024:05:06 07:08:09+02:00"));
        QCOMPARE(read.take("XMP-xmp:MetadataDate").toString(),
                 QString("2024:02:03 04:05:06+01:00"));
        // Everything else as it was, to the toolkit's own name.
        QJsonObject kept = exifTool(before);
        QCOMPARE(read.take("XMP-dc:Subject").toArray(), QJsonArray({"alpha", "beta"}));
        for (const char* changed :
             {"XMP-dc:Title", "XMP-dc:Creator", "XMP-pdf:Keywords", "XMP-dc:Subject",
              "XMP-xmp:ModifyDate", "XMP-x:XMPToolkit", "SourceFile"}) {
            kept.remove(changed);
            read.remove(changed);
        }
        QCOMPARE(read, kept);
    }

    void leavesOnlyTheNewEntry_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<InfoField>("field");
        const QByteArray other = R"(<rdf:li xml:lang="de">Alter Titel</rdf:li>)";
        const QByteArray standard = R"(<rdf:li xml:lang="x-default">Old title</rdf:li>)";
        QTest::newRow("default first")
            << wrapped(alternative("title", standard + other)) << InfoField::Title;
        QTest::newRow("default last")
            << wrapped(alternative("title", other + standard)) << InfoField::Title;
        QTest::newRow("no default") << wrapped(alternative("title", other)) << InfoField::Title;
        QTest::newRow("description")
            << wrapped(alternative("description", standard + other)) << InfoField::Subject;
        QTest::newRow("two authors")
            << wrapped("<dc:creator><rdf:Seq><rdf:li>Old title</rdf:li><rdf:li>Alter "
                       "Titel</rdf:li></rdf:Seq></dc:creator>")
            << InfoField::Author;
        QTest::newRow("the old alias")
            << wrapped("<pdf:Title>Old title</pdf:Title>") << InfoField::Title;
    }
    void leavesOnlyTheNewEntry() {
        QFETCH(QByteArray, packet);
        QFETCH(InfoField, field);
        const QByteArray after = XmpPacket::update(packet, {{field, "New"}}, now);
        QCOMPARE(XmpPacket::read(after).value(EditPlan::toolkitKey(field)), QString("New"));
        QVERIFY(!after.contains("Alter Titel"));
        QVERIFY(!after.contains("Old title"));
        QCOMPARE(after.count("<rdf:li"), 1);
        if (field != InfoField::Author)
            QVERIFY(after.contains(R"(<rdf:li xml:lang="x-default">New</rdf:li>)"));
    }

    // The keywords one by one, which viewers show beside the text, never keep old ones.
    void keywordsReplaceTheirList_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("keywords");
        QTest::addColumn<QStringList>("listed");
        const QByteArray old = "<dc:subject><rdf:Bag><rdf:li>old</rdf:li><rdf:li>older</rdf:li>"
                               "</rdf:Bag></dc:subject>";
        QTest::newRow("changed") << wrapped(old + "<pdf:Keywords>old, older</pdf:Keywords>")
                                 << "alpha; beta,gamma" << QStringList{"alpha", "beta", "gamma"};
        QTest::newRow("emptied") << wrapped(old) << "" << QStringList();
        QTest::newRow("the same text, an old list")
            << wrapped(old + "<pdf:Keywords>new</pdf:Keywords>") << "new" << QStringList{"new"};
        QTest::newRow("added") << wrapped("") << "one" << QStringList{"one"};
    }
    void keywordsReplaceTheirList() {
        QFETCH(QByteArray, packet);
        QFETCH(QString, keywords);
        QFETCH(QStringList, listed);
        const QByteArray after = XmpPacket::update(packet, {{InfoField::Keywords, keywords}}, now);
        QCOMPARE(XmpPacket::subjects(after), listed);
        QVERIFY(!after.contains(">old<"));
    }

    void stampedOnlyWhenChanged_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<Changes>("changes");
        QTest::addColumn<bool>("changed");
        const QByteArray title =
            wrapped(alternative("title", R"(<rdf:li xml:lang="x-default">Same</rdf:li>)"));
        const QByteArray keywords = wrapped("<pdf:Keywords>k</pdf:Keywords>");
        QTest::newRow("nothing") << title << Changes{} << false;
        QTest::newRow("same title") << title << Changes{{InfoField::Title, "Same"}} << false;
        QTest::newRow("absent emptied") << title << Changes{{InfoField::Author, ""}} << false;
        QTest::newRow("same keywords") << keywords << Changes{{InfoField::Keywords, "k"}} << false;
        QTest::newRow("other title") << title << Changes{{InfoField::Title, "Other"}} << true;
        QTest::newRow("title emptied") << title << Changes{{InfoField::Title, ""}} << true;
        QTest::newRow("same title, one language more")
            << wrapped(alternative("title", R"(<rdf:li xml:lang="x-default">Same</rdf:li>)"
                                            R"(<rdf:li xml:lang="fr">Same</rdf:li>)"))
            << Changes{{InfoField::Title, "Same"}} << true;
        QTest::newRow("same text, in another language")
            << wrapped(alternative("title", R"(<rdf:li xml:lang="fr">Same</rdf:li>)"))
            << Changes{{InfoField::Title, "Same"}} << true;
        QTest::newRow("keywords added") << title << Changes{{InfoField::Keywords, "k"}} << true;
        QTest::newRow("blank packet")
            << QByteArray(" \n") << Changes{{InfoField::Title, "T"}} << true;
    }
    void stampedOnlyWhenChanged() {
        QFETCH(QByteArray, packet);
        QFETCH(Changes, changes);
        QFETCH(bool, changed);
        const QByteArray after = XmpPacket::update(packet, changes, now);
        QCOMPARE(after != packet, changed);
        QCOMPARE(after.contains(nowText), changed);
    }

    void keepsEveryTextExactly_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("markup") << "A <b> & \"C\" 'd' &amp;";
        QTest::newRow("lines and tabs") << "two\nlines\tand\r\nmore";
        QTest::newRow("beyond Latin") << "Reisebericht 東京 — ü 😀";
        QTest::newRow("blanks around") << "  spaced  ";
        QTest::newRow("list separator") << "Doe, J.; Roe, R.";
    }
    void keepsEveryTextExactly() {
        QFETCH(QString, text);
        const QByteArray after = XmpPacket::update(
            corpusPacket("crazyones-pdfa.pdf"),
            {{InfoField::Title, text}, {InfoField::Author, text}, {InfoField::Producer, text}},
            now);
        const QMap<QString, QString> values = XmpPacket::read(after);
        QCOMPARE(values["Title"], text);
        QCOMPARE(values["Author"], text);
        QCOMPARE(values["Producer"], text);
        const QJsonObject read = exifTool(after);
        if (!read.isEmpty())
            QCOMPARE(read["XMP-dc:Title"].toString(), text);
    }

    void unreadablePacketsFail_data() {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not XML") << QByteArray("garbage<") << "it is not well-formed XML";
        QTest::newRow("cut short")
            << corpusPacket("crazyones-pdfa.pdf").left(600) << "it is not well-formed XML";
        QTest::newRow("list item outside a list")
            << wrapped("<dc:title><rdf:li>x</rdf:li></dc:title>") << "its RDF is malformed";
    }
    void unreadablePacketsFail() {
        QFETCH(QByteArray, packet);
        QFETCH(QString, reason);
        const QString prefix = "its XMP metadata cannot be read: ";
        QCOMPARE(failureOf([&] { XmpPacket::update(packet, typical, now); }), prefix + reason);
        QCOMPARE(failureOf([&] { XmpPacket::read(packet); }), prefix + reason);
    }

    void roundTripThroughPdf_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("make"); // what is done to the corpus file first
        QTest::addColumn<QString>("password");
        QTest::newRow("plain") << "output_with_metadata_pymupdf.pdf"
                               << ""
                               << "";
        QTest::newRow("PDF/A") << "crazyones-pdfa.pdf"
                               << ""
                               << "";
        QTest::newRow("compressed, object streams") << "crazyones-pdfa.pdf"
                                                    << "compressed"
                                                    << "";
        QTest::newRow("encrypted") << "crazyones-pdfa.pdf"
                                   << "encrypted"
                                   << "user";
    }
    void roundTripThroughPdf() {
        QFETCH(QString, file);
        QFETCH(QString, make);
        QFETCH(QString, password);
        const std::optional<QString> secret =
            password.isEmpty() ? std::nullopt : std::optional(password);
        const QString input = dir_.filePath("input.pdf");
        QFile::remove(input);
        const QString corpus = TestFiles::corpusFolder() + "/" + file;
        if (make == "encrypted") {
            QCOMPARE(TestPrograms::encrypted(corpus, input, {"user", "owner", "256"}), input);
        } else if (make == "compressed") {
            // qpdf never compresses a metadata stream itself; its expanded form lets it be done
            // by hand.
            QByteArray qdf;
            QVERIFY(TestPrograms::run("qpdf", {"--qdf", "--object-streams=generate", corpus, "-"},
                                      &qdf));
            const qsizetype type = qdf.indexOf("/Type /Metadata");
            const qsizetype start = qdf.indexOf("stream\n", type) + 7;
            const qsizetype end = qdf.indexOf("\nendstream", start);
            QVERIFY(type > 0 && start > type && end > start);
            qdf.replace(start, end - start, qCompress(qdf.mid(start, end - start)).mid(4));
            qdf.insert(qdf.lastIndexOf("<<\n", type) + 3, "  /Filter /FlateDecode\n");
            QByteArray fixed;
            QVERIFY(TestPrograms::run("fix-qdf",
                                      {TestFiles::write(dir_.filePath("input.qdf"), qdf)}, &fixed));
            TestFiles::write(input, fixed);
            QVERIFY(metadataDictionary(input, password).contains("/Filter"));
        } else {
            QCOMPARE(TestFiles::copyCorpusFile(file, dir_.path(), "input.pdf"), input);
        }
        const std::optional<QByteArray> packet = XmpPacket::readFromPdf(input, secret);
        QVERIFY(packet);
        const QByteArray updated = XmpPacket::update(*packet, typical, now);
        const QString output = TestFiles::write(dir_.filePath("output.pdf"),
                                                XmpPacket::withPacket(input, secret, updated));

        QCOMPARE(XmpPacket::readFromPdf(output, secret), std::optional(updated));
        QCOMPARE(XmpPacket::read(updated)["Title"], QString("Changed Title"));
        QVERIFY(TestPrograms::run("qpdf", {"--check", "--password=" + password, output}));
        const QJsonObject dictionary = metadataDictionary(output, password);
        QCOMPARE(dictionary["/Type"].toString(), QString("/Metadata"));
        QCOMPARE(dictionary["/Subtype"].toString(), QString("/XML"));
        QVERIFY(!dictionary.contains("/Filter"));
        QByteArray xref;
        QVERIFY(TestPrograms::run("qpdf", {"--show-xref", "--password=" + password, input}, &xref));
        const bool objectStreams = xref.contains(": compressed;");
        QVERIFY(
            TestPrograms::run("qpdf", {"--show-xref", "--password=" + password, output}, &xref));
        QCOMPARE(xref.contains(": compressed;"), objectStreams);
        // Encrypted stays encrypted, the packet too; otherwise it is there to be found by
        // scanning.
        QCOMPARE(TestFiles::bytes(output).contains("Changed Title"), password.isEmpty());
        if (secret)
            QCOMPARE(failureOf([&] { XmpPacket::readFromPdf(output, std::nullopt); }),
                     QString("it is password-protected and the password was not given or is "
                             "wrong"));
    }

    void fileWithoutMetadataGetsNone() {
        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path());
        QCOMPARE(XmpPacket::readFromPdf(input, std::nullopt), std::nullopt);
        QCOMPARE(failureOf([&] { XmpPacket::withPacket(input, std::nullopt, "x"); }),
                 QString("it has no XMP metadata to replace"));
    }

    // Results are checked on worker threads, each one a packet of its own.
    void severalThreadsAtOnce() {
        const QByteArray packet = corpusPacket("output_with_metadata_pymupdf.pdf");
        const QByteArray expected = XmpPacket::update(packet, typical, now);
        std::atomic<int> wrong = 0;
        std::vector<std::thread> threads;
        for (int thread = 0; thread < 8; ++thread) {
            threads.emplace_back([&, thread] {
                for (int round = 0; round < 200; ++round) {
                    // A namespace never seen before, for the library's shared table of them.
                    QByteArray own = packet;
                    own.replace("dc:source=", QStringLiteral(R"(xmlns:t%1x%2="urn:t%1x%2" )"
                                                             R"(t%1x%2:n="v" dc:source=)")
                                                  .arg(thread)
                                                  .arg(round)
                                                  .toUtf8());
                    try {
                        const QByteArray result = XmpPacket::update(own, typical, now);
                        if (XmpPacket::read(result) != XmpPacket::read(expected) ||
                            !result.contains(
                                QStringLiteral("urn:t%1x%2").arg(thread).arg(round).toUtf8()))
                            ++wrong;
                    } catch (const Failure&) {
                        ++wrong;
                    }
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(wrong.load(), 0);
    }
};

QTEST_GUILESS_MAIN(XmpPacketTest)
#include "XmpPacketTest.moc"
