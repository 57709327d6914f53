#include "JpegMarkers.h"

#include <QTest>

namespace {

// The bytes of a literal, zeros included.
template <qsizetype size> QByteArray raw(const char (&text)[size]) {
    return QByteArray(text, size - 1);
}

QByteArray segment(unsigned char marker, const QByteArray& payload) {
    const qsizetype length = payload.size() + 2;
    return QByteArray("\xFF") + char(marker) + char(length >> 8) + char(length & 0xFF) + payload;
}

// A TIFF structure in Intel's byte order whose first directory points to a GPS directory with
// the given tags.
QByteArray exifPayload(const QList<quint16>& gpsTags) {
    const auto number = [](quint32 value, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i)
            out += char((value >> (8 * i)) & 0xFF);
        return out;
    };
    // Header (8), first directory: one entry (2 + 12 + 4), then the GPS directory.
    QByteArray tiff = "II" + number(42, 2) + number(8, 4);
    tiff += number(1, 2) + number(0x8825, 2) + number(4, 2) + number(1, 4) + number(26, 4) +
            number(0, 4);
    tiff += number(quint32(gpsTags.size()), 2);
    for (quint16 tag : gpsTags)
        tiff += number(tag, 2) + number(5, 2) + number(3, 4) + number(0, 4);
    return raw("Exif\0\0") + tiff + number(0, 4);
}

const QByteArray start("\xFF\xD8", 2);
const QByteArray jfif = segment(0xE0, raw("JFIF\0\x01\x02\0\0\x01\0\x01\0\0"));
const QByteArray jfxx = segment(0xE0, raw("JFXX\0\x10thumbnail"));
const QByteArray exifWithPosition = segment(0xE1, exifPayload({0x0000, 0x0002, 0x0004}));
const QByteArray exifWithoutPosition = segment(0xE1, exifPayload({0x0000}));
const QByteArray xmp = segment(0xE1, raw("http://ns.adobe.com/xap/1.0/\0<x/>"));
const QByteArray extendedXmp = segment(0xE1, raw("http://ns.adobe.com/xmp/extension/\0rest"));
const QByteArray icc1 = segment(0xE2, raw("ICC_PROFILE\0\x01\x02profile"));
const QByteArray icc2 = segment(0xE2, raw("ICC_PROFILE\0\x02\x02rest"));
const QByteArray flashPix = segment(0xE2, raw("FPXR\0contents"));
const QByteArray app3 = segment(0xE3, raw("Meta\0data"));
const QByteArray photoshop = segment(0xED, raw("Photoshop 3.0\08BIM\x04\x04iptc"));
const QByteArray adobe = segment(0xEE, raw("Adobe\0\x64\0\0\0\0\x01"));
const QByteArray app15 = segment(0xEF, "whatever");
const QByteArray note = segment(0xFE, "Taken by Anna Example");
const QByteArray tables = segment(0xDB, QByteArray(65, '\x01')) + segment(0xDD, raw("\0\x10")) +
                          segment(0xC0, raw("\x08\0\x10\0\x10\x01\x01\x11\0")) +
                          segment(0xC4, raw("\0\x01\x02\x03"));
// The scan: its header, entropy-coded data with a stuffed byte and a restart, a later
// comment and scan as a progressive image has, and the end.
const QByteArray scan = segment(0xDA, raw("\x01\x01\0\0\x3F\0")) +
                        raw("\x12\xFF\0\x34\xFF\xD0\x56") + note +
                        segment(0xDA, raw("\x01\x01\0\0\x3F\0")) + raw("\x78\xFF\xD9");

using Kinds = unsigned;

} // namespace

class JpegMarkersTest : public QObject {
    Q_OBJECT

private slots:
    void strips_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<Kinds>("kinds");
        QTest::newRow("every kind")
            << start + jfif + exifWithPosition + xmp + extendedXmp + icc1 + flashPix + icc2 + app3 +
                   photoshop + adobe + app15 + note + tables + scan
            << start + jfif + icc1 + icc2 + adobe + tables + scan
            << Kinds(JpegMarkers::Exif | JpegMarkers::GpsPosition | JpegMarkers::Xmp |
                     JpegMarkers::OtherApplication | JpegMarkers::Photoshop | JpegMarkers::Comment);
        QTest::newRow("EXIF without a position")
            << start + exifWithoutPosition + tables + scan << start + tables + scan
            << Kinds(JpegMarkers::Exif);
        QTest::newRow("JFIF thumbnail")
            << start + jfif + jfxx + tables + scan << start + jfif + tables + scan
            << Kinds(JpegMarkers::Thumbnail);
        QTest::newRow("fill bytes before markers")
            << start + "\xFF\xFF" + note + "\xFF" + jfif + tables + scan
            << start + "\xFF" + jfif + tables + scan << Kinds(JpegMarkers::Comment);
        // What a camera appends after the end (previews, depth maps) has metadata of its own.
        QTest::newRow("picture appended")
            << start + jfif + tables + scan + start + exifWithPosition + tables + scan
            << start + jfif + tables + scan << Kinds(JpegMarkers::AppendedPicture);
        QTest::newRow("padding after the end")
            << start + jfif + tables + scan + raw("\0\0\n")
            << start + jfif + tables + scan + raw("\0\0\n") << Kinds(0);
        // Without an end, the picture's extent is unknown: it all stays.
        QTest::newRow("no end before another picture")
            << start + tables + scan.chopped(2) + start + exifWithPosition + tables + scan
            << start + tables + scan.chopped(2) + start + exifWithPosition + tables + scan
            << Kinds(0);
        QTest::newRow("segment between scans runs past the end")
            << start + tables + scan.left(20) + "\xFF\xC4\x7F\xFF" + start + scan
            << start + tables + scan.left(20) + "\xFF\xC4\x7F\xFF" + start + scan << Kinds(0);
        QTest::newRow("nothing to remove")
            << start + jfif + icc1 + adobe + tables + scan
            << start + jfif + icc1 + adobe + tables + scan << Kinds(0);
    }
    void strips() {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, kept);
        QFETCH(Kinds, kinds);
        const JpegMarkers markers(image);
        QVERIFY2(markers.readable(), qPrintable(markers.fault()));
        QCOMPARE(markers.kinds(), kinds);
        QCOMPARE(markers.stripped(), kept);
        // The picture, from its first scan on, is the very same.
        const QByteArray picture = kept.mid(JpegMarkers(kept).scanStart());
        QVERIFY(picture.startsWith("\xFF\xDA"));
        QVERIFY(image.mid(markers.scanStart()).startsWith(picture));
        QCOMPARE(JpegMarkers(kept).kinds(), Kinds(0));
    }

    // An image whose markers cannot be walked up to its picture stays whole: cut where it went
    // wrong, its picture could be damaged. What went before the fault is still told.
    void leavesMalformedImagesWhole_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<Kinds>("kinds");
        QTest::newRow("no start of image") << jfif + note + tables + scan << Kinds(0);
        QTest::newRow("empty") << QByteArray() << Kinds(0);
        QTest::newRow("no scan") << start + note + tables + "\xFF\xD9"
                                 << Kinds(JpegMarkers::Comment);
        QTest::newRow("ends in a segment")
            << start + note + (tables + scan).left(20) << Kinds(JpegMarkers::Comment);
        QTest::newRow("ends after fill bytes")
            << start + note + "\xFF\xFF" << Kinds(JpegMarkers::Comment);
        QTest::newRow("length past the end")
            << start + note + "\xFF\xE1\x7F\xFF" + "Exif" + tables + scan
            << Kinds(JpegMarkers::Comment);
        QTest::newRow("length below two")
            << start + note + "\xFF\xE1" + raw("\0\x01") + tables + scan
            << Kinds(JpegMarkers::Comment);
        QTest::newRow("no marker")
            << start + note + "junk" + tables + scan << Kinds(JpegMarkers::Comment);
        QTest::newRow("restart before the scan")
            << start + note + "\xFF\xD0" + tables + scan << Kinds(JpegMarkers::Comment);
        QTest::newRow("second start")
            << start + note + start + tables + scan << Kinds(JpegMarkers::Comment);
    }
    void leavesMalformedImagesWhole() {
        QFETCH(QByteArray, image);
        QFETCH(Kinds, kinds);
        const JpegMarkers markers(image);
        QVERIFY(!markers.readable());
        QVERIFY(!markers.fault().isEmpty());
        QCOMPARE(markers.kinds(), kinds);
        QCOMPARE(markers.stripped(), image);
        QCOMPARE(markers.scanStart(), qsizetype(-1));
    }
};

QTEST_GUILESS_MAIN(JpegMarkersTest)
#include "JpegMarkersTest.moc"
