#include "Form2.h"

#include "BatchSource.h"
#include "DesktopSignals.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "HoverPointer.h"
#include "PathHelpers.h"
#include "PdfDate.h"
#include "RunMessages.h"
#include "Toolkit.h"
#include "ToolkitHost.h"
#include "WindowConventions.h"
#include "WindowPointer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString loadContext = QStringLiteral("in Metascribe2021/08/31.Form2.Form_Load ");
const QString backContext = QStringLiteral("in Metascribe2021/08/31.Form2.PushButton3_Click ");
const QString startContext = QStringLiteral("in Metascribe2021/08/31.Form2.PushButton4_Click ");
const QString idleText = QStringLiteral("Progress Bar");

// Object names per field, in plan order: frame, "Do not change", "Change to:", text box.
struct FieldNames {
    const char* frame;
    const char* keep;
    const char* changeTo;
    const char* text;
};
constexpr std::array<FieldNames, 8> names{{
    {"Frame1", "Option2", "Option3", "Text1"},
    {"Frame2", "Option5", "Option4", "Text2"},
    {"Frame3", "Option6", "Option7", "Text3"},
    {"Frame4", "Option8", "Option9", "Text4"},
    {"Frame5", "Option10", "Option11", "Text5"},
    {"Frame6", "Option12", "Option13", "Text6"},
    {"Frame7", "Option14", "Option15", "Text7"},
    {"Frame8", "Option16", "Option17", "Text8"},
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

// A run this long is told by a notification when the user has turned to another window.
constexpr qint64 noticeableRun = 5000;

// Where a run's files went: the results folder, or the folder the files share.
QString runFolder(const BatchSource& source, const QList<BatchRun::Outcome>& outcomes) {
    if (const RunChoices choices = source.choices(); choices.saveToFolder && !choices.inPlace)
        return choices.resultFolder;
    QString shared;
    for (const BatchRun::Outcome& outcome : outcomes) {
        const QString folder = PathHelpers::FolderOf(outcome.path);
        if (shared.isNull())
            shared = folder;
        while (!shared.isEmpty() && folder != shared && !folder.startsWith(shared + '/'))
            shared = PathHelpers::FolderOf(shared);
    }
    return shared.isEmpty() ? QStringLiteral("/") : shared;
}

void noticeEnd(const BatchSource& source, const QList<BatchRun::Outcome>& outcomes) {
    const qsizetype changed =
        std::count_if(outcomes.begin(), outcomes.end(),
                      [](const BatchRun::Outcome& outcome) { return outcome.reason.isEmpty(); });
    DesktopSignals::notify(QStringLiteral("%1 files changed, %2 not changed")
                               .arg(changed)
                               .arg(outcomes.size() - changed),
                           runFolder(source, outcomes));
}

} // namespace

// What one press of "Start Changing" holds while its handler runs: the trap that reports its
// steps and, while the files are being changed, the engine. The page reaches it through run_
// from the start of the handler until it leaves, however it leaves, so neither running() nor a
// close ever sees a run that is over.
class Form2::RunGuard {
public:
    explicit RunGuard(Form2& page) : page_(page), trap_(startContext) { page_.run_ = this; }
    ~RunGuard() {
        endEngine();
        page_.run_ = nullptr;
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    void step(RunStep step, const std::function<void()>& work) {
        trap_.step(stepNumber(step), work);
    }
    // A step of the engine's that failed, reported as one of the handler's own.
    void report(RunStep step, const Failure& failure) {
        trap_.report(stepNumber(step), failure.description());
    }

    // Changes the files. Meanwhile the bar is drawn at most once a frame, and a close stops
    // the engine. A close that came before there was an engine to stop (while the files were
    // counted) ends the run before its first file.
    QList<BatchRun::Outcome> changeFiles(int count, const QString& toolkit) {
        if (page_.closing_)
            return {};
        page_.throttleProgress_ = true;
        BatchEngine::Host& host = page_;
        engine_.emplace(*page_.source_, host);
        QElapsedTimer lasted;
        lasted.start();
        const QList<BatchRun::Outcome> outcomes = engine_->run(count, toolkit);
        endEngine();
        // The user who turned to another window hears of the end.
        if (lasted.elapsed() > noticeableRun && !QApplication::activeWindow())
            noticeEnd(*page_.source_, outcomes);
        return outcomes;
    }
    BatchEngine* engine() { return engine_ ? &*engine_ : nullptr; }

private:
    void endEngine() {
        engine_.reset();
        page_.throttleProgress_ = false;
        if (page_.launcherShown_ >= 0)
            DesktopSignals::progressEnded();
        page_.launcherShown_ = -1;
    }

    Form2& page_;
    ErrorTrap trap_;
    std::optional<BatchEngine> engine_;
};

Form2::Form2(QWidget* firstPage, BatchSource* source) : firstPage_(firstPage), source_(source) {
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
    c.frame = new QGroupBox(EditPlan::caption(field));
    c.frame->setObjectName(QLatin1String(name.frame));
    // Said explicitly: a frame inside another frame is otherwise announced by the outer caption.
    c.frame->setAccessibleName(c.frame->title());
    HoverPointer::install(c.frame, HoverPointer::Rule::Reset);
    c.keep = option(name.keep, QStringLiteral("Do not change"));
    c.keep->setChecked(true);
    c.changeTo = option(name.changeTo, QStringLiteral("Change to:"));
    c.text = new QLineEdit(QStringLiteral("Text%1").arg(indexOf(field) + 1));
    c.text->setObjectName(QLatin1String(name.text));
    c.text->setAccessibleName(EditPlan::caption(field));
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

void Form2::showFields(const EditPlan& plan) {
    for (InfoField field : EditPlan::fields) {
        const FieldControls& c = controls(field);
        const FieldChoice& choice = plan.choice(field);
        if (choice.mode == FieldMode::ChangeTo) {
            c.text->setText(choice.text);
            c.changeTo->setChecked(true);
        } else {
            c.keep->setChecked(true);
        }
    }
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
    if (running())
        return;
    RunGuard run(*this);
    int count = 0;
    run.step(RunStep::CountFiles, [&] { count = source_->fileCount(); });
    const QString toolkit = Toolkit::path();
    if (count > 0 && toolkit.isEmpty()) {
        Dialogs::current().message(
            QStringLiteral("No file was changed: the PDF toolkit \"pdftk\" was not found, neither "
                           "beside this program nor on the search path.\r\n\r\nDebian's "
                           "pdftk-java package provides it."),
            {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        return;
    }
    // A date that is not one stops the run before any file is touched.
    if (const EditPlan asTyped = plan();
        const std::optional<InfoField> bad = asTyped.firstBadDate()) {
        Dialogs::current().message(EditPlan::notADateMessage(*bad, asTyped.choice(*bad).text));
        return;
    }
    const QList<BatchRun::Outcome> outcomes = run.changeFiles(count, toolkit);
    if (!closing_) {
        run.step(RunStep::ResetPointer,
                 [this] { WindowPointer::set(this, WindowPointer::State::Default); });
        run.step(RunStep::ResetProgress, [this] { setProgress(0); });
        run.step(RunStep::ResetProgressText, [this] { setProgressText(idleText); });
        run.step(RunStep::ShowSummary, [&] {
            Dialogs::current().message(RunMessages::summary(outcomes, count), {},
                                       Dialogs::Buttons::Ok, Dialogs::Icon::None,
                                       RunMessages::details(outcomes));
        });
    }
}

std::optional<QString> Form2::askPassword(const QString& input) {
    return Dialogs::current().password(RunMessages::passwordPrompt(input),
                                       QStringLiteral("Input Password"));
}

void Form2::progress(int position, int count, const QString& input) {
    run_->step(RunStep::ShowPosition, [&] { setProgress(100.0 * position / count); });
    // The task bar's launcher shows it too, told once a percent.
    if (const int percent = 100 * position / count; percent != launcherShown_) {
        launcherShown_ = percent;
        DesktopSignals::progress(double(position) / count);
    }
    run_->step(RunStep::ShowFileName, [&] {
        setProgressText(QStringLiteral("Processing: ") + PathHelpers::FileNameOf(input));
    });
    run_->step(RunStep::LetWindowRepaint, [] { QCoreApplication::processEvents(); });
    if (!closing_)
        run_->step(RunStep::ShowWaitPointer,
                   [this] { WindowPointer::set(this, WindowPointer::State::Wait); });
}

void Form2::stepFailed(RunStep step, const Failure& failure) {
    run_->report(step, failure);
}

void Form2::writeRefused(const QString& destination) {
    if (!closing_)
        Dialogs::current().message(RunMessages::copyFailureMessage(destination));
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
    if (run_ && run_->engine())
        run_->engine()->stop();
    event->accept();
    QCoreApplication::exit(0);
}
