#include "BatchEngine.h"

#include "BackgroundTask.h"
#include "BatchSource.h"
#include "CommitQueue.h"
#include "DestinationPlan.h"
#include "EarlyWriteback.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "FileStamp.h"
#include "InfoUpdateFile.h"
#include "OriginalKeeper.h"
#include "OutputFile.h"
#include "PathHelpers.h"
#include "PdfCopier.h"
#include "PdfSnapshot.h"
#include "PdfStripper.h"
#include "PrivateTempFolder.h"
#include "ResultFinisher.h"
#include "StripCheck.h"
#include "ToolRunner.h"
#include "ToolkitCommand.h"
#include "UnnamedFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file in the private folder that lives as long as one file of the run needs it.
struct ExchangeFile {
    QString path;
    // Held locked while in use, so that no other run takes it for a leftover.
    TaggedFile held;
    // Gone without a yield: a destructor must not turn the event loop.
    ~ExchangeFile() {
        if (!path.isEmpty())
            PathHelpers::DiscardFile(path);
    }
    void remove() {
        if (!path.isEmpty())
            PathHelpers::RemoveFile(path);
        path.clear();
        held = TaggedFile();
    }
};

// Reads an original with password. When that is the run's one password for every protected file
// and this file does not take it, the file is read without one: a file protected only against
// changes opens without a password, and its result is protected again as it was.
PdfSnapshot readOriginal(const QString& input, std::optional<QString>& password,
                         bool sharedPassword, PdfSnapshot::Sharing sharing) {
    try {
        return PdfSnapshot::read(input, password, sharing);
    } catch (const Failure& failure) {
        if (!sharedPassword || !password)
            throw;
        try {
            PdfSnapshot snapshot = PdfSnapshot::read(input, std::nullopt, sharing);
            password.reset();
            return snapshot;
        } catch (const Failure&) {
            throw failure;
        }
    }
}

// A dry run only shows the original's values, and stripping drops the document information
// whatever else uses it: neither needs a search for other uses of them.
PdfSnapshot::Sharing sharingFor(const BatchEngine::Settings& settings) {
    return settings.dryRun || settings.strip ? PdfSnapshot::Sharing::Ignore
                                             : PdfSnapshot::Sharing::Find;
}

// A destination that is the input's own name (in place, or a result over its original) is the
// input changed in place: a link there keeps being a link and its target is changed. Any other
// destination is never written through a link.
OutputFile::Link linkFor(const QString& input, const QString& destination) {
    if (destination == input)
        return OutputFile::Link::Follow;
    struct stat named {};
    struct stat read {};
    const bool same = ::lstat(QFile::encodeName(destination).constData(), &named) == 0 &&
                      ::lstat(QFile::encodeName(input).constData(), &read) == 0 &&
                      named.st_dev == read.st_dev && named.st_ino == read.st_ino;
    return same ? OutputFile::Link::Follow : OutputFile::Link::Refuse;
}

QList<BatchRun::FieldPreview> previewOf(const PdfSnapshot& original, const EditPlan& plan,
                                        const QString& titleFromName) {
    // The eight in their order, then the others by name.
    QList<BatchRun::FieldPreview> preview;
    QMap<QString, std::optional<QString>> edits = plan.infoEdits(titleFromName);
    for (InfoField field : EditPlan::fields) {
        const QString key = EditPlan::toolkitKey(field);
        if (edits.contains(key))
            preview.append({key, original.infoValue(key), edits.take(key)});
    }
    for (auto edit = edits.cbegin(); edit != edits.cend(); ++edit)
        preview.append({edit.key(), original.infoValue(edit.key()), edit.value()});
    return preview;
}

} // namespace

// What one run keeps from file to file.
struct BatchEngine::RunState {
    explicit RunState(const QStringList& inputs) : destinations(inputs) {}
    // Gone without a yield: a destructor must not turn the event loop.
    ~RunState() {
        if (!infoFile.isEmpty())
            PathHelpers::DiscardFile(infoFile);
    }
    void dropInfoFile() {
        if (!infoFile.isEmpty())
            PathHelpers::RemoveFile(infoFile);
        infoFile.clear();
        infoHeld = TaggedFile();
    }
    DestinationPlan destinations;
    QSet<QString> swept; // folders cleared of earlier runs' leftovers
    QString infoFile;
    TaggedFile infoHeld;
    std::unique_ptr<Prefetch> prefetch;
};

// What the next file needs that takes time but changes nothing (reading its original, creating
// the file its result goes into), done while the toolkit changes this one.
struct BatchEngine::Prefetch {
    // The task works on the members below: it is waited for before any of them goes.
    ~Prefetch() { task.reset(); }

    QString path;
    std::optional<QString> asked;    // the password it was read with
    std::optional<QString> password; // the one the file took
    std::optional<FileStamp> stamp;
    std::shared_ptr<PdfSnapshot> snapshot;
    std::optional<Failure> unreadable;
    QString destination;
    OutputFile::Link link = OutputFile::Link::Refuse;
    std::unique_ptr<OutputFile> output;
    std::unique_ptr<BackgroundTask> task;
};

// What the phases of one file hand on to each other.
struct BatchEngine::FileRun {
    FileRun(int position, int count) : position(position), count(count) {}
    const QString& input() const { return outcome.path; }
    const QString& destination() const { return outcome.destination; }

    const int position;
    const int count;
    BatchRun::Outcome outcome;
    // A name without a dot keeps its whole name as title, after the report.
    QString titleFromName;
    EditPlan plan;
    // What the info-update file says for this file.
    QByteArray info;
    std::optional<QString> password;
    // What the original holds, read by a reader independent of the toolkit: the result must
    // hold the same, apart from the fields that were changed.
    std::shared_ptr<PdfSnapshot> original;
    // The input as it was when it was read; changed in place, it must still be that file when
    // its result replaces it.
    std::optional<FileStamp> stamp;
    // Whether the destination is the input itself.
    OutputFile::Link link = OutputFile::Link::Refuse;
    std::unique_ptr<Prefetch> ahead;
    PdfCopier::Copy copy;
    // Our reader could not write the file out again: the toolkit gets it as it is, once.
    bool repairFailed = false;
    // The prepared copy the toolkit reads instead of the file, in memory or in the private
    // folder; neither when the toolkit reads the file itself.
    std::optional<QByteArray> preparedBytes;
    ExchangeFile preparedCopy;
    // A protected file's decrypted copy when it is too large for memory, and the toolkit's result
    // before it is protected again: neither ever has a name, so a kill leaves nothing readable.
    std::optional<UnnamedFile> unnamedCopy;
    std::shared_ptr<UnnamedFile> unprotectedResult;
    std::unique_ptr<OutputFile> output;
    // What stripping took out of it, in a run that strips.
    std::optional<PdfStripper::Stripped> stripped;
};

BatchEngine::BatchEngine(BatchSource& source, Host& host) : BatchEngine(source, host, Settings()) {}

BatchEngine::BatchEngine(BatchSource& source, Host& host, Settings settings)
    : source_(source), host_(host), settings_(std::move(settings)),
      commits_(std::make_unique<CommitQueue>()) {}

BatchEngine::~BatchEngine() {
    run_.reset();
    commits_.reset();
}

QList<BatchRun::Outcome> BatchEngine::run(int count, const QString& toolkitPath) {
    toolkit_ = toolkitPath;
    outcomes_.clear();
    committing_.clear();
    reported_ = 0;
    QStringList inputs;
    for (int position = 1; position <= count; ++position)
        ErrorTrap::shielded("run plan", [&] { inputs << source_.pathAt(position); });
    run_ = std::make_unique<RunState>(inputs);
    // A journal of its own for every run; written only once a file is replaced.
    keeper_ = std::make_shared<OriginalKeeper>(RunJournal(RunJournal::Kind::Set));
    if (!settings_.dryRun)
        PrivateTempFolder::removeLeftovers();
    for (int position = 1; position <= count && !stopping_; ++position) {
        // With password prompts a result that could not be put in place is reported before
        // anything of the next file, its steps and its prompt; without them the results are
        // put in place while the next files are changed.
        if (source_.promptForPassword())
            commits_->waitForAll();
        collectCommits();
        if (stopping_ || !changeFile(position, count))
            break;
    }
    commits_->waitForAll();
    collectCommits();
    keeper_->finish();
    // Here rather than in the run state's destructor, which must not turn the event loop.
    run_->dropInfoFile();
    run_.reset();
    return outcomes_;
}

QString BatchEngine::destinationOf(const QString& input, const QString& base) const {
    if (source_.inPlace())
        return input;
    return BatchRun::destination(input, base, source_.saveToFolder(), source_.saveBesideOriginal(),
                                 source_.resultFolder())
        .value_or(QString());
}

bool BatchEngine::changeFile(int position, int count) {
    FileRun file(position, count);
    bool listed = false;
    host_.step(RunStep::ReadPath, [&] {
        file.outcome.path = source_.pathAt(position);
        listed = true;
    });
    // The row went while the run was waiting; there is nothing to change for it.
    if (!listed)
        return true;
    host_.progress(position, count, file.input());
    if (stopping_)
        return false;

    using Phase = Flow (BatchEngine::*)(FileRun&);
    static constexpr Phase phases[] = {
        &BatchEngine::findDestination, &BatchEngine::readPlan,     &BatchEngine::writeInfoFile,
        &BatchEngine::choosePassword,  &BatchEngine::loadOriginal, &BatchEngine::prepareCopy,
        &BatchEngine::openOutput,      &BatchEngine::runToolkit,
    };
    static constexpr Phase stripPhases[] = {
        &BatchEngine::findDestination, &BatchEngine::choosePassword, &BatchEngine::loadOriginal,
        &BatchEngine::previewStrip,    &BatchEngine::openOutput,     &BatchEngine::stripOriginal,
    };
    for (const Phase phase :
         settings_.strip ? std::span<const Phase>(stripPhases) : std::span<const Phase>(phases))
        if (const Flow flow = (this->*phase)(file); flow != Flow::Next)
            return flow == Flow::Done;
    return queueResult(file) != Flow::Stop;
}

BatchEngine::Flow BatchEngine::settle(FileRun& file) {
    outcomes_ << file.outcome;
    reportFinished();
    return Flow::Done;
}

BatchEngine::Flow BatchEngine::fail(FileRun& file, const QString& reason, const QString& detail) {
    file.outcome.reason = reason;
    file.outcome.detail = detail;
    return settle(file);
}

BatchEngine::Flow BatchEngine::findDestination(FileRun& file) {
    const QString& input = file.input();
    // A name without a dot keeps its whole name as title and base, after the report.
    host_.step(RunStep::TakeFileName, [&] { file.titleFromName = PathHelpers::FileNameOf(input); });
    host_.step(RunStep::StripTitleExtension,
               [&] { file.titleFromName = PathHelpers::StripExtension(file.titleFromName); });
    // The name is cut where the chosen save option forms its destination; without an option
    // there is no destination to form.
    const bool inPlace = source_.inPlace();
    QString base = PathHelpers::FileNameOf(input);
    const bool toFolder = !inPlace && source_.saveToFolder();
    if (toFolder || (!inPlace && source_.saveBesideOriginal()))
        host_.step(toFolder ? RunStep::StripBaseForFolder : RunStep::StripBaseBesideOriginal,
                   [&] { base = PathHelpers::StripExtension(base); });
    host_.step(RunStep::FormDestination,
               [&] { file.outcome.destination = destinationOf(input, base); });
    if (file.destination().isEmpty())
        return fail(file, QStringLiteral("no destination: neither save option is selected"));

    if (const QString refused = run_->destinations.claim(input, file.destination(),
                                                         inPlace || source_.saveBesideOriginal());
        !refused.isEmpty())
        return fail(file, refused);
    return Flow::Next;
}

BatchEngine::Flow BatchEngine::readPlan(FileRun& file) {
    std::optional<InfoField> badDate;
    QString badKey;
    host_.step(RunStep::ReadPlan, [&] {
        file.plan = host_.plan();
        // The plan may have changed since the run began.
        badDate = file.plan.firstBadDate();
        badKey = file.plan.firstKeyProblem();
        file.plan = file.plan.withPdfDates();
        file.info = InfoUpdateFile::content(file.plan, file.titleFromName);
    });
    if (badDate)
        return fail(file, EditPlan::notADateMessage(*badDate, file.plan.choice(*badDate).text));
    if (!badKey.isEmpty())
        return fail(file, badKey);
    return Flow::Next;
}

// The run has an info-update file of its own, which no other run or program copy can write into
// while the toolkit reads it; it is rewritten for every file.
BatchEngine::Flow BatchEngine::writeInfoFile(FileRun& file) {
    if (settings_.dryRun)
        return Flow::Next;
    QString infoFailure = QStringLiteral("could not write the info-update file");
    host_.step(RunStep::WriteInfoFile, [&] {
        try {
            if (run_->infoFile.isEmpty()) {
                run_->infoHeld = PrivateTempFolder::createFile(PrivateTempFolder::Kind::Info);
                run_->infoFile = run_->infoHeld.path();
            }
            InfoUpdateFile::write(run_->infoFile, file.info);
        } catch (const Failure& failure) {
            infoFailure += QStringLiteral(": ") + failure.description();
            run_->dropInfoFile();
            throw;
        }
    });
    if (run_->infoFile.isEmpty())
        return fail(file, infoFailure);
    return Flow::Next;
}

BatchEngine::Flow BatchEngine::choosePassword(FileRun& file) {
    file.password = settings_.password;
    if (host_.test(RunStep::AsksForPasswords, [this] { return source_.promptForPassword(); })) {
        // A result that could not be put in place is reported before the next question.
        commits_->waitForAll();
        collectCommits();
        if (stopping_)
            return Flow::Stop;
        host_.step(RunStep::AskPassword, [&] {
            const std::optional<QString> answer = host_.askPassword(file.input());
            if (answer && !answer->isEmpty())
                file.password = answer;
        });
    }
    return stopping_ ? Flow::Stop : Flow::Next;
}

BatchEngine::Flow BatchEngine::loadOriginal(FileRun& file) {
    const QString& input = file.input();
    // A file still on its way to its place is neither read nor replaced before it is there.
    if (commits_->pending(input) || commits_->pending(file.destination())) {
        commits_->waitForAll();
        collectCommits();
        if (stopping_)
            return Flow::Stop;
    }

    file.ahead = takePrefetch(input);
    try {
        // Read ahead with the same password, and still the file it was then.
        const Prefetch* ahead = file.ahead.get();
        if (ahead && ahead->asked == file.password && ahead->stamp &&
            FileStamp::of(input) == ahead->stamp) {
            if (ahead->unreadable)
                throw *ahead->unreadable;
            file.original = ahead->snapshot;
            file.password = ahead->password;
            file.stamp = ahead->stamp;
        }
        if (!file.original) {
            // Taken before it is read: a change while it is read is a change since.
            file.stamp = FileStamp::of(input);
            file.original = std::make_shared<PdfSnapshot>();
            const bool shared = file.password.has_value() && file.password == settings_.password;
            BackgroundTask::run([&] {
                *file.original = readOriginal(input, file.password, shared, sharingFor(settings_));
            });
        }
    } catch (const Failure& failure) {
        return stopping_ ? Flow::Stop : fail(file, failure.description(), failure.detail());
    }
    if (stopping_)
        return Flow::Stop;
    if (settings_.dryRun && !settings_.strip) {
        file.outcome.preview = previewOf(*file.original, file.plan, file.titleFromName);
        prefetch(file.position + 1, file.count);
        return settle(file);
    }
    return Flow::Next;
}

// A dry run that strips lists what each file would lose, and changes nothing.
BatchEngine::Flow BatchEngine::previewStrip(FileRun& file) {
    if (!settings_.dryRun)
        return Flow::Next;
    prefetch(file.position + 1, file.count);
    try {
        BackgroundTask::run([&] {
            file.outcome.removals =
                PdfStripper::strip(file.input(), file.password, *settings_.strip).removals;
        });
    } catch (const Failure& failure) {
        return fail(file, failure.description());
    }
    return settle(file);
}

// Writes the stripped copy into the result file where the toolkit would write its result, while
// the next file is read; its check follows on the commit queue's thread.
BatchEngine::Flow BatchEngine::stripOriginal(FileRun& file) {
    prefetch(file.position + 1, file.count);
    try {
        BackgroundTask::run([&] {
            file.stripped = PdfStripper::strip(file.input(), file.password, *settings_.strip,
                                               file.output->temporaryPath());
        });
    } catch (const Failure& failure) {
        return stopping_ ? Flow::Stop : fail(file, failure.description());
    }
    return stopping_ ? Flow::Stop : Flow::Next;
}

// The toolkit gets a prepared copy of the file when its document information is also part of the
// document (the toolkit would destroy that part), when it is encrypted (the toolkit cannot read
// every encryption; the result is encrypted again as the original is) or when reading it showed
// damage (the toolkit fails on such files, or hangs until its time limit; the copy is written
// anew by our reader, which repaired what it could).
BatchEngine::Flow BatchEngine::prepareCopy(FileRun& file) {
    file.copy = {file.original->needsOwnInfo(), file.original->encrypted(),
                 file.original->hadWarnings()};
    if (!file.copy.needed())
        return Flow::Next;
    try {
        makeCopy(file);
    } catch (const Failure& failure) {
        // Damage that our reader cannot write out again may still be no obstacle to the
        // toolkit, which then gets the file as it is.
        if (file.copy.repair && !file.copy.ownInfo && !file.copy.decrypt) {
            file.copy.repair = false;
            file.repairFailed = true;
            return Flow::Next;
        }
        return fail(file,
                    QStringLiteral("it could not be prepared for the toolkit: ") +
                        failure.description(),
                    failure.detail());
    }
    return stopping_ ? Flow::Stop : Flow::Next;
}

// The copy stays in memory unless the file is large, then it goes into the private folder:
// without a name when it is decrypted. Throws Failure.
void BatchEngine::makeCopy(FileRun& file) {
    const QString& input = file.input();
    constexpr qint64 inMemoryLimit = 32 * 1024 * 1024;
    if (QFileInfo(input).size() <= inMemoryLimit) {
        BackgroundTask::run(
            [&] { file.preparedBytes = PdfCopier::copyInMemory(input, file.password, file.copy); });
        return;
    }
    QString copyPath;
    if (file.copy.decrypt) {
        file.unnamedCopy = UnnamedFile::create(PrivateTempFolder::ensure());
        copyPath = file.unnamedCopy->path();
    } else {
        file.preparedCopy.held = PrivateTempFolder::createFile(PrivateTempFolder::Kind::Copy);
        copyPath = file.preparedCopy.path = file.preparedCopy.held.path();
    }
    BackgroundTask::run([&] { PdfCopier::writeCopy(input, file.password, file.copy, copyPath); });
}

BatchEngine::Flow BatchEngine::openOutput(FileRun& file) {
    const QString& destination = file.destination();
    file.link = linkFor(file.input(), destination);
    sweepLeftovers(PathHelpers::FolderOf(file.link == OutputFile::Link::Follow
                                             ? OutputFile::resolveLink(destination)
                                             : destination));
    try {
        if (file.ahead && file.ahead->output && file.ahead->destination == destination &&
            file.ahead->link == file.link)
            file.output = std::move(file.ahead->output);
        else
            file.output = std::make_unique<OutputFile>(destination, file.link);
    } catch (const OutputFile::Refused& refused) {
        if (refused.permissionDenied())
            host_.writeRefused(destination);
        return fail(file, refused.reason());
    }
    return Flow::Next;
}

BatchEngine::Flow BatchEngine::runToolkit(FileRun& file) {
    // The next file is read while the toolkit changes this one.
    prefetch(file.position + 1, file.count);
    const QString& input = file.input();
    // The result of a protected file gets a name only once it is protected again.
    if (file.copy.decrypt) {
        try {
            file.unprotectedResult =
                std::make_shared<UnnamedFile>(UnnamedFile::create(PrivateTempFolder::ensure()));
        } catch (const Failure& failure) {
            return fail(file, failure.description());
        }
    }
    const QString resultPath =
        file.unprotectedResult ? file.unprotectedResult->path() : file.output->temporaryPath();
    ToolResult result = toolkitOnce(file, resultPath);
    if (result.outcome == ToolResult::Outcome::Interrupted || stopping_)
        return Flow::Stop;
    if (result.succeeded() && OutputFile::looksComplete(resultPath))
        return Flow::Next;
    QString reason = BatchRun::toolkitReason(result);
    QString detail = BatchRun::toolkitDetail(result, input);
    // The toolkit could not take the file as it is, though our reader could: once more, and only
    // once, with a copy our reader writes anew. Not when it had a copy already, nor when the
    // toolkit could not start or could not write, which a copy does not change.
    const bool retry = !file.copy.needed() && !file.repairFailed &&
                       result.outcome != ToolResult::Outcome::NotStarted &&
                       !reason.startsWith(QLatin1String("could not write the destination"));
    if (retry) {
        file.copy.repair = true;
        try {
            makeCopy(file);
        } catch (const Failure&) {
            return fail(file, reason, detail);
        }
        if (stopping_)
            return Flow::Stop;
        // What the first run left is no part of the second's result.
        QFile::resize(resultPath, 0);
        result = toolkitOnce(file, resultPath);
        if (result.outcome == ToolResult::Outcome::Interrupted || stopping_)
            return Flow::Stop;
        if (result.succeeded() && OutputFile::looksComplete(resultPath))
            return Flow::Next;
        reason = BatchRun::toolkitReason(result);
        const QString again = BatchRun::toolkitDetail(result, input);
        if (!again.isEmpty())
            detail += (detail.isEmpty() ? QString() : QStringLiteral("\n")) +
                      QStringLiteral("with a repaired copy: ") + again;
    }
    return fail(file, reason, detail);
}

// One run of the toolkit on the file or its prepared copy; the copy is gone afterwards.
ToolResult BatchEngine::toolkitOnce(FileRun& file, const QString& resultPath) {
    const QString& input = file.input();
    ToolResult result;
    host_.step(RunStep::RunToolkit, [&] {
        const QString copyPath =
            file.unnamedCopy ? file.unnamedCopy->path() : file.preparedCopy.path;
        const ToolInvocation invocation =
            file.preparedBytes
                ? ToolkitCommand::updateFromBytes(toolkit_, *file.preparedBytes, run_->infoFile,
                                                  resultPath)
                : ToolkitCommand::update(toolkit_, copyPath.isEmpty() ? input : copyPath,
                                         file.copy.decrypt ? std::nullopt : file.password,
                                         run_->infoFile, resultPath);
        const qint64 size = QFileInfo(input).size();
        // A large result goes to the disk while it is written, not all at its flush; not one
        // that is still to be protected again, which is not the file that is flushed.
        std::optional<EarlyWriteback> writeback;
        if (size > EarlyWriteback::threshold && !file.unprotectedResult)
            writeback.emplace(resultPath);
        result = ToolRunner::run(invocation, BatchRun::timeLimit(size));
    });
    file.preparedBytes.reset();
    file.preparedCopy.remove();
    file.unnamedCopy.reset();
    return result;
}

BatchEngine::Flow BatchEngine::queueResult(FileRun& file) {
    const QString& input = file.input();
    const QString& destination = file.destination();
    if (settings_.makeInputsWritable)
        host_.step(RunStep::MakeInputWritable, [&] {
            // Only the user's own files: another user's read-only file is theirs to open up,
            // and is reported instead.
            struct stat info {};
            const bool examined = ::stat(QFile::encodeName(input).constData(), &info) == 0;
            if (examined && (info.st_uid != ::geteuid() || (info.st_mode & S_IWUSR)))
                return;
            const bool asRead =
                file.stamp == (examined ? std::optional(FileStamp::of(info)) : std::nullopt);
            PathHelpers::MakeOwnerWritable(input);
            // Its new mode is this run's own change, not another program's.
            if (asRead)
                file.stamp = FileStamp::of(input);
        });
    if (const QString why = file.output->whyNotWritable(); !why.isEmpty()) {
        host_.writeRefused(destination);
        return fail(file, QStringLiteral("could not write the destination: ") + why);
    }
    if (file.link == OutputFile::Link::Follow && file.stamp)
        file.output->expect(*file.stamp);
    if (source_.keepOriginalsInTrash())
        file.output->keepOriginalWith(keeper_);
    const int tag = static_cast<int>(outcomes_.size());
    committing_.insert(tag, destination);
    const QString resultPath = file.output->temporaryPath();
    if (file.stripped)
        commits_->add(std::move(file.output), tag,
                      [original = file.original, resultPath, stripped = *file.stripped,
                       password = file.password] {
                          return StripCheck::verify(*original, resultPath, stripped, password);
                      });
    else
        commits_->add(std::move(file.output), tag,
                      ResultFinisher(file.original, input, resultPath, file.plan,
                                     file.titleFromName, file.password,
                                     std::move(file.unprotectedResult)));
    outcomes_ << file.outcome;
    return Flow::Done;
}

void BatchEngine::prefetch(int position, int count) {
    run_->prefetch.reset();
    // A file that needs a password is read with it, which is only asked for when its turn
    // comes.
    if (position > count || source_.promptForPassword())
        return;
    auto ahead = std::make_unique<Prefetch>();
    ahead->asked = ahead->password = settings_.password;
    const bool known = ErrorTrap::shielded("read ahead", [&] {
        ahead->path = source_.pathAt(position);
        QString base = PathHelpers::FileNameOf(ahead->path);
        if (base.contains(QLatin1Char('.')))
            base = PathHelpers::StripExtension(base);
        ahead->destination = destinationOf(ahead->path, base);
    });
    ahead->stamp = FileStamp::of(ahead->path);
    if (!known || !ahead->stamp)
        return;
    ahead->snapshot = std::make_shared<PdfSnapshot>();
    Prefetch* work = ahead.get();
    const bool createOutput = !settings_.dryRun;
    const PdfSnapshot::Sharing sharing = sharingFor(settings_);
    ahead->task = std::make_unique<BackgroundTask>([work, createOutput, sharing] {
        try {
            *work->snapshot = readOriginal(work->path, work->password, true, sharing);
        } catch (const Failure& failure) {
            work->unreadable = failure;
        }
        // Refused here, it is created again when the file's turn comes, with the reason shown.
        if (createOutput && !work->destination.isEmpty() && !work->unreadable) {
            try {
                work->link = linkFor(work->path, work->destination);
                work->output = std::make_unique<OutputFile>(work->destination, work->link);
            } catch (const OutputFile::Refused&) {
            }
        }
    });
    run_->prefetch = std::move(ahead);
}

std::unique_ptr<BatchEngine::Prefetch> BatchEngine::takePrefetch(const QString& input) {
    std::unique_ptr<Prefetch> ahead = std::move(run_->prefetch);
    if (!ahead)
        return nullptr;
    // Finished also when it is of no use, so nothing works on it any more.
    ahead->task->wait();
    return ahead->path == input ? std::move(ahead) : nullptr;
}

void BatchEngine::sweepLeftovers(const QString& folder) {
    // Once per folder and run: what a killed run left beside the originals goes before this
    // run writes there.
    if (run_->swept.contains(folder))
        return;
    run_->swept.insert(folder);
    OutputFile::removeLeftovers(folder);
}

void BatchEngine::collectCommits() {
    for (const CommitQueue::Finished& done : commits_->takeFinished()) {
        const QString destination = committing_.take(done.tag);
        outcomes_[done.tag].note = done.note;
        if (!done.refused && done.rejected.isEmpty())
            continue;
        if (!done.rejected.isEmpty()) {
            outcomes_[done.tag].reason = done.rejected;
            continue;
        }
        if (done.refused->permissionDenied())
            host_.writeRefused(destination);
        outcomes_[done.tag].reason = done.refused->reason();
    }
    reportFinished();
}

void BatchEngine::reportFinished() {
    while (reported_ < outcomes_.size() && !committing_.contains(reported_))
        host_.finished(outcomes_[reported_++]);
}
