#pragma once

#include <QByteArray>
#include <QString>

// The per-user folder that holds the program's exchange files with the toolkit. Fixed file
// names in a shared temporary folder would let another user plant links there, so the folder is
// private (mode 0700, owned by this user, not a link) and its files are never reached through a
// link.
class PrivateTempFolder {
public:
    // "$TEMP/metascribe-<uid>" when TEMP names an existing folder by an absolute path, otherwise
    // inside the system's temporary folder, and inside "/tmp" when that is not usable either:
    // never the root or the working folder.
    static QString path();
    // Creates the folder when missing and checks it. Throws Failure when it cannot be made safe.
    static QString ensure();

    // A new, empty file of this process alone in the folder ("<prefix><process>-XXXXXX<suffix>"),
    // so that program copies and runs working side by side never share one. Throws Failure.
    static QString createFile(const QString& prefix, const QString& suffix);
    // Removes what processes that no longer run left in the folder.
    static void removeLeftovers();

    // Creates or truncates a file in the folder and writes the bytes in one piece. Throws Failure.
    static void writeFile(const QString& path, const QByteArray& bytes);
    // Reads a file of the folder whole. Throws Failure.
    static QByteArray readFile(const QString& path);
};
