#include "Form1.h"

#include "Controls.h"
#include "ErrorReport.h"
#include "Form2.h"
#include "PdfDate.h"
#include "ScriptedDialogs.h"
#include "SettingsStore.h"
#include "StartupRoutines.h"
#include "TestFiles.h"
#include "WindowPointer.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {
const QString loadContext = QStringLiteral("in Metascribe2021/08/31.Form1.Form_Load ");
}

class Form1Test : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    QTemporaryDir work_;

    static void store(const QString& key, const QString& value) { SettingsStore::save(key, value); }

private slots:
    void initTestCase() { TestFiles::isolateHome(home_.path()); }
    void init() { QFile::remove(SettingsStore::fileName()); }

    void firstStart() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        QCOMPARE(form.windowTitle(), QStringLiteral("Metascribe"));
        QVERIFY(!control<QCheckBox>(form, "Check1")->isChecked());
        // Replaced originals are kept in the Trash unless the user says otherwise.
        QVERIFY(control<QCheckBox>(form, "Check2")->isChecked());
        QVERIFY(form.choices().keepOriginalsInTrash);
        QVERIFY(control<QRadioButton>(form, "Option1")->isChecked());
        QVERIFY(!control<QRadioButton>(form, "Option2")->isChecked());
        QVERIFY(control<QGroupBox>(form, "Frame3")->isEnabled());
        const QString desktop = StartupRoutines::desktopFolder();
        QVERIFY(desktop.endsWith('/'));
        QCOMPARE(control<QLineEdit>(form, "Text1")->text(), desktop);
        QCOMPARE(SettingsStore::get("Text1"), desktop);
        QCOMPARE(control<QTreeWidget>(form, "ListView1")->headerItem()->text(0),
                 QStringLiteral("PDF File(s)"));
        QCOMPARE(control<QTreeWidget>(form, "ListView1")->columnWidth(0), 466);
        QCOMPARE(control<QTreeWidget>(form, "ListView2")->headerItem()->text(0),
                 QStringLiteral("Click on file above - This is how your file appears to this "
                                "software"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void optionsSurviveARestart() {
        ScriptedDialogs dialogs;
        {
            Form1 form;
            form.Form_Load();
            control<QRadioButton>(form, "Option2")->click();
            QVERIFY(!control<QGroupBox>(form, "Frame3")->isEnabled());
            QCOMPARE(SettingsStore::get("Option1"), QStringLiteral("False"));
            QCOMPARE(SettingsStore::get("Option2"), QStringLiteral("True"));
            control<QCheckBox>(form, "Check1")->click();
            QCOMPARE(SettingsStore::get("Check1"), QStringLiteral("1"));
            control<QCheckBox>(form, "Check2")->click();
            QCOMPARE(SettingsStore::get("KeepInTrash"), QStringLiteral("False"));
            control<QLineEdit>(form, "Text1")->setText("/srv/out/");
        }
        Form1 again;
        again.Form_Load();
        QVERIFY(!control<QRadioButton>(again, "Option1")->isChecked());
        QVERIFY(control<QRadioButton>(again, "Option2")->isChecked());
        QVERIFY(!control<QGroupBox>(again, "Frame3")->isEnabled());
        QVERIFY(control<QCheckBox>(again, "Check1")->isChecked());
        QVERIFY(!again.choices().keepOriginalsInTrash);
        QCOMPARE(control<QLineEdit>(again, "Text1")->text(), QStringLiteral("/srv/out/"));
        // Selecting the folder option again enables the same text.
        control<QRadioButton>(again, "Option1")->click();
        QVERIFY(control<QGroupBox>(again, "Frame3")->isEnabled());
        QCOMPARE(control<QLineEdit>(again, "Text1")->text(), QStringLiteral("/srv/out/"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void storedTextsThatDoNotConvert_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("description");
        QTest::newRow("Check1 letters") << "Check1"
                                        << "abc" << 136 << "Type mismatch";
        QTest::newRow("Check1 out of range") << "Check1"
                                             << "5" << 136 << "Invalid property value";
        QTest::newRow("Option1 letters") << "Option1"
                                         << "yes" << 140 << "Type mismatch";
        QTest::newRow("Option2 letters") << "Option2"
                                         << "maybe" << 142 << "Type mismatch";
    }
    void storedTextsThatDoNotConvert() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, step);
        QFETCH(QString, description);
        store("Text1", "/srv/out/");
        store(key, value);
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        QCOMPARE(dialogs.messages().size(), 1);
        QCOMPARE(dialogs.messages().first().text,
                 ErrorReport::messageText(description, loadContext, step));
        // Loading went on: the steps after the failed one ran.
        QCOMPARE(control<QLineEdit>(form, "Text1")->text(), QStringLiteral("/srv/out/"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Metascribe"));
        QCOMPARE(SettingsStore::get(key), value); // nothing wrote over the stored text
    }

    void bothOptionsClearFromTheStore() {
        store("Option1", "false");
        store("Option2", "0");
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        QVERIFY(!control<QRadioButton>(form, "Option1")->isChecked());
        QVERIFY(!control<QRadioButton>(form, "Option2")->isChecked());
        QVERIFY(!control<QGroupBox>(form, "Frame3")->isEnabled());
        QVERIFY(dialogs.shown.isEmpty());
    }

    void typingStoresEveryKeystroke() {
        ScriptedDialogs dialogs;
        {
            Form1 form;
            form.Form_Load();
            auto* text = control<QLineEdit>(form, "Text1");
            text->clear();
            QCOMPARE(SettingsStore::get("Text1", "default"), QString());
            QTest::keyClicks(text, "/o");
            QCOMPARE(SettingsStore::get("Text1"), QStringLiteral("/o"));
            text->clear();
        }
        Form1 again;
        again.Form_Load();
        QCOMPARE(control<QLineEdit>(again, "Text1")->text(), QString());
    }

    void nextStepValidation_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("toFolder");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        const QString none;
        const QString noFiles = "No files added.";
        const QString noFolder = "Folder does not exist. Please select another folder.";
        const QString existing = QDir::tempPath();
        QTest::newRow("empty list") << QStringList() << true << existing << noFiles;
        QTest::newRow("empty list, other option") << QStringList() << false << "" << noFiles;
        QTest::newRow("missing folder") << QStringList{"/a.pdf"} << true << "/no/such/" << noFolder;
        QTest::newRow("empty folder") << QStringList{"/a.pdf"} << true << "" << noFolder;
        QTest::newRow("a file is no folder")
            << QStringList{"/a.pdf"} << true << QCoreApplication::applicationFilePath() << noFolder;
        QTest::newRow("blank not trimmed")
            << QStringList{"/a.pdf"} << true << existing + " " << noFolder;
        QTest::newRow("folder") << QStringList{"/a.pdf"} << true << existing << none;
        QTest::newRow("folder with separator")
            << QStringList{"/a.pdf"} << true << existing + "/" << none;
        QTest::newRow("beside originals, folder not looked at")
            << QStringList{"/a.pdf"} << false << "/no/such/" << none;
    }
    void nextStepValidation() {
        QFETCH(QStringList, files);
        QFETCH(bool, toFolder);
        QFETCH(QString, folder);
        QFETCH(QString, message);
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        form.show();
        for (const QString& file : files)
            form.fileList().AddPath(file);
        control<QRadioButton>(form, toFolder ? "Option1" : "Option2")->click();
        control<QLineEdit>(form, "Text1")->setText(folder);
        control<QPushButton>(form, "PushButton2")->click();
        if (message.isEmpty()) {
            QVERIFY(dialogs.shown.isEmpty());
            QVERIFY(form.secondPage());
            QVERIFY(form.secondPage()->isVisible());
            QVERIFY(!form.isVisible());
            return;
        }
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().text, message);
        QCOMPARE(dialogs.shown.first().title, QStringLiteral("Metascribe"));
        QCOMPARE(dialogs.shown.first().buttons, Dialogs::Buttons::Ok);
        QCOMPARE(dialogs.shown.first().icon, Dialogs::Icon::None);
        QVERIFY(!form.secondPage());
        QVERIFY(form.isVisible());
    }

    void backAndNextKeepEveryChoice() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        form.show();
        form.fileList().AddPath("/a.pdf");
        control<QRadioButton>(form, "Option2")->click();
        control<QPushButton>(form, "PushButton2")->click();
        Form2* second = form.secondPage();
        QVERIFY(second);
        control<QLineEdit>(*second, "Text3")->setText("Finance");
        control<QRadioButton>(*second, "Option1")->click();
        const EditPlan plan = second->plan();
        control<QPushButton>(*second, "PushButton3")->click();
        QVERIFY(form.isVisible());
        QVERIFY(!second->isVisible());
        form.fileList().AddPath("/b.pdf");
        control<QPushButton>(form, "PushButton2")->click();
        QCOMPARE(form.secondPage(), second);
        QVERIFY(second->isVisible());
        QCOMPARE(second->plan(), plan);
        QCOMPARE(second->plan().choice(InfoField::Author).text, QStringLiteral("Finance"));
        QCOMPARE(form.fileList().Count(), 2);
        QVERIFY(control<QRadioButton>(form, "Option2")->isChecked());
    }

    void help() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        control<QPushButton>(form, "PushButton3")->click();
        QCOMPARE(dialogs.shown.size(), 1);
        const QStringList paragraphs = dialogs.shown.first().text.split("\r\r");
        QCOMPARE(paragraphs.size(), 4);
        QCOMPARE(paragraphs[0], QStringLiteral("This program will change the description fields "
                                               "of PDF files. These description fields can be "
                                               "seen by going into Acrobat and going to File > "
                                               "Properties > Description"));
        QVERIFY(paragraphs[3].startsWith("Questions? Please contact Team Brightfen at https://"));
        QVERIFY(!dialogs.shown.first().text.contains('\n'));
        QCOMPARE(dialogs.shown.first().title, QStringLiteral("Metascribe"));
        QCOMPARE(dialogs.shown.first().icon, Dialogs::Icon::None);
    }

    void addByDialog_data() {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("cancel") << QStringList() << QStringList{"/old.pdf"};
        QTest::newRow("one file exactly as given")
            << QStringList{"/docs//SCAN.PDF"} << QStringList{"/old.pdf", "/docs//SCAN.PDF"};
        QTest::newRow("several, in the dialog's order, tidied")
            << QStringList{"/docs/c.pdf", "//a.pdf", "/docs///b.pdf"}
            << QStringList{"/old.pdf", "/docs/c.pdf", "/a.pdf", "/docs//b.pdf"};
        QTest::newRow("already listed is added again")
            << QStringList{"/old.pdf"} << QStringList{"/old.pdf", "/old.pdf"};
        QTest::newRow("does not exist, still added")
            << QStringList{"/nowhere/x.pdf"} << QStringList{"/old.pdf", "/nowhere/x.pdf"};
    }
    void addByDialog() {
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, expected);
        ScriptedDialogs dialogs;
        dialogs.openFilesAnswers.push_back(chosen);
        Form1 form;
        form.Form_Load();
        form.fileList().AddPath("/old.pdf");
        control<QPushButton>(form, "PushButton1")->click();
        QCOMPARE(listedPaths(form.fileList()), expected);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().kind, ScriptedDialogs::Kind::OpenFiles);
        QCOMPARE(dialogs.shown.first().text,
                 QStringLiteral("Add File(s) - Hold Ctrl to select multiple files"));
        QCOMPARE(dialogs.shown.first().details, QStringLiteral("PDF Files (*.pdf)"));
    }

    void browseForResultFolder_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lastFolderDot");
        QTest::newRow("cancel") << ""
                                << "/before/"
                                << "unchanged";
        QTest::newRow("folder gets its separator") << "/srv/out"
                                                   << "/srv/out/"
                                                   << "/srv/out";
        QTest::newRow("picker's trailing separator") << "/srv/out/"
                                                     << "/srv/out/"
                                                     << "/srv/out";
        QTest::newRow("root") << "/"
                              << "/"
                              << "/";
    }
    void browseForResultFolder() {
        QFETCH(QString, chosen);
        QFETCH(QString, text);
        QFETCH(QString, lastFolderDot);
        store("Text1", "/before/");
        store("LastFolder", "/added/from");
        store("LastFolderDot", "unchanged");
        ScriptedDialogs dialogs;
        dialogs.folderAnswers.push_back(chosen);
        Form1 form;
        form.Form_Load();
        control<QPushButton>(form, "PushButton5")->click();
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().text, QStringLiteral("Please select folder:"));
        QCOMPARE(dialogs.shown.first().defaultText, QStringLiteral("/added/from"));
        QCOMPARE(control<QLineEdit>(form, "Text1")->text(), text);
        QCOMPARE(SettingsStore::get("Text1"), text);
        QCOMPARE(SettingsStore::get("LastFolderDot"), lastFolderDot);
        QCOMPARE(SettingsStore::get("LastFolder"), QStringLiteral("/added/from"));
    }

    void removingRows() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* list = control<QTreeWidget>(form, "ListView1");
        auto* preview = control<QTreeWidget>(form, "ListView2");
        for (const char* path : {"/a.pdf", "/b.pdf", "/c.pdf", "/d.pdf"})
            form.fileList().AddPath(path);
        new QTreeWidgetItem(preview, QStringList{"Title: last"});

        form.fileList().select(2);
        QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(listedPaths(form.fileList()), (QStringList{"/a.pdf", "/c.pdf", "/d.pdf"}));
        QCOMPARE(preview->topLevelItemCount(), 1); // Delete leaves the preview alone

        // While the page is busy nothing is removed, but a double-click still empties the
        // preview.
        WindowPointer::set(&form, WindowPointer::State::Wait);
        form.fileList().select(1);
        QTest::keyClick(list, Qt::Key_Delete);
        control<QPushButton>(form, "PushButton9")->click();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           QPoint(5, list->viewport()->height() - 3));
        QCOMPARE(form.fileList().Count(), 3);
        QCOMPARE(preview->topLevelItemCount(), 0);

        WindowPointer::set(&form, WindowPointer::State::Default);
        new QTreeWidgetItem(preview, QStringList{"Title: last"});
        // A double-click on empty space removes the selected row, not one under the pointer.
        form.fileList().select(2);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                           QPoint(5, list->viewport()->height() - 3));
        QCOMPARE(listedPaths(form.fileList()), (QStringList{"/a.pdf", "/d.pdf"}));
        QCOMPARE(preview->topLevelItemCount(), 0);

        new QTreeWidgetItem(preview, QStringList{"Title: last"});
        control<QPushButton>(form, "PushButton9")->click();
        QCOMPARE(form.fileList().Count(), 0);
        QCOMPARE(preview->topLevelItemCount(), 1); // Clear List leaves the preview alone
        QTest::keyClick(list, Qt::Key_Delete);     // on an empty list: nothing
        QVERIFY(dialogs.shown.isEmpty());
    }

    // The list's context menu: the row's own actions on the row under the pointer, refused as
    // the other removals are while the page is busy, and the export of every listed file.
    void listContextMenu() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        QTemporaryDir dir;
        const QString plain = TestFiles::copyCorpusFile("minimal-document.pdf", dir.path());
        const QString latex = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        const QString broken = TestFiles::write(dir.path() + "/broken.pdf", "%PDF-1.4 no more");
        form.fileList().AddPaths({plain, broken, latex});

        const auto action = [](QMenu* menu, const QString& text) {
            for (QAction* item : menu->actions()) {
                if (item->text() == text)
                    return item;
            }
            qFatal("no action %s", qPrintable(text));
        };
        std::unique_ptr<QMenu> menu(form.listMenu(3));
        QStringList texts;
        for (QAction* item : menu->actions())
            texts << item->text();
        QCOMPARE(texts, (QStringList{"Open", "Show in Folder", "Remove from List",
                                     "Use Values of This File", "", "Export Values to CSV\u2026"}));
        action(menu.get(), "Open")->trigger();
        action(menu.get(), "Show in Folder")->trigger();
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0].kind, ScriptedDialogs::Kind::External);
        QCOMPARE(dialogs.shown[0].text, QUrl::fromLocalFile(latex).toString());
        QCOMPARE(dialogs.shown[1].kind, ScriptedDialogs::Kind::InFolder);
        QCOMPARE(dialogs.shown[1].text, latex);

        // Over empty space only the export is offered.
        menu.reset(form.listMenu(0));
        for (QAction* item : menu->actions())
            QVERIFY(item->isSeparator() || item->isEnabled() == item->text().startsWith("Export"));

        const QString table = dir.path() + "/values.csv";
        dialogs.saveFileAnswers.push_back(table);
        dialogs.messageAnswers.push_back(Dialogs::Answer::Ok);
        action(menu.get(), "Export Values to CSV\u2026")->trigger();
        QCOMPARE(dialogs.shown[2].kind, ScriptedDialogs::Kind::SaveFile);
        QCOMPARE(dialogs.shown[2].defaultText, table);
        QCOMPARE(dialogs.shown[3].icon, Dialogs::Icon::Warning);
        QCOMPARE(dialogs.shown[3].details.count('\n'), 0);
        QVERIFY(dialogs.shown[3].details.startsWith(broken + ": "));
        const QStringList lines = QString::fromUtf8(TestFiles::bytes(table)).split("\r\n");
        QVERIFY2(lines.value(0).startsWith("\uFEFFpath;Title;"), qPrintable(lines.value(0)));
        QCOMPARE(lines.size(), 4); // the header, two rows and the end of the last
        QVERIFY(lines[1].startsWith(plain + ';') && lines[2].startsWith(latex + ';'));

        // The second page's fields from a file, before the page was ever shown: what the file
        // has is "Change to:", the rest "Do not change", with the text typed there kept.
        menu.reset(form.listMenu(3));
        action(menu.get(), "Use Values of This File")->trigger();
        Form2* fields = form.secondPage();
        QVERIFY(fields && !fields->isVisible());
        control<QLineEdit>(fields, "Text1")->setText("typed");
        action(menu.get(), "Use Values of This File")->trigger();
        const EditPlan used = fields->plan();
        QCOMPARE(used.choice(InfoField::Title).mode, FieldMode::Keep);
        QCOMPARE(control<QLineEdit>(fields, "Text1")->text(), "typed");
        QCOMPARE(used.choice(InfoField::Creator), (FieldChoice{FieldMode::ChangeTo, "TeX"}));
        QCOMPARE(used.choice(InfoField::Producer).text, "pdfTeX-1.40.23");
        QCOMPARE(PdfDate::parse(used.choice(InfoField::CreationDate).text),
                 PdfDate::parse("D:20220403195945+02'00'"));
        // A file that cannot be read: one message with the reason, and the fields as they were.
        dialogs.messageAnswers.push_back(Dialogs::Answer::Ok);
        menu.reset(form.listMenu(2));
        action(menu.get(), "Use Values of This File")->trigger();
        QCOMPARE(dialogs.shown.size(), 5);
        QCOMPARE(dialogs.shown[4].icon, Dialogs::Icon::Warning);
        QVERIFY2(
            dialogs.shown[4].text.startsWith("The values of " + broken + " could not be read: it "),
            qPrintable(dialogs.shown[4].text));
        QCOMPARE(fields->plan(), used);

        WindowPointer::set(&form, WindowPointer::State::Wait);
        menu.reset(form.listMenu(1));
        action(menu.get(), "Remove from List")->trigger();
        QCOMPARE(form.fileList().Count(), 3);
        WindowPointer::set(&form, WindowPointer::State::Default);
        menu.reset(form.listMenu(1));
        action(menu.get(), "Remove from List")->trigger();
        QCOMPARE(listedPaths(form.fileList()), (QStringList{broken, latex}));
        QCOMPARE(dialogs.unanswered, 0);
    }

    // The drag example with real mouse events on the list.
    void dragReorderWithTheMouse() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* list = control<QTreeWidget>(form, "ListView1");
        for (const char* path : {"A", "B", "C", "D"})
            form.fileList().AddPath(path);
        const auto centre = [&](int row) {
            return list->visualItemRect(list->topLevelItem(row)).center();
        };
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, centre(0));
        QTest::mouseMove(list->viewport(), centre(1));
        QTest::mouseMove(list->viewport(), centre(2));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, centre(2));
        QCOMPARE(listedPaths(form.fileList()), (QStringList{"B", "C", "A", "D"}));
        QCOMPARE(form.fileList().SelectedPath(), QStringLiteral("A"));
        // Without a held button moving changes nothing.
        QTest::mouseMove(list->viewport(), centre(3));
        QCOMPARE(listedPaths(form.fileList()), (QStringList{"B", "C", "A", "D"}));
    }

    void accessibleNames() {
        Form1 form;
        ScriptedDialogs dialogs;
        form.Form_Load();
        QCOMPARE(control<QLineEdit>(form, "Text1")->accessibleName(),
                 QStringLiteral("Save results to this folder:"));
        QCOMPARE(control<QTreeWidget>(form, "ListView1")->accessibleName(),
                 QStringLiteral("PDF File(s)"));
        QCOMPARE(control<QTreeWidget>(form, "ListView1")->toolTip(),
                 QStringLiteral("Drag and drop files here. Double-click item to remove it. Move | "
                                "line to right and out of window to reveal full names."));
    }

    // Closing the second page ends the program although the first page is only hidden. Runs
    // last: it ends the application's event loop.
    void closingEitherPageEndsTheProgram() {
        ScriptedDialogs dialogs;
        Form1 form;
        form.Form_Load();
        form.show();
        form.fileList().AddPath("/a.pdf");
        control<QRadioButton>(form, "Option2")->click();
        control<QPushButton>(form, "PushButton2")->click();
        QVERIFY(form.secondPage() && form.secondPage()->isVisible());
        // Not merely because the last visible window went: the page itself ends the program.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        QTimer::singleShot(0, form.secondPage(), &QWidget::close);
        QTimer safety;
        connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        safety.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QTEST_MAIN(Form1Test)
#include "Form1Test.moc"
