#include "CommitQueue.h"

#include "FileJob.h"
#include "PathHelpers.h"
#include "PhaseClock.h"
#include "Rejection.h"

#include <QEventLoop>
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
    if (current_ == place)
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
        // Worked on outside the queue, so nothing refers into it while the lock is let go;
        // pending() still sees its place.
        Entry entry = std::move(entries_.front());
        entries_.pop_front();
        current_ = entry.place;
        lock.unlock();
        room_.notify_all();
        emit taken();
        // A result that was not put in place is removed in the call, off the window's thread
        // too.
        Finished done = carryOut(std::move(entry));
        lock.lock();
        current_.reset();
        finished_.push_back(std::move(done));
        if (idle()) {
            idle_.notify_all();
            lock.unlock();
            emit drained();
            lock.lock();
        }
    }
}

CommitQueue::Finished CommitQueue::carryOut(Entry entry) {
    Finished done{std::move(entry.job), std::nullopt};
    FileJob& job = *done.job;
    // Nothing unchecked may replace a file, whatever went wrong in the check.
    const QString unchecked = QStringLiteral("the result could not be checked: ");
    try {
        if (entry.check)
            entry.check(job);
        const PhaseClock::Scope clock(PhaseClock::Commit);
        job.outcome.note = joined(job.resultNote, job.output->commit());
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
    job.release();
    return done;
}
