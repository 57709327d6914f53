#include "Revisions.h"

#include <QFile>
#include <algorithm>
#include <qpdf/QPDF.hh>

namespace {

constexpr QByteArrayView marker("%%EOF");

// Where each end-of-file marker ends in bytes, after the line break that follows it.
QList<qsizetype> markerEnds(QByteArrayView bytes) {
    QList<qsizetype> ends;
    for (qsizetype at = bytes.indexOf(marker); at >= 0;
         at = bytes.indexOf(marker, at + marker.size())) {
        qsizetype end = at + marker.size();
        if (end < bytes.size() && bytes.at(end) == '\r')
            ++end;
        if (end < bytes.size() && bytes.at(end) == '\n')
            ++end;
        ends << end;
    }
    return ends;
}

} // namespace

int Revisions::earlierCount(QPDF& pdf, const QString& input, const QByteArray& bytes) {
    qsizetype markers = 0;
    if (!bytes.isEmpty()) {
        markers = markerEnds(bytes).size();
    } else {
        QFile file(input);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        // A marker cut by a piece's end is found with the piece's last bytes before the next.
        QByteArray piece;
        while (!file.atEnd()) {
            const QByteArray tail = piece.right(marker.size() - 1);
            piece = tail + file.read(1024 * 1024);
            markers += markerEnds(piece).size();
            if (piece.size() == tail.size())
                break;
        }
    }
    return std::max(0, int(markers) - 1 - (pdf.isLinearized() ? 1 : 0));
}

QList<qsizetype> Revisions::earlierEnds(QPDF& pdf, QByteArrayView bytes) {
    QList<qsizetype> ends = markerEnds(bytes);
    if (!ends.isEmpty())
        ends.removeLast();
    // The first page's section of a linearized file is no revision of its own.
    if (pdf.isLinearized() && !ends.isEmpty())
        ends.removeFirst();
    return ends;
}
