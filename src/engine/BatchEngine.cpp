#include "BatchEngine.h"

#include "BackgroundTask.h"
#include "BatchSource.h"
#include "CommitQueue.h"
#include "DestinationPlan.h"
#include "ErrorTrap.h"
#include "ExchangeFile.h"
#include "Failure.h"
#include "FileJob.h"
#include "FilePlan.h"
#include "FileValues.h"
#include "InfoUpdateFile.h"
#include "OriginalKeeper.h"
#include "PathHelpers.h"
#include "PdfSnapshot.h"
#include "PhaseClock.h"
#include "PrivateTempFolder.h"
#include "ReadAhead.h"
#include "ResultFinisher.h"
#include "RunSteps.h"
#include "SignedResultCheck.h"
#include "SignedUpdate.h"
#include "StripPhase.h"
#include "StripResultCheck.h"
#include "ToolkitPhase.h"

#include <QDateTime>
#include <QSet>
#include <span>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <variant>

namespace {

// A dry run only shows the original's values, and stripping drops the document information
// whatever else uses it: neither needs a search for other uses of them.
PdfSnapshot::Sharing sharingFor(const BatchEngine::Settings& settings) {
    return settings.dryRun || settings.strip ? PdfSnapshot::Sharing::Ignore
                                             : PdfSnapshot::Sharing::Find;
}

} // namespace

// What one run keeps from file to file.
struct BatchEngine::RunState {
    RunState(const QStringList& inputs, RunSteps& steps, const QString& toolkit,
             const bool& stopping)
        : destinations(inputs), toolkit(steps, toolkit, stopping) {}
    // The read-ahead works on its job: it goes first.
    ~RunState() { readAhead.reset(); }

    DestinationPlan destinations;
    QSet<QString> swept; // folders cleared of earlier runs' leftovers
    // The run's info-update files, which no other run or program copy can write into while the
    // toolkit reads them; rewritten for every file, taking turns, as the toolkit may still be
    // at work on the file before.
    ExchangeFile infoFiles[2];
    ToolkitPhase toolkit;
    std::unique_ptr<ReadAhead> readAhead;
    // The file the toolkit is at work on while the next one is got ready, and the phase it
    // goes on with.
    std::unique_ptr<FileJob> parked;
    std::size_t parkedPhase = 0;
};

BatchEngine::BatchEngine(BatchSource& source, Host& host) : BatchEngine(source, host, Settings()) {}

BatchEngine::BatchEngine(BatchSource& source, Host& host, Settings settings)
    : source_(source), host_(host), settings_(std::move(settings)),
      steps_(std::make_unique<RunSteps>(host)), commits_(std::make_unique<CommitQueue>()) {}

BatchEngine::~BatchEngine() {
    run_.reset();
    commits_.reset();
}

QList<BatchRun::Outcome> BatchEngine::run(int count, const QString& toolkitPath) {
    count_ = count;
    jobs_.clear();
    outcomes_.clear();
    QStringList inputs;
    for (int position = 1; position <= count; ++position)
        ErrorTrap::shielded("run plan", [&] { inputs << source_.pathAt(position); });
    run_ = std::make_unique<RunState>(inputs, *steps_, toolkitPath, stopping_);
    // A journal of its own for every run; written only once a file is replaced.
    keeper_ = std::make_shared<OriginalKeeper>(RunJournal(RunJournal::Kind::Set));
    if (!settings_.dryRun)
        PrivateTempFolder::removeLeftovers();
    for (int position = 1; position <= count && !stopping_; ++position) {
        const RunChoices choices = source_.choices();
        // With password prompts a result that could not be put in place is reported before
        // anything of the next file, its steps and its prompt; without them the results are
        // put in place while the next files are changed.
        if (choices.promptForPassword) {
            finishParked();
            commits_->waitForAll();
        }
        collectCommits();
        if (stopping_ || !changeFile(position, count, choices))
            break;
    }
    finishParked();
    commits_->waitForAll();
    collectCommits();
    keeper_->finish();
    PhaseClock::report();
    // Here rather than in the run state's destructor, which must not turn the event loop.
    for (ExchangeFile& infoFile : run_->infoFiles)
        infoFile.remove();
    run_.reset();
    QList<BatchRun::Outcome> outcomes = std::exchange(outcomes_, {});
    for (const auto& [position, job] : jobs_)
        outcomes << job->outcome;
    jobs_.clear();
    return outcomes;
}

bool BatchEngine::changeFile(int position, int count, const RunChoices& choices) {
    std::unique_ptr<FileJob> job = jobFor(position);
    // The row went while the run was waiting; there is nothing to change for it.
    if (!job)
        return true;
    job->choices = choices;
    atHand_ = position;
    host_.progress(position, count, job->input());
    if (stopping_)
        return false;
    return runPhases(std::move(job), 0);
}

bool BatchEngine::runPhases(std::unique_ptr<FileJob> job, std::size_t first) {
    using Phase = Flow (BatchEngine::*)(FileJob&);
    static constexpr Phase phases[] = {
        &BatchEngine::findDestination, &BatchEngine::readPlan,     &BatchEngine::writeInfoFile,
        &BatchEngine::choosePassword,  &BatchEngine::loadOriginal, &BatchEngine::prepareCopy,
        &BatchEngine::openOutput,      &BatchEngine::runToolkit,   &BatchEngine::makeInputWritable,
    };
    static constexpr Phase stripPhases[] = {
        &BatchEngine::findDestination,   &BatchEngine::choosePassword, &BatchEngine::loadOriginal,
        &BatchEngine::previewStrip,      &BatchEngine::openOutput,     &BatchEngine::stripOriginal,
        &BatchEngine::makeInputWritable,
    };
    const std::span<const Phase> order =
        settings_.strip ? std::span<const Phase>(stripPhases) : std::span<const Phase>(phases);
    for (std::size_t phase = first; phase < order.size(); ++phase) {
        const Flow flow = (this->*order[phase])(*job);
        if (flow == Flow::Stop) {
            // A parked file's slot goes with it.
            if (const auto slot = jobs_.find(job->position); slot != jobs_.end() && !slot->second)
                jobs_.erase(slot);
            return false;
        }
        if (flow == Flow::Done) {
            settle(std::move(job));
            return true;
        }
        if (flow == Flow::Later) {
            // The file before, parked the same way, goes on now; this one waits in its place.
            jobs_[job->position] = nullptr;
            std::unique_ptr<FileJob> earlier = std::exchange(run_->parked, std::move(job));
            const std::size_t earlierPhase = std::exchange(run_->parkedPhase, phase);
            return !earlier || runPhases(std::move(earlier), earlierPhase);
        }
    }
    queueResult(std::move(job));
    return true;
}

bool BatchEngine::finishParked() {
    if (!run_->parked)
        return true;
    return runPhases(std::move(run_->parked), run_->parkedPhase);
}

std::unique_ptr<FileJob> BatchEngine::jobFor(int position) {
    QString input;
    if (!steps_->step(RunStep::ReadPath, [&] { input = source_.pathAt(position); }))
        return nullptr;
    std::unique_ptr<ReadAhead> ahead = std::move(run_->readAhead);
    std::unique_ptr<FileJob> job = ahead ? ahead->take(input) : nullptr;
    return job ? std::move(job) : std::make_unique<FileJob>(position, input);
}

void BatchEngine::settle(std::unique_ptr<FileJob> job) {
    job->release();
    const int position = job->position;
    jobs_[position] = std::move(job);
    reportFinished();
}

Flow BatchEngine::findDestination(FileJob& job) {
    const QString& input = job.input();
    const RunChoices& choices = job.choices;
    // A name without a dot keeps its whole name as title and base, after the report.
    steps_->step(RunStep::TakeFileName,
                 [&] { job.titleFromName = PathHelpers::FileNameOf(input); });
    steps_->step(RunStep::StripTitleExtension,
                 [&] { job.titleFromName = PathHelpers::StripExtension(job.titleFromName); });
    // The name is cut where the chosen save option forms its destination; without an option
    // there is no destination to form.
    QString base = PathHelpers::FileNameOf(input);
    const bool toFolder = !choices.inPlace && choices.saveToFolder;
    if (toFolder || (!choices.inPlace && choices.saveBesideOriginal))
        steps_->step(toFolder ? RunStep::StripBaseForFolder : RunStep::StripBaseBesideOriginal,
                     [&] { base = PathHelpers::StripExtension(base); });
    // The output made ahead was made for the destination then chosen.
    const QString readAhead = std::exchange(job.outcome.destination, QString());
    steps_->step(RunStep::FormDestination,
                 [&] { job.outcome.destination = choices.destinationOf(input, base); });
    if (job.destination() != readAhead)
        job.output.reset();
    if (job.destination().isEmpty())
        return job.fail(QStringLiteral("no destination: neither save option is selected"));

    if (const QString refused = run_->destinations.claim(
            input, job.destination(), choices.inPlace || choices.saveBesideOriginal);
        !refused.isEmpty())
        return job.fail(refused);
    return Flow::Next;
}

Flow BatchEngine::readPlan(FileJob& job) {
    std::optional<InfoField> badDate;
    QString badKey;
    steps_->step(RunStep::ReadPlan, [&] {
        job.plan = source_.plan(job.position);
        // The plan may have changed since the run began.
        badDate = job.plan.firstBadDate();
        badKey = job.plan.firstKeyProblem();
        job.plan = job.plan.withPdfDates();
        job.info = InfoUpdateFile::content(job.plan, job.titleFromName);
    });
    if (badDate)
        return job.fail(EditPlan::notADateMessage(*badDate, job.plan.choice(*badDate).text));
    if (!badKey.isEmpty())
        return job.fail(badKey);
    return Flow::Next;
}

// The run has an info-update file of its own, which no other run or program copy can write into
// while the toolkit reads it; it is rewritten for every file.
Flow BatchEngine::writeInfoFile(FileJob& job) {
    if (settings_.dryRun)
        return Flow::Next;
    // Not the one the toolkit may still be reading for the parked file.
    ExchangeFile& infoFile =
        run_->infoFiles[run_->parked && run_->parked->infoFile == &run_->infoFiles[0] ? 1 : 0];
    job.infoFile = &infoFile;
    QString infoFailure = QStringLiteral("could not write the info-update file");
    steps_->step(RunStep::WriteInfoFile, [&] {
        try {
            if (infoFile.path().isEmpty())
                infoFile.create(PrivateTempFolder::Kind::Info);
            InfoUpdateFile::write(infoFile.path(), job.info);
        } catch (const Failure& failure) {
            infoFailure += QStringLiteral(": ") + failure.description();
            infoFile.remove();
            throw;
        }
    });
    if (infoFile.path().isEmpty())
        return job.fail(infoFailure);
    return Flow::Next;
}

Flow BatchEngine::choosePassword(FileJob& job) {
    std::optional<QString> password = settings_.password;
    if (job.choices.promptForPassword) {
        // A result that could not be put in place is reported before the next question.
        if (!waitForCommits())
            return Flow::Stop;
        steps_->step(RunStep::AskPassword, [&] {
            const std::optional<QString> answer = host_.askPassword(job.input());
            if (answer && !answer->isEmpty())
                password = answer;
        });
    }
    // What was read ahead was read with the run's one password, and keeps the one it took.
    if (!job.readAhead || password != settings_.password)
        job.forgetReadAhead(password);
    return stopping_ ? Flow::Stop : Flow::Next;
}

Flow BatchEngine::loadOriginal(FileJob& job) {
    const QString& input = job.input();
    // A file still on its way to its place is neither read nor replaced before it is there.
    const bool inPlace = job.destination() == input;
    // Nor is one that the parked file reads or writes.
    const auto touches = [&job](const FileJob& other) {
        return QSet<QString>{other.input(), other.destination()}.intersects(
            QSet<QString>{job.input(), job.destination()});
    };
    if (run_->parked && touches(*run_->parked) && !finishParked())
        return Flow::Stop;
    if ((commits_->pending(input) || (!inPlace && commits_->pending(job.destination()))) &&
        !waitForCommits())
        return Flow::Stop;
    try {
        // Read ahead, and still the file it was then.
        if (job.readAhead && FileStamp::of(input) != job.stamp)
            job.forgetReadAhead(settings_.password);
        if (job.unreadable)
            throw *job.unreadable;
        if (!job.readAhead)
            readOriginal(job);
    } catch (const Failure& failure) {
        return stopping_ ? Flow::Stop : job.fail(failure.description(), failure.detail());
    }
    if (stopping_)
        return Flow::Stop;
    // Rewriting a signed file breaks its signatures: it is stripped never, and changed only by
    // an update added after the signed part, which a dry run says too.
    if (job.original->isSigned()) {
        const QString refusal =
            settings_.strip ? SignedUpdate::stripRefusal() : SignedUpdate::refusal(*job.original);
        if (!refusal.isEmpty())
            return job.fail(refusal);
        if (settings_.dryRun)
            job.outcome.note = SignedUpdate::note(true);
    }
    if (const Flow named = findNamedKeys(job); named != Flow::Next)
        return named;
    if (settings_.dryRun && !settings_.strip) {
        job.outcome.preview = BatchRun::previewOf(*job.original, job.plan, job.titleFromName);
        readAhead(job.position + 1);
        return Flow::Done;
    }
    return Flow::Next;
}

// What the plan works out from the file itself (templates, a pattern for its name, a file to
// copy from, filling only what is empty) and the keys it names in any case (--remove company, a
// table's column "company") become literal values and the keys this file spells so, once the
// original is read; from here on they are checked like typed ones. The info-update file was
// written before the original was read, and is written again where that changes what it says.
Flow BatchEngine::findNamedKeys(FileJob& job) {
    if (!job.plan.hasKeysInAnyCase() && !job.plan.dependsOnFile())
        return Flow::Next;
    std::variant<EditPlan, QString> found;
    if (job.plan.dependsOnFile()) {
        FilePlan::File file{job.input(), FileValues::infoOf(*job.original), {}, job.password};
        if (job.stamp)
            file.modified = QDateTime::fromMSecsSinceEpoch(job.stamp->modified / 1000000);
        // It may read the file's XMP metadata and another file.
        BackgroundTask::run([&] { found = FilePlan::forFile(job.plan, file); });
    } else {
        found = job.plan.forKeys(job.original->info().keys());
    }
    if (const QString* problem = std::get_if<QString>(&found))
        return job.fail(*problem);
    job.plan = std::get<EditPlan>(std::move(found));
    if (const std::optional<InfoField> badDate = job.plan.firstBadDate())
        return job.fail(EditPlan::notADateMessage(*badDate, job.plan.choice(*badDate).text));
    if (const QString badKey = job.plan.firstKeyProblem(); !badKey.isEmpty())
        return job.fail(badKey);
    job.plan = job.plan.withPdfDates();
    QByteArray info = InfoUpdateFile::content(job.plan, job.titleFromName);
    if (info == job.info)
        return Flow::Next;
    job.info = std::move(info);
    return writeInfoFile(job);
}

void BatchEngine::stampInput(FileJob& job) const {
    // Taken before it is read: a change while it is read is a change since, and reading it may
    // move its access time.
    job.stamp = FileStamp::of(job.input());
    if (job.stamp && settings_.keepFileTime)
        job.times = OutputFile::timesOf(job.input());
}

// Throws Failure.
void BatchEngine::readOriginal(FileJob& job) {
    stampInput(job);
    job.original = std::make_shared<PdfSnapshot>();
    const bool shared = job.password.has_value() && job.password == settings_.password;
    BackgroundTask::run([&] {
        *job.original = ReadAhead::readOriginal(job.input(), job.password, shared,
                                                sharingFor(settings_), checksResult());
    });
}

Flow BatchEngine::prepareCopy(FileJob& job) {
    // A signed file is no toolkit's.
    if (job.original->isSigned())
        return Flow::Next;
    return run_->toolkit.prepare(job);
}

Flow BatchEngine::runToolkit(FileJob& job) {
    // Back for the toolkit's answer. A stop is for the file at hand, whose turn has been
    // reported, and those after it: a file before it is finished as it would have been had the
    // toolkit not worked on it while the file at hand was got ready.
    if (job.toolkitRun)
        return run_->toolkit.run(job, job.position != atHand_);
    // The next file is read while the toolkit changes this one.
    readAhead(job.position + 1);
    if (job.original->isSigned())
        return appendToSigned(job);
    // And got ready up to its own toolkit run, while the toolkit is at work on this one; not
    // with password prompts, where each file's question waits for the results before it.
    if (!job.choices.promptForPassword && run_->toolkit.start(job))
        return Flow::Later;
    return run_->toolkit.run(job);
}

// In place of the toolkit for a signed file: the change is added after the signed part, into
// the result file, while the next file is read; its check follows on the commit queue's thread.
Flow BatchEngine::appendToSigned(FileJob& job) {
    try {
        BackgroundTask::run([&] {
            job.signedPart =
                SignedUpdate::write(job.input(), job.plan, job.titleFromName,
                                    job.output->temporaryPath(), QDateTime::currentDateTime());
        });
    } catch (const Failure& failure) {
        return stopping_ ? Flow::Stop : job.fail(failure.description(), failure.detail());
    }
    job.resultNote = SignedUpdate::note(false);
    return stopping_ ? Flow::Stop : Flow::Next;
}

// A dry run that strips lists what each file would lose, and changes nothing.
Flow BatchEngine::previewStrip(FileJob& job) {
    if (!settings_.dryRun)
        return Flow::Next;
    readAhead(job.position + 1);
    return StripPhase::preview(job, *settings_.strip);
}

// Writes the stripped copy into the result file where the toolkit would write its result, while
// the next file is read; its check follows on the commit queue's thread.
Flow BatchEngine::stripOriginal(FileJob& job) {
    readAhead(job.position + 1);
    const Flow flow = StripPhase::write(job, *settings_.strip);
    return stopping_ ? Flow::Stop : flow;
}

Flow BatchEngine::openOutput(FileJob& job) {
    const QString& destination = job.destination();
    const OutputFile::Link link = OutputFile::linkFor(job.input(), destination);
    sweepLeftovers(PathHelpers::FolderOf(
        link == OutputFile::Link::Follow ? OutputFile::resolveLink(destination) : destination));
    // The output made ahead is used when it was made for the same destination, the same way.
    if (job.link != link)
        job.output.reset();
    job.link = link;
    try {
        if (!job.output)
            job.output = std::make_unique<OutputFile>(destination, link);
    } catch (const OutputFile::Refused& refused) {
        if (refused.permissionDenied())
            host_.writeRefused(destination);
        return job.fail(refused.reason());
    }
    return Flow::Next;
}

Flow BatchEngine::makeInputWritable(FileJob& job) {
    const QString& input = job.input();
    // Only an input its result replaces: one whose result goes elsewhere keeps its mode.
    if (settings_.makeInputsWritable && job.link == OutputFile::Link::Follow)
        steps_->step(RunStep::MakeInputWritable, [&] {
            // Only the user's own files: another user's read-only file is theirs to open up,
            // and is reported instead.
            struct stat info {};
            const bool examined = ::stat(PathHelpers::native(input).constData(), &info) == 0;
            if (examined && (info.st_uid != ::geteuid() || (info.st_mode & S_IWUSR)))
                return;
            const bool asRead =
                job.stamp == (examined ? std::optional(FileStamp::of(info)) : std::nullopt);
            PathHelpers::MakeOwnerWritable(input);
            // Its new mode is this run's own change, not another program's.
            if (asRead)
                job.stamp = FileStamp::of(input);
        });
    if (const QString why = job.output->whyNotWritable(); !why.isEmpty()) {
        host_.writeRefused(job.destination());
        return job.fail(QStringLiteral("could not write the destination: ") + why);
    }
    return Flow::Next;
}

void BatchEngine::queueResult(std::unique_ptr<FileJob> job) {
    if (job->link == OutputFile::Link::Follow && job->stamp)
        job->output->expect(*job->stamp);
    if (job->choices.keepOriginalsInTrash)
        job->output->keepOriginalWith(keeper_);
    if (settings_.keepFileTime) {
        // A file whose times could not be read is not given the moment it was changed instead.
        if (!job->times) {
            job->fail(QStringLiteral("its modification time could not be read"));
            settle(std::move(job));
            return;
        }
        job->output->keepTimes(*job->times);
    }
    const bool stripped = job->stripped.has_value();
    const bool appended = job->signedPart.has_value();
    // Its slot stays empty until the queue gives the job back.
    jobs_[job->position] = nullptr;
    if (stripped)
        commits_->add(std::move(job), &StripResultCheck::verify);
    else if (appended)
        commits_->add(std::move(job), &SignedResultCheck::verify);
    else
        commits_->add(std::move(job), [](const FileJob& queued) { ResultFinisher{queued}(); });
}

void BatchEngine::readAhead(int position) {
    run_->readAhead.reset();
    // A file that needs a password is read with it, which is only asked for when its turn
    // comes.
    const RunChoices choices = source_.choices();
    if (position > count_ || choices.promptForPassword)
        return;
    std::unique_ptr<FileJob> job;
    const bool known = ErrorTrap::shielded("read ahead", [&] {
        job = std::make_unique<FileJob>(position, source_.pathAt(position));
        QString base = PathHelpers::FileNameOf(job->input());
        if (base.contains(QLatin1Char('.')))
            base = PathHelpers::StripExtension(base);
        job->outcome.destination = choices.destinationOf(job->input(), base);
    });
    if (!known)
        return;
    stampInput(*job);
    if (!job->stamp)
        return;
    run_->readAhead =
        std::make_unique<ReadAhead>(std::move(job), settings_.password, sharingFor(settings_),
                                    !settings_.dryRun, checksResult());
}

void BatchEngine::sweepLeftovers(const QString& folder) {
    // Once per folder and run: what a killed run left beside the originals goes before this
    // run writes there.
    if (run_->swept.contains(folder))
        return;
    run_->swept.insert(folder);
    OutputFile::removeLeftovers(folder);
}

bool BatchEngine::checksResult() const {
    return !settings_.dryRun || settings_.strip;
}

bool BatchEngine::waitForCommits() {
    if (!finishParked())
        return false;
    commits_->waitForAll();
    collectCommits();
    return !stopping_;
}

void BatchEngine::collectCommits() {
    for (CommitQueue::Finished& done : commits_->takeFinished()) {
        if (done.refused && done.refused->permissionDenied())
            host_.writeRefused(done.job->destination());
        const int position = done.job->position;
        jobs_[position] = std::move(done.job);
    }
    reportFinished();
}

void BatchEngine::reportFinished() {
    // A file the host has heard of keeps only its outcome, so that what a run holds for each
    // file it has finished stays small however many files it changes.
    while (!jobs_.empty() && jobs_.begin()->second) {
        const std::unique_ptr<FileJob> job = std::move(jobs_.extract(jobs_.begin()).mapped());
        host_.finished(job->outcome);
        outcomes_ << std::move(job->outcome);
    }
}
