#include "PdfFile.h"

#include "Failure.h"

#include <QFile>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>

namespace {

QString withoutPathPrefix(const std::string& message, const QByteArray& path) {
    QString text = QString::fromStdString(message);
    const QString prefix = QFile::decodeName(path) + QStringLiteral(": ");
    if (text.startsWith(prefix))
        text.remove(0, prefix.size());
    return text;
}

} // namespace

void PdfFile::open(const QString& path, const std::optional<QString>& password,
                   const std::function<void(QPDF&)>& work) {
    const QByteArray name = QFile::encodeName(path);
    const QByteArray secret = password ? password->toUtf8() : QByteArray();
    const char* const passwordText = password ? secret.constData() : nullptr;
    // Read through stdio, qpdf seeks back and forth with a system call each time; taking a usual
    // file in one piece makes reading it a third cheaper.
    constexpr qint64 wholeFileLimit = 32 * 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("it cannot be opened: ") + file.errorString());
    const bool whole = file.size() <= wholeFileLimit;
    try {
        const QByteArray content = whole ? file.readAll() : QByteArray();
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        if (whole)
            pdf.processMemoryFile(name.constData(), content.constData(),
                                  static_cast<size_t>(content.size()), passwordText);
        else
            pdf.processFile(name.constData(), passwordText);
        work(pdf);
    } catch (const QPDFExc& error) {
        if (error.getErrorCode() == qpdf_e_password)
            throw Failure(QStringLiteral(
                "it is password-protected and the password was not given or is wrong"));
        throw Failure(QStringLiteral("it cannot be read as a PDF file: ") +
                      QString::fromStdString(error.getMessageDetail()));
    } catch (const QPDFSystemError& error) {
        throw Failure(QStringLiteral("it cannot be opened: ") +
                      Failure::systemText(error.getErrno()));
    } catch (const Failure&) {
        throw;
    } catch (const std::exception& error) {
        throw Failure(QStringLiteral("it cannot be read as a PDF file: ") +
                      withoutPathPrefix(error.what(), name));
    }
}

QByteArray PdfFile::writeToMemory(QPDF& pdf, const std::function<void(QPDFWriter&)>& prepare) {
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    prepare(writer);
    writer.write();
    const std::unique_ptr<Buffer> buffer(writer.getBuffer());
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      static_cast<qsizetype>(buffer->getSize()));
}

bool PdfFile::isDocumentInformation(const std::string& key, QPDFObjectHandle value) {
    if (value.isString())
        return true;
    return key == "/Trapped" && (value.isName() || value.isBool());
}
