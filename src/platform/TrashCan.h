#pragma once

#include <QString>
#include <sys/stat.h>
#include <sys/types.h>

// The desktop's Trash, as file managers share it: the home Trash ($XDG_DATA_HOME/Trash) for
// files on its device, and for a file on another mount that mount's own Trash ($topdir/.Trash/
// $uid when the administrator made a sticky, unlinked $topdir/.Trash, else $topdir/.Trash-$uid).
// A file is kept there by a second name (a hard link) rather than moved, so its own path never
// goes missing: whoever replaces it afterwards does so in one rename. Every failure is a Failure
// whose text reads after "its original could not be kept in the Trash: ".
class TrashCan {
public:
    // A file kept in the Trash: its name under files/ and its description under info/.
    struct Item {
        QString file;
        QString info;
    };

    // The Trash for the file at path, made when missing. Throws Failure when there is none this
    // user may use on that file's mount.
    static TrashCan forPath(const QString& path);

    // The Trash's folder (the one holding files/ and info/).
    QString folder() const { return folder_; }
    // The device the Trash is on: a file on another one cannot be kept here.
    dev_t device() const { return device_; }

    // Keeps the file open as descriptor (named path) under a name of its own: the name's
    // description is claimed first (so no other program takes it) and written, then the file
    // gets its second name, which is flushed to disk before this returns (without flushNow, by
    // flushKept(), before anything may rely on it). Nothing is left behind when a step fails.
    // Throws Failure.
    Item keep(const QString& path, int descriptor, bool flushNow = true) const;
    // Flushes to disk the second names keep() gave without flushing. Throws Failure.
    void flushKept() const;
    // Flushes to disk everything kept so far, descriptions included. Quiet.
    void flush() const;
    // Takes back what keep() did: the second name (only while it is still the file described by
    // kept) and its description. Quiet; for a replacement that did not happen after all.
    static void withdraw(const Item& item, const struct stat& kept);
    // Puts the kept file back at path in one rename, then removes its description. Throws
    // Failure.
    static void putBack(const Item& item, const QString& path);
    // Whether item is a name keep() gives the file at path: files/NAME in a Trash of this
    // user's, beside info/NAME.trashinfo, a description of this user's whose Path= gives path.
    // An item read from elsewhere (a journal) is trusted to be renamed or unlinked only then:
    // anything else may be any file of the user's.
    static bool describes(const Item& item, const QString& path);

    // What a description says for a file at path: its Path= value, percent-encoded, and the
    // name it is kept under for a wish of baseName (the first free of "name.pdf", "name.2.pdf",
    // ...). Exposed for tests.
    QString pathEntry(const QString& path) const;
    static QString candidateName(const QString& baseName, int attempt);

private:
    TrashCan(QString folder, QString topFolder, dev_t device)
        : folder_(std::move(folder)), topFolder_(std::move(topFolder)), device_(device) {}

    QString folder_;
    // The mount's top folder for a mount's Trash, whose Path= entries are relative to it; empty
    // for the home Trash, whose entries are absolute.
    QString topFolder_;
    dev_t device_;
};
