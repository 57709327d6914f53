#include "CommitQueue.h"

#include "PathHelpers.h"

#include <QEventLoop>
#include <utility>

CommitQueue::CommitQueue() : worker_([this] { work(); }) {}

CommitQueue::~CommitQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void CommitQueue::add(std::unique_ptr<OutputFile> output, int tag, Check check) {
    const QString place = PathHelpers::PlaceOf(output->target());
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(output), tag, place, std::move(check)});
    }
    wake_.notify_one();
}

bool CommitQueue::pending(const QString& path) const {
    const QString place = PathHelpers::PlaceOf(path);
    std::lock_guard lock(mutex_);
    if (current_ == place)
        return true;
    for (const Job& job : jobs_)
        if (job.place == place)
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

QList<CommitQueue::Finished> CommitQueue::takeFinished() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
}

void CommitQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty())
            return;
        // Worked on outside the queue, so nothing refers into it while the lock is let go;
        // pending() still sees its place.
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        current_ = job.place;
        lock.unlock();
        // The job goes with the call: a result that was not put in place is removed here, off
        // the window's thread too.
        const Finished done = carryOut(std::move(job));
        lock.lock();
        current_.reset();
        finished_ << done;
        if (idle()) {
            idle_.notify_all();
            lock.unlock();
            emit drained();
            lock.lock();
        }
    }
}

CommitQueue::Finished CommitQueue::carryOut(Job job) {
    Finished done{job.tag, std::nullopt, {}, {}};
    // Nothing unchecked may replace a file, whatever went wrong in the check.
    const QString unchecked = QStringLiteral("the result could not be checked: ");
    try {
        if (job.check)
            done.rejected = job.check();
        if (done.rejected.isEmpty())
            done.note = job.output->commit();
    } catch (const OutputFile::Refused& refused) {
        done.refused = refused;
    } catch (const std::exception& unexpected) {
        done.rejected = unchecked + QString::fromLocal8Bit(unexpected.what());
    } catch (...) {
        done.rejected = unchecked + QStringLiteral("an unknown error occurred");
    }
    return done;
}
