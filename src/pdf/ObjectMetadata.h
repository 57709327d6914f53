#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class QPDF;

// The metadata a PDF file keeps on its objects rather than in its document information: XMP
// packets of pages, images, fonts and attachments; what TeX engines note on the figures they
// place (the figure's own file name, page and document information); private application data
// with its date; the authors, dates and names of annotations; the dates and Mac data of attached
// files; the application that made the layer configurations. The catalog's own packet is not
// among it: what a PDF/A file must keep of that is XmpPacket's to say. Nothing of what a page
// shows, an annotation says or an attachment holds is touched.
class ObjectMetadata {
public:
    struct Removed {
        // One phrase per kind removed, as PdfStripper::Stripped lists them.
        QStringList removals;
        // How many objects lost each kind, as PdfStripper::Stripped counts them.
        QMap<QString, int> counts;
        // The removed annotations' authors, to be searched for in the result.
        QStringList texts;
        // The catalog's keys (without slash) that are gone.
        QStringList catalogEntries;
        // The attached files' data streams the trailer reaches, each counted once.
        int attachedFiles = 0;
    };

    // What is left of it in a file.
    struct Left {
        // The first of it the file still holds ("XMP metadata on an image"); empty when none.
        QString first;
        // The attached files' data streams the trailer reaches, each counted once: where
        // something is left, only those found before it.
        int attachedFiles = 0;
    };

    // Removes all of it from every object the trailer reaches.
    static Removed strip(QPDF& pdf);

    // What the file still holds of it, in any object, reached or not.
    static Left left(QPDF& pdf);
};
