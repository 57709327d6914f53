#pragma once

#include "BatchEngine.h"
#include "FolderWalker.h"
#include "ProgressLine.h"

#include <QList>

// What the engine reports, written to the terminal or a script.
class ConsoleHost : public BatchEngine::Host {
public:
    // entries are the files of the run in their order, with those refused before it.
    ConsoleHost(bool json, bool dryRun, bool strip, QList<FolderWalker::Found> entries);

    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }
    void progress(int position, int count, const QString& input) override;
    // The outcome carries every reason that matters here; a step that fails only leaves its
    // default (a name without a dot keeps its whole name).
    void stepFailed(RunStep, const Failure&) override {}
    void writeRefused(const QString&) override {}
    void finished(const BatchRun::Outcome& outcome) override;

    // Reports the entries refused before the run that come next in the list, in their places
    // between the engine's outcomes; or, when the run is over, every one not reported yet.
    void reportRefused(bool all);
    void clearProgress() { progress_.clear(); }

    int done() const { return done_; }
    int failed() const { return failed_; }
    // How many outcomes the engine gave.
    int reached() const { return reached_; }

private:
    void write(const BatchRun::Outcome& outcome);

    bool json_;
    bool dryRun_;
    bool strip_;
    QList<FolderWalker::Found> entries_;
    qsizetype next_ = 0;
    ProgressLine progress_;
    int done_ = 0;
    int failed_ = 0;
    int reached_ = 0;
};
