#pragma once

#include "OutputFile.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct FileJob;

// Checks results and puts them in place (mode, flush to disk, rename) on a thread of its own, in
// the order they were handed over, while the batch goes on with the next file: reading a result
// back and flushing it cost time, and the toolkit can change the next file meanwhile. What has
// piled up while a slow disk was waited on is flushed as one group. Whatever is handed over is
// finished, also when the program closes.
class CommitQueue : public QObject {
    Q_OBJECT

public:
    struct Finished {
        // Its outcome final: its reason says why the result was not put in place (it was then
        // removed and nothing was replaced), its note what a result put in place also says.
        std::unique_ptr<FileJob> job;
        // The system refused to put the result in place.
        std::optional<OutputFile::Refused> refused;
    };
    // Throws Rejection when the job's result must not be used.
    using Check = std::function<void(FileJob&)>;

    CommitQueue();
    // Finishes everything handed over before it returns.
    ~CommitQueue() override;
    CommitQueue(const CommitQueue&) = delete;
    CommitQueue& operator=(const CommitQueue&) = delete;

    // How many results may wait for the worker at once: enough that it never runs dry while the
    // next files are changed, few enough that what they hold (a snapshot of each original, an
    // open result file each) stays small, and far from the system's limit on open files,
    // however many files a run changes.
    static constexpr std::size_t waitingLimit = 64;
    // The most results the worker takes at once, as one group: they are flushed together.
    static constexpr std::size_t largestGroup = 32;

    // Queues the job's output, to be put in place once check (when given) passes. While
    // waitingLimit results wait, first waits with the event loop turning until the worker takes
    // one.
    void add(std::unique_ptr<FileJob> job, Check check = {});
    // Whether a queued result is still to replace the file at path (its links followed).
    bool pending(const QString& path) const;
    // Waits, with the event loop turning, until every queued result is finished.
    void waitForAll();
    // The jobs finished since the last call, in the order they were handed over.
    std::vector<Finished> takeFinished();

signals:
    // Emitted on the worker thread when nothing is left to do.
    void drained();
    // Emitted on the worker thread when it has taken a result out of the queue.
    void taken();

private:
    struct Entry {
        std::unique_ptr<FileJob> job;
        // Where the job's output goes, as pending() compares it.
        QString place;
        Check check;
    };
    // Returns once fewer than waitingLimit results wait.
    void waitForRoom();
    void work();
    // Checks the group's results and puts them in place; whatever a check throws is its file's
    // failure, so nothing escapes onto the worker thread.
    static std::vector<Finished> carryOut(std::vector<Entry> group);
    // Runs one step of a job's commit; what it throws is the file's failure (false).
    static bool attempt(Finished& done, const std::function<void(FileJob&)>& step);
    // Nothing queued and nothing being worked on; called with the mutex held.
    bool idle() const { return entries_.empty() && current_.empty(); }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::condition_variable room_;
    std::deque<Entry> entries_;
    // The places of the entries the worker has taken out of the queue, while it works on them.
    std::vector<QString> current_;
    bool stopping_ = false;
    std::vector<Finished> finished_;
    std::thread worker_;
};
