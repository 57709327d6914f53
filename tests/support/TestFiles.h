#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <sys/types.h>

// Files for tests: copies of the real-world PDF corpus, small scripts, and an independent reader
// of document information.
namespace TestFiles {

// Points the user's home, settings, cache, data (the Trash), state (run journals) and the
// program's temporary folder at home, and keeps the start-up routine from ever opening a web
// page, so a test touches nothing of the real user's.
void isolateHome(const QString& home);

QString corpusFolder();
// Copies a corpus file into folder under newName (or its own name) and makes it writable.
QString copyCorpusFile(const QString& name, const QString& folder, const QString& newName = {});

// Writes an executable shell script.
QString writeScript(const QString& path, const QString& body);

// The document information as poppler's pdfinfo reads it (values exact, UTF-8). Empty when
// pdfinfo fails.
QMap<QString, QString> pdfInfo(const QString& pdfPath, const QString& password = {});

bool haveProgram(const QString& name);

// A small photograph as a camera and the applications after it leave one: a JPEG image with a
// JFIF marker and an sRGB colour profile, to which ExifTool added EXIF data with a GPS position
// and the camera's serial number (CAM-SERIAL-4711), XMP and IPTC data naming its author (Anna
// Example) and a comment. Written to path; empty when it cannot be made.
QByteArray photoWithMetadata(const QString& path);
// The JPEG bytes of every image in the PDF file at pdfPath, as qpdf reads them, with the
// compression around them undone; empty when qpdf cannot read it.
QList<QByteArray> jpegImages(const QString& pdfPath);
// The tags (such as "-GPSLatitude", "-XMP:all") that ExifTool finds in jpeg, written to path, one
// line each ("GPSLatitude: ...").
QByteArray photoTags(const QByteArray& jpeg, const QString& path, const QStringList& tags);

QByteArray bytes(const QString& path);
// The permission bits of path, links followed; all bits set when it cannot be read, which is no
// mode a test expects.
mode_t mode(const QString& path);
// Creates or truncates the file with these bytes; gives its path.
QString write(const QString& path, const QByteArray& bytes);
// A PDF file made of objects, numbered from 1 (the first is the catalog), with a correct
// cross-reference table and trailerEntries (such as "/Info 4 0 R") in its trailer.
QByteArray pdfOf(const QList<QByteArray>& objects, const QByteArray& trailerEntries = {});
// A stream object's text: the dictionary's entries (without << >>) and data, with its /Length.
QByteArray streamObject(const QByteArray& entries, const QByteArray& data);
// A one-page PDF file whose document information is the dictionary info ("<< /Title (T) >>").
QByteArray pdfWithInfo(const QByteArray& info);

} // namespace TestFiles
