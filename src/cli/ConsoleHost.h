#pragma once

#include "BatchEngine.h"
#include "EditPlan.h"
#include "FolderWalker.h"
#include "ProgressLine.h"

#include <QList>

// What the engine reports, written to the terminal or a script.
class ConsoleHost : public BatchEngine::Host {
public:
    // perFile, when given, holds a plan for each file of the run, in its order, that goes on
    // top of plan for that file.
    ConsoleHost(EditPlan plan, QList<EditPlan> perFile, bool json, bool dryRun, bool strip,
                QList<FolderWalker::Found> entries);

    // The engine asks for the plan of the file whose progress it reported last.
    EditPlan plan() const override;
    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }
    void progress(int position, int count, const QString& input) override;
    // The outcome carries every reason that matters here; a step that fails only leaves its
    // default (a name without a dot keeps its whole name).
    void step(RunStep, const std::function<void()>& work) override;
    bool test(RunStep, const std::function<bool()>& condition) override;
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

    EditPlan plan_;
    QList<EditPlan> perFile_;
    int position_ = 0;
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
