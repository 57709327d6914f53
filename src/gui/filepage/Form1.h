#pragma once

#include "BatchSource.h"
#include "DragReorder.h"
#include "FileDrop.h"
#include "FileList.h"
#include "ListMenu.h"

#include <QWidget>
#include <memory>

class Form2;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QUrl;

// The first page of the wizard: the files to change, where the results go, and the way on to
// the second page.
class Form1 : public QWidget, public BatchSource {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Runs once before the page is first shown.
    void Form_Load();

    FileList& fileList() { return fileList_; }
    // The second page, once "Next Step >" has created it.
    Form2* secondPage() const { return form2_.get(); }
    // The second page, created now if "Next Step >" has not yet, so that its fields can be set
    // before it is shown.
    Form2& secondPageFor();

    // Event handlers, named after their control and event.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton9_Click();
    void PushButton10_Click();
    void ListView1_Click();
    void ListView1_DblClick();
    void ListView1_KeyDown(int key);
    void Option_Click();
    void Text1_Change();
    void Check1_Click();
    void Check2_Click();

    static QString helpText();
    static QString extensionPrompt();

    // The list's context menu for the row at position (0 for none): "Open", "Show in Folder",
    // "Remove from List", "Use Values of This File" for that row and "Export Values to CSV…" for
    // every listed file. The caller shows and deletes it.
    QMenu* listMenu(int position);
    // Writes the table of every listed file's values (the same as show --csv) to a file the
    // user chooses; the files without a row are named in one message.
    void exportValues();

    // Appends the dropped local files and, walked, the dropped folders; gives whether the data
    // held any local file.
    bool dropPaths(const QList<QUrl>& urls);
    // The files and folders the program was started with ("Open With" in a file manager): a
    // file joins the list, a folder adds its PDF files as "Add All PDF File(s) In Folder"
    // does. Paths that do not exist are named in one message.
    // undecodable: names given whose bytes are not UTF-8; they are named, not added, since
    // read as text they name another file or none.
    void openPaths(const QStringList& paths, const QStringList& undecodable = {});

    // What the batch run reads from this page. The save options stay open during a run, like the
    // second page's fields: they are read anew for every file, so a change reaches the files
    // after it, and no destination they give may replace another file of the run.
    int fileCount() const override;
    QString pathAt(int position) const override;
    RunChoices choices() const override;
    EditPlan plan(int position) const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPage();
    void connectHandlers();
    // Sets an option button without letting the group select the other one.
    void setOption(QRadioButton* option, bool selected);
    // Whether the second page's run goes on, behind this page after "< Back". It reads row N as
    // its file N, so rows may then be added after its own but not removed or moved.
    bool runGoesOn() const;
    // Removing and clearing are refused while the page is busy, and while a run reads the rows.
    bool mayRemoveRows() const;

    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton9;
    QPushButton* PushButton10;
    QTreeWidget* ListView1;
    QTreeWidget* ListView2;
    QGroupBox* Frame1;
    QGroupBox* Frame3;
    QGroupBox* Frame5;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QLineEdit* Text1;

    FileList fileList_;
    DragReorder reorder_;
    ListMenu menu_;
    FileDrop drop_;
    std::unique_ptr<Form2> form2_;
    // Counts previews, so one that a newer click overtook shows nothing when it ends.
    quint64 previewGeneration_ = 0;
};
