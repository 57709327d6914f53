#include "SignedPdf.h"

#include "TestFiles.h"
#include "TestPrograms.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <utility>

namespace {

// What qpdf prints of the file with these arguments; empty when it fails.
QString qpdfSays(const QStringList& arguments, const QString& file) {
    QByteArray text;
    if (!TestPrograms::run("qpdf", arguments + QStringList{file}, &text))
        return {};
    return QString::fromLatin1(text).trimmed();
}

QString captured(const QString& pattern, const QString& text) {
    return QRegularExpression(pattern).match(text).captured(1);
}

// A number in a fixed width, so that filling it in moves nothing.
QByteArray fixed(qint64 number) {
    return QByteArray::number(number).rightJustified(10, '0');
}

} // namespace

SignedPdf::SignedPdf(QString folder) : folder_(std::move(folder)) {}

QString SignedPdf::fail(const QString& why) {
    why_ = why;
    return {};
}

QString SignedPdf::make(const QString& corpusName, const QString& name, const Options& options) {
    const bool streams = options.streams;
    const int certification = options.certification;
    const QString key = folder_ + "/key.pem";
    const QString certificate = folder_ + "/cert.pem";
    if (!QFile::exists(certificate) &&
        !TestPrograms::run("openssl",
                           {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Test",
                            "-days", "2", "-keyout", key, "-out", certificate}))
        return fail("openssl made no certificate");
    const QString base = folder_ + "/base-" + name;
    if (!TestPrograms::run("qpdf",
                           {streams ? "--object-streams=generate" : "--object-streams=disable",
                            TestFiles::corpusFolder() + "/" + corpusName, base}))
        return fail("qpdf did not rewrite " + corpusName);

    const QString trailer = qpdfSays({"--show-object=trailer"}, base);
    const int root = captured("/Root (\\d+) 0 R", trailer).toInt();
    const QString info = captured("/Info (\\d+ \\d+ R)", trailer);
    const QString id = captured("(/ID \\[[^\\]]*\\])", trailer);
    const int size = captured("/Size (\\d+)", trailer).toInt();
    const int page = captured("page 1: (\\d+) 0 R", qpdfSays({"--show-pages"}, base)).toInt();
    const QString catalog = qpdfSays({"--show-object=" + QString::number(root)}, base);
    const QString pageObject = qpdfSays({"--show-object=" + QString::number(page)}, base);
    if (root == 0 || size == 0 || page == 0 || !catalog.startsWith("<<") ||
        !pageObject.startsWith("<<") || catalog.contains("/AcroForm") ||
        pageObject.contains("/Annots"))
        return fail("the corpus file does not take a signature field as made here");

    QByteArray bytes = TestFiles::bytes(base);
    const qsizetype keyword = bytes.lastIndexOf("startxref");
    const QByteArray previous = bytes.mid(keyword + 9, 24).trimmed().split('\n').value(0).trimmed();
    if (!bytes.endsWith('\n'))
        bytes += '\n';

    // The update: the catalog with the form, the first page with the field's widget, the field,
    // its signature and the form; numbered after the file's objects.
    const int field = size;
    const int signature = size + 1;
    const int form = size + 2;
    const int widget = options.typeFromParent ? size + 3 : field;
    const int section = options.typeFromParent ? size + 4 : size + 3;
    const int placeholder = 8192;
    const QByteArray permissions =
        certification == 0 ? QByteArray()
                           : " /Perms << /DocMDP " + QByteArray::number(signature) + " 0 R >>";
    const QByteArray reference = certification == 0
                                     ? QByteArray()
                                     : " /Reference [ << /Type /SigRef /TransformMethod /DocMDP "
                                       "/TransformParams << /Type /TransformParams /P " +
                                           QByteArray::number(certification) + " /V /1.2 >> >> ]";
    QMap<int, QByteArray> objects;
    objects[root] = catalog.toLatin1().replace(
        0, 2, "<< /AcroForm " + QByteArray::number(form) + " 0 R" + permissions);
    objects[page] = pageObject.toLatin1().replace(
        0, 2, "<< /Annots [ " + QByteArray::number(widget) + " 0 R ]");
    const QByteArray annotation = "/Type /Annot /Subtype /Widget /F 132 /Rect [ 0 0 0 0 ] /P " +
                                  QByteArray::number(page) + " 0 R";
    const QByteArray value = "/T (Signature1) /V " + QByteArray::number(signature) + " 0 R";
    if (options.typeFromParent) {
        objects[field] =
            "<< /FT /Sig /T (Signatures) /Kids [ " + QByteArray::number(widget) + " 0 R ] >>";
        objects[widget] =
            "<< " + annotation + ' ' + value + " /Parent " + QByteArray::number(field) + " 0 R >>";
    } else {
        objects[field] = "<< " + annotation + " /FT /Sig " + value + " >>";
    }
    objects[signature] = "<< /Type /Sig /Filter /Adobe.PPKLite /SubFilter /adbe.pkcs7.detached "
                         "/ByteRange [ 0 ********** ********** ********** ] /Contents <" +
                         QByteArray(placeholder, '0') + "> /M (D:20260101000000Z)" + reference +
                         " >>";
    objects[form] = "<< /Fields [ " + QByteArray::number(field) + " 0 R ] /SigFlags 3 >>";
    QMap<int, qint64> offsets;
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        offsets[object.key()] = bytes.size();
        bytes += QByteArray::number(object.key()) + " 0 obj\n" + object.value() + "\nendobj\n";
    }
    const qint64 start = bytes.size();
    const QByteArray entries = "/Root " + QByteArray::number(root) + " 0 R /Info " +
                               info.toLatin1() + " /Prev " + previous + ' ' + id.toLatin1();
    if (streams) {
        offsets[section] = start;
        QByteArray table;
        QByteArray index;
        for (auto offset = offsets.cbegin(); offset != offsets.cend(); ++offset) {
            index += QByteArray::number(offset.key()) + " 1 ";
            table += char(1);
            for (int byte = 3; byte >= 0; --byte)
                table += char((offset.value() >> (8 * byte)) & 0xff);
            table += QByteArray(2, '\0');
        }
        bytes += QByteArray::number(section) + " 0 obj\n<< /Type /XRef /Size " +
                 QByteArray::number(section + 1) + " /W [ 1 4 2 ] /Index [ " + index + "] " +
                 entries + " /Length " + QByteArray::number(table.size()) + " >>\nstream\n" +
                 table + "\nendstream\nendobj\n";
    } else {
        bytes += "xref\n";
        for (auto offset = offsets.cbegin(); offset != offsets.cend(); ++offset)
            bytes +=
                QByteArray::number(offset.key()) + " 1\n" + fixed(offset.value()) + " 00000 n \n";
        bytes += "trailer\n<< /Size " + QByteArray::number(section) + ' ' + entries + " >>\n";
    }
    bytes += "startxref\n" + QByteArray::number(start) + "\n%%EOF\n";

    // Signed are the bytes before the placeholder's "<" and after its ">".
    const qsizetype contents = bytes.indexOf("/Contents <") + 10;
    const qsizetype after = contents + placeholder + 2;
    bytes.replace(bytes.indexOf("********** ********** **********"), 32,
                  fixed(contents) + ' ' + fixed(after) + ' ' + fixed(bytes.size() - after));
    const QString content =
        TestFiles::write(folder_ + "/content-" + name, bytes.left(contents) + bytes.mid(after));
    const QString signatureFile = folder_ + "/signature-" + name;
    if (!TestPrograms::run("openssl",
                           {"cms", "-sign", "-binary", "-outform", "DER", "-signer", certificate,
                            "-inkey", key, "-in", content, "-out", signatureFile}))
        return fail("openssl did not sign");
    const QByteArray signed_ = TestFiles::bytes(signatureFile).toHex();
    if (signed_.isEmpty() || signed_.size() > placeholder)
        return fail("the signature does not fit its placeholder");
    bytes.replace(contents + 1, signed_.size(), signed_);
    return TestFiles::write(folder_ + "/" + name, bytes);
}

QByteArray SignedPdf::report(const QString& path) {
    // pdfsig's status tells of the certificate too, which no test trusts; its report is read.
    QProcess pdfsig;
    pdfsig.start("pdfsig", {path});
    if (!pdfsig.waitForFinished(60000))
        return {};
    return pdfsig.readAllStandardOutput();
}
