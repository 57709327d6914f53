#include "Form1.h"

#include "Contact.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "Failure.h"
#include "FolderFiles.h"
#include "FolderPicker.h"
#include "Form2.h"
#include "GivenPaths.h"
#include "HoverPointer.h"
#include "PathHelpers.h"
#include "PreviewReader.h"
#include "SampleFiles.h"
#include "SettingsStore.h"
#include "StartupRoutines.h"
#include "ToolkitHost.h"
#include "WindowConventions.h"
#include "WindowPointer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

using PathHelpers::CollapseSlashes;

namespace {

const QString loadContext = QStringLiteral("in Metascribe2021/08/31.Form1.Form_Load ");
const QString addFilesContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton1_Click ");
const QString nextStepContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton2_Click ");
const QString helpContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton3_Click ");
const QString browseContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton5_Click ");
const QString clearContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton9_Click ");
const QString addFolderContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton4_Click ");
const QString samplesContext = QStringLiteral("in Metascribe2021/08/31.Form1.PushButton10_Click ");

const QString listHeader = QStringLiteral("PDF File(s)");
const QString previewHeader =
    QStringLiteral("Click on file above - This is how your file appears to this software");
const QString listHint = QStringLiteral("Drag and drop files here. Double-click item to remove it. "
                                        "Move | line to right and out of window to reveal full "
                                        "names.");
const QString previewHint = QStringLiteral("Move | line to right and out of window to reveal full "
                                           "names.");

// 7000 twips at 15 twips a pixel.
constexpr int columnWidth = 7000 / 15;

QPushButton* button(const QString& name, const QString& caption) {
    auto* control = new QPushButton(caption);
    control->setObjectName(name);
    HoverPointer::install(control, HoverPointer::Rule::Hand);
    return control;
}

QGroupBox* frame(const QString& name, const QString& caption) {
    auto* control = new QGroupBox(caption);
    control->setObjectName(name);
    control->setAccessibleName(caption);
    HoverPointer::install(control, HoverPointer::Rule::Reset);
    return control;
}

QTreeWidget* list(const QString& name, const QString& hint) {
    auto* control = new QTreeWidget;
    control->setObjectName(name);
    control->setToolTip(hint);
    control->setRootIsDecorated(false);
    control->setUniformRowHeights(true);
    control->setSelectionMode(QAbstractItemView::SingleSelection);
    control->setEditTriggers(QAbstractItemView::NoEditTriggers);
    control->setDragEnabled(false);
    control->setColumnCount(1);
    control->setHeaderHidden(false);
    control->header()->setStretchLastSection(false);
    control->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return control;
}

void addColumn(QTreeWidget* view, const QString& header) {
    view->setHeaderLabels({header});
    view->setAccessibleName(header);
}

} // namespace

Form1::Form1(QWidget* parent)
    : QWidget(parent), ListView1(list(QStringLiteral("ListView1"), listHint)), fileList_(ListView1),
      reorder_(fileList_),
      menu_(
          fileList_, this, [this] { return mayRemoveRows(); }, [this] { ListView2->clear(); },
          [this](const EditPlan& plan) { secondPageFor().showFields(plan); }),
      drop_(fileList_) {
    setObjectName(QStringLiteral("Form1"));
    buildPage();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildPage() {
    PushButton3 = button(QStringLiteral("PushButton3"), QStringLiteral("Help"));
    PushButton1 = button(QStringLiteral("PushButton1"), QStringLiteral("Add PDF File(s)"));
    PushButton4 =
        button(QStringLiteral("PushButton4"), QStringLiteral("Add All PDF File(s) In Folder"));
    PushButton9 = button(QStringLiteral("PushButton9"), QStringLiteral("Clear List"));
    PushButton10 =
        button(QStringLiteral("PushButton10"), QStringLiteral("Load Sample/Example Files"));
    PushButton5 = button(QStringLiteral("PushButton5"), QStringLiteral("..."));
    PushButton2 = button(QStringLiteral("PushButton2"), QStringLiteral("Next Step >"));
    ListView2 = list(QStringLiteral("ListView2"), previewHint);
    HoverPointer::install(ListView2, HoverPointer::Rule::Reset);
    Frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("Option"));
    Frame5 = frame(QStringLiteral("Frame5"), QStringLiteral("Save Option"));
    Frame3 = frame(QStringLiteral("Frame3"), QString());
    Frame3->setAccessibleName(QStringLiteral("Result folder"));
    Check1 = new QCheckBox(
        QStringLiteral("Prompt for password because PDF files are password protected"));
    Check1->setObjectName(QStringLiteral("Check1"));
    Option1 = new QRadioButton(QStringLiteral("Save results to this folder:"));
    Option1->setObjectName(QStringLiteral("Option1"));
    Option1->setChecked(true);
    Option2 = new QRadioButton(QStringLiteral("Save results in folder of original file"));
    Option2->setObjectName(QStringLiteral("Option2"));
    // On unless the user turned it off: a run that replaces files can then be taken back.
    Check2 = new QCheckBox(QStringLiteral("Keep replaced originals in the Trash"));
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setChecked(true);
    Text1 = new QLineEdit;
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(Option1->text());
    PushButton5->setAccessibleDescription(QStringLiteral("Choose the folder for the results"));
    PushButton5->setFixedWidth(600 / 15);

    auto* checkLayout = new QVBoxLayout(Frame1);
    checkLayout->addWidget(Check1);

    auto* folderLayout = new QHBoxLayout(Frame3);
    folderLayout->addWidget(Text1, 1);
    folderLayout->addWidget(PushButton5);

    auto* saveLayout = new QVBoxLayout(Frame5);
    saveLayout->addWidget(Option1);
    auto* indent = new QHBoxLayout;
    indent->addSpacing(240 / 15);
    indent->addWidget(Frame3);
    saveLayout->addLayout(indent);
    saveLayout->addWidget(Option2);
    saveLayout->addWidget(Check2);

    auto* addButtons = new QGridLayout;
    addButtons->addWidget(PushButton1, 0, 0);
    addButtons->addWidget(PushButton4, 0, 1);
    addButtons->addWidget(PushButton9, 1, 0);
    addButtons->addWidget(PushButton10, 1, 1);

    // The two lists share the room the window gains, in the proportion of their design heights.
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(120 / 15, 120 / 15, 120 / 15, 120 / 15);
    page->addWidget(PushButton3);
    page->addWidget(ListView1, 2535);
    page->addLayout(addButtons);
    page->addWidget(Frame1);
    page->addWidget(ListView2, 1815);
    page->addWidget(Frame5);
    page->addWidget(PushButton2);

    resize(8040 / 15, 9360 / 15);
    HoverPointer::install(this, HoverPointer::Rule::Reset);
}

void Form1::connectHandlers() {
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton9, &QPushButton::clicked, this, &Form1::PushButton9_Click);
    connect(PushButton10, &QPushButton::clicked, this, &Form1::PushButton10_Click);
    // Like the platform's click events, these fire for changes the program makes too.
    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Click();
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Option_Click();
    });
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Check1, &QCheckBox::stateChanged, this, &Form1::Check1_Click);
    connect(Check2, &QCheckBox::toggled, this, &Form1::Check2_Click);
    connect(ListView1, &QTreeWidget::itemPressed, this, [this] {
        const QPixmap drag(PathHelpers::ProgramFolder() + QStringLiteral("/drag.ico"));
        ListView1->viewport()->setCursor(drag.isNull() ? QCursor(Qt::DragMoveCursor)
                                                       : QCursor(drag));
        reorder_.itemClick();
    });
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The press that opened the menu began a drag whose release the menu takes: the list
        // must not go on moving rows after the pointer.
        reorder_.release();
        ListView1->viewport()->unsetCursor();
        QTreeWidgetItem* item = ListView1->itemAt(at);
        const std::unique_ptr<QMenu> menu(
            listMenu(item ? ListView1->indexOfTopLevelItem(item) + 1 : 0));
        menu->exec(ListView1->viewport()->mapToGlobal(at));
    });
    ListView1->viewport()->installEventFilter(this);
    ListView1->viewport()->setMouseTracking(true);
    ListView1->installEventFilter(this);
}

void Form1::Form_Load() {
    ErrorTrap trap(loadContext);
    // Step 100, the skin: this build has no skin engine, so the skin file counts as absent.
    const QString cursorFile = PathHelpers::ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (trap.test(102, [&] { return PathHelpers::PathExists(cursorFile); })) {
        trap.step(104, [&] {
            if (!WindowPointer::loadCustom(this, cursorFile))
                throw Failure(QStringLiteral("Invalid picture"));
        });
    }
    trap.step(106, [] { StartupRoutines::webSiteRoutine(); });
    const auto snapshotEmpty = [] {
        return SettingsStore::get(QStringLiteral("Snapshot")).isEmpty();
    };
    if (trap.test(106, snapshotEmpty))
        trap.step(106, [] { SampleFiles::RecordSampleFiles(); });
    if (trap.test(124, snapshotEmpty))
        trap.step(124, [] { SampleFiles::RecordSampleFiles(); });
    trap.step(126, [this] {
        WindowConventions::applyCaptionAndIcon(this);
        WindowConventions::applyTitle();
    });
    trap.step(128, [this] { addColumn(ListView1, listHeader); });
    trap.step(130, [this] { ListView1->setColumnWidth(0, columnWidth); });
    trap.step(132, [this] { addColumn(ListView2, previewHeader); });
    trap.step(134, [this] { ListView2->setColumnWidth(0, columnWidth); });
    trap.step(136, [this] {
        const int value = SettingsStore::toInt(SettingsStore::get(QStringLiteral("Check1"), "0"));
        if (value != 0 && value != 1)
            throw Failure(QStringLiteral("Invalid property value"));
        Check1->setChecked(value == 1);
    });
    trap.step(138, [this] {
        Text1->setText(
            SettingsStore::get(QStringLiteral("Text1"), StartupRoutines::desktopFolder()));
    });
    trap.step(140, [this] {
        setOption(Option1,
                  SettingsStore::toBool(SettingsStore::get(QStringLiteral("Option1"), "1")));
    });
    trap.step(142, [this] {
        setOption(Option2,
                  SettingsStore::toBool(SettingsStore::get(QStringLiteral("Option2"), "0")));
    });
    if (trap.test(144, [this] { return Option1->isChecked(); }))
        trap.step(146, [this] { Frame3->setEnabled(true); });
    else
        trap.step(148, [this] { Frame3->setEnabled(false); });
    ErrorTrap::shielded("KeepInTrash", [this] {
        Check2->setChecked(
            SettingsStore::toBool(SettingsStore::get(QStringLiteral("KeepInTrash"), "1")));
    });
}

void Form1::setOption(QRadioButton* option, bool selected) {
    if (selected) {
        option->setChecked(true);
        return;
    }
    // The group would refuse to clear its selected button; stored settings may clear both.
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void Form1::PushButton1_Click() {
    ErrorTrap trap(addFilesContext);
    QStringList chosen;
    trap.step(112, [&] {
        chosen = Dialogs::current().openFiles(
            QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"), QString(),
            QStringLiteral("PDF Files (*.pdf)"));
    });
    if (trap.test(114, [&] { return chosen.isEmpty(); }))
        return;
    // One file is appended exactly as the dialog gave it; several are tidied first.
    if (trap.test(118, [&] { return chosen.size() == 1; })) {
        trap.step(122, [&] { fileList_.AddPath(chosen.first()); });
        return;
    }
    for (const QString& path : chosen)
        trap.step(140, [&] { fileList_.AddPath(CollapseSlashes(path)); });
}

void Form1::PushButton2_Click() {
    ErrorTrap trap(nextStepContext);
    if (trap.test(100, [this] { return fileList_.Count() == 0; })) {
        trap.step(110, [] { Dialogs::current().message(QStringLiteral("No files added.")); });
        return;
    }
    if (trap.test(102, [this] {
            return !PathHelpers::IsFolder(Text1->text()) && !Option2->isChecked();
        })) {
        trap.step(108, [] {
            Dialogs::current().message(
                QStringLiteral("Folder does not exist. Please select another folder."));
        });
        return;
    }
    trap.step(104, [this] { secondPageFor().show(); });
    trap.step(106, [this] { hide(); });
}

QString Form1::helpText() {
    return QStringLiteral(
               "This program will change the description fields of PDF files. These description "
               "fields can be seen by going into Acrobat and going to File > Properties > "
               "Description\r\r"
               "This program will not change description fields that can not be manually changed "
               "when going to Acrobat > File > Properties > Description\r\r"
               "When description fields can not be manually changed in Acrobat, it means that they "
               "are locked and can never be changed even with this program.\r\r"
               "Questions? Please contact Team Brightfen at ") +
           QLatin1String(Contact::WebAddress);
}

void Form1::PushButton3_Click() {
    ErrorTrap trap(helpContext);
    trap.step(100, [] { Dialogs::current().message(helpText()); });
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(browseContext);
    QString chosen;
    trap.step(100, [&] {
        chosen = FolderPicker::BrowseForFolder(QStringLiteral("Please select folder:"),
                                               SettingsStore::get(QStringLiteral("LastFolder")));
    });
    if (trap.test(102, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(104, [&] { SettingsStore::save(QStringLiteral("LastFolderDot"), chosen); });
    if (trap.test(104, [&] { return !chosen.endsWith(QLatin1Char('/')); }))
        trap.step(106, [&] { Text1->setText(chosen + QLatin1Char('/')); });
    else
        trap.step(108, [&] { Text1->setText(chosen); });
}

void Form1::PushButton9_Click() {
    ErrorTrap trap(clearContext);
    trap.step(100, [this] {
        if (mayRemoveRows())
            fileList_.Clear();
    });
}

void Form1::ListView1_DblClick() {
    if (mayRemoveRows() && fileList_.Count() > 0)
        fileList_.RemoveSelected();
    ListView2->clear();
}

Form2& Form1::secondPageFor() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(this, this);
        form2_->Form_Load();
    }
    return *form2_;
}

QMenu* Form1::listMenu(int position) {
    return menu_.create(position);
}

void Form1::exportValues() {
    menu_.exportValues();
}

void Form1::ListView1_KeyDown(int key) {
    if (key == Qt::Key_Delete && mayRemoveRows() && fileList_.Count() > 0)
        fileList_.RemoveSelected();
}

void Form1::Option_Click() {
    ErrorTrap::shielded("Option_Click", [this] {
        SettingsStore::save(QStringLiteral("Option1"),
                            SettingsStore::fromBool(Option1->isChecked()));
        SettingsStore::save(QStringLiteral("Option2"),
                            SettingsStore::fromBool(Option2->isChecked()));
    });
    Frame3->setEnabled(Option1->isChecked());
}

void Form1::Text1_Change() {
    ErrorTrap::shielded("Text1_Change",
                        [this] { SettingsStore::save(QStringLiteral("Text1"), Text1->text()); });
}

void Form1::Check1_Click() {
    ErrorTrap::shielded("Check1_Click", [this] {
        SettingsStore::save(QStringLiteral("Check1"),
                            Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

void Form1::Check2_Click() {
    ErrorTrap::shielded("Check2_Click", [this] {
        SettingsStore::save(QStringLiteral("KeepInTrash"),
                            SettingsStore::fromBool(Check2->isChecked()));
    });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        ListView1_KeyDown(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
    if (watched != ListView1->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        reorder_.press();
        break;
    case QEvent::MouseMove: {
        HoverPointer::apply(this, HoverPointer::Rule::Reset);
        if (!reorder_.held() || runGoesOn())
            break;
        const QPoint position = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* hover = ListView1->itemAt(position);
        const int hoverPosition = hover ? ListView1->indexOfTopLevelItem(hover) + 1 : 0;
        reorder_.move(hoverPosition,
                      DragReorder::zoneOf(position.y(), ListView1->viewport()->height()));
        // The list's own drag selection would fight the reordering.
        return true;
    }
    case QEvent::MouseButtonRelease:
        reorder_.release();
        ListView1->viewport()->unsetCursor();
        // A click previews once the list has finished with the click itself.
        QTimer::singleShot(0, this, &Form1::ListView1_Click);
        break;
    case QEvent::MouseButtonDblClick:
        ListView1_DblClick();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

QString Form1::extensionPrompt() {
    return QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all txt "
                          "files, doc for all doc files, etc.)");
}

void Form1::PushButton4_Click() {
    ErrorTrap trap(addFolderContext);
    QString extension;
    trap.step(100, [&] {
        extension =
            Dialogs::current()
                .input(extensionPrompt(), {},
                       SettingsStore::get(QStringLiteral("Extension"), QStringLiteral("pdf")))
                .value_or(QString());
        if (!extension.isEmpty())
            SettingsStore::save(QStringLiteral("Extension"), extension);
    });
    if (trap.test(102, [&] { return extension.isEmpty(); }))
        return;
    QString chosen;
    trap.step(104, [&] {
        chosen = FolderPicker::BrowseForFolder(QStringLiteral("Please select folder:"),
                                               SettingsStore::get(QStringLiteral("LastFolder")));
    });
    if (trap.test(106, [&] { return chosen.isEmpty(); }))
        return;
    // The stored setting is the one place the last folder is kept.
    trap.step(334, [&] { SettingsStore::save(QStringLiteral("LastFolder"), chosen); });
    trap.step(112, [this] { WindowPointer::set(this, WindowPointer::State::Wait); });
    const QList<FolderWalker::Found> passedOver =
        FolderFiles::addTree(fileList_, chosen, QStringLiteral("*.") + extension, &trap);
    trap.step(136, [this] { WindowPointer::set(this, WindowPointer::State::Default); });
    FolderFiles::tellPassedOver(passedOver);
}

void Form1::openPaths(const QStringList& paths, const QStringList& undecodable) {
    const GivenPaths::Left left = GivenPaths::open(fileList_, paths, undecodable);
    // Files opened this way are there to be changed: the toolkit host starts at once.
    if (fileList_.Count() > 0)
        QTimer::singleShot(0, this, [] { ToolkitHost::instance().prepare(); });
    GivenPaths::tell(left);
}

bool Form1::dropPaths(const QList<QUrl>& urls) {
    return GivenPaths::drop(fileList_, urls);
}

void Form1::PushButton10_Click() {
    ErrorTrap trap(samplesContext);
    trap.step(100, [this] { SampleFiles::AddSampleFiles(fileList_); });
}

void Form1::ListView1_Click() {
    if (fileList_.Count() == 0) {
        ListView2->clear();
        return;
    }
    const quint64 generation = ++previewGeneration_;
    WindowPointer::set(this, WindowPointer::State::Wait);
    ListView2->clear();
    ErrorTrap::shielded("preview", [&] {
        const QStringList rows = PreviewReader::rows(fileList_.SelectedPath(), [&] {
            // A newer click owns the preview list now.
            return generation == previewGeneration_ && fileList_.Count() > 0;
        });
        for (const QString& row : rows)
            new QTreeWidgetItem(ListView2, QStringList{row});
    });
    WindowPointer::set(this, WindowPointer::State::Default);
}

int Form1::fileCount() const {
    return fileList_.Count();
}

QString Form1::pathAt(int position) const {
    return fileList_.PathAt(position);
}

RunChoices Form1::choices() const {
    RunChoices choices;
    choices.saveToFolder = Option1->isChecked();
    choices.saveBesideOriginal = Option2->isChecked();
    choices.resultFolder = Text1->text();
    choices.promptForPassword = Check1->isChecked();
    choices.keepOriginalsInTrash = Check2->isChecked();
    return choices;
}

EditPlan Form1::plan(int) const {
    // The fields are the second page's; the same for every file.
    return form2_ ? form2_->plan() : EditPlan();
}

bool Form1::runGoesOn() const {
    return form2_ && form2_->running();
}

bool Form1::mayRemoveRows() const {
    return !WindowPointer::isBusy(this) && !runGoesOn();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing either page ends the whole program at once: a run that goes on behind the first
    // page after "< Back" ends as it does when its own page is closed.
    event->accept();
    if (form2_ && form2_->running())
        form2_->close();
    QCoreApplication::exit(0);
}
