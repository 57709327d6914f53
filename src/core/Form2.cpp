#include "Form2.h"

#include "ErrorTrap.h"
#include "Failure.h"
#include "HoverPointer.h"
#include "PathHelpers.h"
#include "WindowConventions.h"
#include "WindowPointer.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString loadContext = QStringLiteral("in Metascribe2021/08/31.Form2.Form_Load ");
const QString backContext = QStringLiteral("in Metascribe2021/08/31.Form2.PushButton3_Click ");

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

} // namespace

Form2::Form2(QWidget* firstPage) : firstPage_(firstPage) {
    setObjectName(QStringLiteral("Form2"));
    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("< Back"));
    PushButton4 = button(QStringLiteral("PushButton4"), QStringLiteral("Start Changing"));
    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(true);
    ProgressBar1->setAlignment(Qt::AlignCenter);
    ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
    ProgressBar1->setAccessibleName(ProgressBar1->format());
    // A screen reader announces the bar by the text it shows.
    connect(ProgressBar1, &QProgressBar::valueChanged, ProgressBar1,
            [bar = ProgressBar1] { bar->setAccessibleName(bar->format()); });

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

void Form2::Text_Change(InfoField field) {
    const FieldControls& c = controls(field);
    if (!c.text->text().isEmpty())
        c.changeTo->setChecked(true);
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

void Form2::closeEvent(QCloseEvent* event) {
    // Closing either page ends the whole program.
    event->accept();
    QCoreApplication::quit();
}
