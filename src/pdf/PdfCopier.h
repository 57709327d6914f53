#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Copies of a PDF file written for the toolkit, which cannot take every file as it is, and its
// result encrypted again as the original was. The snapshot says what a file holds; this writes
// the files the toolkit gets instead.
class PdfCopier {
public:
    // What a copy for the toolkit changes. ownInfo: the document information becomes an object
    // of its own, holding only the entries that are document information (string values and
    // Trapped), so the toolkit changes that object and leaves the rest alone. decrypt: the
    // encryption is taken off, since the toolkit cannot read every encryption and writes its
    // results unencrypted anyway; otherwise the copy keeps it and opens with the same password.
    // repair: the copy is made because the toolkit cannot read the file as it is; written anew
    // by the library, it has a clean cross-reference table, trailer and page tree (a loop taken
    // out, a page in the place of the tree put under one), and the same content.
    struct Copy {
        bool ownInfo = false;
        bool decrypt = false;
        bool repair = false;

        bool needed() const { return ownInfo || decrypt || repair; }
    };
    // Overwrites output (created by the caller) with the copy. Throws Failure.
    static void writeCopy(const QString& input, const std::optional<QString>& password, Copy copy,
                          const QString& output);
    // The same copy, kept in memory. Throws Failure.
    static QByteArray copyInMemory(const QString& input, const std::optional<QString>& password,
                                   Copy copy);
    // The file result encrypted exactly as original is: the same algorithm, passwords and
    // permissions. Throws Failure.
    static QByteArray protectedLike(const QString& original, const std::optional<QString>& password,
                                    const QString& result);
};
