#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <string>

class QByteArray;
class QPDF;
class QPDFObjectHandle;
class QPDFWriter;

// Opens a PDF file with the independent reader, the one way every part of the program does, so a
// file fails everywhere with the same readable reasons. Reading never prints warnings; they are
// kept in the QPDF object for whoever wants them.
class PdfFile {
public:
    // Runs work on the opened file. Throws Failure, whose text is a reason phrase about the file
    // starting with "it" ("it is password-protected and the password was not given or is wrong",
    // "it is not a PDF file", "it is damaged and could not be repaired (no trailer)", "it cannot
    // be opened: ...", "it is not a regular file"), for whatever the library throws while opening
    // the file or during work; the library's own words are the failure's detail. Only a
    // regular file is ever read: a FIFO or a device is refused before anything waits on it.
    static void open(const QString& path, const std::optional<QString>& password,
                     const std::function<void(QPDF&)>& work);

    // As open(); work also gets the bytes the library reads when the file is small enough to be
    // read in one piece (empty otherwise), so a second reader of the same file need not read it
    // again.
    static void openWithBytes(const QString& path, const std::optional<QString>& password,
                              const std::function<void(QPDF&, const QByteArray&)>& work);
    // As open() without a password, with the whole file read into memory whatever its size: work
    // also gets the bytes the library reads, for a caller that writes them out again.
    static void openWhole(const QString& path,
                          const std::function<void(QPDF&, const QByteArray&)>& work);
    // The largest file read into memory in one piece: read through the library's file access, a
    // file is sought back and forth with a system call each time.
    static constexpr qint64 wholeFileLimit = 32 * 1024 * 1024;
    // A descriptor open for reading on path, as long as it is a regular file, for a reader that
    // must not wait on a FIFO or read a device either. Throws Failure as open() does.
    static int openRegular(const QString& path);

    // Writes pdf into memory with writer's settings, which prepare() makes on the writer it is
    // given before the writing.
    static QByteArray writeToMemory(QPDF& pdf, const std::function<void(QPDFWriter&)>& prepare);
    // Writes pdf into memory with every stream as it is, neither decoded nor compressed: what
    // was changed in memory is all that differs, and a new stream stays unfiltered.
    static QByteArray writeStreamsAsTheyAre(QPDF& pdf);

    // Takes out of the page tree every kid that leads back to a node above it, as a viewer skips
    // it, and records a warning when there was one; true then. The library refuses to list the
    // pages of a tree with a loop.
    static bool breakPageTreeLoops(QPDF& pdf);

    // What a document-information dictionary is for: texts and the Trapped flag. A dictionary
    // that doubles as something else (a page, a font) holds other entries too, which are no part
    // of it. The snapshot and the copies for the toolkit must agree on it, or a check of a
    // toolkit result would miss entries or expect ones the copy never had.
    static bool isDocumentInformation(const std::string& key, QPDFObjectHandle value);

private:
    // always: the whole file is read into memory, however large.
    static void opened(const QString& path, const std::optional<QString>& password, bool always,
                       const std::function<void(QPDF&, const QByteArray&)>& work);
};
