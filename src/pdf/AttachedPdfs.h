#pragma once

#include <QByteArray>
#include <functional>

class QPDF;
class QPDFObjectHandle;

// The PDF files a document carries as attachments, which hold metadata of their own. Only those
// that can be rewritten are given out: read without any repair, not encrypted (their key is not
// ours to have) and not signed (a rewrite breaks every signature).
class AttachedPdfs {
public:
    // Calls visit with the data stream of each such attachment that pdf holds, and the attached
    // file opened from it.
    static void forEach(QPDF& pdf, const std::function<void(QPDFObjectHandle&, QPDF&)>& visit);

    // Puts bytes in place of the attachment's data, compressed, with its size and checksum.
    static void replace(QPDFObjectHandle& stream, const QByteArray& bytes);

    // The pages of the PDF file bytes; -1 when it cannot be read without a repair.
    static int pagesOf(const QByteArray& bytes);
};
