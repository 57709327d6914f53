#pragma once

#include "RunJournal.h"
#include "TrashCan.h"

#include <QString>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>

// Keeps in the Trash every file a run replaces, and tells the run's journal, before the rename
// that replaces it: the original gets a second name in the Trash of its own mount (so its path
// is never missing), and the journal's line says where, and what replaces it.
class OriginalKeeper {
public:
    // What keep() did, to be taken back when the replacement does not happen after all.
    struct Kept {
        TrashCan::Item item;
        struct stat original {};
    };

    explicit OriginalKeeper(RunJournal journal) : journal_(std::move(journal)) {}

    // Keeps the file open as original (what stat() told of it as info, named target) in the
    // Trash and journals it with the digest of what replacement holds. Throws Failure, with
    // nothing kept. Without flushNow, the Trash's name for it is on the disk only once
    // flushKept() has returned.
    Kept keep(const QString& target, int original, const struct stat& info, int replacement,
              bool flushNow = true);
    // Flushes the Trash's names that keep() gave without flushing, for a group of files at once.
    // Throws Failure.
    void flushKept();
    // Takes the Trash's name back; the journal's line stays, and reads as a file whose original
    // is still in place.
    static void withdraw(const Kept& kept) { TrashCan::withdraw(kept.item, kept.original); }

    // Journals a rename (an undo of one) before it happens: the line is on the disk when this
    // returns, or, without syncNow, once syncJournal() has returned. Throws Failure.
    void recordRename(const RunJournal::Entry& entry, bool syncNow = true) {
        journal_.append(entry);
        if (syncNow)
            journal_.sync();
    }
    void syncJournal() { journal_.sync(); }

    // Flushes to disk what the Trashes and the journal hold, and lets go of the journal, so that
    // undo may take the run back; at the end of a run.
    void finish();

    // The journal's file, once something was kept.
    QString journalFile() const { return journal_.file(); }

private:
    std::mutex mutex_;
    RunJournal journal_;
    // Found once per device for the run: finding a mount's Trash walks up its folders.
    std::map<dev_t, TrashCan> trashes_;
    // The Trashes that hold names not yet flushed.
    std::set<dev_t> unflushed_;
};
