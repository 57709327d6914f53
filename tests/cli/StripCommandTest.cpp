#include "TestFiles.h"
#include "TestPrograms.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The installed way a script runs it: no display, input on standard input.
Ran metascribe(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "none-such");
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + "/metascribe", arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// What one reader or another prints for a file; empty when it fails.
QByteArray output(const QString& program, const QStringList& arguments) {
    QByteArray text;
    TestPrograms::run(program, arguments, &text);
    return text;
}

// Every object of the file, streams decoded, as qpdf writes it for reading.
QByteArray expanded(const QString& file, const QString& password = {}) {
    QStringList arguments{"--qdf", "--object-streams=disable"};
    if (!password.isEmpty())
        arguments << "--password=" + password << "--decrypt";
    QByteArray text;
    // Status 3: read with warnings, which a check of its own would say.
    TestPrograms::run("qpdf", arguments << file << "-", &text);
    return text;
}

// The lines of ExifTool's report in order, whatever order it found them in, without the name of
// the program that wrote the packet, which every packet has.
QList<QByteArray> sortedLines(const QByteArray& text) {
    QList<QByteArray> lines;
    for (const QByteArray& line : text.trimmed().split('\n')) {
        if (!line.startsWith("XMPToolkit "))
            lines << line;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

QByteArray utf16(const QString& text) {
    QStringEncoder encoder(QStringEncoder::Utf16BE);
    return encoder(text);
}

// Metadata written by ExifTool, twice: each time as an incremental update, so the first values
// stay in the file behind the second.
const QStringList secrets{"Quarterly Secret Plan", "Anna Example", "uuid:secret-document-id",
                          "Harmless Title"};

} // namespace

// metascribe strip end to end: the real program on copies of real files, its results read by
// qpdf, poppler and ExifTool.
class StripCommandTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // A copy of the four-page corpus file with metadata written by ExifTool twice, each time as
    // an incremental update, so the first values stay in the file behind the second. ExifTool
    // takes its own earlier update back when it writes again; with its markers renamed (to
    // comments of the same length), it adds another.
    QString withHistory(const QString& folder, const QString& name) {
        const QString file = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", folder, name);
        if (!TestPrograms::run("exiftool",
                               {"-q", "-overwrite_original", "-PDF:Title=Quarterly Secret Plan",
                                "-PDF:Author=Anna Example", "-XMP-dc:Creator=Anna Example",
                                "-XMP-xmpMM:DocumentID=uuid:secret-document-id", file}))
            return {};
        QByteArray bytes = TestFiles::bytes(file);
        bytes.replace("%BeginExifToolUpdate", "%Begin-An-Old-Update")
            .replace("%EndExifToolUpdate", "%End-An-Old-Update");
        TestFiles::write(file, bytes);
        if (!TestPrograms::run("exiftool",
                               {"-q", "-overwrite_original", "-PDF:Title=Harmless Title", file}))
            return {};
        return file;
    }

    static void keepsPagesAndText(const QString& original, const QString& result,
                                  const QString& password = {}) {
        QStringList arguments;
        if (!password.isEmpty())
            arguments << "-upw" << password;
        const QByteArray before = output("pdftotext", arguments + QStringList{original, "-"});
        QVERIFY(!before.trimmed().isEmpty());
        QCOMPARE(output("pdftotext", arguments + QStringList{result, "-"}), before);
        QCOMPARE(TestFiles::pdfInfo(result, password).value("Pages"),
                 TestFiles::pdfInfo(original, password).value("Pages"));
    }

    // Every way a PDF file may spell text: UTF-8 (and so PDFDocEncoding for ASCII), Latin-1,
    // UTF-16 and the hex strings of either, in either case.
    static QList<QByteArray> spellings(const QString& text) {
        QList<QByteArray> forms{text.toUtf8(), utf16(text)};
        if (text.toLatin1() != text.toUtf8() && QString::fromLatin1(text.toLatin1()) == text)
            forms << text.toLatin1();
        for (const QByteArray& form : QList<QByteArray>(forms))
            forms << form.toHex() << form.toHex().toUpper();
        return forms;
    }

    // Whether the file holds text anywhere: in its bytes as they are, or in any object or
    // decoded stream.
    static bool holds(const QString& file, const QString& text, const QString& password) {
        const QByteArray raw = TestFiles::bytes(file);
        const QByteArray decoded = expanded(file, password);
        return std::ranges::any_of(spellings(text), [&](const QByteArray& form) {
            return raw.contains(form) || decoded.contains(form);
        });
    }

    static void holdsNoSecret(const QString& result, const QString& password = {}) {
        const QByteArray text = expanded(result, password);
        QVERIFY(text.startsWith("%PDF"));
        for (const QString& secret : secrets) {
            QVERIFY2(!text.contains(secret.toUtf8()), qPrintable(secret));
            QVERIFY2(!text.contains(utf16(secret)), qPrintable(secret));
        }
    }

private slots:
    void initTestCase() {
        TestFiles::isolateHome(dir_.path());
        for (const char* program : {"qpdf", "pdfinfo", "pdftotext", "exiftool"}) {
            if (!TestFiles::haveProgram(program))
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(program)));
        }
    }

    void stripsIntoAResultsFolder() {
        const QString in = path("in");
        const QString out = path("out");
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        const QString plain = withHistory(in, "plain.pdf");
        QVERIFY(!plain.isEmpty());
        // ExifTool's first values are still in the file, behind its second update.
        QVERIFY(expanded(plain).contains("Harmless Title"));
        QVERIFY(TestFiles::bytes(plain).contains("Quarterly Secret Plan"));
        const QString locked = TestPrograms::encrypted(plain, in + "/locked.pdf",
                                                       {"user", "owner", "256", "--print=none"});
        QVERIFY(!locked.isEmpty());
        const QString pdfa = TestFiles::copyCorpusFile("crazyones-pdfa.pdf", in, "pdfa.pdf");
        QMap<QString, QByteArray> originals;
        for (const QString& file : {plain, locked, pdfa})
            originals.insert(file, TestFiles::bytes(file));

        const Ran ran =
            metascribe({"strip", "--out", out, "--password-stdin", "--json", in}, "user\n");
        QCOMPARE(ran.status, 0);
        // The PDF/A file's output intent names its colour profile; nothing else is said.
        QCOMPARE(ran.err, "metascribe: " + pdfa.toUtf8() +
                              ": left in it: the description of 1 ICC profile: \"Adobe RGB "
                              "(1998)\"\n");
        for (auto original = originals.cbegin(); original != originals.cend(); ++original)
            QCOMPARE(TestFiles::bytes(original.key()), *original);
        const QList<QByteArray> lines = ran.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        for (const QByteArray& line : lines)
            QCOMPARE(QJsonDocument::fromJson(line).object().value("outcome").toString(),
                     QStringLiteral("changed"));

        holdsNoSecret(out + "/plain.pdf");
        keepsPagesAndText(plain, out + "/plain.pdf");
        QVERIFY(!TestFiles::pdfInfo(out + "/plain.pdf").contains("Title"));
        QCOMPARE(output("exiftool", {"-XMP:all", "-s", out + "/plain.pdf"}), QByteArray());

        holdsNoSecret(out + "/locked.pdf", "user");
        keepsPagesAndText(locked, out + "/locked.pdf", "user");
        QCOMPARE(output("qpdf", {"--show-encryption", "--password=user", out + "/locked.pdf"}),
                 output("qpdf", {"--show-encryption", "--password=user", locked}));

        keepsPagesAndText(pdfa, out + "/pdfa.pdf");
        const QByteArray identification = output("exiftool", {"-XMP-pdfaid:all", "-s", pdfa});
        QVERIFY(identification.contains("Part"));
        QCOMPARE(sortedLines(output("exiftool", {"-XMP:all", "-s", out + "/pdfa.pdf"})),
                 sortedLines(identification));
        QVERIFY(TestFiles::pdfInfo(out + "/pdfa.pdf").value("Producer").isEmpty());
    }

    void keptFieldStays() {
        const QString file = withHistory(dir_.path(), "keep.pdf");
        const Ran ran = metascribe({"strip", "--keep", "title", "--in-place", file});
        QCOMPARE(ran.status, 0);
        const QMap<QString, QString> info = TestFiles::pdfInfo(file);
        QCOMPARE(info.value("Title"), QStringLiteral("Harmless Title"));
        QVERIFY(!info.contains("Author"));
        const QByteArray text = expanded(file);
        QVERIFY(!text.contains("Quarterly Secret Plan"));
        QVERIFY(!text.contains("Anna Example"));
    }

    void dryRunListsAndChangesNothing() {
        const QString file = withHistory(dir_.path(), "dry.pdf");
        const QByteArray before = TestFiles::bytes(file);
        const Ran ran = metascribe({"strip", "--dry-run", "--json", "--in-place", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject line = QJsonDocument::fromJson(ran.out).object();
        QCOMPARE(line.value("outcome").toString(), QStringLiteral("planned"));
        const QStringList removals = line.value("removals").toVariant().toStringList();
        QVERIFY2(removals.contains("the XMP metadata"), qPrintable(removals.join('|')));
        QVERIFY(removals.filter("the document information: ").size() == 1);
        QVERIFY(removals.filter(QRegularExpression("^\\d+ earlier revisions?$")).size() == 1);
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // Each kind of metadata that a file's objects carry, in a file of its own: strip takes it
    // out and keeps the page, its text, its annotations and its attachments, in a valid file.
    void stripsMetadataOfObjects_data() {
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QList<QByteArray>>("objects");
        QTest::addColumn<QByteArray>("trailer");
        QTest::addColumn<QList<QByteArray>>("gone");
        QTest::addColumn<QList<QByteArray>>("kept");
        const QByteArray packet = TestFiles::streamObject(
            "/Type /Metadata /Subtype /XML",
            R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
            R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
            R"(rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:creator><rdf:Seq>)"
            R"(<rdf:li>Anna Example</rdf:li></rdf:Seq></dc:creator></rdf:Description></rdf:RDF>)"
            R"(</x:xmpmeta>)");
        // Object 6 is a form the page draws.
        const QByteArray form = "/Type /XObject /Subtype /Form /BBox [0 0 10 10]";
        QTest::newRow("XMP metadata on a page and a form")
            << QByteArray() << QByteArray("/Metadata 7 0 R")
            << QList<QByteArray>{TestFiles::streamObject(form + " /Metadata 7 0 R", "0 0 5 5 re f"),
                                 packet}
            << QByteArray() << QList<QByteArray>{"/Metadata", "Anna Example"}
            << QList<QByteArray>{"/Subtype /Form"};
        // A file that claims to be a PDF/A-3 e-invoice keeps what names the invoice.
        QTest::newRow("XMP metadata of an e-invoice")
            << QByteArray("/Metadata 7 0 R") << QByteArray()
            << QList<
                   QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f"),
                               TestFiles::streamObject(
                                   "/Type /Metadata /Subtype /XML",
                                   R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
                                   R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
                                   R"(<rdf:Description rdf:about="" xmlns:pdfaid="http://www.aiim.org/pdfa/ns/id/" )"
                                   R"(xmlns:fx="urn:factur-x:pdfa:CEFACT:invoice:1p0#" )"
                                   R"(xmlns:dc="http://purl.org/dc/elements/1.1/"><pdfaid:part>3</pdfaid:part>)"
                                   R"(<pdfaid:conformance>B</pdfaid:conformance>)"
                                   R"(<fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>)"
                                   R"(<dc:creator><rdf:Seq><rdf:li>Anna Example</rdf:li></rdf:Seq></dc:creator>)"
                                   R"(</rdf:Description></rdf:RDF></x:xmpmeta>)")}
            << QByteArray() << QList<QByteArray>{"Anna Example"}
            << QList<QByteArray>{"factur-x.xml", "pdfaid:part"};
        QTest::newRow("TeX figure data")
            << QByteArray() << QByteArray()
            << QList<QByteArray>{TestFiles::streamObject(
                                     form + " /PTEX.FileName (/home/anna/plot.pdf) "
                                            "/PTEX.PageNumber 1 /PTEX.InfoDict 7 0 R",
                                     "0 0 5 5 re f"),
                                 "<< /Author (Anna Example) >>"}
            << QByteArray() << QList<QByteArray>{"PTEX", "Anna Example", "/home/anna"}
            << QList<QByteArray>{"/Subtype /Form"};
        QTest::newRow("private application data")
            << QByteArray() << QByteArray("/LastModified (D:20200101000000Z)")
            << QList<QByteArray>{TestFiles::streamObject(
                   form + " /PieceInfo << /Illustrator << /Private (Anna Example) >> >>",
                   "0 0 5 5 re f")}
            << QByteArray() << QList<QByteArray>{"/PieceInfo", "/LastModified", "Anna Example"}
            << QList<QByteArray>{"/Subtype /Form"};
        QTest::newRow("annotations")
            << QByteArray("/AcroForm << /Fields [8 0 R] >>") << QByteArray("/Annots [7 0 R 8 0 R]")
            << QList<QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f"),
                                 "<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /T (Anna "
                                 "Example) /M (D:20200303000000Z) /CreationDate "
                                 "(D:20200303000000Z) /NM (annot-id-0042) /Contents (Please "
                                 "check this) >>",
                                 "<< /Type /Annot /Subtype /Widget /FT /Tx /T (customer_name) "
                                 "/V (Bob) /Rect [10 50 90 70] >>"}
            << QByteArray() << QList<QByteArray>{"Anna Example", "D:2020", "annot-id-0042"}
            << QList<QByteArray>{"(Please check this)", "/T (customer_name)"};
        QTest::newRow("attachments")
            << QByteArray("/Names << /EmbeddedFiles << /Names [(notes.txt) 7 0 R] >> >>")
            << QByteArray()
            << QList<QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f"),
                                 "<< /Type /Filespec /F (notes.txt) /EF << /F 8 0 R >> >>",
                                 TestFiles::streamObject(
                                     "/Type /EmbeddedFile /Params << /CreationDate "
                                     "(D:20190505000000Z) /ModDate (D:20190506000000Z) /Mac << "
                                     "/Creator (ttxt) >> >>",
                                     "hello there\n")}
            << QByteArray() << QList<QByteArray>{"D:2019", "/Mac", "ttxt"}
            << QList<QByteArray>{"(notes.txt)", "hello there"};
        QTest::newRow("attached PDF file")
            << QByteArray("/Names << /EmbeddedFiles << /Names [(inner.pdf) 7 0 R] >> >>")
            << QByteArray()
            << QList<QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f"),
                                 "<< /Type /Filespec /F (inner.pdf) /EF << /F 8 0 R >> >>",
                                 TestFiles::streamObject(
                                     "/Type /EmbeddedFile",
                                     TestFiles::pdfWithInfo("<< /Author (Anna Example) >>"))}
            << QByteArray() << QList<QByteArray>{"Anna Example"}
            << QList<QByteArray>{"(inner.pdf)", "612 792"};
        QTest::newRow("layers")
            << QByteArray("/OCProperties << /OCGs [7 0 R] /D << /Creator (Layer Maker 3) /Order "
                          "[7 0 R] >> >>")
            << QByteArray()
            << QList<QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f"),
                                 "<< /Type /OCG /Name (Contour lines) /Usage << /CreatorInfo << "
                                 "/Creator (Layer Maker 3) /Subtype /Artwork >> >> >>"}
            << QByteArray() << QList<QByteArray>{"Layer Maker", "/CreatorInfo"}
            << QList<QByteArray>{"(Contour lines)"};
        QTest::newRow("document ID")
            << QByteArray() << QByteArray()
            << QList<QByteArray>{TestFiles::streamObject(form, "0 0 5 5 re f")}
            << QByteArray("/ID [<00112233445566778899aabbccddeeff> "
                          "<ffeeddccbbaa99887766554433221100>]")
            << QList<QByteArray>{"00112233445566778899aabbccddeeff",
                                 "ffeeddccbbaa99887766554433221100"}
            << QList<QByteArray>{"/ID [ <"};
    }
    void stripsMetadataOfObjects() {
        QFETCH(QByteArray, catalog);
        QFETCH(QByteArray, page);
        QFETCH(QList<QByteArray>, objects);
        QFETCH(QByteArray, trailer);
        QFETCH(QList<QByteArray>, gone);
        QFETCH(QList<QByteArray>, kept);
        const QString in = path("objects-in");
        const QString out = path("objects-out");
        QVERIFY(QDir(in).removeRecursively() && QDir(out).removeRecursively());
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        const QString file = TestFiles::write(
            in + "/objects.pdf",
            TestFiles::pdfOf(
                QList<QByteArray>{"<< /Type /Catalog /Pages 2 0 R " + catalog + " >>",
                                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] "
                                  "/Contents 4 0 R /Resources << /Font << /F1 5 0 R >> "
                                  "/XObject << /X1 6 0 R >> >> " +
                                      page + " >>",
                                  TestFiles::streamObject(
                                      "", "BT /F1 12 Tf 20 100 Td (Visible words) Tj ET /X1 Do"),
                                  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"} +
                    objects,
                trailer));
        // The two ways qpdf shows a file: every object, and the trailer on its own.
        const auto shown = [](const QString& pdf) {
            return expanded(pdf) + output("qpdf", {"--show-object=trailer", pdf});
        };
        const QByteArray before = shown(file);
        for (const QByteArray& text : gone + kept)
            QVERIFY2(before.contains(text), text.constData());

        const Ran ran = metascribe({"strip", "--out", out, "--json", file});
        QCOMPARE(ran.status, 0);
        QCOMPARE(QJsonDocument::fromJson(ran.out).object().value("outcome").toString(),
                 QStringLiteral("changed"));
        const QString result = out + "/objects.pdf";
        QVERIFY(TestPrograms::run("qpdf", {"--check", result}));
        const QByteArray after = shown(result);
        for (const QByteArray& text : gone)
            QVERIFY2(!after.contains(text) && !holds(result, QString::fromUtf8(text), {}),
                     text.constData());
        for (const QByteArray& text : kept)
            QVERIFY2(after.contains(text), text.constData());
        keepsPagesAndText(file, result);
        // What qpdf sees of the page's annotations and of the attached files.
        const auto seen = [](const QString& pdf) {
            const QJsonObject json =
                QJsonDocument::fromJson(
                    output("qpdf", {"--json", "--json-key=pages", "--json-key=attachments",
                                    "--json-key=qpdf", pdf}))
                    .object();
            const QString page =
                json.value("pages").toArray().at(0).toObject().value("object").toString();
            const QJsonObject pageObject = json.value("qpdf")
                                               .toArray()
                                               .at(1)
                                               .toObject()
                                               .value("obj:" + page)
                                               .toObject()
                                               .value("value")
                                               .toObject();
            return std::pair(pageObject.value("/Annots").toArray().size(),
                             json.value("attachments").toObject().keys());
        };
        const QByteArray row = QTest::currentDataTag();
        // ExifTool shows the packets of pages and images too, with everything it reads.
        const QStringList exif{"-a", "-G1", "-s"};
        const QByteArray exifBefore = output("exiftool", exif + QStringList{file});
        const QByteArray exifAfter = output("exiftool", exif + QStringList{result});
        QVERIFY(!exifAfter.isEmpty());
        QCOMPARE(exifBefore.contains("Anna Example"), row.startsWith("XMP metadata"));
        for (const QByteArray& text : gone)
            QVERIFY2(!exifAfter.contains(text), text.constData());
        QCOMPARE(seen(file).first, row == "annotations" ? 2 : 0);
        QCOMPARE(seen(file).second.size(), row.startsWith("attach") ? 1 : 0);
        QCOMPARE(seen(result), seen(file));
    }

    // The photograph on a page loses what its camera and applications wrote into it (its GPS
    // position, the camera's serial number, its author), and keeps its picture byte for byte.
    void photographLosesItsMetadata() {
        const QString folder = path("photo");
        QVERIFY(QDir().mkpath(folder));
        const QByteArray photo = TestFiles::photoWithMetadata(folder + "/photo.jpg");
        QVERIFY(!photo.isEmpty());
        const QString file = TestFiles::write(
            folder + "/photo.pdf",
            TestFiles::pdfOf(
                {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                 "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
                 "/Resources << /XObject << /Im1 5 0 R >> >> >>",
                 "<< /Length 30 >>\nstream\nq 64 0 0 64 20 20 cm /Im1 Do Q\nendstream",
                 "<< /Type /XObject /Subtype /Image /Width 16 /Height 16 /ColorSpace /DeviceRGB "
                 "/BitsPerComponent 8 /Filter /DCTDecode /Length " +
                     QByteArray::number(photo.size()) + " >>\nstream\n" + photo + "\nendstream",
                 "<< /Title (Quarterly Secret Plan) >>"},
                "/Info 6 0 R"));
        QVERIFY(TestPrograms::run("qpdf", {"--check", file}));
        QVERIFY(output("pdfimages", {"-list", file}).contains("jpeg"));

        const QByteArray before = TestFiles::bytes(file);
        const Ran dry = metascribe({"strip", "--dry-run", "--json", "--in-place", file});
        QCOMPARE(dry.status, 0);
        QCOMPARE(
            QJsonDocument::fromJson(dry.out)
                .object()
                .value("removals")
                .toVariant()
                .toStringList()
                .filter(" image"),
            QStringList({"EXIF data (with a GPS position) in 1 image", "XMP metadata in 1 image",
                         "Photoshop and IPTC data in 1 image", "comments in 1 image"}));
        QCOMPARE(TestFiles::bytes(file), before);

        const Ran ran = metascribe({"strip", "--json", "--in-place", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject line = QJsonDocument::fromJson(ran.out).object();
        QCOMPARE(line.value("outcome").toString(), QStringLiteral("changed"));
        QVERIFY(TestPrograms::run("qpdf", {"--check", file}));
        QVERIFY(output("pdfimages", {"-list", file}).contains("jpeg"));
        const QList<QByteArray> images = TestFiles::jpegImages(file);
        QCOMPARE(images.size(), 1);
        const QByteArray image = images.first();
        QCOMPARE(TestFiles::photoTags(image, folder + "/result.jpg",
                                      {"-GPS:all", "-SerialNumber", "-Comment", "-XMP:all",
                                       "-IPTC:all", "-Photoshop:all"}),
                 QByteArray());
        const QStringList colours{"-JFIFVersion", "-ProfileDescription"};
        QCOMPARE(TestFiles::photoTags(image, folder + "/result.jpg", colours),
                 TestFiles::photoTags(photo, folder + "/photo.jpg", colours));
        const QByteArray text = expanded(file);
        for (const char* secret : {"CAM-SERIAL-4711", "Anna Example", "Quarterly Secret Plan"})
            QVERIFY2(!text.contains(secret), secret);
        const qsizetype scan = image.indexOf("\xFF\xDA");
        QVERIFY(scan > 0);
        QVERIFY(photo.endsWith(image.mid(scan)));
    }

    // A removed value that the document also holds where strip leaves it (here an attached
    // file, compressed) stays there and is named, by the dry run as by the run; the run's JSON
    // counts what went by kind.
    void removedValueFoundElsewhereIsNamed() {
        const QString folder = path("named");
        QVERIFY(QDir().mkpath(folder));
        const QString file = withHistory(folder, "attached.pdf");
        const QString note = TestFiles::write(path("note.txt"), "Notes by Anna Example.\n");
        const QString attached = path("attached-made.pdf");
        QVERIFY(TestPrograms::run("qpdf", {file, "--add-attachment", note, "--", attached}));
        QVERIFY(!TestFiles::bytes(attached).contains("Notes by Anna Example"));
        QVERIFY(QFile::remove(file) && QFile::rename(attached, file));
        const QByteArray before = TestFiles::bytes(file);
        const QString left = "the author's name is still in an attached file's content";
        const Ran dry = metascribe({"strip", "--dry-run", "--in-place", file});
        QCOMPARE(dry.status, 0);
        QVERIFY2(dry.out.contains("  left in it: " + left.toUtf8()), dry.out.constData());
        QCOMPARE(TestFiles::bytes(file), before);
        const Ran ran = metascribe({"strip", "--json", "--in-place", file});
        QCOMPARE(ran.status, 0);
        QVERIFY2(ran.err.contains("attached.pdf: left in it: " + left.toUtf8()),
                 ran.err.constData());
        const QJsonObject line = QJsonDocument::fromJson(ran.out).object();
        QCOMPARE(line.value("kept").toArray().first().toString(), left);
        const QJsonObject removed = line.value("removed").toObject();
        QVERIFY2(removed.value("document-information").toInt() > 0 &&
                     removed.value("attachment-metadata").toInt() == 1,
                 ran.out.constData());
        QVERIFY(TestPrograms::run("qpdf", {"--check", file}));
        QVERIFY(output("qpdf", {"--list-attachments", file}).contains("note.txt"));

        // A title the pages print, in other letters, is named with them.
        const QString printed =
            TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", folder, "printed.pdf");
        QVERIFY(TestPrograms::run("exiftool",
                                  {"-q", "-overwrite_original",
                                   "-PDF:Title=Information About The Selected Font", printed}));
        const Ran stripped = metascribe({"strip", "--in-place", printed});
        QCOMPARE(stripped.status, 0);
        QVERIFY2(stripped.err.contains("printed.pdf: left in it: the title is still in the text of "
                                       "pages 1, 2, 3 and 4\n"),
                 stripped.err.constData());
    }

    // What strip keeps on purpose that may still tell who made the file is named, and stays.
    void namesWhatItKeeps() {
        const QString file = TestFiles::write(
            path("kept.pdf"),
            TestFiles::pdfOf(
                {"<< /Type /Catalog /Pages 2 0 R /OpenAction << /S /JavaScript /JS (app.alert"
                 "\\(1\\)) >> /URI << /Base (https://intranet.example.com/) >> /AcroForm << "
                 "/Fields [6 0 R] >> /OCProperties << /OCGs [7 0 R] /D << /Order [7 0 R] >> >> >>",
                 "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                 "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R "
                 "/Resources << /Font << /F1 5 0 R >> >> /Annots [6 0 R] >>",
                 TestFiles::streamObject("", "BT /F1 12 Tf 20 100 Td (Visible words) Tj ET"),
                 "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                 "<< /Type /Annot /Subtype /Widget /FT /Tx /T (clerk) /V (Anna Example) /F 2 "
                 "/Rect [10 10 90 30] /P 3 0 R >>",
                 "<< /Type /OCG /Name (Internal notes) >>"},
                "/Info << /Author (Someone Else) >>"));
        const Ran ran = metascribe({"strip", "--json", "--in-place", file});
        QCOMPARE(ran.status, 0);
        const QStringList kept{"JavaScript that runs when the document opens",
                               "the value of 1 hidden form field: \"clerk\"",
                               "a base address for links: \"https://intranet.example.com/\"",
                               "the name of 1 layer: \"Internal notes\""};
        QCOMPARE(QJsonDocument::fromJson(ran.out).object().value("kept").toVariant().toStringList(),
                 kept);
        for (const QString& item : kept)
            QVERIFY2(ran.err.contains("kept.pdf: left in it: " + item.toUtf8() + "\n"),
                     ran.err.constData());
        const QByteArray after = expanded(file);
        for (const char* content :
             {"app.alert", "intranet.example.com", "Anna Example", "Internal notes"})
            QVERIFY2(after.contains(content), content);
        QVERIFY(!after.contains("Someone Else"));
    }

    // Every file of the corpus: the dry run foretells the run, and each result keeps its pages,
    // text, annotations, fields and attachments in a valid file and holds none of the values
    // the original's document information and XMP packet had, in any spelling, but where the
    // run names the place it stays.
    void corpusKeepsNoRemovedValue() {
        const QString in = path("corpus");
        const QString out = path("corpus-out");
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(out));
        const QString password = "openpassword";
        const QStringList names = QDir(TestFiles::corpusFolder()).entryList({"*.pdf"});
        QVERIFY(names.size() >= 7);
        for (const QString& name : names)
            TestFiles::copyCorpusFile(name, in, name);
        const QStringList arguments{"strip", "--json", "--password-stdin", "--out", out, in};
        const Ran dry = metascribe(QStringList{arguments.first(), "--dry-run"} + arguments.mid(1),
                                   password.toUtf8() + "\n");
        const Ran ran = metascribe(arguments, password.toUtf8() + "\n");
        QCOMPARE(ran.status, 0);
        const QList<QByteArray> dryLines = dry.out.trimmed().split('\n');
        const QList<QByteArray> lines = ran.out.trimmed().split('\n');
        QCOMPARE(lines.size(), names.size());
        QCOMPARE(dryLines.size(), names.size());
        for (qsizetype at = 0; at < lines.size(); ++at) {
            QJsonObject line = QJsonDocument::fromJson(lines.at(at)).object();
            QJsonObject planned = QJsonDocument::fromJson(dryLines.at(at)).object();
            QCOMPARE(line.value("outcome").toString(), QStringLiteral("changed"));
            QCOMPARE(planned.value("outcome").toString(), QStringLiteral("planned"));
            for (const char* key : {"path", "kept", "removed"})
                QCOMPARE(planned.value(key), line.value(key));

            const QString original = line.value("path").toString();
            const QString result = line.value("destination").toString();
            const QString opening = TestFiles::pdfInfo(original).isEmpty() ? password : QString();
            QVERIFY2(TestPrograms::run("qpdf", {"--check", "--password=" + opening, result}),
                     qPrintable(result));
            keepsPagesAndText(original, result, opening);
            for (const QStringList& shown : {QStringList{"--list-attachments"},
                                             QStringList{"--json", "--json-key=acroform"}}) {
                const QStringList reading = shown + QStringList{"--password=" + opening};
                QCOMPARE(
                    output("qpdf", reading + QStringList{result}).replace(result.toUtf8(), ""),
                    output("qpdf", reading + QStringList{original}).replace(original.toUtf8(), ""));
            }
            QCOMPARE(output("pdfinfo", {"-upw", opening, "-custom", result}).contains("Title:"),
                     false);
            // The values an independent reader finds: the document information's texts (dates
            // are written as dates) and the XMP packet's, but for what names the PDF/A part.
            QStringList values;
            const QByteArray info = output("pdfinfo", {"-upw", opening, "-custom", original});
            for (const QByteArray& entry : info.split('\n')) {
                const qsizetype colon = entry.indexOf(':');
                if (colon > 0 && !entry.left(colon).endsWith("Date"))
                    values << QString::fromUtf8(entry.mid(colon + 1).trimmed());
            }
            const QJsonObject xmp =
                QJsonDocument::fromJson(
                    output("exiftool", {"-j", "-XMP:all", "-G1", "-password", opening, original}))
                    .array()
                    .at(0)
                    .toObject();
            for (auto tag = xmp.begin(); tag != xmp.end(); ++tag) {
                if (tag.value().isString() && !tag.key().startsWith("XMP-pdfaid") &&
                    !tag.key().startsWith("XMP-x:") && tag.key() != "XMP-dc:Format")
                    values << tag.value().toString();
            }
            const bool named = !line.value("kept").toArray().isEmpty();
            for (const QString& value : std::as_const(values)) {
                if (value.size() >= 4 && holds(result, value, opening))
                    QVERIFY2(named, qPrintable(result + ": " + value));
            }
        }
    }
};

QTEST_GUILESS_MAIN(StripCommandTest)
#include "StripCommandTest.moc"
