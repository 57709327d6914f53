#pragma once

#include "OutputFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Checks results and puts them in place (mode, flush to disk, rename) on a thread of its own, in
// the order they were handed over, while the batch goes on with the next file: reading a result
// back and flushing it cost time, and the toolkit can change the next file meanwhile. Whatever is
// handed over is finished, also when the program closes.
class CommitQueue : public QObject {
    Q_OBJECT

public:
    struct Finished {
        int tag = 0;
        // Why the result could not be put in place; nothing when it was.
        std::optional<OutputFile::Refused> refused;
        // Why the check turned the result down; it was then removed and nothing was replaced.
        QString rejected;
        // What the outcome should also say about a result that was put in place.
        QString note;
    };
    // Gives why a result must not be used, or an empty text when it may.
    using Check = std::function<QString()>;

    CommitQueue();
    // Finishes everything handed over before it returns.
    ~CommitQueue() override;
    CommitQueue(const CommitQueue&) = delete;
    CommitQueue& operator=(const CommitQueue&) = delete;

    // Queues the result, to be put in place once check (when given) passes; tag comes back with
    // it in takeFinished().
    void add(std::unique_ptr<OutputFile> output, int tag, Check check = {});
    // Whether a queued result is still to replace the file at path (its links followed).
    bool pending(const QString& path) const;
    // Waits, with the event loop turning, until every queued result is finished.
    void waitForAll();
    // The results finished since the last call, in the order they were handed over.
    QList<Finished> takeFinished();

signals:
    // Emitted on the worker thread when nothing is left to do.
    void drained();

private:
    struct Job {
        std::unique_ptr<OutputFile> output;
        int tag;
        QString place;
        Check check;
    };
    void work();
    // Checks the job's result and puts it in place; whatever the check throws is the file's
    // failure, so nothing escapes onto the worker thread.
    static Finished carryOut(Job job);
    // Nothing queued and nothing being worked on; called with the mutex held.
    bool idle() const { return jobs_.empty() && !current_; }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    // The place of the job the worker has taken out of the queue, while it works on it.
    std::optional<QString> current_;
    bool stopping_ = false;
    QList<Finished> finished_;
    std::thread worker_;
};
