#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class QPDF;
class QPDFObjectHandle;

// The segments a JPEG image carries before its picture, and the image without those that
// describe where, when, by whom and with what it was taken: EXIF (with GPS positions and camera
// serial numbers), XMP, Photoshop's and IPTC's records, other applications' segments, JFIF
// thumbnails and comments, and without other pictures appended after its end. What the picture is
// made of stays byte for byte: the JFIF and Adobe colour markers, the ICC profile, the tables and
// frame header, and everything from the first start of scan to the end of the image. Nothing is
// decoded or encoded again, so the decoded pixels cannot change.
class JpegMarkers {
public:
    // The kinds of segments that go, as flags.
    enum Kind : unsigned {
        Exif = 1u << 0,
        // An EXIF segment with a latitude or longitude in it.
        GpsPosition = 1u << 1,
        Xmp = 1u << 2,
        // Photoshop's resources, where IPTC's records are kept.
        Photoshop = 1u << 3,
        Comment = 1u << 4,
        Thumbnail = 1u << 5,
        OtherApplication = 1u << 6,
        // Another JPEG image after the end of this one, as cameras append previews and depth
        // maps, each with metadata of its own; no reader of the image looks past its end.
        AppendedPicture = 1u << 7,
    };

    // Walks the markers of jpeg up to its first start of scan.
    explicit JpegMarkers(const QByteArray& jpeg);

    // Whether the markers could be walked up to a start of scan; an image that cannot is left as
    // it is, since cutting it where it went wrong could damage its picture.
    bool readable() const { return fault_.isEmpty(); }
    // Why it cannot be read; empty when it can.
    QString fault() const { return fault_; }
    // The kinds found that go (those before the fault in an image that cannot be read).
    unsigned kinds() const { return kinds_; }
    // The image without them; the image as it was when it cannot be read or has none.
    QByteArray stripped() const;
    // Where the first start of scan begins; -1 in an image that cannot be read. From there to the
    // end of the image the bytes stay as they were.
    qsizetype scanStart() const { return scanStart_; }

    // The JPEG images of one document that lost segments, counted by kind.
    class Tally {
    public:
        // When stream is a JPEG image whose bytes can be reached losslessly, replaces them by
        // the image without its metadata segments, with the same filters and parameters, and
        // counts what went. Any other stream stays as it is.
        void strip(QPDFObjectHandle stream);
        // One phrase per kind removed, such as "EXIF data (with a GPS position) in 2 images".
        QStringList removals() const;
        // How many images lost any segment.
        int images() const { return changed_; }

    private:
        QMap<Kind, int> images_;
        int changed_ = 0;
        int withPosition_ = 0;
    };

    // What the first JPEG image of pdf that still has metadata segments holds ("EXIF data"),
    // also behind filters strip does not write again and in an image that cannot be read whole;
    // empty when none has any.
    static QString leftIn(QPDF& pdf);

private:
    struct Segment {
        qsizetype start;
        qsizetype end;
    };

    void walk();
    // Finds the end of the picture that begins at the scan header ending at at; what follows it
    // goes when it is another image.
    void findEnd(qsizetype at);
    void classify(unsigned char marker, QByteArrayView payload, qsizetype start, qsizetype end);

    QByteArray jpeg_;
    QList<Segment> removed_;
    unsigned kinds_ = 0;
    qsizetype scanStart_ = -1;
    QString fault_;
};
