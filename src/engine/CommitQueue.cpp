#include "CommitQueue.h"

#include <QEventLoop>
#include <QFileInfo>
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

QString CommitQueue::placeOf(const QString& path) {
    const QFileInfo info(path);
    const QString existing = info.canonicalFilePath();
    if (!existing.isEmpty())
        return existing;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

void CommitQueue::add(std::unique_ptr<OutputFile> output, int tag, Check check) {
    const QString place = placeOf(output->target());
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(output), tag, place, std::move(check)});
    }
    wake_.notify_one();
}

bool CommitQueue::pending(const QString& path) const {
    const QString place = placeOf(path);
    std::lock_guard lock(mutex_);
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
        if (jobs_.empty())
            return;
    }
    // drained is posted to this thread, so it is seen even if the last job ends right here.
    loop.exec();
    // The loop also ends when the program is closing; the work is finished all the same.
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty(); });
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
        // The job stays queued while it runs, so pending() still sees its place.
        Job& job = jobs_.front();
        lock.unlock();
        Finished done{job.tag, std::nullopt, {}};
        try {
            if (job.check)
                done.rejected = job.check();
            if (done.rejected.isEmpty())
                job.output->commit();
        } catch (const OutputFile::Refused& refused) {
            done.refused = refused;
        } catch (const std::exception& unexpected) {
            // Nothing unchecked may replace a file, whatever went wrong in the check.
            done.rejected = QStringLiteral("the result could not be checked: ") +
                            QString::fromLocal8Bit(unexpected.what());
        }
        // A result that was not put in place is removed here, off the window's thread too.
        job.output.reset();
        lock.lock();
        jobs_.pop_front();
        finished_ << done;
        if (jobs_.empty()) {
            idle_.notify_all();
            lock.unlock();
            emit drained();
            lock.lock();
        }
    }
}
