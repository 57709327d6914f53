#include "JpegMarkers.h"

#include <memory>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace {

constexpr unsigned char app0 = 0xE0;
constexpr unsigned char app1 = 0xE1;
constexpr unsigned char app2 = 0xE2;
constexpr unsigned char app13 = 0xED;
constexpr unsigned char app14 = 0xEE;
constexpr unsigned char app15 = 0xEF;
constexpr unsigned char comment = 0xFE;
constexpr unsigned char startOfScan = 0xDA;

// The identifiers that open a segment, with their terminating zero.
constexpr QByteArrayView jfxx("JFXX\0", 5);
constexpr QByteArrayView exif("Exif\0", 5);
constexpr QByteArrayView xmp("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr QByteArrayView extendedXmp("http://ns.adobe.com/xmp/extension/\0", 35);
constexpr QByteArrayView iccProfile("ICC_PROFILE\0", 12);
constexpr QByteArrayView photoshop("Photoshop 3.0\0", 14);

// Reads the numbers of a TIFF structure, in its byte order, where they are within it.
class Tiff {
public:
    explicit Tiff(QByteArrayView data) : data_(data), bigEndian_(data.startsWith("MM")) {}

    std::optional<quint32> number(quint64 at, int bytes) const {
        if (at + static_cast<quint64>(bytes) > static_cast<quint64>(data_.size()))
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const quint32 byte = static_cast<unsigned char>(
                data_.at(static_cast<qsizetype>(at) + (bigEndian_ ? i : bytes - 1 - i)));
            value = (value << 8) | byte;
        }
        return value;
    }

    // The tags of the directory at offset, in order.
    QList<std::pair<quint32, quint64>> directory(quint64 offset) const {
        QList<std::pair<quint32, quint64>> tags;
        const std::optional<quint32> count = number(offset, 2);
        for (quint32 i = 0; count && i < *count; ++i) {
            const quint64 entry = offset + 2 + 12 * static_cast<quint64>(i);
            const std::optional<quint32> tag = number(entry, 2);
            if (!tag)
                break;
            tags.append({*tag, entry});
        }
        return tags;
    }

private:
    QByteArrayView data_;
    bool bigEndian_;
};

// Whether an EXIF segment's payload has a latitude or a longitude in its GPS directory.
bool hasPosition(QByteArrayView payload) {
    // "Exif", two zeros, then a TIFF structure.
    const QByteArrayView data = payload.size() > 6 ? payload.sliced(6) : QByteArrayView();
    if (!data.startsWith("II") && !data.startsWith("MM"))
        return false;
    const Tiff tiff(data);
    const std::optional<quint32> first = tiff.number(4, 4);
    if (!first)
        return false;
    constexpr quint32 gpsDirectory = 0x8825;
    constexpr quint32 latitude = 0x0002;
    constexpr quint32 longitude = 0x0004;
    for (const auto& [tag, entry] : tiff.directory(*first)) {
        if (tag != gpsDirectory)
            continue;
        const std::optional<quint32> gps = tiff.number(entry + 8, 4);
        if (!gps)
            return false;
        for (const auto& [gpsTag, gpsEntry] : tiff.directory(*gps)) {
            if (gpsTag == latitude || gpsTag == longitude)
                return true;
        }
    }
    return false;
}

QString kindName(JpegMarkers::Kind kind) {
    switch (kind) {
    case JpegMarkers::Exif:
        return QStringLiteral("EXIF data");
    case JpegMarkers::GpsPosition:
        return QStringLiteral("a GPS position");
    case JpegMarkers::Xmp:
        return QStringLiteral("XMP metadata");
    case JpegMarkers::Photoshop:
        return QStringLiteral("Photoshop and IPTC data");
    case JpegMarkers::Comment:
        return QStringLiteral("comments");
    case JpegMarkers::Thumbnail:
        return QStringLiteral("thumbnails");
    case JpegMarkers::OtherApplication:
        return QStringLiteral("other applications' data");
    case JpegMarkers::AppendedPicture:
        return QStringLiteral("other pictures appended");
    }
    return {};
}

// In the order a report lists them.
constexpr JpegMarkers::Kind reported[] = {
    JpegMarkers::Exif,           JpegMarkers::Xmp,
    JpegMarkers::Photoshop,      JpegMarkers::OtherApplication,
    JpegMarkers::Thumbnail,      JpegMarkers::Comment,
    JpegMarkers::AppendedPicture};

QString imagesText(int images) {
    return images == 1 ? QStringLiteral("1 image") : QStringLiteral("%1 images").arg(images);
}

QByteArray bytesOf(const std::shared_ptr<Buffer>& buffer) {
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      static_cast<qsizetype>(buffer->getSize()));
}

QByteArray flate(const QByteArray& data, Pl_Flate::action_e action) {
    Pl_Buffer out("jpeg");
    Pl_Flate filter("jpeg flate", &out, action);
    filter.write(reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<size_t>(data.size()));
    filter.finish();
    return bytesOf(out.getBufferSharedPointer());
}

// A JPEG image as a PDF file holds it: its bytes, and how they can be written back.
struct Image {
    QByteArray jpeg;
    // As they are; compressed again; or not at all, since undoing and doing again the filters
    // before the JPEG one might not give what a reader reads now.
    enum Writing { Plain, Compressed, LookOnly } writing = Plain;
};

// Filters and their parameters as another document can hold them: direct, with no references.
QPDFObjectHandle copied(QPDFObjectHandle object) {
    return QPDFObjectHandle::parse(object.unparseResolved());
}

// The JPEG bytes of stream when it is an image whose last filter is the JPEG one, the filters
// before it undone; nothing when it is not, or when they cannot be undone.
std::optional<Image> imageOf(QPDFObjectHandle stream) {
    if (!stream.isStream())
        return std::nullopt;
    QPDFObjectHandle dictionary = stream.getDict();
    if (!dictionary.getKey("/Subtype").isNameAndEquals("/Image"))
        return std::nullopt;
    QPDFObjectHandle filter = dictionary.getKey("/Filter");
    std::vector<QPDFObjectHandle> filters =
        filter.isArray() ? filter.getArrayAsVector() : std::vector<QPDFObjectHandle>{filter};
    if (filters.empty() || !filters.back().isNameAndEquals("/DCTDecode"))
        return std::nullopt;
    filters.pop_back();
    QPDFObjectHandle parameters = dictionary.getKey("/DecodeParms");
    std::vector<QPDFObjectHandle> outerParameters;
    if (parameters.isArray()) {
        outerParameters = parameters.getArrayAsVector();
        outerParameters.resize(filters.size(), QPDFObjectHandle::newNull());
    }
    try {
        const QByteArray raw = bytesOf(stream.getRawStreamData());
        if (filters.empty())
            return Image{raw, Image::Plain};
        // Compression without parameters is undone and done again without loss.
        const bool plain = !parameters.isDictionary() &&
                           (outerParameters.empty() || outerParameters.front().isNull() ||
                            (outerParameters.front().isDictionary() &&
                             outerParameters.front().getDictAsMap().empty()));
        if (filters.size() == 1 && filters.front().isNameAndEquals("/FlateDecode") && plain)
            return Image{flate(raw, Pl_Flate::a_inflate), Image::Compressed};
        // Other filters are undone by the library, in a document of their own, only to look.
        QPDF scratch;
        scratch.setSuppressWarnings(true);
        scratch.emptyPDF();
        QPDFObjectHandle outer = QPDFObjectHandle::newStream(&scratch, raw.toStdString());
        QPDFObjectHandle outerFilters = QPDFObjectHandle::newArray();
        for (const QPDFObjectHandle& name : filters)
            outerFilters.appendItem(copied(name));
        outer.getDict().replaceKey("/Filter", outerFilters);
        if (!outerParameters.empty()) {
            QPDFObjectHandle copiedParameters = QPDFObjectHandle::newArray();
            for (const QPDFObjectHandle& item : outerParameters)
                copiedParameters.appendItem(copied(item));
            outer.getDict().replaceKey("/DecodeParms", copiedParameters);
        }
        return Image{bytesOf(outer.getStreamData(qpdf_dl_generalized)), Image::LookOnly};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

JpegMarkers::JpegMarkers(const QByteArray& jpeg) : jpeg_(jpeg) {
    walk();
}

void JpegMarkers::walk() {
    const qsizetype size = jpeg_.size();
    const auto byte = [this](qsizetype at) {
        return static_cast<unsigned char>(jpeg_.at(at));
    };
    if (size < 2 || byte(0) != 0xFF || byte(1) != 0xD8) {
        fault_ = QStringLiteral("it does not begin as a JPEG image does");
        return;
    }
    for (qsizetype at = 2;;) {
        const qsizetype start = at;
        if (at < size && byte(at) != 0xFF) {
            fault_ = QStringLiteral("it has no marker at byte %1").arg(at);
            return;
        }
        // A marker may be preceded by any number of fill bytes.
        while (at < size && byte(at) == 0xFF)
            ++at;
        if (at + 1 > size) {
            fault_ = QStringLiteral("it ends before its picture");
            return;
        }
        const unsigned char marker = byte(at++);
        constexpr unsigned char temporary = 0x01;
        if (marker == temporary)
            continue;
        // No other marker without a length (restarts, a second start or the end of the image)
        // may come before the picture.
        if (marker == 0x00 || (marker >= 0xD0 && marker <= 0xD9)) {
            fault_ = QStringLiteral("it has the marker %1 before its picture")
                         .arg(static_cast<int>(marker), 2, 16, QLatin1Char('0'))
                         .toUpper();
            return;
        }
        const qsizetype length = at + 2 <= size ? (byte(at) << 8 | byte(at + 1)) : -1;
        if (length < 2 || at + length > size) {
            fault_ = QStringLiteral("a segment at byte %1 runs past its end").arg(start);
            return;
        }
        if (marker == startOfScan) {
            scanStart_ = start;
            findEnd(at + length);
            return;
        }
        classify(marker, QByteArrayView(jpeg_).sliced(at + 2, length - 2), start, at + length);
        at += length;
    }
}

void JpegMarkers::findEnd(qsizetype at) {
    const qsizetype size = jpeg_.size();
    const auto byte = [this](qsizetype offset) {
        return static_cast<unsigned char>(jpeg_.at(offset));
    };
    // In entropy-coded data a 0xFF byte is followed by a zero or a restart; any other marker
    // ends it. Between the scans of a progressive image come segments with lengths.
    while ((at = jpeg_.indexOf('\xFF', at)) >= 0) {
        qsizetype marker = at + 1;
        while (marker < size && byte(marker) == 0xFF)
            ++marker;
        if (marker >= size)
            return;
        const unsigned char code = byte(marker);
        if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD7)) {
            at = marker + 1;
            continue;
        }
        if (code == 0xD9) {
            // Padding after the end stays as it was.
            const qsizetype end = marker + 1;
            if (jpeg_.indexOf("\xFF\xD8\xFF", end) >= 0) {
                kinds_ |= AppendedPicture;
                removed_.append({end, size});
            }
            return;
        }
        const qsizetype length =
            marker + 3 <= size ? (byte(marker + 1) << 8 | byte(marker + 2)) : -1;
        // A picture whose end cannot be found keeps everything after its start.
        if (length < 2 || marker + 1 + length > size)
            return;
        at = marker + 1 + length;
    }
}

void JpegMarkers::classify(unsigned char marker, QByteArrayView payload, qsizetype start,
                           qsizetype end) {
    unsigned kind = 0;
    if (marker == app0) {
        // The JFIF marker says how to read the colours and stays; its extension holds only a
        // thumbnail, a small picture of the image as it was.
        if (payload.startsWith(jfxx))
            kind = Thumbnail;
    } else if (marker == app1) {
        if (payload.startsWith(exif))
            kind = Exif | (hasPosition(payload) ? GpsPosition : 0u);
        else if (payload.startsWith(xmp) || payload.startsWith(extendedXmp))
            kind = Xmp;
        else
            kind = OtherApplication;
    } else if (marker == app2) {
        // Every chunk of the colour profile stays; what else goes there (FlashPix, other
        // pictures' directories) is data about the image.
        if (!payload.startsWith(iccProfile))
            kind = OtherApplication;
    } else if (marker == app13) {
        kind = payload.startsWith(photoshop) ? Photoshop : OtherApplication;
    } else if (marker > app2 && marker <= app15 && marker != app14) {
        // The Adobe marker (APP14) says how the colours were transformed and stays.
        kind = OtherApplication;
    } else if (marker == comment) {
        kind = Comment;
    }
    if (kind == 0)
        return;
    kinds_ |= kind;
    removed_.append({start, end});
}

QByteArray JpegMarkers::stripped() const {
    if (!readable() || removed_.isEmpty())
        return jpeg_;
    QByteArray kept;
    kept.reserve(jpeg_.size());
    qsizetype from = 0;
    for (const Segment& segment : removed_) {
        kept.append(QByteArrayView(jpeg_).sliced(from, segment.start - from));
        from = segment.end;
    }
    kept.append(QByteArrayView(jpeg_).sliced(from));
    return kept;
}

void JpegMarkers::Tally::strip(QPDFObjectHandle stream) {
    const std::optional<Image> image = imageOf(stream);
    if (!image || image->writing == Image::LookOnly)
        return;
    const JpegMarkers markers(image->jpeg);
    if (!markers.readable() || markers.removed_.isEmpty())
        return;
    const QByteArray kept = markers.stripped();
    QPDFObjectHandle dictionary = stream.getDict();
    stream.replaceStreamData(
        (image->writing == Image::Compressed ? flate(kept, Pl_Flate::a_deflate) : kept)
            .toStdString(),
        dictionary.getKey("/Filter"), dictionary.getKey("/DecodeParms"));
    for (Kind kind : reported) {
        if (markers.kinds() & kind)
            ++images_[kind];
    }
    ++changed_;
    if (markers.kinds() & GpsPosition)
        ++withPosition_;
}

QStringList JpegMarkers::Tally::removals() const {
    QStringList phrases;
    for (Kind kind : reported) {
        const int images = images_.value(kind);
        if (images == 0)
            continue;
        QString phrase = kindName(kind);
        if (kind == Exif && withPosition_ == images)
            phrase += QStringLiteral(" (with a GPS position)");
        phrase += QStringLiteral(" in ") + imagesText(images);
        if (kind == Exif && withPosition_ > 0 && withPosition_ < images)
            phrase += QStringLiteral(" (with a GPS position in %1)").arg(withPosition_);
        phrases << phrase;
    }
    return phrases;
}

QString JpegMarkers::leftIn(QPDF& pdf) {
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        const std::optional<Image> image = imageOf(object);
        if (!image)
            continue;
        const unsigned kinds = JpegMarkers(image->jpeg).kinds();
        for (Kind kind : reported) {
            if (kinds & kind)
                return kindName(kind);
        }
    }
    return {};
}
