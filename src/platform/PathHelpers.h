#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Small path and file routines shared by every layer. Paths are plain text with "/" separators:
// only PlaceOf makes a given path absolute (ProgramFolder's is absolute too), nothing changes
// letter case or shows a message, and only StripExtension, ForceDeleteFile and MakeOwnerWritable
// throw; everything else tells a failure by what it gives back, or keeps quiet about it.
namespace PathHelpers {

// The bytes the system knows the path by, for every call that hands a path to the system.
QByteArray native(const QString& path);

// File attributes in the program's own numbering.
enum Attribute {
    ReadOnly = 1, // the owner may not write it
    Hidden = 2,   // the name begins with "."
    System = 4,   // never set on this platform
    Directory = 16,
    Archive = 32, // every regular file
    Alias = 1024, // a symbolic link
};

bool PathExists(const QString& path);
QString FileNameOf(const QString& path);
// Throws Failure for a name without a dot.
QString StripExtension(const QString& name);
QString FolderOf(const QString& path);
// Drops the second "/" of each pair, scanning on after the pair (so "///" keeps two).
QString CollapseSlashes(const QString& path);
bool IsFolder(const QString& path);
// The same string for every path that names the same place: links and relative parts
// resolved, also for a file that does not exist yet. Of a path whose folder does not exist
// either, only the relative parts are resolved.
QString PlaceOf(const QString& path);
// Turns the event loop once, as the page handlers that call it expect, then removes the file
// as DiscardFile does.
void RemoveFile(const QString& path);
// Removes the file, quietly when it is missing or cannot go; never turns the event loop, so it
// is the removal for destructors and for threads other than the window's.
void DiscardFile(const QString& path);
// Deletes the file, whatever its mode (the folder's permission is what counts); the file's mode
// is never changed. Throws Failure, with the system's reason, when it cannot be deleted.
void ForceDeleteFile(const QString& path);

// Puts folder's list of names on the disk, so that names just given there last; quietly, as
// nothing can be done about a folder that cannot be flushed. An empty folder is the current one.
void SyncFolder(const QString& folder);

// Renames from to to unless to exists, which is never replaced, not even by a rename racing with
// another program; where the file system cannot rename so, from gets the second name to and then
// loses its first. Gives 0, or the system's error number (EEXIST: to exists).
int RenameWithoutReplacing(const QString& from, const QString& to);

// The attributes of the path itself (a link is not followed for Alias; the other bits describe
// what the link points to); nothing when the path cannot be examined.
std::optional<int> FileAttributes(const QString& path);
// Gives the owner write permission and touches nothing else (what the window calls resetting
// the attributes to normal). Throws Failure.
void MakeOwnerWritable(const QString& path);

// The folder of the running executable, without a trailing "/" (the root stays "/").
QString ProgramFolder();

} // namespace PathHelpers
