#include "PdfCopier.h"

#include "Failure.h"
#include "PathHelpers.h"
#include "PdfFile.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

// Gives the document information an object of its own, holding only what is document
// information, so the toolkit changes that object and leaves the document alone.
void giveOwnInfo(QPDF& pdf) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    QPDFObjectHandle info = trailer.getKey("/Info");
    QPDFObjectHandle entries = info.isStream() ? info.getDict() : info;
    QPDFObjectHandle own = QPDFObjectHandle::newDictionary();
    if (entries.isDictionary()) {
        for (auto [key, value] : entries.ditems()) {
            if (!PdfFile::isDocumentInformation(key, value))
                continue;
            if (value.isString())
                own.replaceKey(key, QPDFObjectHandle::newString(value.getStringValue()));
            else if (value.isName())
                own.replaceKey(key, QPDFObjectHandle::newName(value.getName()));
            else
                own.replaceKey(key, QPDFObjectHandle::newBool(value.getBoolValue()));
        }
    }
    trailer.replaceKey("/Info", pdf.makeIndirectObject(own));
}

// What the copy changes before it is written.
void prepareDocument(QPDF& pdf, PdfCopier::Copy copy) {
    if (copy.ownInfo)
        giveOwnInfo(pdf);
    if (copy.repair) {
        // The library's own walk of the tree puts a page in the place of the tree under its
        // parent; a loop it refuses to walk is taken out first.
        PdfFile::breakPageTreeLoops(pdf);
        pdf.getAllPages();
    }
}

// Streams pass through as they are: the copy differs from the input only in its document
// information and, when asked, in having no encryption.
void prepareWriter(QPDFWriter& writer, PdfCopier::Copy copy) {
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    if (copy.decrypt)
        writer.setPreserveEncryption(false);
}

} // namespace

void PdfCopier::writeCopy(const QString& input, const std::optional<QString>& password, Copy copy,
                          const QString& output) {
    PdfFile::open(input, password, [&](QPDF& pdf) {
        prepareDocument(pdf, copy);
        const QByteArray name = PathHelpers::native(output);
        try {
            QPDFWriter writer(pdf, name.constData());
            prepareWriter(writer, copy);
            writer.write();
        } catch (const QPDFSystemError& error) {
            throw Failure(QStringLiteral("its copy cannot be written: ") +
                          Failure::systemText(error.getErrno()));
        }
    });
}

QByteArray PdfCopier::copyInMemory(const QString& input, const std::optional<QString>& password,
                                   Copy copy) {
    QByteArray bytes;
    PdfFile::open(input, password, [&](QPDF& pdf) {
        prepareDocument(pdf, copy);
        bytes =
            PdfFile::writeToMemory(pdf, [&](QPDFWriter& writer) { prepareWriter(writer, copy); });
    });
    return bytes;
}

QByteArray PdfCopier::protectedLike(const QString& original, const std::optional<QString>& password,
                                    const QString& result) {
    QByteArray bytes;
    PdfFile::open(original, password, [&](QPDF& protectedOriginal) {
        PdfFile::open(result, std::nullopt, [&](QPDF& plain) {
            // The same algorithm, passwords and permissions: an owner password that was never
            // typed is kept too, since the keys are copied rather than derived anew.
            bytes = PdfFile::writeToMemory(plain, [&](QPDFWriter& writer) {
                writer.copyEncryptionParameters(protectedOriginal);
            });
        });
    });
    return bytes;
}
