#include "PdfFile.h"

#include "Failure.h"
#include "FileDescriptor.h"
#include "PageTree.h"
#include "PathHelpers.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString withoutPathPrefix(const std::string& message, const QByteArray& path) {
    QString text = QString::fromStdString(message);
    const QString prefix = QFile::decodeName(path) + QStringLiteral(": ");
    if (text.startsWith(prefix))
        text.remove(0, prefix.size());
    return text;
}

// Opens path for reading as long as it is a regular file. A FIFO would wait for a writer on the
// open and a device (a link to /dev/zero) never ends, either of which would hang the run; some
// devices act on being opened at all, so they are refused by their details first. The opened
// file is looked at again, since it may have been swapped after that first look; it is opened
// without waiting, so a FIFO swapped in cannot hold the open either.
int openRegularFile(const QByteArray& name) {
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        throw Failure(QStringLiteral("it is not a regular file"));
    FileDescriptor descriptor(
        ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!descriptor.isOpen())
        throw Failure(QStringLiteral("it cannot be opened: ") + Failure::systemText(errno));
    if (::fstat(descriptor.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Failure(QStringLiteral("it is not a regular file"));
    return descriptor.release();
}

// What a reader's message says is wrong with a file, in a few plain words; empty when it says
// nothing this program knows to name.
QString damageOf(const QString& message) {
    const auto says = [&](const char* words) {
        return message.contains(QLatin1String(words), Qt::CaseInsensitive);
    };
    if (says("trailer"))
        return QStringLiteral("no trailer");
    if (says("/Pages") && says("loop"))
        return QStringLiteral("page tree loops");
    if (says("xref") || says("cross-reference") || says("startxref"))
        return QStringLiteral("cross-reference table damaged");
    if (says("/Root") || says("catalog"))
        return QStringLiteral("no document catalog");
    if (says("/Pages") || says("page tree") || says("/Kids"))
        return QStringLiteral("page tree damaged");
    if (says("EOF") || says("end of file"))
        return QStringLiteral("cut short");
    return {};
}

// A file the reader gave up on: a plain sentence, with the reader's own words as its detail.
Failure unreadable(QPDF& pdf, const QString& message) {
    for (const QPDFExc& warning : pdf.getWarnings()) {
        if (warning.getMessageDetail().find("PDF header") != std::string::npos)
            return Failure(QStringLiteral("it is not a PDF file"), message);
    }
    const QString damage = damageOf(message);
    return Failure(QStringLiteral("it is damaged and could not be repaired") +
                       (damage.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(damage)),
                   message);
}

} // namespace

void PdfFile::open(const QString& path, const std::optional<QString>& password,
                   const std::function<void(QPDF&)>& work) {
    opened(path, password, false, [&work](QPDF& pdf, const QByteArray&) { work(pdf); });
}

void PdfFile::openWithBytes(const QString& path, const std::optional<QString>& password,
                            const std::function<void(QPDF&, const QByteArray&)>& work) {
    opened(path, password, false, work);
}

void PdfFile::openWhole(const QString& path,
                        const std::function<void(QPDF&, const QByteArray&)>& work) {
    opened(path, std::nullopt, true, work);
}

void PdfFile::opened(const QString& path, const std::optional<QString>& password, bool always,
                     const std::function<void(QPDF&, const QByteArray&)>& work) {
    const QByteArray name = PathHelpers::native(path);
    const QByteArray secret = password ? password->toUtf8() : QByteArray();
    const char* const passwordText = password ? secret.constData() : nullptr;
    // Taking a usual file in one piece makes reading it a third cheaper for qpdf.
    QFile file;
    if (!file.open(openRegularFile(name), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw Failure(QStringLiteral("it cannot be opened: ") + file.errorString());
    const bool whole = always || file.size() <= wholeFileLimit;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    try {
        const QByteArray content = whole ? file.readAll() : QByteArray();
        if (whole) {
            pdf.processMemoryFile(name.constData(), content.constData(),
                                  static_cast<size_t>(content.size()), passwordText);
        } else {
            // The file that was looked at, not whatever has the name by now.
            FileDescriptor copy(::fcntl(file.handle(), F_DUPFD_CLOEXEC, 0));
            FILE* const stream = copy.isOpen() ? ::fdopen(copy.get(), "rb") : nullptr;
            if (!stream)
                throw Failure(QStringLiteral("it cannot be opened: ") + Failure::systemText(errno));
            // The stream closes it from now on.
            copy.release();
            pdf.processFile(name.constData(), stream, true, passwordText);
        }
        work(pdf, content);
    } catch (const QPDFExc& error) {
        if (error.getErrorCode() == qpdf_e_password)
            throw Failure(QStringLiteral(
                "it is password-protected and the password was not given or is wrong"));
        throw unreadable(pdf, QString::fromStdString(error.getMessageDetail()));
    } catch (const QPDFSystemError& error) {
        throw Failure(QStringLiteral("it cannot be opened: ") +
                      Failure::systemText(error.getErrno()));
    } catch (const Failure&) {
        throw;
    } catch (const std::exception& error) {
        throw unreadable(pdf, withoutPathPrefix(error.what(), name));
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

QByteArray PdfFile::writeStreamsAsTheyAre(QPDF& pdf) {
    return writeToMemory(pdf, [](QPDFWriter& writer) {
        writer.setCompressStreams(false);
        writer.setDecodeLevel(qpdf_dl_none);
    });
}

int PdfFile::openRegular(const QString& path) {
    return openRegularFile(PathHelpers::native(path));
}

bool PdfFile::breakPageTreeLoops(QPDF& pdf) {
    bool broken = false;
    // Walked as the library walks it, every way to a node, so that no way round is left for it.
    PageTree::walk(pdf.getRoot().getKey("/Pages"), PageTree::Manner::Repairing,
                   [&broken](QPDFObjectHandle, PageTree::Kid kind) {
                       if (kind != PageTree::Kid::BackUp)
                           return PageTree::Step::Enter;
                       broken = true;
                       return PageTree::Step::Erase;
                   });
    if (broken)
        pdf.warn(qpdf_e_pages, "", 0, "loop in the page tree taken out");
    return broken;
}

bool PdfFile::isDocumentInformation(const std::string& key, QPDFObjectHandle value) {
    if (value.isString())
        return true;
    return key == "/Trapped" && (value.isName() || value.isBool());
}
