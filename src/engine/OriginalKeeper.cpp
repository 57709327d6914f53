#include "OriginalKeeper.h"

#include "Failure.h"

OriginalKeeper::Kept OriginalKeeper::keep(const QString& target, int original,
                                          const struct stat& info, int replacement, bool flushNow) {
    // The digest costs a read of the result, which is in the cache still; it is what tells an
    // undo that the file holds this run's result and nothing written since.
    const QByteArray digest = RunJournal::digestOf(replacement);
    std::lock_guard lock(mutex_);
    auto found = trashes_.find(info.st_dev);
    if (found == trashes_.end())
        found = trashes_.emplace(info.st_dev, TrashCan::forPath(target)).first;
    Kept kept{found->second.keep(target, original, flushNow), info};
    if (!flushNow)
        unflushed_.insert(info.st_dev);
    try {
        journal_.append({target, kept.item, FileIdentity::of(info), digest, {}});
    } catch (const Failure&) {
        withdraw(kept);
        throw;
    }
    return kept;
}

void OriginalKeeper::flushKept() {
    std::lock_guard lock(mutex_);
    // Forgotten only once flushed: a group that failed here fails again for each of its files.
    for (auto device = unflushed_.begin(); device != unflushed_.end();) {
        trashes_.at(*device).flushKept();
        device = unflushed_.erase(device);
    }
}

void OriginalKeeper::finish() {
    std::lock_guard lock(mutex_);
    for (const auto& [device, trash] : trashes_)
        trash.flush();
    journal_.close();
}
