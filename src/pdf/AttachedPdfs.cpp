#include "AttachedPdfs.h"

#include <QCryptographicHash>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>

namespace {

// A PDF file may start with a little of something else; readers look this far for its header.
constexpr qsizetype headerReach = 1024;

bool isSigned(QPDF& pdf) {
    if (pdf.getRoot().hasKey("/Perms"))
        return true;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        QPDFObjectHandle dictionary = object.isStream() ? object.getDict() : object;
        if (dictionary.isDictionary() && dictionary.hasKey("/ByteRange"))
            return true;
    }
    return false;
}

// Opens bytes without a password; false when that needs a repair or a password, or fails.
bool opens(QPDF& pdf, const char* data, size_t size) {
    pdf.setSuppressWarnings(true);
    try {
        pdf.processMemoryFile("attached file", data, size);
        pdf.getAllPages();
        return !pdf.anyWarnings() && !pdf.isEncrypted();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

void AttachedPdfs::forEach(QPDF& pdf, const std::function<void(QPDFObjectHandle&, QPDF&)>& visit) {
    std::set<QPDFObjGen> seen;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        QPDFObjectHandle files = object.isDictionary() ? object.getKey("/EF") : object.newNull();
        if (!files.isDictionary())
            continue;
        for (auto [key, stream] : files.ditems()) {
            if (!stream.isStream() || !seen.insert(stream.getObjGen()).second)
                continue;
            std::shared_ptr<Buffer> data;
            try {
                data = stream.getStreamData(qpdf_dl_generalized);
            } catch (const std::exception&) {
                continue;
            }
            const char* const bytes = reinterpret_cast<const char*>(data->getBuffer());
            const QByteArray start = QByteArray::fromRawData(
                bytes, std::min<qsizetype>(static_cast<qsizetype>(data->getSize()), headerReach));
            if (!start.contains("%PDF-"))
                continue;
            QPDF attached;
            if (!opens(attached, bytes, data->getSize()) || isSigned(attached))
                continue;
            visit(stream, attached);
        }
    }
}

void AttachedPdfs::replace(QPDFObjectHandle& stream, const QByteArray& bytes) {
    // qCompress puts the length before the zlib stream that /FlateDecode reads.
    const QByteArray compressed = qCompress(bytes, 9).mid(4);
    stream.replaceStreamData(compressed.toStdString(), QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
    QPDFObjectHandle parameters = stream.getDict().getKey("/Params");
    if (!parameters.isDictionary())
        return;
    if (parameters.hasKey("/Size"))
        parameters.replaceKey("/Size", QPDFObjectHandle::newInteger(bytes.size()));
    if (parameters.hasKey("/CheckSum"))
        parameters.replaceKey(
            "/CheckSum",
            QPDFObjectHandle::newString(
                QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toStdString()));
}

int AttachedPdfs::pagesOf(const QByteArray& bytes) {
    QPDF pdf;
    if (!opens(pdf, bytes.constData(), static_cast<size_t>(bytes.size())))
        return -1;
    return static_cast<int>(pdf.getAllPages().size());
}
