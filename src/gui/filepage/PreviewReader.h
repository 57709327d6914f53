#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Reads what the first page's preview shows for one file: the toolkit's dump of its document
// information, then its XMP metadata, turned into rows by MetadataPreview.
class PreviewReader {
public:
    // The rows for path; none when there is no path or no toolkit, or when the dump fails or
    // cannot be read. Both reads wait with the event loop turning, so a newer click may overtake
    // this one: stillWanted is asked after each, and gives false when the rows would show for a
    // file no longer in question.
    static QStringList rows(const QString& path, const std::function<bool()>& stillWanted);
};
