#include "KeptContent.h"

#include "TestFiles.h"

#include <QStringEncoder>
#include <QTest>
#include <qpdf/QPDF.hh>

namespace {

using Objects = QList<QByteArray>;
using TestFiles::streamObject;

QByteArray be32(quint32 value) {
    return QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(8, '0'));
}

// A colour profile whose only tag entry is 'desc' at offset, with tag as its data.
QByteArray profile(const QByteArray& tag, quint32 offset = 144) {
    const QByteArray tags = be32(1) + "desc" + be32(offset) + be32(quint32(tag.size())) + tag;
    return be32(quint32(128 + tags.size())) + QByteArray(124, '\0') + tags;
}

// Version 2's ASCII description, with the count it claims.
QByteArray asciiTag(const QByteArray& text, quint32 count) {
    return "desc" + QByteArray(4, '\0') + be32(count) + text;
}

// Version 4's localized description with one record, in English.
QByteArray mlucTag(const QString& text, quint32 offset = 28) {
    const QByteArray bigEndian = QStringEncoder(QStringEncoder::Utf16BE)(text);
    return "mluc" + QByteArray(4, '\0') + be32(1) + be32(12) + "enUS" +
           be32(quint32(bigEndian.size())) + be32(offset) + bigEndian;
}

const QByteArray js = "<< /S /JavaScript /JS (app.alert\\(1\\)) >>";
const QByteArray uri = "<< /S /URI /URI (https://example.com/) >>";
const QByteArray box = " /Subtype /Widget /Rect [0 0 50 20] ";

QByteArray field(const QByteArray& entries) {
    return "<< /FT /Tx " + entries + " >>";
}

void row(const char* name, const QByteArray& catalog, const QByteArray& page,
         const Objects& objects, const QStringList& expected) {
    QTest::newRow(name) << catalog << page << objects << expected;
}

} // namespace

class KeptContentTest : public QObject {
    Q_OBJECT

private slots:
    void phrases_data() {
        QTest::addColumn<QByteArray>("catalog");
        QTest::addColumn<QByteArray>("page");
        // Numbered from 4, after the catalog, the page tree and the page.
        QTest::addColumn<Objects>("objects");
        QTest::addColumn<QStringList>("expected");

        row("actions without scripts", "/OpenAction " + uri + " /AA << /WC " + uri + " >>",
            "/Annots [4 0 R]", Objects{"<< /Subtype /Link /Rect [0 0 9 9] /A " + uri + " >>"}, {});
        row("document scripts, a name tree with a loop", "/Names << /JavaScript 4 0 R >>", "",
            Objects{"<< /Kids [5 0 R 4 0 R] >>",
                    "<< /Names [(a) " + js + " (b) " + js + " (c) " + uri + "] >>"},
            QStringList{"document-level JavaScript (2 scripts)"});
        // A field with scripts in itself and its widget counts once; a widget outside the tree
        // is a field of its own.
        row("fields", "/AcroForm << /Fields [4 0 R 6 0 R] >>", "/Annots [5 0 R 6 0 R 7 0 R]",
            Objects{field("/T (total) /AA << /C " + js + " >> /Kids [5 0 R]"),
                    "<< /Parent 4 0 R" + box + "/A " + js + " >>",
                    field("/T (sum)" + box + "/AA << /K " + js + " >>"),
                    "<<" + box + "/A " + js + " >>"},
            QStringList{"JavaScript in 3 form fields"});
        row("links", "", "/Annots [4 0 R 5 0 R]",
            Objects{"<< /Subtype /Link /A << /S /URI /URI (u) /Next [" + js + "] >> >>",
                    "<< /Subtype /Link /A " + uri + " >>"},
            QStringList{"JavaScript in 1 link"});
        // Hidden by a flag, by a rectangle without area, by all widgets' flags; and not: a shown
        // field, an empty value, a box that is off; the parent's name and value are inherited.
        row("hidden fields", "/AcroForm << /Fields [4 0 R 7 0 R 10 0 R 11 0 R 12 0 R] >>",
            "/Annots [5 0 R 6 0 R 8 0 R 9 0 R 10 0 R 11 0 R 12 0 R]",
            Objects{field("/T (person) /V (Jane Clerk) /Kids [5 0 R 6 0 R 4 0 R]"),
                    field("/T (ssn) /Parent 4 0 R /V (123-45-6789) /F 2" + box),
                    field("/T (clerk) /Parent 4 0 R /Subtype /Widget /Rect [0 0 0 20]"),
                    field("/T (agent) /V (Bond) /Kids [8 0 R 9 0 R]"),
                    "<< /Parent 7 0 R /F 32" + box + ">>", "<< /Parent 7 0 R /F 2" + box + ">>",
                    field("/T (name) /V (Anna)" + box), field("/T (empty) /V () /F 2" + box),
                    "<< /FT /Btn /T (box) /V /Off /F 2" + box + ">>"},
            QStringList{"the values of 3 hidden form fields: \"person.ssn\", \"person.clerk\", "
                        "\"agent\""});
        row("field on no page", "/AcroForm << /Fields [4 0 R] >>", "",
            Objects{field("/T (note) /V (x)" + box)},
            QStringList{"the value of 1 hidden form field: \"note\""});
        row("in their order",
            "/OpenAction << /S /GoTo /D [3 0 R /Fit] /Next [" + uri + js + "] >> /AA << /WP " +
                uri + " /DS " + js + " >> /URI << /Base (https://intranet.example.com/) >> " +
                "/OCProperties << /OCGs [4 0 R] >>",
            "/AA << /O " + js + " >>", Objects{"<< /Type /OCG /Name (Draft) >>"},
            QStringList{"JavaScript that runs when the document opens",
                        "JavaScript in the document's actions",
                        "JavaScript in the actions of 1 page",
                        "a base address for links: \"https://intranet.example.com/\"",
                        "the name of 1 layer: \"Draft\""});
        // A name on one line, without a mark that turns the text around, and cut when long.
        Objects layers;
        for (const QByteArray& name :
             Objects{"(Draft)", "(Inter\\nnal)", "<FEFF202E004E006F007400650073>", "(Legal)",
                     "(" + QByteArray(90, 'P') + ")", "(Web)", "(Old)"})
            layers << "<< /Type /OCG /Name " + name + " >>";
        row("layers", "/OCProperties << /OCGs [4 0 R 5 0 R 6 0 R 7 0 R 8 0 R 9 0 R 10 0 R] >>", "",
            layers,
            QStringList{
                "the names of 7 layers: \"Draft\", \"Inter nal\", \"Notes\", \"Legal\", \"" +
                QString(79, u'P') + u'\u2026' + "\" and 2 more"});
        // The same stream twice and the same description in another, from the page, an image in
        // a form it places and the output intents; one of them written in hexadecimal.
        row("profiles", "/OutputIntents [<< /S /GTS_PDFX /DestOutputProfile 8 0 R >>]",
            "/Resources << /ColorSpace << /A [/ICCBased 4 0 R] /B [/Indexed [/ICCBased 4 0 R] "
            "0 <000000>] >> /XObject << /F 5 0 R >> >>",
            Objects{
                streamObject("", profile(asciiTag(QByteArray("Proof for ACME press\0", 21), 21))),
                streamObject("/Subtype /Form /Resources << /XObject << /I 6 0 R >> >>", ""),
                streamObject("/Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 "
                             "/ColorSpace [/ICCBased 7 0 R]",
                             "\x80"),
                streamObject("/Filter /ASCIIHexDecode",
                             profile(mlucTag("sRGB IEC61966-2.1")).toHex() + '>'),
                streamObject("", profile(asciiTag("Proof for ACME press", 20)))},
            QStringList{"the descriptions of 2 ICC profiles: \"Proof for ACME press\", "
                        "\"sRGB IEC61966-2.1\""});
        // Cut short, a tag past the end, a text past its tag; a count past the tag is read only
        // as far as the tag goes.
        row("hostile profiles", "",
            "/Resources << /ColorSpace << /A [/ICCBased 4 0 R] /B [/ICCBased 5 0 R] "
            "/C [/ICCBased 6 0 R] /D [/ICCBased 7 0 R] >> >>",
            Objects{streamObject("", profile(asciiTag("Lost", 4)).left(140)),
                    streamObject("", profile(asciiTag("Lost", 4), 0xFFFFFFF0)),
                    streamObject("", profile(mlucTag("Lost", 0xFFFFFFF0))),
                    streamObject("", profile(asciiTag("Cut", 0xFFFFFFFF)) + "Overrun")},
            QStringList{"the description of 1 ICC profile: \"Cut\""});
    }

    void phrases() {
        QFETCH(QByteArray, catalog);
        QFETCH(QByteArray, page);
        QFETCH(Objects, objects);
        QFETCH(QStringList, expected);
        const QByteArray file = TestFiles::pdfOf(
            Objects{"<< /Type /Catalog /Pages 2 0 R " + catalog + " >>",
                    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] " + page + " >>"} +
            objects);
        QPDF pdf;
        pdf.processMemoryFile("test", file.constData(), size_t(file.size()));
        QCOMPARE(KeptContent::in(pdf), expected);
        // Nothing it looked at was taken for damage.
        QVERIFY(!pdf.anyWarnings());
    }
};

QTEST_GUILESS_MAIN(KeptContentTest)
#include "KeptContentTest.moc"
