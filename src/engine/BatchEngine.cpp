#include "BatchEngine.h"

#include "BackgroundTask.h"
#include "BatchSource.h"
#include "CommitQueue.h"
#include "DestinationPlan.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "FileStamp.h"
#include "InfoUpdateFile.h"
#include "OutputFile.h"
#include "PathHelpers.h"
#include "PdfCopier.h"
#include "PdfDate.h"
#include "PdfSnapshot.h"
#include "PrivateTempFolder.h"
#include "ResultCheck.h"
#include "ToolRunner.h"
#include "ToolkitCommand.h"
#include "XmpPacket.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// A file in the private folder that lives as long as one file of the run needs it.
struct ExchangeFile {
    QString path;
    ~ExchangeFile() { remove(); }
    void remove() {
        if (!path.isEmpty())
            PathHelpers::RemoveFile(path);
        path.clear();
    }
};

// Puts bytes into our own temporary file at path in place of what it holds: no new file to
// create, no rename. Written first and cut to length after, so the file keeps its blocks.
QString overwrite(const QString& path, const QByteArray& bytes, const QString& what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(bytes) != bytes.size() ||
        !file.resize(bytes.size()))
        return what + file.errorString();
    return {};
}

// Makes the toolkit's result's XMP metadata hold the changes too.
QString updateXmp(const QString& resultPath, const QList<XmpPacket::Change>& changes) {
    try {
        const std::optional<QByteArray> packet = XmpPacket::readFromPdf(resultPath, std::nullopt);
        if (!packet)
            return {};
        const QByteArray updated =
            XmpPacket::update(*packet, changes, QDateTime::currentDateTime());
        if (updated == *packet)
            return {};
        return overwrite(resultPath, XmpPacket::withPacket(resultPath, std::nullopt, updated),
                         QStringLiteral("its XMP metadata could not be updated: "));
    } catch (const Failure& failure) {
        return failure.description();
    }
}

// Encrypts the toolkit's result at resultPath again as the original is; a reason when that
// failed, and the result is then not to be used.
QString protectLikeOriginal(const QString& original, const std::optional<QString>& password,
                            const QString& resultPath) {
    try {
        return overwrite(resultPath, PdfCopier::protectedLike(original, password, resultPath),
                         QStringLiteral("its protection could not be put back: "));
    } catch (const Failure& failure) {
        return QStringLiteral("its protection could not be put back: ") + failure.description();
    }
}

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

// A dry run only shows the original's values: it needs no search for other uses of them.
PdfSnapshot::Sharing sharingFor(bool dryRun) {
    return dryRun ? PdfSnapshot::Sharing::Ignore : PdfSnapshot::Sharing::Find;
}

QList<BatchRun::FieldPreview> previewOf(const PdfSnapshot& original, const EditPlan& plan,
                                        const QString& titleFromName) {
    QList<BatchRun::FieldPreview> preview;
    for (InfoField field : EditPlan::fields) {
        if (const std::optional<QString> after = plan.value(field, titleFromName))
            preview.append({field, original.infoValue(EditPlan::toolkitKey(field)), *after});
    }
    return preview;
}

} // namespace

// What one run keeps from file to file.
struct BatchEngine::RunState {
    explicit RunState(const QStringList& inputs) : destinations(inputs) {}
    ~RunState() { dropInfoFile(); }
    void dropInfoFile() {
        if (!infoFile.isEmpty())
            PathHelpers::RemoveFile(infoFile);
        infoFile.clear();
    }
    DestinationPlan destinations;
    QSet<QString> swept; // folders cleared of earlier runs' leftovers
    QString infoFile;
    std::unique_ptr<Prefetch> prefetch;
};

// What the next file needs that takes time but changes nothing (reading its original, creating
// the file its result goes into), done while the toolkit changes this one.
struct BatchEngine::Prefetch {
    QString path;
    std::optional<QString> asked;    // the password it was read with
    std::optional<QString> password; // the one the file took
    std::optional<FileStamp> stamp;
    std::shared_ptr<PdfSnapshot> snapshot;
    std::optional<Failure> unreadable;
    QString destination;
    std::unique_ptr<OutputFile> output;
    std::unique_ptr<BackgroundTask> task;
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
    if (!settings_.dryRun)
        PrivateTempFolder::removeLeftovers();
    for (int position = 1; position <= count && !stopping_; ++position) {
        collectCommits();
        if (!changeFile(position, count))
            break;
    }
    commits_->waitForAll();
    collectCommits();
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
    BatchRun::Outcome outcome;
    bool listed = false;
    host_.step(102, [&] {
        outcome.path = source_.pathAt(position);
        listed = true;
    });
    // The row went while the run was waiting; there is nothing to change for it.
    if (!listed)
        return true;
    const QString& input = outcome.path;
    // The file's outcome is known now, with nothing queued for it.
    const auto settle = [&] {
        outcomes_ << outcome;
        reportFinished();
        return true;
    };
    const auto fail = [&](const QString& reason) {
        outcome.reason = reason;
        return settle();
    };

    host_.progress(position, count, input);
    if (stopping_)
        return false;

    // A name without a dot keeps its whole name as title and base, after the report.
    QString titleFromName;
    host_.step(114, [&] { titleFromName = PathHelpers::FileNameOf(input); });
    host_.step(116, [&] { titleFromName = PathHelpers::StripExtension(titleFromName); });
    // The name is cut where the chosen save option forms its destination; without an option
    // there is no destination to form.
    const bool inPlace = source_.inPlace();
    QString base = PathHelpers::FileNameOf(input);
    const bool toFolder = !inPlace && source_.saveToFolder();
    if (toFolder || (!inPlace && source_.saveBesideOriginal()))
        host_.step(toFolder ? 120 : 124, [&] { base = PathHelpers::StripExtension(base); });
    host_.step(122, [&] { outcome.destination = destinationOf(input, base); });
    if (outcome.destination.isEmpty())
        return fail(QStringLiteral("no destination: neither save option is selected"));
    const QString& destination = outcome.destination;

    if (const QString refused =
            run_->destinations.claim(input, destination, inPlace || source_.saveBesideOriginal());
        !refused.isEmpty())
        return fail(refused);

    EditPlan filePlan;
    QByteArray info;
    std::optional<InfoField> badDate;
    host_.step(128, [&] {
        filePlan = host_.plan();
        // The plan may have changed since the run began.
        badDate = filePlan.firstBadDate();
        filePlan = filePlan.withPdfDates();
        info = InfoUpdateFile::content(filePlan, titleFromName);
    });
    if (badDate)
        return fail(EditPlan::notADateMessage(*badDate, filePlan.choice(*badDate).text));
    // The run has an info-update file of its own, which no other run or program copy can write
    // into while the toolkit reads it; it is rewritten for every file.
    if (!settings_.dryRun) {
        QString infoFailure = QStringLiteral("could not write the info-update file");
        host_.step(184, [&] {
            try {
                if (run_->infoFile.isEmpty())
                    run_->infoFile = PrivateTempFolder::createFile(PrivateTempFolder::Kind::Info);
                InfoUpdateFile::write(run_->infoFile, info);
            } catch (const Failure& failure) {
                infoFailure += QStringLiteral(": ") + failure.description();
                run_->dropInfoFile();
                throw;
            }
        });
        if (run_->infoFile.isEmpty())
            return fail(infoFailure);
    }

    std::optional<QString> password = settings_.password;
    if (host_.test(196, [this] { return source_.promptForPassword(); })) {
        // A result that could not be put in place is reported before the next question.
        commits_->waitForAll();
        collectCommits();
        if (stopping_)
            return false;
        host_.step(198, [&] {
            const std::optional<QString> answer = host_.askPassword(input);
            if (answer && !answer->isEmpty())
                password = answer;
        });
    }
    if (stopping_)
        return false;

    // A file still on its way to its place is neither read nor replaced before it is there.
    if (commits_->pending(input) || commits_->pending(destination)) {
        commits_->waitForAll();
        collectCommits();
        if (stopping_)
            return false;
    }

    // What the original holds, read by a reader independent of the toolkit: the result must
    // hold the same, apart from the fields that were changed.
    std::shared_ptr<PdfSnapshot> original;
    const std::unique_ptr<Prefetch> ahead = takePrefetch(input);
    try {
        // Read ahead with the same password, and still the file it was then.
        if (ahead && ahead->asked == password && ahead->stamp &&
            FileStamp::of(input) == ahead->stamp) {
            if (ahead->unreadable)
                throw *ahead->unreadable;
            original = ahead->snapshot;
            password = ahead->password;
        }
        if (!original) {
            original = std::make_shared<PdfSnapshot>();
            const bool shared = password.has_value() && password == settings_.password;
            BackgroundTask::run([&] {
                *original = readOriginal(input, password, shared, sharingFor(settings_.dryRun));
            });
        }
    } catch (const Failure& failure) {
        return stopping_ ? false : fail(failure.description());
    }
    if (stopping_)
        return false;
    if (settings_.dryRun) {
        outcome.preview = previewOf(*original, filePlan, titleFromName);
        prefetch(position + 1, count);
        return settle();
    }

    // The toolkit gets a prepared copy of the file when its document information is also part
    // of the document (the toolkit would destroy that part) or when it is encrypted (the
    // toolkit cannot read every encryption; the result is encrypted again as the original is).
    // The copy stays in memory unless the file is large, then it goes into the private folder.
    const PdfCopier::Copy copy{original->needsOwnInfo(), original->encrypted()};
    std::optional<QByteArray> preparedBytes;
    ExchangeFile preparedCopy;
    if (copy.ownInfo || copy.decrypt) {
        constexpr qint64 inMemoryLimit = 32 * 1024 * 1024;
        try {
            if (QFileInfo(input).size() <= inMemoryLimit) {
                BackgroundTask::run(
                    [&] { preparedBytes = PdfCopier::copyInMemory(input, password, copy); });
            } else {
                preparedCopy.path = PrivateTempFolder::createFile(PrivateTempFolder::Kind::Copy);
                BackgroundTask::run(
                    [&] { PdfCopier::writeCopy(input, password, copy, preparedCopy.path); });
            }
        } catch (const Failure& failure) {
            return fail(QStringLiteral("it could not be prepared for the toolkit: ") +
                        failure.description());
        }
    }

    sweepLeftovers(PathHelpers::FolderOf(OutputFile::resolveLink(destination)));
    std::unique_ptr<OutputFile> output;
    try {
        if (ahead && ahead->output && ahead->destination == destination)
            output = std::move(ahead->output);
        else
            output = std::make_unique<OutputFile>(destination);
    } catch (const OutputFile::Refused& refused) {
        if (refused.permissionDenied())
            host_.writeRefused(destination);
        return fail(QStringLiteral("could not write the destination: ") + refused.description());
    }

    prefetch(position + 1, count);
    ToolResult result;
    host_.step(222, [&] {
        const ToolInvocation invocation =
            preparedBytes
                ? ToolkitCommand::updateFromBytes(toolkit_, *preparedBytes, run_->infoFile,
                                                  output->temporaryPath())
                : ToolkitCommand::update(toolkit_,
                                         preparedCopy.path.isEmpty() ? input : preparedCopy.path,
                                         copy.decrypt ? std::nullopt : password, run_->infoFile,
                                         output->temporaryPath());
        result = ToolRunner::run(invocation, BatchRun::timeLimit(QFileInfo(input).size()));
    });
    preparedBytes.reset();
    preparedCopy.remove();
    if (result.outcome == ToolResult::Outcome::Interrupted || stopping_)
        return false;
    if (!result.succeeded() || !output->looksComplete())
        return fail(BatchRun::toolkitReason(result, input));

    if (settings_.makeInputsWritable)
        host_.step(226, [&] { PathHelpers::ResetAttributes(input); });
    if (!output->targetWritable()) {
        host_.writeRefused(destination);
        return fail(QStringLiteral("could not write the destination: the file is read-only"));
    }
    const int tag = static_cast<int>(outcomes_.size());
    committing_.insert(tag, destination);
    const QString resultPath = output->temporaryPath();
    // Viewers show the XMP metadata's values before the document information's, so a file
    // that has XMP gets the same changes there.
    const QList<XmpPacket::Change> xmpChanges =
        original->catalogEntries().contains(QStringLiteral("Metadata"))
            ? XmpPacket::changesFor(filePlan, titleFromName)
            : QList<XmpPacket::Change>();
    commits_->add(std::move(output), tag,
                  [original, input, resultPath, filePlan, titleFromName, password, xmpChanges] {
                      if (!xmpChanges.isEmpty()) {
                          const QString reason = updateXmp(resultPath, xmpChanges);
                          if (!reason.isEmpty())
                              return reason;
                      }
                      if (original->encrypted()) {
                          const QString reason = protectLikeOriginal(input, password, resultPath);
                          if (!reason.isEmpty())
                              return reason;
                      }
                      const QString reason = ResultCheck::verify(*original, resultPath, filePlan,
                                                                 titleFromName, password);
                      if (!reason.isEmpty() || xmpChanges.isEmpty())
                          return reason;
                      return ResultCheck::verifyXmp(resultPath, xmpChanges, password);
                  });
    outcomes_ << outcome;
    return true;
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
    const PdfSnapshot::Sharing sharing = sharingFor(settings_.dryRun);
    ahead->task = std::make_unique<BackgroundTask>([work, createOutput, sharing] {
        try {
            *work->snapshot = readOriginal(work->path, work->password, true, sharing);
        } catch (const Failure& failure) {
            work->unreadable = failure;
        }
        // Refused here, it is created again when the file's turn comes, with the reason shown.
        if (createOutput && !work->destination.isEmpty() && !work->unreadable) {
            try {
                work->output = std::make_unique<OutputFile>(work->destination);
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
        if (!done.refused && done.rejected.isEmpty())
            continue;
        if (!done.rejected.isEmpty()) {
            outcomes_[done.tag].reason = done.rejected;
            continue;
        }
        if (done.refused->permissionDenied())
            host_.writeRefused(destination);
        outcomes_[done.tag].reason =
            QStringLiteral("could not write the destination: ") + done.refused->description();
    }
    reportFinished();
}

void BatchEngine::reportFinished() {
    while (reported_ < outcomes_.size() && !committing_.contains(reported_))
        host_.finished(outcomes_[reported_++]);
}
