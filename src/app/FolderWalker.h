#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Walks folder trees and lists the files of one folder. Folder entries end with "/".
// Sub-folders and files come sorted as a file manager shows them (letter case ignored, numbers
// in numeric order), so results are stable. Links to folders are never followed, so a link loop
// cannot hang a walk or repeat files.
class FolderWalker {
public:
    // The files a walk saw in each folder it read (folder with its trailing "/" to file names),
    // so listing those folders afterwards needs no second read of the disk.
    using Listing = QHash<QString, QStringList>;

    // A path found, or an entry a walk does not take though a user may expect it to (a FIFO, a
    // device, a link to nothing, a name that is not UTF-8) with the reason, so that a script is
    // told rather than left to wonder. Refused names read as well as they can, with replacement
    // characters for bytes that are not UTF-8; a folder's name ends with "/".
    struct Found {
        QString path;
        QString refusal; // empty for a file to take
    };
    // The entries refused in each folder a walk read (folder with its trailing "/" to entries
    // named by their names only).
    using Refusals = QHash<QString, QList<Found>>;

    // Appends to folders every accepted folder beneath its entries, breadth-first. An entry
    // whose sub-folders cannot be listed (no permission, vanished) is removed, and the walk goes
    // on. Yields to the event loop as it goes, so windows stay responsive.
    static void AppendSubFolders(QStringList& folders, bool recurse, Listing* listing = nullptr,
                                 Refusals* refusals = nullptr);

    // The names of the files directly in folder that match the wildcard pattern ("*" any run,
    // "?" one character, letter case ignored; "*.*" every file), hidden files included. Taken
    // from the listing when it holds the folder.
    static QStringList GetFolderFiles(const QString& folder, const QString& pattern,
                                      const Listing* listing = nullptr);

    // Whether a file found in a folder is one to add: not a lock or backup file ("~" first) and
    // not a writable hidden file.
    static bool IsWanted(const QString& folder, const QString& name);
    // Every wanted file in the tree under folder whose name matches pattern, folder by folder,
    // and in their places the entries refused there (a sub-folder refused whatever its name).
    static QList<Found> FilesInTree(const QString& folder, const QString& pattern);
    // Of the entries a walk refused in folder (with its trailing "/"), those a user adding the
    // files that match pattern would look for: every refused sub-folder, and the files that
    // match and would otherwise be wanted. Named by their names only.
    static QList<Found> RefusedIn(const Refusals& refusals, const QString& folder,
                                  const QString& pattern);

    // An existing regular file, after following a link to it.
    static bool IsExistingFile(const QString& path);

    // A name the walk refuses: a character below 32, from 127 to 159, or "?"; or bytes that are
    // not valid UTF-8 (such a name cannot be written back as a path).
    static bool HasOddCharacters(const QByteArray& name);
    static bool isUtf8(const QByteArray& bytes);
    // Why a name that is not UTF-8 is refused, wherever it was found: the walk, the command line
    // or the window all say it the same way.
    static QString notUtf8Reason();

    static bool matches(const QString& name, const QString& pattern);

    // Names in a file manager's order.
    static void sortNames(QStringList& names);
    static int compareNames(const QString& a, const QString& b);

    static constexpr int NameLimit = 255;  // bytes
    static constexpr int PathLimit = 4096; // bytes
};
