#include "Form2.h"

#include "BackgroundTask.h"
#include "BatchSource.h"
#include "CommitQueue.h"
#include "DestinationPlan.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "HoverPointer.h"
#include "InfoUpdateFile.h"
#include "OutputFile.h"
#include "PathHelpers.h"
#include "PdfDate.h"
#include "PdfSnapshot.h"
#include "PrivateTempFolder.h"
#include "ResultCheck.h"
#include "ToolRunner.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"
#include "ToolkitHost.h"
#include "WindowConventions.h"
#include "WindowPointer.h"
#include "XmpPacket.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString loadContext = QStringLiteral("in Metascribe2021/08/31.Form2.Form_Load ");
const QString backContext = QStringLiteral("in Metascribe2021/08/31.Form2.PushButton3_Click ");
const QString startContext = QStringLiteral("in Metascribe2021/08/31.Form2.PushButton4_Click ");
const QString idleText = QStringLiteral("Progress Bar");

// Per field, in plan order: frame, caption, "Do not change", "Change to:", text box.
struct FieldNames {
    const char* frame;
    const char* caption;
    const char* keep;
    const char* changeTo;
    const char* text;
};
constexpr std::array<FieldNames, 8> names{{
    {"Frame1", "Title", "Option2", "Option3", "Text1"},
    {"Frame2", "Subject", "Option5", "Option4", "Text2"},
    {"Frame3", "Author", "Option6", "Option7", "Text3"},
    {"Frame4", "Keywords", "Option8", "Option9", "Text4"},
    {"Frame5", "Creator", "Option10", "Option11", "Text5"},
    {"Frame6", "Producer", "Option12", "Option13", "Text6"},
    {"Frame7", "Creation Date", "Option14", "Option15", "Text7"},
    {"Frame8", "Modified Date", "Option16", "Option17", "Text8"},
}};

std::size_t indexOf(InfoField field) {
    return static_cast<std::size_t>(field);
}

QPushButton* button(const QString& name, const QString& caption) {
    auto* control = new QPushButton(caption);
    control->setObjectName(name);
    HoverPointer::install(control, HoverPointer::Rule::Hand);
    return control;
}

QRadioButton* option(const char* name, const QString& caption) {
    auto* control = new QRadioButton(caption);
    control->setObjectName(QLatin1String(name));
    return control;
}

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
        return overwrite(resultPath, PdfSnapshot::protectedLike(original, password, resultPath),
                         QStringLiteral("its protection could not be put back: "));
    } catch (const Failure& failure) {
        return QStringLiteral("its protection could not be put back: ") + failure.description();
    }
}

} // namespace

Form2::Form2(QWidget* firstPage, BatchSource* source)
    : firstPage_(firstPage), source_(source), commits_(std::make_unique<CommitQueue>()) {
    setObjectName(QStringLiteral("Form2"));
    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("< Back"));
    PushButton4 = button(QStringLiteral("PushButton4"), QStringLiteral("Start Changing"));
    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(idleText);
    progressText_ = idleText;
    progressTimer_ = new QTimer(this);
    progressTimer_->setSingleShot(true);
    connect(progressTimer_, &QTimer::timeout, this, &Form2::drawProgress);
    // A screen reader announces the bar by the text it shows.
    ProgressBar1->setAccessibleName(idleText);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(120 / 15, 120 / 15, 120 / 15, 120 / 15);
    page->addWidget(PushButton3);
    auto* frame9 = new QGroupBox(QStringLiteral("Acrobat 7.0 and lower only"));
    frame9->setObjectName(QStringLiteral("Frame9"));
    frame9->setAccessibleName(frame9->title());
    HoverPointer::install(frame9, HoverPointer::Rule::Reset);
    auto* inner = new QVBoxLayout(frame9);
    for (InfoField field : EditPlan::fields) {
        QGroupBox* box = fieldFrame(field);
        if (field >= InfoField::Creator)
            inner->addWidget(box);
        else
            page->addWidget(box);
    }
    page->addWidget(frame9);
    page->addWidget(PushButton4);
    page->addWidget(ProgressBar1);
    page->addStretch(1);

    connect(PushButton3, &QPushButton::clicked, this, &Form2::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form2::PushButton4_Click);
    resize(8040 / 15, 8580 / 15);
    HoverPointer::install(this, HoverPointer::Rule::Reset);
}

QGroupBox* Form2::fieldFrame(InfoField field) {
    const FieldNames& name = names[indexOf(field)];
    FieldControls& c = fields_[indexOf(field)];
    c.frame = new QGroupBox(QLatin1String(name.caption));
    c.frame->setObjectName(QLatin1String(name.frame));
    // Said explicitly: a frame inside another frame is otherwise announced by the outer caption.
    c.frame->setAccessibleName(c.frame->title());
    HoverPointer::install(c.frame, HoverPointer::Rule::Reset);
    c.keep = option(name.keep, QStringLiteral("Do not change"));
    c.keep->setChecked(true);
    c.changeTo = option(name.changeTo, QStringLiteral("Change to:"));
    c.text = new QLineEdit(QStringLiteral("Text%1").arg(indexOf(field) + 1));
    c.text->setObjectName(QLatin1String(name.text));
    c.text->setAccessibleName(QLatin1String(name.caption));
    connect(c.text, &QLineEdit::textChanged, this, [this, field] { Text_Change(field); });

    auto* row = new QHBoxLayout(c.frame);
    row->addWidget(c.keep);
    row->addWidget(c.changeTo);
    row->addWidget(c.text, 1);
    if (field == InfoField::Title) {
        Option1 = option("Option1", QStringLiteral("Change to filename"));
        row->addWidget(Option1);
    }
    return c.frame;
}

const Form2::FieldControls& Form2::controls(InfoField field) const {
    return fields_[indexOf(field)];
}

void Form2::Form_Load() {
    ErrorTrap trap(loadContext);
    trap.step(100, [this] { WindowConventions::applyPlainColour(this); });
    trap.step(102, [this] { WindowConventions::applyCaptionAndIcon(this); });
    const QString cursorFile = PathHelpers::ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (trap.test(106, [&] { return PathHelpers::PathExists(cursorFile); })) {
        trap.step(108, [&] {
            if (!WindowPointer::loadCustom(this, cursorFile))
                throw Failure(QStringLiteral("Invalid picture"));
        });
    }
    trap.step(110, [this] { setWindowTitle(WindowConventions::DisplayName); });
    int step = 112;
    for (InfoField field : EditPlan::fields) {
        trap.step(step, [&] { controls(field).text->clear(); });
        step += 2;
    }
}

Form2::~Form2() = default;

void Form2::Text_Change(InfoField field) {
    const FieldControls& c = controls(field);
    if (!c.text->text().isEmpty())
        c.changeTo->setChecked(true);
    if (EditPlan::isDate(field)) {
        // How the text will be read, while it is typed.
        const QString text = c.text->text();
        const std::optional<QDateTime> when = PdfDate::parse(text);
        c.text->setToolTip(text.trimmed().isEmpty() ? QStringLiteral("Empty: the field is emptied")
                           : when                   ? PdfDate::describe(*when)
                                                    : QStringLiteral("Not a date. Type it like ") +
                                        PdfDate::acceptedForms());
    }
}

QString Form2::notADateMessage(InfoField field, const QString& text) {
    return QLatin1String(names[indexOf(field)].caption) + QStringLiteral(" \"") + text +
           QStringLiteral("\" is not a date. Type it like ") + PdfDate::acceptedForms() +
           QStringLiteral(".");
}

EditPlan Form2::plan() const {
    EditPlan plan;
    for (InfoField field : EditPlan::fields) {
        const FieldControls& c = controls(field);
        if (c.changeTo->isChecked())
            plan.changeTo(field, c.text->text());
        else if (field == InfoField::Title && Option1->isChecked())
            plan.titleFromFileName();
    }
    return plan;
}

void Form2::PushButton3_Click() {
    ErrorTrap trap(backContext);
    trap.step(100, [this] { firstPage_->show(); });
    trap.step(102, [this] { hide(); });
}

void Form2::setProgress(double value) {
    progress_ = value;
    showProgress();
    emit progressShown(progress_, progressText_);
}

void Form2::setProgressText(const QString& text) {
    progressText_ = text;
    showProgress();
    emit progressShown(progress_, text);
}

void Form2::showProgress() {
    // A batch goes through hundreds of files a second. Drawing the bar and telling a screen
    // reader about each of them would cost more than changing a file; the bar shows the latest
    // file at most about sixty times a second instead.
    constexpr qint64 frame = 16;
    if (throttleProgress_ && progressDrawn_.isValid() && !progressDrawn_.hasExpired(frame)) {
        if (!progressTimer_->isActive())
            progressTimer_->start(int(frame - progressDrawn_.elapsed()));
        return;
    }
    drawProgress();
}

void Form2::drawProgress() {
    progressTimer_->stop();
    ProgressBar1->setValue(qRound(progress_));
    ProgressBar1->setFormat(progressText_);
    ProgressBar1->setAccessibleName(progressText_);
    progressDrawn_.start();
}

void Form2::PushButton4_Click() {
    // A second press while files are being changed would interleave two runs.
    if (running_)
        return;
    running_ = true;
    ErrorTrap trap(startContext);
    int count = 0;
    trap.step(100, [&] { count = source_->fileCount(); });
    const QString toolkit = Toolkit::path();
    if (count > 0 && toolkit.isEmpty()) {
        Dialogs::current().message(
            QStringLiteral("No file was changed: the PDF toolkit \"pdftk\" was not found, neither "
                           "beside this program nor on the search path.\r\n\r\nDebian's "
                           "pdftk-java package provides it."),
            {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        running_ = false;
        return;
    }
    // A date that is not one stops the run before any file is touched.
    if (const EditPlan asTyped = plan();
        const std::optional<InfoField> bad = asTyped.firstBadDate()) {
        Dialogs::current().message(notADateMessage(*bad, asTyped.choice(*bad).text));
        running_ = false;
        return;
    }
    QList<BatchRun::Outcome> outcomes;
    QStringList inputs;
    for (int position = 1; position <= count; ++position)
        ErrorTrap::shielded("run plan", [&] { inputs << source_->pathAt(position); });
    run_ = std::make_unique<RunState>(inputs);
    PrivateTempFolder::removeLeftovers();
    throttleProgress_ = true;
    for (int position = 1; position <= count; ++position) {
        reportCommits(outcomes);
        if (!changeFile(trap, position, count, toolkit, outcomes))
            break;
    }
    commits_->waitForAll();
    reportCommits(outcomes);
    throttleProgress_ = false;
    run_.reset();
    if (!closing_) {
        trap.step(234, [this] { WindowPointer::set(this, WindowPointer::State::Default); });
        trap.step(236, [this] { setProgress(0); });
        trap.step(238, [this] { setProgressText(idleText); });
        trap.step(240, [&] {
            Dialogs::current().message(BatchRun::summary(outcomes, count), {}, Dialogs::Buttons::Ok,
                                       Dialogs::Icon::None, BatchRun::details(outcomes));
        });
    }
    running_ = false;
}

bool Form2::changeFile(ErrorTrap& trap, int position, int count, const QString& toolkit,
                       QList<BatchRun::Outcome>& outcomes) {
    BatchRun::Outcome outcome;
    bool listed = false;
    trap.step(102, [&] {
        outcome.path = source_->pathAt(position);
        listed = true;
    });
    // The row went while the run was waiting; there is nothing to change for it.
    if (!listed)
        return true;
    const QString& input = outcome.path;
    const auto fail = [&](const QString& reason) {
        outcome.reason = reason;
        outcomes << outcome;
        return true;
    };

    trap.step(104, [&] { setProgress(100.0 * position / count); });
    trap.step(106, [&] {
        setProgressText(QStringLiteral("Processing: ") + PathHelpers::FileNameOf(input));
    });
    trap.step(108, [] { QCoreApplication::processEvents(); });
    if (closing_)
        return false;
    trap.step(110, [this] { WindowPointer::set(this, WindowPointer::State::Wait); });

    // A name without a dot keeps its whole name as title and base, after the report.
    QString titleFromName;
    trap.step(114, [&] { titleFromName = PathHelpers::FileNameOf(input); });
    trap.step(116, [&] { titleFromName = PathHelpers::StripExtension(titleFromName); });
    // The name is cut where the chosen save option forms its destination; without an option
    // there is no destination to form.
    QString base = PathHelpers::FileNameOf(input);
    const bool toFolder = source_->saveToFolder();
    if (toFolder || source_->saveBesideOriginal())
        trap.step(toFolder ? 120 : 124, [&] { base = PathHelpers::StripExtension(base); });
    std::optional<QString> destination;
    trap.step(122, [&] {
        destination = BatchRun::destination(input, base, source_->saveToFolder(),
                                            source_->saveBesideOriginal(), source_->resultFolder());
    });
    if (!destination)
        return fail(QStringLiteral("no destination: neither save option is selected"));

    if (const QString refused =
            run_->destinations.claim(input, *destination, source_->saveBesideOriginal());
        !refused.isEmpty())
        return fail(refused);

    EditPlan filePlan;
    QByteArray info;
    std::optional<InfoField> badDate;
    trap.step(128, [&] {
        filePlan = plan();
        // The plan may have changed since the run began.
        badDate = filePlan.firstBadDate();
        filePlan = filePlan.withPdfDates();
        info = InfoUpdateFile::content(filePlan, titleFromName);
    });
    if (badDate)
        return fail(notADateMessage(*badDate, filePlan.choice(*badDate).text));
    // The run has an info-update file of its own, which no other run or program copy can write
    // into while the toolkit reads it; it is rewritten for every file.
    QString infoFailure = QStringLiteral("could not write the info-update file");
    trap.step(184, [&] {
        try {
            if (run_->infoFile.isEmpty())
                run_->infoFile =
                    PrivateTempFolder::createFile(QStringLiteral("info-"), QStringLiteral(".txt"));
            InfoUpdateFile::write(run_->infoFile, info);
        } catch (const Failure& failure) {
            infoFailure += QStringLiteral(": ") + failure.description();
            run_->dropInfoFile();
            throw;
        }
    });
    if (run_->infoFile.isEmpty())
        return fail(infoFailure);

    std::optional<QString> password;
    if (trap.test(196, [this] { return source_->promptForPassword(); })) {
        // A result that could not be put in place is reported before the next question.
        commits_->waitForAll();
        reportCommits(outcomes);
        if (closing_)
            return false;
        trap.step(198, [&] {
            const std::optional<QString> answer = Dialogs::current().input(
                BatchRun::passwordPrompt(input), QStringLiteral("Input Password"));
            if (answer && !answer->isEmpty())
                password = answer;
        });
    }
    if (closing_)
        return false;

    // A file still on its way to its place is neither read nor replaced before it is there.
    if (commits_->pending(input) || commits_->pending(*destination)) {
        commits_->waitForAll();
        reportCommits(outcomes);
        if (closing_)
            return false;
    }

    // What the original holds, read by a reader independent of the toolkit: the result must
    // hold the same, apart from the fields that were changed.
    std::shared_ptr<PdfSnapshot> original;
    const std::unique_ptr<RunState::Prefetch> ahead = takePrefetch(input);
    try {
        // Read ahead without a password, and still the file it was then.
        if (ahead && !password && ahead->stamp && FileStamp::of(input) == ahead->stamp) {
            if (ahead->unreadable)
                throw *ahead->unreadable;
            original = ahead->snapshot;
        }
        if (!original) {
            original = std::make_shared<PdfSnapshot>();
            BackgroundTask::run([&] { *original = PdfSnapshot::read(input, password); });
        }
    } catch (const Failure& failure) {
        return closing_ ? false : fail(failure.description());
    }
    if (closing_)
        return false;
    // The toolkit gets a prepared copy of the file when its document information is also part
    // of the document (the toolkit would destroy that part) or when it is encrypted (the toolkit
    // cannot read every encryption; the result is encrypted again as the original is). The copy
    // stays in memory unless the file is large, then it goes into the private folder.
    const PdfSnapshot::Copy copy{original->needsOwnInfo(), original->encrypted()};
    std::optional<QByteArray> preparedBytes;
    ExchangeFile preparedCopy;
    if (copy.ownInfo || copy.decrypt) {
        constexpr qint64 inMemoryLimit = 32 * 1024 * 1024;
        try {
            if (QFileInfo(input).size() <= inMemoryLimit) {
                BackgroundTask::run(
                    [&] { preparedBytes = PdfSnapshot::copyInMemory(input, password, copy); });
            } else {
                preparedCopy.path =
                    PrivateTempFolder::createFile(QStringLiteral("copy-"), QStringLiteral(".pdf"));
                BackgroundTask::run(
                    [&] { PdfSnapshot::writeCopy(input, password, copy, preparedCopy.path); });
            }
        } catch (const Failure& failure) {
            return fail(QStringLiteral("it could not be prepared for the toolkit: ") +
                        failure.description());
        }
    }

    sweepLeftovers(PathHelpers::FolderOf(OutputFile::resolveLink(*destination)));
    std::unique_ptr<OutputFile> output;
    try {
        if (ahead && ahead->output && ahead->destination == *destination)
            output = std::move(ahead->output);
        else
            output = std::make_unique<OutputFile>(*destination);
    } catch (const OutputFile::Refused& refused) {
        if (refused.permissionDenied())
            Dialogs::current().message(BatchRun::copyFailureMessage(*destination));
        return fail(QStringLiteral("could not write the destination: ") + refused.description());
    }

    prefetch(position + 1, count);
    ToolResult result;
    trap.step(222, [&] {
        const ToolInvocation invocation =
            preparedBytes
                ? ToolkitCommand::updateFromBytes(toolkit, *preparedBytes, run_->infoFile,
                                                  output->temporaryPath())
                : ToolkitCommand::update(toolkit,
                                         preparedCopy.path.isEmpty() ? input : preparedCopy.path,
                                         copy.decrypt ? std::nullopt : password, run_->infoFile,
                                         output->temporaryPath());
        result = ToolRunner::run(invocation, BatchRun::timeLimit(QFileInfo(input).size()));
    });
    preparedBytes.reset();
    preparedCopy.remove();
    if (result.outcome == ToolResult::Outcome::Interrupted || closing_)
        return false;
    if (!result.succeeded() || !output->looksComplete())
        return fail(BatchRun::toolkitReason(result, input));

    trap.step(226, [&] { PathHelpers::ResetAttributes(input); });
    if (!output->targetWritable()) {
        Dialogs::current().message(BatchRun::copyFailureMessage(*destination));
        return fail(QStringLiteral("could not write the destination: the file is read-only"));
    }
    committing_.insert(outcomes.size(), *destination);
    const QString resultPath = output->temporaryPath();
    // Viewers show the XMP metadata's values before the document information's, so a file
    // that has XMP gets the same changes there.
    const QList<XmpPacket::Change> xmpChanges =
        original->catalogEntries().contains(QStringLiteral("Metadata"))
            ? XmpPacket::changesFor(filePlan, titleFromName)
            : QList<XmpPacket::Change>();
    commits_->add(std::move(output), outcomes.size(),
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
    outcomes << outcome;
    return true;
}

void Form2::prefetch(int position, int count) {
    run_->prefetch.reset();
    // A file that needs a password is read with it, which is only asked for when its turn comes.
    if (position > count || source_->promptForPassword())
        return;
    auto ahead = std::make_unique<RunState::Prefetch>();
    const bool known = ErrorTrap::shielded("read ahead", [&] {
        ahead->path = source_->pathAt(position);
        QString base = PathHelpers::FileNameOf(ahead->path);
        if (base.contains(QLatin1Char('.')))
            base = PathHelpers::StripExtension(base);
        ahead->destination =
            BatchRun::destination(ahead->path, base, source_->saveToFolder(),
                                  source_->saveBesideOriginal(), source_->resultFolder())
                .value_or(QString());
    });
    ahead->stamp = FileStamp::of(ahead->path);
    if (!known || !ahead->stamp)
        return;
    ahead->snapshot = std::make_shared<PdfSnapshot>();
    RunState::Prefetch* work = ahead.get();
    ahead->task = std::make_unique<BackgroundTask>([work] {
        try {
            *work->snapshot = PdfSnapshot::read(work->path);
        } catch (const Failure& failure) {
            work->unreadable = failure;
        }
        // Refused here, it is created again when the file's turn comes, with the reason shown.
        if (!work->destination.isEmpty() && !work->unreadable) {
            try {
                work->output = std::make_unique<OutputFile>(work->destination);
            } catch (const OutputFile::Refused&) {
            }
        }
    });
    run_->prefetch = std::move(ahead);
}

std::unique_ptr<Form2::RunState::Prefetch> Form2::takePrefetch(const QString& input) {
    std::unique_ptr<RunState::Prefetch> ahead = std::move(run_->prefetch);
    if (!ahead)
        return nullptr;
    // Finished also when it is of no use, so nothing works on it any more.
    ahead->task->wait();
    return ahead->path == input ? std::move(ahead) : nullptr;
}

void Form2::RunState::dropInfoFile() {
    if (!infoFile.isEmpty())
        PathHelpers::RemoveFile(infoFile);
    infoFile.clear();
}

Form2::RunState::~RunState() {
    dropInfoFile();
}

void Form2::sweepLeftovers(const QString& folder) {
    // Once per folder and run: what a killed run left beside the originals goes before this
    // run writes there.
    if (run_->swept.contains(folder))
        return;
    run_->swept.insert(folder);
    OutputFile::removeLeftovers(folder);
}

void Form2::reportCommits(QList<BatchRun::Outcome>& outcomes) {
    for (const CommitQueue::Finished& done : commits_->takeFinished()) {
        const QString destination = committing_.take(done.tag);
        if (!done.refused && done.rejected.isEmpty())
            continue;
        if (!done.rejected.isEmpty()) {
            outcomes[done.tag].reason = done.rejected;
            continue;
        }
        if (done.refused->permissionDenied() && !closing_)
            Dialogs::current().message(BatchRun::copyFailureMessage(destination));
        outcomes[done.tag].reason =
            QStringLiteral("could not write the destination: ") + done.refused->description();
    }
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Java starts while the user fills in the fields, not when the first file is changed.
    if (!hostPrepared_) {
        hostPrepared_ = true;
        QTimer::singleShot(0, this, [] { ToolkitHost::instance().prepare(); });
    }
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closing either page ends the whole program at once; a running toolkit is stopped and its
    // unfinished output removed on the way out.
    closing_ = true;
    event->accept();
    QCoreApplication::exit(0);
}
