#include "Controls.h"
#include "Form1.h"
#include "SampleFiles.h"
#include "ScriptedDialogs.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "Toolkit.h"
#include "WindowPointer.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The ways of filling the list besides the open dialog, and the preview of a clicked file.
class FillingTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<Form1> form_;

    QString tree() const { return work_->path() + "/tree"; }
    void touch(const QString& relative, mode_t mode = 0644) {
        const QString path = tree() + "/" + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
    }
    QStringList rows() const { return listedPaths(form_->fileList()); }
    QStringList relativeRows() const {
        QStringList result;
        for (const QString& row : rows())
            result << (row.startsWith(tree()) ? row.mid(tree().size() + 1) : row);
        return result;
    }
    QTreeWidget* list() const { return form_->findChild<QTreeWidget*>("ListView1"); }
    QTreeWidget* preview() const { return form_->findChild<QTreeWidget*>("ListView2"); }
    QStringList previewRows() const {
        QStringList result;
        for (int i = 0; i < preview()->topLevelItemCount(); ++i)
            result << preview()->topLevelItem(i)->text(0);
        return result;
    }
    void click(const char* button) {
        form_->findChild<QPushButton*>(QLatin1String(button))->click();
    }
    // Sends a drag and a drop of this data onto the list; gives whether the drag was accepted.
    bool drop(QMimeData* data) {
        QWidget* viewport = list()->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        const bool accepted = enter.isAccepted();
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &dropped);
        delete data;
        return accepted;
    }
    static QMimeData* urls(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> list;
        for (const QString& path : paths)
            list << QUrl::fromLocalFile(path);
        data->setUrls(list);
        return data;
    }

private slots:
    void initTestCase() { TestFiles::isolateHome(home_.path()); }
    void init() {
        QFile::remove(SettingsStore::fileName());
        work_ = std::make_unique<QTemporaryDir>();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        form_ = std::make_unique<Form1>();
        form_->Form_Load();
        form_->show();
        dialogs_->shown.clear();
    }
    void cleanup() {
        form_.reset();
        dialogs_.reset();
        Toolkit::restore();
    }

    void addFolderByExtension() {
        touch("a.pdf");
        touch("B.Pdf");
        touch("~x.pdf");
        touch("a~x.pdf");
        touch(".hidden.pdf");
        touch(".readonly.pdf", 0444);
        touch("notes.txt");
        touch("sub/c.pdf");
        touch("sub/deeper/d.PDF");
        touch("other/e.pdf");
        dialogs_->inputAnswers.push_back(QStringLiteral("PDF"));
        dialogs_->folderAnswers.push_back(tree());
        SettingsStore::save("LastFolder", "/previous");
        click("PushButton4");

        QCOMPARE(relativeRows(), (QStringList{".readonly.pdf", "a.pdf", "a~x.pdf", "B.Pdf",
                                              "other/e.pdf", "sub/c.pdf", "sub/deeper/d.PDF"}));
        QCOMPARE(dialogs_->shown.size(), 2);
        QCOMPARE(dialogs_->shown[0].text,
                 QStringLiteral("Enter file extension to load:\r\r(* for all files, txt for all "
                                "txt files, doc for all doc files, etc.)"));
        QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Metascribe"));
        QCOMPARE(dialogs_->shown[0].defaultText, QStringLiteral("pdf"));
        QCOMPARE(dialogs_->shown[1].text, QStringLiteral("Please select folder:"));
        QCOMPARE(dialogs_->shown[1].defaultText, QStringLiteral("/previous"));
        QCOMPARE(SettingsStore::get("Extension"), QStringLiteral("PDF"));
        QCOMPARE(SettingsStore::get("LastFolder"), tree());
        QVERIFY(!WindowPointer::isBusy(form_.get()));

        // The same folder again adds every file again; "*" takes every extension.
        dialogs_->inputAnswers.push_back(QStringLiteral("*"));
        dialogs_->folderAnswers.push_back(tree());
        click("PushButton4");
        QCOMPARE(rows().size(), 7 + 8);
        QVERIFY(relativeRows().contains("notes.txt"));
        QCOMPARE(dialogs_->shown[2].defaultText, QStringLiteral("PDF"));
    }

    // A file the user sees in the folder but that cannot be changed is not added in silence:
    // one message names each with its reason.
    void passedOverFilesAreNamed() {
        touch("a.pdf");
        QVERIFY(::mkfifo(QFile::encodeName(tree() + "/pipe.pdf").constData(), 0644) == 0);
        const QByteArray odd = QFile::encodeName(tree()) + "/sub/caf\xe9.pdf";
        touch("sub/b.pdf");
        const int descriptor = ::open(odd.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(descriptor >= 0);
        ::close(descriptor);
        dialogs_->inputAnswers.push_back(QStringLiteral("pdf"));
        dialogs_->folderAnswers.push_back(tree());
        click("PushButton4");
        QCOMPARE(relativeRows(), (QStringList{"a.pdf", "sub/b.pdf"}));
        QCOMPARE(dialogs_->shown.size(), 3);
        QCOMPARE(dialogs_->shown[2].text, "These files cannot be changed and were not added:\r\n" +
                                              tree() + "/pipe.pdf: it is not a regular file\r\n" +
                                              tree() +
                                              "/sub/caf\uFFFD.pdf: its name is not valid UTF-8");
    }

    void cancellingChangesNothing() {
        touch("a.pdf");
        SettingsStore::save("Extension", "txt");
        dialogs_->inputAnswers.push_back(std::nullopt);
        click("PushButton4");
        dialogs_->inputAnswers.push_back(QString());
        click("PushButton4");
        QCOMPARE(SettingsStore::get("Extension"), QStringLiteral("txt"));
        QCOMPARE(dialogs_->shown.size(), 2); // no folder picker either time

        // A confirmed extension stays stored when the folder box is cancelled.
        dialogs_->inputAnswers.push_back(QStringLiteral("pdf"));
        dialogs_->folderAnswers.push_back(QString());
        click("PushButton4");
        QCOMPARE(SettingsStore::get("Extension"), QStringLiteral("pdf"));
        QCOMPARE(SettingsStore::get("LastFolder", "unset"), QStringLiteral("unset"));
        QCOMPARE(form_->fileList().Count(), 0);
        QVERIFY(!WindowPointer::isBusy(form_.get()));
    }

    void dropFilesAndFolders() {
        touch("dir/x.txt");
        touch("dir/~skip.pdf");
        touch("dir/sub/y.pdf");
        touch("loose.txt");
        const QString missing = tree() + "/missing.pdf";
        QVERIFY(
            drop(urls({tree() + "/loose.txt", tree() + "/dir", missing, tree() + "/loose.txt"})));
        QCOMPARE(relativeRows(), (QStringList{"loose.txt", "dir/x.txt", "dir/sub/y.pdf",
                                              "missing.pdf", "loose.txt"}));
        QVERIFY(dialogs_->shown.isEmpty());
    }

    void dropWithoutLocalFilesIsRefused() {
        auto* text = new QMimeData;
        text->setText("/etc/passwd");
        QVERIFY(!drop(text));
        auto* remote = new QMimeData;
        remote->setUrls({QUrl("https://example.org/a.pdf")});
        QVERIFY(!drop(remote));
        QCOMPARE(form_->fileList().Count(), 0);
    }

    void samples() {
        // The load recorded the samples shipped beside the program.
        const QStringList recorded = SettingsStore::get("Snapshot").split('|');
        QCOMPARE(recorded.size(), 3);
        for (const QString& path : recorded)
            QVERIFY2(path.startsWith(SampleFiles::folder() + "/"), qPrintable(path));

        dialogs_->messageAnswers.push_back(Dialogs::Answer::No);
        click("PushButton10");
        QCOMPARE(rows(), recorded);
        QCOMPARE(dialogs_->shown.size(), 1);
        QCOMPARE(dialogs_->shown[0].text, SampleFiles::question());
        QCOMPARE(dialogs_->shown[0].buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(dialogs_->shown[0].title, QStringLiteral("Metascribe"));

        // A second press adds nothing, asks again, and Yes opens the folder.
        dialogs_->messageAnswers.push_back(Dialogs::Answer::Yes);
        click("PushButton10");
        QCOMPARE(rows(), recorded);
        QCOMPARE(dialogs_->shown.size(), 3);
        QCOMPARE(dialogs_->shown[2].kind, ScriptedDialogs::Kind::External);
        QCOMPARE(dialogs_->shown[2].text,
                 QUrl::fromLocalFile(SampleFiles::folder() + "/").toString());

        // A removed row comes back at the end.
        form_->fileList().select(1);
        form_->ListView1_KeyDown(Qt::Key_Delete);
        dialogs_->messageAnswers.push_back(Dialogs::Answer::No);
        click("PushButton10");
        QCOMPARE(rows(), (QStringList{recorded[1], recorded[2], recorded[0]}));
    }

    void samplesRecordedOnceAndDeletedOnesSkipped() {
        touch("s/one.pdf");
        touch("s/two.pdf");
        SettingsStore::save("Snapshot", tree() + "/s/one.pdf|" + tree() + "/s/two.pdf");
        {
            // A later start keeps the recorded list.
            Form1 again;
            again.Form_Load();
        }
        QCOMPARE(SettingsStore::get("Snapshot"), tree() + "/s/one.pdf|" + tree() + "/s/two.pdf");
        QVERIFY(QFile::remove(tree() + "/s/one.pdf"));
        dialogs_->messageAnswers.push_back(Dialogs::Answer::No);
        click("PushButton10");
        QCOMPARE(relativeRows(), QStringList{"s/two.pdf"});
    }

    void previewOfACorpusFile() {
        const QString file = TestFiles::copyCorpusFile("minimal-document.pdf", work_->path());
        const QString arabic = TestFiles::copyCorpusFile("habibi.pdf", work_->path());
        form_->fileList().AddPath(file);
        form_->fileList().AddPath(arabic);
        form_->fileList().select(1);
        form_->ListView1_Click();
        const QMap<QString, QString> info = TestFiles::pdfInfo(file);
        const QStringList shown = previewRows();
        // This file has no Title or Author; its dump lists Creator before Producer.
        QCOMPARE(shown.mid(0, 2),
                 (QStringList{"Creator: " + info["Creator"], "Producer: " + info["Producer"]}));
        QVERIFY(shown.at(2).startsWith("Modified Date: "));
        QVERIFY(!WindowPointer::isBusy(form_.get()));

        form_->fileList().select(2);
        form_->ListView1_Click();
        QVERIFY(previewRows().contains("Title: " + TestFiles::pdfInfo(arabic)["Title"]));
        QCOMPARE(QDir(home_.path() + "/metascribe-" + QString::number(::getuid()))
                     .entryList({"result*"}, QDir::Files)
                     .size(),
                 0);
    }

    // "Open With": files join the list, a folder adds its PDF files, missing ones are named.
    void openedWithPaths() {
        touch("a.pdf");
        touch("sub/b.PDF");
        touch("sub/notes.txt");
        const QString current = QDir::currentPath();
        QDir::setCurrent(tree());
        form_->openPaths({"a.pdf", tree() + "/sub/", "gone.pdf"});
        QDir::setCurrent(current);
        QCOMPARE(relativeRows(), (QStringList{"a.pdf", "sub/b.PDF"}));
        QCOMPARE(dialogs_->messages().size(), 1);
        QCOMPARE(dialogs_->messages()[0].text,
                 QStringLiteral("These files were not found:\r\ngone.pdf"));

        // A name whose bytes are not UTF-8 reads as another name, which may exist: it is
        // named with its reason, never added.
        touch("caf\uFFFD.pdf");
        form_->openPaths({tree() + "/caf\uFFFD.pdf"}, {tree() + "/caf\uFFFD.pdf"});
        QCOMPARE(relativeRows(), (QStringList{"a.pdf", "sub/b.PDF"}));
        QCOMPARE(dialogs_->messages().size(), 2);
        QCOMPARE(dialogs_->messages()[1].text,
                 "These files cannot be changed and were not added:\r\n" + tree() +
                     "/caf\uFFFD.pdf: its name is not valid UTF-8");
    }

    // Many viewers show the XMP title before the document information's.
    void previewShowsStaleXmp() {
        const QString file =
            TestFiles::copyCorpusFile("output_with_metadata_pymupdf.pdf", work_->path());
        form_->fileList().AddPath(file);
        form_->fileList().select(1);
        form_->ListView1_Click();
        QVERIFY2(previewRows().contains("Title (XMP): Sample PDF with XMP Metadata"),
                 qPrintable(previewRows().join(" | ")));
        QVERIFY(previewRows().contains("Author (XMP): John Doe") ||
                previewRows().contains("Author: John Doe"));
    }

    void previewShowsDecodedValues() {
        const QString file = work_->filePath("accents.pdf");
        QVERIFY(QFile::copy(SampleFiles::folder() + "/Reisebericht-東京.pdf", file));
        form_->fileList().AddPath(file);
        form_->fileList().select(1);
        form_->ListView1_Click();
        QVERIFY(previewRows().contains("Title: 東京出張報告書"));
        QVERIFY(previewRows().contains("Author: Jürgen Groß-Éluard"));
        QVERIFY(previewRows().contains("Keywords: Reise, Tokio, 東京, Japan, Dienstreise"));
    }

    void unreadableOrEmptyGivesAnEmptyPreview() {
        new QTreeWidgetItem(preview(), QStringList{"old row"});
        form_->ListView1_Click(); // empty list
        QVERIFY(previewRows().isEmpty());

        QFile bad(work_->filePath("bad.pdf"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a PDF");
        bad.close();
        form_->fileList().AddPath(bad.fileName());
        form_->fileList().select(1);
        form_->ListView1_Click();
        QVERIFY(previewRows().isEmpty());
        QVERIFY(!WindowPointer::isBusy(form_.get()));

        Toolkit::replace(QString());
        form_->ListView1_Click();
        QVERIFY(previewRows().isEmpty());
        QVERIFY(!WindowPointer::isBusy(form_.get()));
    }

    // The mouse release after a double-click that removed a row must not preview the row that
    // moved up, nor may the Delete key leave one selected.
    void removingARowPreviewsNothing() {
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            form_->fileList().AddPath(
                TestFiles::copyCorpusFile("minimal-document.pdf", work_->path(), name));
        auto* list = form_->findChild<QTreeWidget*>("ListView1");
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const QPoint first = list->visualItemRect(list->topLevelItem(0)).center();
        // What a double-click sends: a click, then the double-click with its release.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
        QTest::qWait(300);
        QCOMPARE(form_->fileList().Count(), 2);
        QCOMPARE(form_->fileList().SelectedPath(), QString());
        QVERIFY(previewRows().isEmpty());

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
        QTRY_VERIFY(!previewRows().isEmpty());
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(form_->fileList().Count(), 1);
        QCOMPARE(form_->fileList().SelectedPath(), QString());
    }

    // A double-click arriving while the first click's preview waits removes nothing but
    // empties the preview; a newer click's preview is the one shown.
    void clicksDuringAPreview() {
        QTemporaryDir tools;
        Toolkit::replace(TestFiles::writeScript(
            tools.filePath("pdftk"),
            "sleep 1; printf 'InfoBegin\\nInfoKey: Title\\nInfoValue: %s\\n' \"$1\" > \"$4\""));
        form_->fileList().AddPath("/first.pdf");
        form_->fileList().AddPath("/second.pdf");
        form_->fileList().select(1);
        QTimer::singleShot(300, this, [this] {
            QVERIFY(WindowPointer::isBusy(form_.get()));
            form_->ListView1_DblClick();
            QCOMPARE(form_->fileList().Count(), 2);
            form_->fileList().select(2);
            form_->ListView1_Click();
        });
        form_->ListView1_Click();
        QCOMPARE(previewRows(), QStringList{"Title: /second.pdf"});
        QVERIFY(!WindowPointer::isBusy(form_.get()));
    }
};

QTEST_MAIN(FillingTest)
#include "FillingTest.moc"
