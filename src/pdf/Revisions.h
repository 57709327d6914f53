#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class QPDF;

// The revisions of a PDF file: an incremental update appends a revision to the file, which keeps
// every earlier one readable after it, with whatever values it held then. Each revision ends
// with an end-of-file marker; a linearized file has one more, after its first page's
// cross-reference section.
class Revisions {
public:
    // How many revisions the file at input, opened as pdf, has before the newest. bytes is the
    // whole file where the reader took it in one piece; a file too large for that is read in
    // pieces, never all at once.
    static int earlierCount(QPDF& pdf, const QString& input, const QByteArray& bytes);

    // Where each revision before the newest ends in bytes (the whole file, opened as pdf): the
    // length of the file as it was then. A marker that stands inside a stream's data counts too;
    // what is cut there does not read as a file.
    static QList<qsizetype> earlierEnds(QPDF& pdf, QByteArrayView bytes);
};
