#pragma once

#include "BatchRun.h"
#include "EditPlan.h"
#include "RunChoices.h"
#include "RunStep.h"

#include <QList>
#include <QString>
#include <map>
#include <memory>
#include <optional>

class BatchSource;
class CommitQueue;
class Failure;
class OriginalKeeper;
class RunSteps;
struct FileJob;
enum class Flow;

// Changes the document information of a list of files, one after another. Every result is
// checked against its original by a reader of our own, gets the same XMP changes and the
// original's protection, and replaces its destination in one rename on the commit queue's thread;
// a file that fails keeps its original untouched. The engine runs on the calling thread and turns
// the event loop while it waits, so a window stays responsive and a termination signal is seen.
class BatchEngine {
public:
    // Whom the engine reports to: the window's second page or the command line. Every call
    // comes on the thread that called run(), and none of them runs any of the engine's work.
    class Host {
    public:
        virtual ~Host() = default;
        // Asked for each file just before it is read when the source asks for passwords; an
        // empty answer or nothing means the file has none.
        virtual std::optional<QString> askPassword(const QString& input) = 0;
        // The run has reached file position (1-based) of count.
        virtual void progress(int position, int count, const QString& input) = 0;
        // A numbered step of the run threw failure; the run went on with the next step, as a
        // trapped handler does (the window reports it with the step's number).
        virtual void stepFailed(RunStep step, const Failure& failure) = 0;
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
        // toolkit takes part, the source's plan is not asked, and the fields listed stay. The
        // stripped copy is made and checked on the commit queue's thread.
        std::optional<QList<InfoField>> strip;
        // Each result keeps its input's modification and access times (archives and file
        // managers sort by them).
        bool keepFileTime = false;
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

    // One file of the run, phase by phase; false when the run must stop.
    bool changeFile(int position, int count, const RunChoices& choices);
    // The job's phases from the one numbered first; false when the run must stop.
    bool runPhases(std::unique_ptr<FileJob> job, std::size_t first);
    // Takes the parked file on from where it waits for the toolkit; false when the run must
    // stop.
    bool finishParked();
    // The file's record: the one read ahead for it, or a new one. Nothing when the row went
    // while the run was waiting.
    std::unique_ptr<FileJob> jobFor(int position);
    // The phases, in the order changeFile goes through them.
    Flow findDestination(FileJob& job);
    Flow readPlan(FileJob& job);
    Flow writeInfoFile(FileJob& job);
    Flow choosePassword(FileJob& job);
    Flow loadOriginal(FileJob& job);
    // Within loadOriginal, once the original is read.
    Flow findNamedKeys(FileJob& job);
    // Whether a result of each file is checked against its original: in every run that writes,
    // and in a dry run that strips, which checks a copy as the run would.
    bool checksResult() const;
    // The input's stamp, and its times when the results keep them.
    void stampInput(FileJob& job) const;
    void readOriginal(FileJob& job);
    Flow prepareCopy(FileJob& job);
    Flow openOutput(FileJob& job);
    Flow runToolkit(FileJob& job);
    // In place of the toolkit for a signed file.
    Flow appendToSigned(FileJob& job);
    // In place of the toolkit's phases in a run that strips, whose files end with queueResult
    // as the others do: previewStrip after loadOriginal, stripOriginal after openOutput.
    Flow previewStrip(FileJob& job);
    Flow stripOriginal(FileJob& job);
    Flow makeInputWritable(FileJob& job);
    void queueResult(std::unique_ptr<FileJob> job);
    // The job's outcome is final, with nothing queued for it.
    void settle(std::unique_ptr<FileJob> job);
    // Waits until every result is in place or refused, and collects them; false when the run
    // was stopped meanwhile.
    bool waitForCommits();
    // Takes back the jobs the commit queue finished.
    void collectCommits();
    // Hands the host every outcome that is final, in list order.
    void reportFinished();
    void sweepLeftovers(const QString& folder);
    // Reads the file at position ahead, while the toolkit changes the one before it.
    void readAhead(int position);

    BatchSource& source_;
    Host& host_;
    Settings settings_;
    bool stopping_ = false;
    // How many files the run changes.
    int count_ = 0;
    // The file whose turn was reported last.
    int atHand_ = 0;
    std::unique_ptr<RunSteps> steps_;
    // Keeps the files this run replaces in the Trash, with the run's journal.
    std::shared_ptr<OriginalKeeper> keeper_;
    std::unique_ptr<CommitQueue> commits_;
    std::unique_ptr<RunState> run_;
    // The run's files whose outcomes the host has not heard of yet, by their position, in list
    // order; a file's slot is empty while its job is on the commit queue.
    std::map<int, std::unique_ptr<FileJob>> jobs_;
    // The outcomes the host has heard of, in list order.
    QList<BatchRun::Outcome> outcomes_;
};
