#pragma once

#include "TaggedFile.h"

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
    // Creates the folder when missing and checks it; gives the folder to use. When that name is
    // taken by a link or by what another user owns, this process uses a private folder
    // elsewhere instead: "$XDG_RUNTIME_DIR/metascribe", or a new folder with a random suffix
    // beside the usual name. Throws Failure when none can be made safe.
    static QString ensure();

    // What an exchange file is for: the info-update file of a run, a preview's dump, a copy of
    // an original prepared for the toolkit. Each has a name of its own.
    enum class Kind { Info, Dump, Copy };
    // A new, empty file of this process alone in the folder ("<kind's prefix><process>-XXXXXX
    // <kind's suffix>"), so that program copies and runs working side by side never share one,
    // held locked while the object lives. Throws Failure.
    static TaggedFile createFile(Kind kind);
    // Removes what processes left in the folder that no one holds locked, of every kind.
    static void removeLeftovers();

    // Creates or truncates a file in the folder and writes the bytes in one piece. Throws Failure.
    static void writeFile(const QString& path, const QByteArray& bytes);
    // Reads a file of the folder whole. Throws Failure.
    static QByteArray readFile(const QString& path);
};
