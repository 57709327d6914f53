#include "PdfStripper.h"

#include "Failure.h"
#include "PdfSnapshot.h"
#include "StripCheck.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "XmpPacket.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray packetText =
    R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>)"
    R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
    R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about="" )"
    R"(xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:xmpMM="http://ns.adobe.com/xap/1.0/mm/" )"
    R"(xmlns:stEvt="http://ns.adobe.com/xap/1.0/sType/ResourceEvent#">)"
    R"(<dc:creator><rdf:Seq><rdf:li>Anna Example</rdf:li></rdf:Seq></dc:creator>)"
    R"(<xmpMM:History><rdf:Seq><rdf:li rdf:parseType="Resource"><stEvt:action>converted</stEvt:action>)"
    R"(<stEvt:softwareAgent>Secret Writer 9</stEvt:softwareAgent></rdf:li></rdf:Seq></xmpMM:History>)"
    R"(</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end="w"?>)";

const QByteArray pageContent = "BT /F1 12 Tf 20 100 Td (Visible words) Tj ET";

// Every value the made file holds in its metadata, in an earlier revision too.
const QStringList secrets{"Quarterly Secret Plan", "Anna Example",         "Example Holdings",
                          "Confidential Internal", "Secret Writer 9",      "Private app data",
                          "Harmless Title",        "Someone Else Entirely"};

using TestFiles::streamObject;

// Objects numbered from first, appended to file (empty: a new file) with a cross-reference
// section of their own, as an incremental update writes them.
QByteArray withObjects(QByteArray file, int first, const QList<QByteArray>& objects,
                       const QByteArray& trailer) {
    const bool update = !file.isEmpty();
    const qsizetype previous = update ? file.lastIndexOf("startxref") : -1;
    if (!update)
        file = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << file.size();
        file += QByteArray::number(first + i) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = file.size();
    file += "xref\n";
    if (!update)
        file += "0 1\n0000000000 65535 f \n";
    file += QByteArray::number(first) + ' ' + QByteArray::number(objects.size()) + '\n';
    for (qsizetype offset : offsets)
        file += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    QByteArray prev;
    if (update) {
        const QByteArray rest = file.mid(previous + 9).trimmed();
        prev = " /Prev " + rest.left(rest.indexOf('\n')).trimmed();
    }
    file += "trailer\n<< " + trailer + prev + " >>\nstartxref\n" + QByteArray::number(xref) +
            "\n%%EOF\n";
    return file;
}

QByteArray utf16(const QString& text) {
    QStringEncoder encoder(QStringEncoder::Utf16BE);
    return QByteArray("\xFE\xFF") + QByteArray(encoder(text));
}

} // namespace

class PdfStripperTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString path(const QString& name) const { return dir_.filePath(name); }

    // A one-page file with metadata wherever applications leave it: document information with
    // custom keys, an XMP packet with a history, private application data on the catalog and the
    // page, a thumbnail; compressed into object streams by qpdf, with an incremental update
    // after it that changes the document information, so the old values stay in the file.
    // extraCatalog goes into the catalog; extraObjects are numbered from 9.
    QString madeFile(const QString& name, const QByteArray& extraCatalog = {},
                     const QList<QByteArray>& extraObjects = {}) {
        const QByteArray piece = "<< /MyApp << /LastModified (D:20200101000000Z) /Private "
                                 "(Private app data) >> >>";
        QList<QByteArray> objects{
            "<< /Type /Catalog /Pages 2 0 R /Metadata 6 0 R /PieceInfo " + piece + ' ' +
                extraCatalog + " >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources << "
            "/Font << /F1 5 0 R >> >> /PieceInfo " +
                piece + " /LastModified (D:20200101000000Z) /Thumb 7 0 R >>",
            streamObject("", pageContent),
            "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
            streamObject("/Type /Metadata /Subtype /XML", packetText),
            streamObject("/Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8", "\x80"),
            "<< /Title (Quarterly Secret Plan) /Author (Anna Example) /Company (Example Holdings) "
            "/SourceModified (D:20200101000000Z) /MSIP_Label_1234_Name <" +
                utf16("Confidential Internal").toHex() + "> /CreationDate (D:20200101000000Z) >>",
        };
        objects << extraObjects;
        const QString plain = TestFiles::write(
            path(name + ".plain"), withObjects({}, 1, objects,
                                               "/Size " + QByteArray::number(objects.size() + 1) +
                                                   " /Root 1 0 R /Info 8 0 R"));
        const QString packed = path(name + ".packed");
        if (!TestPrograms::run("qpdf", {"--object-streams=generate", "--compress-streams=y",
                                        "--recompress-flate", plain, packed}))
            return {};
        // qpdf numbered the objects anew: the update adds its document information after them.
        QByteArray trailer;
        if (!TestPrograms::run("qpdf", {"--show-object=trailer", packed}, &trailer))
            return {};
        const QRegularExpressionMatch root =
            QRegularExpression(R"(/Root (\d+ \d+ R))").match(QString::fromLatin1(trailer));
        const QRegularExpressionMatch size =
            QRegularExpression(R"(/Size (\d+))").match(QString::fromLatin1(trailer));
        if (!root.hasMatch() || !size.hasMatch())
            return {};
        const int info = size.captured(1).toInt();
        return TestFiles::write(
            path(name),
            withObjects(TestFiles::bytes(packed), info,
                        {"<< /Title (Harmless Title) /Author (Someone Else Entirely) >>"},
                        "/Size " + QByteArray::number(info + 1) + " /Root " +
                            root.captured(1).toLatin1() + " /Info " + QByteArray::number(info) +
                            " 0 R"));
    }

    // The whole result as qpdf writes it with every stream decoded and no object streams.
    static QByteArray expanded(const QString& file, const QString& password = {}) {
        QByteArray text;
        QStringList arguments{"--qdf", "--object-streams=disable", "--decode-level=generalized"};
        if (!password.isEmpty())
            arguments << "--password=" + password << "--decrypt";
        TestPrograms::run("qpdf", arguments << file << "-", &text);
        return text;
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void madeFileHoldsWhatIsRemoved() {
        const QString file = madeFile("check.pdf");
        QVERIFY(!file.isEmpty());
        const QByteArray text = expanded(file);
        QVERIFY(text.contains("Harmless Title"));
        QVERIFY(text.contains("Secret Writer 9"));
        // The earlier revision's values are only in the file's bytes, compressed.
        QVERIFY(!TestFiles::bytes(file).contains("Quarterly Secret Plan"));
    }

    void stripsEverythingAndEveryRevision() {
        QString input = madeFile("all.pdf");
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("all-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());

        const QByteArray text = expanded(output) + TestFiles::bytes(output);
        QVERIFY(!text.isEmpty());
        for (const QString& secret : secrets) {
            QVERIFY2(!text.contains(secret.toUtf8()), qPrintable(secret));
            QVERIFY2(!text.contains(utf16(secret).mid(2)), qPrintable(secret));
        }
        for (const char* key : {"/PieceInfo", "/Thumb", "/Metadata", "/Info", "/LastModified"})
            QVERIFY2(!text.contains(key), key);
        QVERIFY(text.contains(pageContent));
        const PdfSnapshot result = PdfSnapshot::read(output);
        QCOMPARE(result.pages(), 1);
        QVERIFY(result.info().isEmpty());
        QVERIFY(!result.hadWarnings());
    }

    void dryRunListsWhatGoes() {
        QString input = madeFile("dry.pdf");
        const QByteArray before = TestFiles::bytes(input);
        const QStringList removals = PdfStripper::strip(input, std::nullopt, {}).removals;
        QCOMPARE(removals,
                 QStringList({"the document information: Author, Title", "the XMP metadata",
                              "private application data of the document and of 1 page",
                              "the thumbnails of 1 page", "1 earlier revision"}));
        QCOMPARE(TestFiles::bytes(input), before);
    }

    void keepsNamedFields() {
        QString input = madeFile("keep.pdf");
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("keep-out.pdf"), {});
        const PdfStripper::Stripped stripped =
            PdfStripper::strip(input, std::nullopt, {InfoField::Title, InfoField::Subject}, output);
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        const PdfSnapshot result = PdfSnapshot::read(output);
        QCOMPARE(result.info().keys(), QStringList{"Title"});
        QCOMPARE(result.infoValue("Title"), QStringLiteral("Harmless Title"));
        QVERIFY(!expanded(output).contains("Someone Else Entirely"));
    }

    // A removed value that stays where the document holds it, wherever and however it is
    // written, is named with its place; one in an XMP packet of an application's own goes.
    void checkFindsRemovedValuesThatStay_data() {
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<QList<QByteArray>>("objects");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("remains");
        QTest::newRow("compressed embedded file")
            << QByteArray("/Names << /EmbeddedFiles << /Names [(a.txt) 9 0 R] >> >>")
            << QList<QByteArray>{"<< /Type /Filespec /F (a.txt) /EF << /F 10 0 R >> >>",
                                 streamObject("/Type /EmbeddedFile",
                                              "written by Someone Else Entirely, 2020")}
            << "Someone Else Entirely"
            << "the author's name is still in an attached file's content";
        QTest::newRow("UTF-16 in a bookmark")
            << QByteArray("/Outlines 9 0 R")
            << QList<QByteArray>{"<< /Type /Outlines /First 10 0 R /Last 10 0 R /Count 1 >>",
                                 "<< /Title <" + utf16("Anna Example").toHex() +
                                     "> /Parent 9 0 R >>"}
            << "Anna Example"
            << "a value of the XMP metadata is still in a bookmark";
        QTest::newRow("field value and name")
            << QByteArray("/AcroForm << /Fields [9 0 R] >>")
            << QList<QByteArray>{"<< /FT /Tx /T (Harmless Title) /Kids [10 0 R] >>",
                                 "<< /Parent 9 0 R /T (who) /V (Someone Else Entirely) >>"}
            << "Someone Else Entirely"
            << "the author's name is still in the value of the form field \"Harmless "
               "Title.who\"|the title is still in the name of a form field";
        QTest::newRow("in another XMP packet")
            << QByteArray("/Extra 9 0 R")
            << QList<QByteArray>{streamObject("/Type /Metadata /Subtype /XML",
                                              "<x>AT&amp;T</x> <y>Secret Writer 9</y>")}
            << "Secret Writer 9" << QString();
    }
    void checkFindsRemovedValuesThatStay() {
        QFETCH(QByteArray, catalog);
        QFETCH(QList<QByteArray>, objects);
        QFETCH(QString, value);
        QFETCH(QString, remains);
        QString input = madeFile("stays.pdf", catalog, objects);
        QVERIFY(!input.isEmpty());
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("stays-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        const StripCheck::Verdict verdict = StripCheck::verify(original, output, stripped);
        QCOMPARE(verdict.reason, QString());
        QCOMPARE(verdict.remains.join('|'), remains);
        if (remains.isEmpty())
            QVERIFY(!expanded(output).contains(value.toUtf8()));
    }

    // One kind of metadata kept on the document's objects per row, in a file that has nothing
    // else: it goes, the rest of the document stays, and a result that still held it would be
    // turned down.
    void removesMetadataOfObjects_data() {
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("xobject");
        QTest::addColumn<QList<QByteArray>>("objects");
        QTest::addColumn<QString>("removal");
        QTest::addColumn<QList<QByteArray>>("gone");
        QTest::addColumn<QList<QByteArray>>("kept");
        QTest::addColumn<QString>("refusal");
        const QByteArray image =
            "/Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8";
        const QByteArray form = "/Subtype /Form /BBox [0 0 1 1]";
        const QByteArray packet = streamObject("/Type /Metadata /Subtype /XML",
                                               "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>");
        QTest::newRow("XMP metadata")
            << QByteArray() << QByteArray("/Metadata 6 0 R") << image + " /Metadata 7 0 R"
            << QList<QByteArray>{packet, packet} << "XMP metadata on 1 page and 1 image"
            << QList<QByteArray>{"/Metadata", "xmpmeta"} << QList<QByteArray>{"/Subtype /Image"}
            << "XMP metadata on ";
        QTest::newRow("TeX figure data")
            << QByteArray() << QByteArray()
            << form + " /PTEX.FileName (/home/anna/thesis/plot.pdf) /PTEX.PageNumber 1 "
                      "/PTEX.InfoDict 6 0 R"
            << QList<QByteArray>{"<< /Author (Anna Example) /Producer (Plot Maker 2) >>"}
            << "TeX figure data on 1 form XObject"
            << QList<QByteArray>{"PTEX", "Anna Example", "/home/anna"}
            << QList<QByteArray>{"/Subtype /Form"} << "TeX figure data on a form XObject";
        QTest::newRow("private application data")
            << QByteArray() << QByteArray("/LastModified (D:20200101000000Z)")
            << form + " /PieceInfo << /Illustrator << /Private (Private app data) >> >> "
                      "/LastModified (D:20200102000000Z)"
            << QList<QByteArray>{} << "private application data of 1 page and of 1 form XObject"
            << QList<QByteArray>{"/PieceInfo", "/LastModified", "Private app data"}
            << QList<QByteArray>{"/Subtype /Form"} << "private application data of ";
        QTest::newRow("annotations")
            << QByteArray("/AcroForm << /Fields [8 0 R] >>")
            << QByteArray("/Annots [6 0 R 7 0 R 8 0 R]") << image
            << QList<
                   QByteArray>{"<< /Type /Annot /Subtype /Text /Rect [10 10 30 30] /T (Anna "
                               "Example) "
                               "/M (D:20200303000000Z) /CreationDate (D:20200303000000Z) /NM "
                               "(annot-id-0042) "
                               "/Contents (Please check this) /Popup 7 0 R >>",
                               "<< /Type /Annot /Subtype /Popup /Rect [30 30 90 90] /Parent 6 0 R "
                               "/T (Anna Example) >>",
                               "<< /Type /Annot /Subtype /Widget /FT /Tx /T (customer_name) /V "
                               "(Bob) "
                               "/Rect [10 50 90 70] /M (D:20200303000000Z) >>"}
            << "the authors, dates and names of 3 annotations"
            << QList<QByteArray>{"Anna Example", "D:2020", "annot-id-0042"}
            << QList<QByteArray>{"(Please check this)", "/T (customer_name)", "/Parent "}
            << "an annotation's";
        QTest::newRow("attachments")
            << QByteArray("/Names << /EmbeddedFiles << /Names [(notes.txt) 6 0 R] >> >>")
            << QByteArray() << image
            << QList<QByteArray>{"<< /Type /Filespec /F (notes.txt) /UF (notes.txt) /EF << /F 7 0 "
                                 "R >> >>",
                                 streamObject(
                                     "/Type /EmbeddedFile /Params << /Size 12 /CreationDate "
                                     "(D:20190505000000Z) /ModDate (D:20190506000000Z) /Mac << "
                                     "/Creator (ttxt) /Subtype (TEXT) >> >>",
                                     "hello there\n")}
            << "the dates and Mac data of 1 embedded file"
            << QList<QByteArray>{"D:2019", "/Mac", "ttxt"}
            << QList<QByteArray>{"(notes.txt)", "hello there", "/Size 12"} << "an attached file's";
        QTest::newRow("attached PDF file")
            << QByteArray("/Names << /EmbeddedFiles << /Names [(inner.pdf) 6 0 R] >> >>")
            << QByteArray() << image
            << QList<
                   QByteArray>{"<< /Type /Filespec /F (inner.pdf) /EF << /F 7 0 R >> >>",
                               streamObject(
                                   "/Type /EmbeddedFile /Params << /Size 1 >>",
                                   TestFiles::pdfWithInfo(
                                       "<< /Author (Anna Example) /Title (Inner Secret Title) >>"))}
            << "the metadata of 1 attached PDF file"
            << QList<QByteArray>{"Anna Example", "Inner Secret Title"}
            << QList<QByteArray>{"(inner.pdf)", "612 792"}
            << "the document information in an attached PDF file";
        QTest::newRow("layers")
            << QByteArray("/OCProperties << /OCGs [6 0 R] /D << /Name (Default) /Creator (Layer "
                          "Maker 3) /Order [6 0 R] >> /Configs [<< /Name (Print) /CreatorInfo << "
                          "/Creator (Layer Maker 3) /Subtype /Artwork >> >>] >>")
            << QByteArray() << image
            << QList<QByteArray>{"<< /Type /OCG /Name (Contour lines) /Usage << /CreatorInfo << "
                                 "/Creator (Layer Maker 3) /Subtype /Artwork >> >> >>"}
            << "the creating application of 1 layer and 2 layer configurations"
            << QList<QByteArray>{"Layer Maker", "/CreatorInfo"}
            << QList<QByteArray>{"(Contour lines)", "(Default)", "(Print)"}
            << "the creating application of a layer configuration";
    }
    void removesMetadataOfObjects() {
        QFETCH(QByteArray, catalog);
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, xobject);
        QFETCH(QList<QByteArray>, objects);
        QFETCH(QString, removal);
        QFETCH(QList<QByteArray>, gone);
        QFETCH(QList<QByteArray>, kept);
        QFETCH(QString, refusal);
        const QString input = TestFiles::write(
            path("objects.pdf"),
            TestFiles::pdfOf(
                QList<QByteArray>{"<< /Type /Catalog /Pages 2 0 R " + catalog + " >>",
                                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] "
                                  "/Contents 4 0 R /Resources << /XObject << /X1 5 0 R >> >> " +
                                      page + " >>",
                                  streamObject("", "q 10 0 0 10 20 20 cm /X1 Do Q"),
                                  streamObject("/Type /XObject " + xobject, "\x80")} +
                objects));
        QByteArray before = expanded(input);
        for (const QByteArray& text : gone + kept)
            QVERIFY2(before.contains(text), text.constData());
        const PdfSnapshot original = PdfSnapshot::read(input);
        QVERIFY(!original.hadWarnings());
        const QString output = TestFiles::write(path("objects-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QVERIFY2(stripped.removals.contains(removal), qPrintable(stripped.removals.join('|')));
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        QVERIFY(TestPrograms::run("qpdf", {"--check", output}));
        const QByteArray after = expanded(output);
        for (const QByteArray& text : gone)
            QVERIFY2(!after.contains(text), text.constData());
        for (const QByteArray& text : kept)
            QVERIFY2(after.contains(text), text.constData());
        QCOMPARE(PdfSnapshot::read(output).pageShapes(), original.pageShapes());
        // The original itself, as a result, still holds it.
        const QString left = StripCheck::verify(original, input, stripped).reason;
        QVERIFY2(left.startsWith(QStringLiteral("the result still has ") + refusal),
                 qPrintable(left));
    }

    // A result that dropped an attached file from the list of attachments is turned down, though
    // the catalog keeps its entries.
    void checkCountsAttachedFiles() {
        const auto file = [this](const QString& name, const QByteArray& attachments) {
            return TestFiles::write(
                path(name),
                TestFiles::pdfOf({"<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << "
                                  "/Names [" +
                                      attachments + "] >> >> >>",
                                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>",
                                  "<< /Type /Filespec /F (a.txt) /EF << /F 5 0 R >> >>",
                                  streamObject("/Type /EmbeddedFile", "attached text")}));
        };
        const QString input = file("attached.pdf", "(a.txt) 4 0 R");
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("attached-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QCOMPARE(stripped.attachedFiles, 1);
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        QCOMPARE(StripCheck::verify(original, file("unattached.pdf", {}), stripped).reason,
                 QStringLiteral("the result lost 1 of 1 attached files"));
    }

    // An unencrypted copy shares no part of its document ID with the original, which would
    // tie the two together; an encrypted one keeps it, as its key is made from it.
    void documentIdIsNew() {
        const QByteArray id =
            "/ID [<00112233445566778899aabbccddeeff> <ffeeddccbbaa99887766554433221100>]";
        const QString input = TestFiles::write(
            path("id.pdf"), TestFiles::pdfOf({"<< /Type /Catalog /Pages 2 0 R >>",
                                              "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 "
                                              "200] >>"},
                                             id));
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("id-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QVERIFY(stripped.removals.contains("the document ID"));
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        QByteArray trailer;
        QVERIFY(TestPrograms::run("qpdf", {"--show-object=trailer", output}, &trailer));
        QVERIFY2(trailer.contains("/ID [ <"), trailer.constData());
        QVERIFY2(!trailer.contains("00112233445566778899aabbccddeeff") &&
                     !trailer.contains("ffeeddccbbaa99887766554433221100"),
                 trailer.constData());
        QCOMPARE(StripCheck::verify(original, input, stripped).reason,
                 QStringLiteral("the result has the original's document ID"));

        const QString locked =
            TestPrograms::encrypted(input, path("id-locked.pdf"), {"user", "owner", "256"});
        QVERIFY(!locked.isEmpty());
        QByteArray lockedTrailer;
        QVERIFY(TestPrograms::run("qpdf", {"--show-object=trailer", "--password=user", locked},
                                  &lockedTrailer));
        const QString lockedOut = TestFiles::write(path("id-locked-out.pdf"), {});
        const PdfStripper::Stripped lockedStripped =
            PdfStripper::strip(locked, QStringLiteral("user"), {}, lockedOut);
        QVERIFY(!lockedStripped.removals.contains("the document ID"));
        QCOMPARE(StripCheck::verify(PdfSnapshot::read(locked, QStringLiteral("user")), lockedOut,
                                    lockedStripped, QStringLiteral("user"))
                     .reason,
                 QString());
        QByteArray lockedOutTrailer;
        QVERIFY(TestPrograms::run("qpdf", {"--show-object=trailer", "--password=user", lockedOut},
                                  &lockedOutTrailer));
        const QRegularExpression idOf(R"(/ID \[ <([0-9a-f]+)>)");
        const QString lockedFirst = idOf.match(QString::fromLatin1(lockedTrailer)).captured(1);
        QVERIFY(!lockedFirst.isEmpty());
        QCOMPARE(idOf.match(QString::fromLatin1(lockedOutTrailer)).captured(1), lockedFirst);
    }

    // JPEG images, wherever the document keeps them, lose the metadata segments a camera and
    // the applications after it left; their pictures stay byte for byte, their colour markers
    // with them.
    void stripsJpegImages_data() {
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<QByteArray>("filters");
        // A protected file's images are written encrypted again.
        QTest::addColumn<QString>("password");
        // A camera's preview after the end of the image, with metadata of its own.
        QTest::addColumn<bool>("appended");
        QTest::newRow("image") << QByteArray("/Extra 9 0 R") << QByteArray("/Filter /DCTDecode")
                               << QString() << false;
        QTest::newRow("with decode parameters")
            << QByteArray("/Extra 9 0 R")
            << QByteArray("/Filter [/DCTDecode] /DecodeParms << /ColorTransform 1 >>") << QString()
            << false;
        QTest::newRow("compressed, in a form")
            << QByteArray("/Extra 10 0 R")
            << QByteArray("/Filter [/FlateDecode /DCTDecode] /DecodeParms [null null]") << QString()
            << false;
        QTest::newRow("protected") << QByteArray("/Extra 10 0 R")
                                   << QByteArray("/Filter /DCTDecode") << QString("user") << false;
        QTest::newRow("picture appended")
            << QByteArray("/Extra 9 0 R") << QByteArray("/Filter /DCTDecode") << QString() << true;
    }
    void stripsJpegImages() {
        QFETCH(QByteArray, catalog);
        QFETCH(QByteArray, filters);
        QFETCH(QString, password);
        QFETCH(bool, appended);
        const QByteArray photo = TestFiles::photoWithMetadata(path("photo.jpg"));
        QVERIFY(!photo.isEmpty());
        const QStringList identifying{"-GPSLatitude", "-GPSLongitude", "-SerialNumber",
                                      "-Comment",     "-XMP:all",      "-IPTC:all"};
        const QStringList colours{"-JFIFVersion", "-ProfileDescription"};
        QVERIFY(TestFiles::photoTags(photo, path("check.jpg"), identifying).contains("By-line"));
        const QByteArray kept = TestFiles::photoTags(photo, path("check.jpg"), colours);
        QVERIFY(kept.contains("JFIFVersion") && kept.contains("ProfileDescription"));
        const QByteArray image = appended ? photo + photo : photo;
        const QByteArray data = filters.contains("/FlateDecode") ? qCompress(image).mid(4) : image;
        QString input = madeFile(
            "photo.pdf", catalog,
            {streamObject("/Type /XObject /Subtype /Image /Width 16 /Height 16 /ColorSpace "
                          "/DeviceRGB /BitsPerComponent 8 " +
                              filters,
                          data),
             streamObject("/Type /XObject /Subtype /Form /BBox [0 0 16 16] /Resources << "
                          "/XObject << /Im1 9 0 R >> >>",
                          "q 16 0 0 16 0 0 cm /Im1 Do Q")});
        QVERIFY(!input.isEmpty());
        QCOMPARE(TestFiles::jpegImages(input), QList<QByteArray>{image});
        std::optional<QString> opening;
        if (!password.isEmpty()) {
            input = TestPrograms::encrypted(input, path("photo-locked.pdf"),
                                            {password, "owner", "256"});
            QVERIFY(!input.isEmpty());
            opening = password;
        }
        const PdfSnapshot original = PdfSnapshot::read(input, opening);
        const QString output = TestFiles::write(path("photo-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, opening, {}, output);
        QCOMPARE(StripCheck::verify(original, output, stripped, opening).reason, QString());
        QCOMPARE(
            stripped.removals.mid(4),
            QStringList({"EXIF data (with a GPS position) in 1 image", "XMP metadata in 1 image",
                         "Photoshop and IPTC data in 1 image", "comments in 1 image"}) +
                (appended ? QStringList{"other pictures appended in 1 image"} : QStringList()));
        QVERIFY(TestPrograms::run("qpdf", {"--check", "--password=" + password, output}));
        QString readable = output;
        if (!password.isEmpty()) {
            QCOMPARE(PdfSnapshot::read(output, QStringLiteral("owner")).encryption(),
                     original.encryption());
            readable = path("photo-open.pdf");
            QVERIFY(TestPrograms::run("qpdf",
                                      {"--password=" + password, "--decrypt", output, readable}));
        }

        const QList<QByteArray> images = TestFiles::jpegImages(readable);
        QCOMPARE(images.size(), 1);
        const QByteArray result = images.first();
        QCOMPARE(TestFiles::photoTags(result, path("result.jpg"), identifying), QByteArray());
        QCOMPARE(TestFiles::photoTags(result, path("result.jpg"), colours), kept);
        for (const char* secret : {"CAM-SERIAL-4711", "Anna Example"})
            QVERIFY2(!result.contains(secret), secret);
        // From the start of the scan to the end of the image, the picture is the very same.
        const qsizetype scan = result.indexOf("\xFF\xDA");
        QVERIFY(scan > 0);
        QVERIFY(photo.endsWith(result.mid(scan)));
        QVERIFY(result.size() < photo.size());
    }

    // An image that cannot be walked up to its picture is left whole, as is one behind filters
    // that strip would not write again as they were; the check turns the result down when it
    // still holds metadata segments.
    void checkFindsMetadataLeftInImages_data() {
        QTest::addColumn<QByteArray>("filters");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("found");
        const QByteArray photo = TestFiles::photoWithMetadata(path("left.jpg"));
        QVERIFY(!photo.isEmpty());
        // A comment, then a segment longer than the image.
        QTest::newRow("cannot be read")
            << QByteArray("/Filter /DCTDecode")
            << QByteArray("\xFF\xD8\xFF\xFE\x00\x0FTaken by Anna", 19) + "\xFF\xE1\x7F\xFF" + "Exif"
            << "comments";
        QTest::newRow("behind another filter")
            << QByteArray("/Filter [/ASCIIHexDecode /DCTDecode]") << photo.toHex() + ">"
            << "EXIF data";
        QTest::newRow("compressed with parameters")
            << QByteArray(
                   "/Filter [/FlateDecode /DCTDecode] /DecodeParms [<< /Predictor 1 >> null]")
            << qCompress(photo).mid(4) << "EXIF data";
    }
    void checkFindsMetadataLeftInImages() {
        QFETCH(QByteArray, filters);
        QFETCH(QByteArray, data);
        QFETCH(QString, found);
        const QString input = madeFile(
            "left.pdf", "/Extra 9 0 R",
            {streamObject("/Type /XObject /Subtype /Image /Width 16 /Height 16 /ColorSpace "
                          "/DeviceRGB /BitsPerComponent 8 " +
                              filters,
                          data)});
        QVERIFY(!input.isEmpty());
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("left-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QCOMPARE(stripped.removals.filter("image").size(), 0);
        QVERIFY(TestFiles::bytes(output).contains(data));
        QCOMPARE(StripCheck::verify(original, output, stripped).reason,
                 QStringLiteral("the result still holds %1 in an image").arg(found));
    }

    void protectedFileStaysProtected() {
        const QString plain = madeFile("plain.pdf");
        const QString locked =
            TestPrograms::encrypted(plain, path("locked.pdf"), {"user", "owner", "256"});
        QVERIFY(!locked.isEmpty());
        const PdfSnapshot original = PdfSnapshot::read(locked, QStringLiteral("user"));
        const QString output = TestFiles::write(path("locked-out.pdf"), {});
        const PdfStripper::Stripped stripped =
            PdfStripper::strip(locked, QStringLiteral("user"), {}, output);
        QCOMPARE(StripCheck::verify(original, output, stripped, QStringLiteral("user")).reason,
                 QString());
        QVERIFY_THROWS_EXCEPTION(Failure, PdfSnapshot::read(output));
        QCOMPARE(PdfSnapshot::read(output, QStringLiteral("owner")).encryption(),
                 original.encryption());
        const QByteArray text = expanded(output, "user");
        QVERIFY(text.contains(pageContent));
        for (const QString& secret : secrets)
            QVERIFY2(!text.contains(secret.toUtf8()), qPrintable(secret));
    }

    // A PDF/A-3 e-invoice keeps the properties naming its attached invoice and their
    // declaration, which readers of the invoice look for; nothing else of the packet stays.
    void pdfaInvoiceKeepsItsProperties() {
        const QString corpus =
            TestFiles::copyCorpusFile("crazyones-pdfa.pdf", dir_.path(), "invoice-in.pdf");
        const QByteArray invoicePacket =
            R"(<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>)"
            R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
            R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description )"
            R"(rdf:about="" xmlns:pdfaid="http://www.aiim.org/pdfa/ns/id/" )"
            R"(xmlns:fx="urn:factur-x:pdfa:CEFACT:invoice:1p0#" )"
            R"(xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:my="http://example.com/private/ns/" )"
            R"(xmlns:pdfaExtension="http://www.aiim.org/pdfa/ns/extension/" )"
            R"(xmlns:pdfaSchema="http://www.aiim.org/pdfa/ns/schema#" )"
            R"(xmlns:pdfaProperty="http://www.aiim.org/pdfa/ns/property#">)"
            R"(<pdfaid:part>3</pdfaid:part><pdfaid:conformance>B</pdfaid:conformance>)"
            R"(<fx:DocumentType>INVOICE</fx:DocumentType>)"
            R"(<fx:DocumentFileName>factur-x.xml</fx:DocumentFileName>)"
            R"(<fx:Version>1.0</fx:Version><fx:ConformanceLevel>EN 16931</fx:ConformanceLevel>)"
            R"(<dc:creator><rdf:Seq><rdf:li>Anna Example</rdf:li></rdf:Seq></dc:creator>)"
            R"(<my:Department>Secret Accounts Dept</my:Department>)"
            R"(<pdfaExtension:schemas><rdf:Bag>)"
            R"(<rdf:li rdf:parseType="Resource"><pdfaSchema:schema>Private schema</pdfaSchema:schema>)"
            R"(<pdfaSchema:namespaceURI>http://example.com/private/ns/</pdfaSchema:namespaceURI>)"
            R"(<pdfaSchema:prefix>my</pdfaSchema:prefix><pdfaSchema:property><rdf:Seq>)"
            R"(<rdf:li rdf:parseType="Resource"><pdfaProperty:name>Department</pdfaProperty:name>)"
            R"(<pdfaProperty:valueType>Text</pdfaProperty:valueType>)"
            R"(<pdfaProperty:category>external</pdfaProperty:category>)"
            R"(<pdfaProperty:description>Who made it</pdfaProperty:description>)"
            R"(</rdf:li></rdf:Seq></pdfaSchema:property></rdf:li>)"
            R"(<rdf:li rdf:parseType="Resource"><pdfaSchema:schema>Factur-X schema</pdfaSchema:schema>)"
            R"(<pdfaSchema:namespaceURI>urn:factur-x:pdfa:CEFACT:invoice:1p0#</pdfaSchema:namespaceURI>)"
            R"(<pdfaSchema:prefix>fx</pdfaSchema:prefix><pdfaSchema:property><rdf:Seq>)"
            R"(<rdf:li rdf:parseType="Resource"><pdfaProperty:name>DocumentFileName</pdfaProperty:name>)"
            R"(<pdfaProperty:valueType>Text</pdfaProperty:valueType>)"
            R"(<pdfaProperty:category>external</pdfaProperty:category>)"
            R"(<pdfaProperty:description>The name of the invoice file</pdfaProperty:description>)"
            R"(</rdf:li></rdf:Seq></pdfaSchema:property></rdf:li>)"
            R"(</rdf:Bag></pdfaExtension:schemas>)"
            R"(</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end="w"?>)";
        const QString input = TestFiles::write(
            path("invoice.pdf"), XmpPacket::withPacket(corpus, std::nullopt, invoicePacket));
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString output = TestFiles::write(path("invoice-out.pdf"), {});
        const PdfStripper::Stripped stripped = PdfStripper::strip(input, std::nullopt, {}, output);
        QVERIFY(stripped.conformance);
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        const QByteArray packet = XmpPacket::readFromPdf(output, std::nullopt).value_or("");
        for (const char* kept :
             {"pdfaid:part", "INVOICE", "factur-x.xml", "EN 16931", "Factur-X schema",
              "urn:factur-x:pdfa:CEFACT:invoice:1p0#", "The name of the invoice file"})
            QVERIFY2(packet.contains(kept), kept);
        for (const char* gone :
             {"Anna Example", "Secret Accounts Dept", "Private schema", "example.com", "Who made"})
            QVERIFY2(!packet.contains(gone), gone);
        QVERIFY(XmpPacket::read(packet).isEmpty());
    }

    void pdfaKeepsItsIdentification() {
        const QString input =
            TestFiles::copyCorpusFile("crazyones-pdfa.pdf", dir_.path(), "pdfa.pdf");
        const PdfSnapshot original = PdfSnapshot::read(input);
        const std::optional<QString> producer = original.infoValue("Producer");
        QVERIFY(producer && !producer->isEmpty());
        const QString output = TestFiles::write(path("pdfa-out.pdf"), {});
        const PdfStripper::Stripped stripped =
            PdfStripper::strip(input, std::nullopt, {InfoField::Producer}, output);
        QVERIFY(stripped.conformance);
        QCOMPARE(StripCheck::verify(original, output, stripped).reason, QString());
        const QByteArray packet = XmpPacket::readFromPdf(output, std::nullopt).value_or("");
        QVERIFY(packet.contains("pdfaid:part"));
        QVERIFY(packet.contains("pdfaid:conformance"));
        const QMap<QString, QString> values = XmpPacket::read(packet);
        QCOMPARE(values.keys(), QStringList{"Producer"});
        QCOMPARE(values.value("Producer"), *producer);
        QCOMPARE(PdfSnapshot::read(output).info().keys(), QStringList{"Producer"});
    }
};

QTEST_GUILESS_MAIN(PdfStripperTest)
#include "PdfStripperTest.moc"
