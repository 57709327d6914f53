#include "CommitQueue.h"

#include "FileJob.h"
#include "PathHelpers.h"
#include "PhaseClock.h"
#include "Rejection.h"

#include <QEventLoop>
#include <algorithm>
#include <utility>

namespace {

QString joined(const QString& note, const QString& more) {
    if (note.isEmpty() || more.isEmpty())
        return note + more;
    return note + QStringLiteral("; ") + more;
}

} // namespace

CommitQueue::CommitQueue() : worker_([this] { work(); }) {}

CommitQueue::~CommitQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void CommitQueue::add(std::unique_ptr<FileJob> job, Check check) {
    const QString place = PathHelpers::PlaceOf(job->output->target());
    waitForRoom();
    {
        std::lock_guard lock(mutex_);
        entries_.push_back({std::move(job), place, std::move(check)});
    }
    wake_.notify_one();
}

bool CommitQueue::pending(const QString& path) const {
    const QString place = PathHelpers::PlaceOf(path);
    std::lock_guard lock(mutex_);
    if (std::find(current_.begin(), current_.end(), place) != current_.end())
        return true;
    for (const Entry& entry : entries_)
        if (entry.place == place)
            return true;
    return false;
}

void CommitQueue::waitForAll() {
    QEventLoop loop;
    connect(this, &CommitQueue::drained, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    {
        std::lock_guard lock(mutex_);
        if (idle())
            return;
    }
    // drained is posted to this thread, so it is seen even if the last job ends right here.
    loop.exec();
    // The loop also ends when the program is closing; the work is finished all the same.
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return idle(); });
}

void CommitQueue::waitForRoom() {
    QEventLoop loop;
    connect(this, &CommitQueue::taken, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    {
        std::lock_guard lock(mutex_);
        if (entries_.size() < waitingLimit)
            return;
    }
    // taken is posted to this thread, so it is seen even if the worker takes one right here.
    loop.exec();
    // The loop also ends when the program is closing; the worker makes room all the same.
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return entries_.size() < waitingLimit; });
}

std::vector<CommitQueue::Finished> CommitQueue::takeFinished() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
}

void CommitQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !entries_.empty(); });
        if (entries_.empty())
            return;
        // Everything handed over by now is one group, whose results go to the disk together
        // (see carryOut). Worked on outside the queue, so nothing refers into it while the lock
        // is let go; pending() still sees their places.
        // A second result for the same file waits for the next group: it replaces what the
        // first one put there.
        std::vector<Entry> group;
        while (!entries_.empty() && group.size() < largestGroup &&
               std::find(current_.begin(), current_.end(), entries_.front().place) ==
                   current_.end()) {
            group.push_back(std::move(entries_.front()));
            entries_.pop_front();
            current_.push_back(group.back().place);
        }
        lock.unlock();
        room_.notify_all();
        emit taken();
        // A result that was not put in place is removed in the call, off the window's thread
        // too.
        std::vector<Finished> done = carryOut(std::move(group));
        lock.lock();
        current_.clear();
        for (Finished& one : done)
            finished_.push_back(std::move(one));
        if (idle()) {
            idle_.notify_all();
            lock.unlock();
            emit drained();
            lock.lock();
        }
    }
}

bool CommitQueue::attempt(Finished& done, const std::function<void(FileJob&)>& step) {
    FileJob& job = *done.job;
    // Nothing unchecked may replace a file, whatever went wrong in the check.
    const QString unchecked = QStringLiteral("the result could not be checked: ");
    try {
        step(job);
        return true;
    } catch (const OutputFile::Refused& refused) {
        done.refused = refused;
        job.outcome.reason = refused.reason();
    } catch (const Rejection& rejection) {
        job.outcome.reason = rejection.description();
    } catch (const std::exception& unexpected) {
        job.outcome.reason = unchecked + QString::fromLocal8Bit(unexpected.what());
    } catch (...) {
        job.outcome.reason = unchecked + QStringLiteral("an unknown error occurred");
    }
    return false;
}

// Each result is checked and given the details of the file it replaces; then all of them are
// written to the disk at once and waited for one by one, so a slow disk is waited on about once
// for the group rather than once for each file; then each is renamed, every one flushed before.
std::vector<CommitQueue::Finished> CommitQueue::carryOut(std::vector<Entry> group) {
    std::vector<Finished> done;
    std::vector<bool> going;
    for (Entry& entry : group) {
        done.push_back({std::move(entry.job), std::nullopt});
        going.push_back(attempt(done.back(), [&entry](FileJob& job) {
            if (entry.check)
                entry.check(job);
            const PhaseClock::Scope clock(PhaseClock::Commit);
            job.output->prepareCommit();
        }));
    }
    for (std::size_t at = 0; at < done.size(); ++at) {
        if (going[at])
            done[at].job->output->startFlush();
    }
    for (std::size_t at = 0; at < done.size(); ++at) {
        if (going[at])
            going[at] = attempt(done[at], [](FileJob& job) { job.output->flush(); });
    }
    // The originals' names in the Trash reach the disk together too, before any is replaced.
    for (std::size_t at = 0; at < done.size(); ++at) {
        if (going[at])
            going[at] = attempt(done[at], [](FileJob& job) {
                const PhaseClock::Scope clock(PhaseClock::Commit);
                job.output->keepOriginal(false);
            });
    }
    for (std::size_t at = 0; at < done.size(); ++at) {
        if (going[at])
            going[at] = attempt(done[at], [](FileJob& job) {
                const PhaseClock::Scope clock(PhaseClock::Flush);
                job.output->flushKept();
            });
    }
    for (std::size_t at = 0; at < done.size(); ++at) {
        if (going[at])
            attempt(done[at], [](FileJob& job) {
                const PhaseClock::Scope clock(PhaseClock::Commit);
                job.outcome.note = joined(job.resultNote, job.output->replace());
            });
        done[at].job->release();
    }
    return done;
}
