#pragma once

#include "BatchRun.h"
#include "EditPlan.h"
#include "RunStep.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class BatchSource;
class CommitQueue;
class OriginalKeeper;

// Changes the document information of a list of files, one after another. Every result is
// checked against its original by a reader of our own, gets the same XMP changes and the
// original's protection, and replaces its destination in one rename on the commit queue's thread;
// a file that fails keeps its original untouched. The engine runs on the calling thread and turns
// the event loop while it waits, so a window stays responsive and a termination signal is seen.
class BatchEngine {
public:
    // What the engine needs from whoever runs it: the window's second page or the command line.
    // Every call comes on the thread that called run().
    class Host {
    public:
        virtual ~Host() = default;
        // The plan for one file; read anew for each, since the window's fields stay editable.
        virtual EditPlan plan() const = 0;
        // Asked for each file just before it is read when the source asks for passwords; an
        // empty answer or nothing means the file has none.
        virtual std::optional<QString> askPassword(const QString& input) = 0;
        // The run has reached file position (1-based) of count.
        virtual void progress(int position, int count, const QString& input) = 0;
        // A numbered step of the run. What it throws must not leave here; the window reports it
        // with its number and goes on with the next step.
        virtual void step(RunStep step, const std::function<void()>& work) = 0;
        // A step that decides; one that throws counts as true.
        virtual bool test(RunStep step, const std::function<bool()>& condition) = 0;
        // The system refused this user the write of destination.
        virtual void writeRefused(const QString& destination) = 0;
        // A file's final outcome; given once per file, in the order of the list.
        virtual void finished(const BatchRun::Outcome& outcome) = 0;
    };

    struct Settings {
        // One password for every protected file, known before the run (the command line).
        std::optional<QString> password;
        // Reads each file and says what would change, changing nothing.
        bool dryRun = false;
        // The window makes each input writable for its owner before its result is put in
        // place, as its users expect; a script's files keep their modes, and a read-only
        // destination is then reported instead.
        bool makeInputsWritable = true;
        // Strips each file of its metadata (PdfStripper) instead of changing its fields: no
        // toolkit takes part, the host's plan is not asked, and the fields listed stay. The
        // stripped copy is made and checked on the commit queue's thread.
        std::optional<QList<InfoField>> strip;
    };

    BatchEngine(BatchSource& source, Host& host);
    BatchEngine(BatchSource& source, Host& host, Settings settings);
    // Results still queued are put in place first.
    ~BatchEngine();
    BatchEngine(const BatchEngine&) = delete;
    BatchEngine& operator=(const BatchEngine&) = delete;

    // Changes the first count files of the source with the toolkit at toolkitPath. Gives one
    // outcome per file that was still listed when its turn came; after stop(), only those
    // reached before it.
    QList<BatchRun::Outcome> run(int count, const QString& toolkitPath);

    // Ends the run after the file at hand: a toolkit still at work is stopped and its output
    // removed; results already made are checked and put in place.
    void stop() { stopping_ = true; }
    bool stopping() const { return stopping_; }

private:
    struct RunState;
    struct Prefetch;
    struct FileRun;
    // Where a phase of one file leaves it: on to the next phase, done with its outcome known
    // (the run goes on), or the run ends here.
    enum class Flow { Next, Done, Stop };

    // One file of the run, phase by phase; false when the run must stop.
    bool changeFile(int position, int count);
    // The phases, in the order changeFile goes through them.
    Flow findDestination(FileRun& file);
    Flow readPlan(FileRun& file);
    Flow writeInfoFile(FileRun& file);
    Flow choosePassword(FileRun& file);
    Flow loadOriginal(FileRun& file);
    Flow prepareCopy(FileRun& file);
    void makeCopy(FileRun& file);
    Flow openOutput(FileRun& file);
    Flow runToolkit(FileRun& file);
    ToolResult toolkitOnce(FileRun& file, const QString& resultPath);
    // In place of the toolkit's phases in a run that strips, whose files end with queueResult
    // as the others do: previewStrip after loadOriginal, stripOriginal after openOutput.
    Flow previewStrip(FileRun& file);
    Flow stripOriginal(FileRun& file);
    Flow queueResult(FileRun& file);
    // The file's outcome is final, with nothing queued for it.
    Flow settle(FileRun& file);
    Flow fail(FileRun& file, const QString& reason, const QString& detail = {});
    // Marks the files whose results could not be put in place.
    void collectCommits();
    // Hands the host every outcome that is final, in list order.
    void reportFinished();
    void sweepLeftovers(const QString& folder);
    void prefetch(int position, int count);
    // What was done ahead for input, once it is finished; nothing when it was for another file.
    std::unique_ptr<Prefetch> takePrefetch(const QString& input);
    QString destinationOf(const QString& input, const QString& base) const;

    BatchSource& source_;
    Host& host_;
    Settings settings_;
    bool stopping_ = false;
    QString toolkit_;
    // Keeps the files this run replaces in the Trash, with the run's journal.
    std::shared_ptr<OriginalKeeper> keeper_;
    std::unique_ptr<CommitQueue> commits_;
    std::unique_ptr<RunState> run_;
    QList<BatchRun::Outcome> outcomes_;
    // The destination of each outcome whose result is still queued.
    QHash<int, QString> committing_;
    int reported_ = 0;
};
