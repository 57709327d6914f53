#include "BatchSource.h"
#include "Controls.h"
#include "DesktopSignals.h"
#include "ErrorReport.h"
#include "Form1.h"
#include "Form2.h"
#include "PdfSnapshot.h"
#include "PrivateTempFolder.h"
#include "ScriptedDialogs.h"
#include "TerminationSignals.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"
#include "ToolkitHost.h"
#include "WindowPointer.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <sys/stat.h>

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

// What the task bar's launcher heard: each update's progress, or -1 when the bar went away.
class LauncherWatch : public QObject {
    Q_OBJECT

public:
    QList<double> shown;

public slots:
    void update(const QString&, const QVariantMap& properties) {
        shown << (properties.value("progress-visible").toBool()
                      ? properties.value("progress").toDouble()
                      : -1);
    }
};

} // namespace

// "Start Changing" end to end: the real toolkit on copies of real files, read back with pdfinfo.
class StartChangingTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir home_;
    std::unique_ptr<QTemporaryDir> work_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<Form1> form_;

    QString copy(const QString& corpusFile, const QString& name = {}) {
        return TestFiles::copyCorpusFile(corpusFile, work_->path(), name);
    }
    QString write(const QString& name, const QByteArray& content) {
        return TestFiles::write(work_->filePath(name), content);
    }
    static QByteArray bytes(const QString& path) { return TestFiles::bytes(path); }
    // The first page with these files and save option, and the second page open.
    Form2* pages(const QStringList& files, bool besideOriginal, const QString& folder = {}) {
        form_ = std::make_unique<Form1>();
        form_->Form_Load();
        form_->show();
        for (const QString& file : files)
            form_->fileList().AddPath(file);
        control<QRadioButton>(form_.get(), besideOriginal ? "Option2" : "Option1")->click();
        control<QLineEdit>(form_.get(), "Text1")->setText(folder);
        control<QPushButton>(form_.get(), "PushButton2")->click();
        Form2* second = form_->secondPage();
        if (!second)
            qFatal("the second page did not open: %s", qPrintable(dialogs_->shown.value(0).text));
        return second;
    }
    static void start(Form2* second) { control<QPushButton>(second, "PushButton4")->click(); }
    QStringList leftovers() const {
        QStringList found;
        for (const QString& name :
             QDir(work_->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
            if (name.startsWith(".metascribe-") || name.endsWith(".pdf2"))
                found << name;
        return found;
    }
    const ScriptedDialogs::Shown& lastBox() const { return dialogs_->messages().constLast(); }

private slots:
    void initTestCase() {
        TestFiles::isolateHome(home_.path());
        QVERIFY2(!Toolkit::path().isEmpty(), "pdftk is missing: install Debian's pdftk-java");
        QVERIFY2(TestFiles::haveProgram("pdfinfo"), "pdfinfo is missing: install poppler-utils");
    }
    void init() {
        work_ = std::make_unique<QTemporaryDir>();
        dialogs_ = std::make_unique<ScriptedDialogs>();
    }
    void cleanup() {
        form_.reset();
        dialogs_.reset();
        Toolkit::restore();
        // A page closed during a test asked the application to quit, which ends every event
        // loop started afterwards at once; running the application's own loop briefly clears
        // that for the next test.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    // With "Keep replaced originals in the Trash" (on unless turned off) a file changed beside
    // itself is kept in the Trash first, and the task bar's launcher shows the run's progress
    // and loses its bar at the end (watched on a session bus of the test's own).
    void replacedOriginalsKeptInTheTrash() {
        if (DesktopSignals::busAvailable())
            QSKIP("a session bus is in use already; this test watches one of its own");
        QProcess daemon;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon.waitForStarted())
            QSKIP("dbus-daemon is not installed (package dbus-daemon)");
        const auto stop = qScopeGuard([&] {
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            daemon.kill();
            daemon.waitForFinished();
        });
        QVERIFY(daemon.waitForReadyRead(30000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection desktop = QDBusConnection::connectToBus(address, "desktop");
        LauncherWatch launcher;
        QVERIFY(desktop.connect(QString(), "/org/brightfen/Metascribe",
                                "com.canonical.Unity.LauncherEntry", "Update", &launcher,
                                SLOT(update(QString, QVariantMap))));

        const QStringList files{copy("habibi.pdf", "kept one.pdf"),
                                copy("minimal-document.pdf", "kept two.pdf")};
        QList<QByteArray> before;
        for (const QString& file : files)
            before << bytes(file);
        Form2* second = pages(files, true, "/does/not/matter");
        control<QLineEdit>(second, "Text3")->setText("Trash");
        start(second);
        const QString trash = home_.path() + "/data/Trash";
        for (int i = 0; i < files.size(); ++i) {
            QCOMPARE(TestFiles::pdfInfo(files[i]).value("Author"), QStringLiteral("Trash"));
            const QString name = QFileInfo(files[i]).fileName();
            QCOMPARE(bytes(trash + "/files/" + name), before[i]);
            QVERIFY(bytes(trash + "/info/" + name + ".trashinfo").startsWith("[Trash Info]\n"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(launcher.shown, (QList<double>{0.5, 1.0, -1}), 30000);

        // Turned off, the next run keeps nothing.
        control<QCheckBox>(form_.get(), "Check2")->click();
        control<QLineEdit>(second, "Text3")->setText("Not kept");
        start(second);
        QCOMPARE(TestFiles::pdfInfo(files[0]).value("Author"), QStringLiteral("Not kept"));
        QCOMPARE(QDir(trash + "/files").entryList(QDir::Files).size(), files.size());
    }

    void threeFilesBesideTheirOriginals() {
        const QStringList files{copy("minimal-document.pdf", "Annual.Report.pdf"),
                                copy("pdflatex-4-pages.pdf", "four pages.pdf"),
                                copy("habibi.pdf", "حبيبي.pdf")};
        QMap<QString, QString> pagesBefore;
        for (const QString& file : files)
            pagesBefore[file] = TestFiles::pdfInfo(file).value("Pages");
        Form2* second = pages(files, true, "/does/not/matter");
        control<QRadioButton>(second, "Option1")->click(); // Title from the file name
        control<QLineEdit>(second, "Text3")->setText("Finance");
        QTest::keyClicks(control<QLineEdit>(second, "Text4"), "k");
        QTest::keyClick(control<QLineEdit>(second, "Text4"), Qt::Key_Backspace);

        QSignalSpy progress(second, &Form2::progressShown);
        start(second);

        const QStringList titles{"Annual.Report", "four pages", "حبيبي"};
        for (int i = 0; i < files.size(); ++i) {
            const QMap<QString, QString> info = TestFiles::pdfInfo(files[i]);
            QCOMPARE(info.value("Title"), titles[i]);
            QCOMPARE(info.value("Author"), QStringLiteral("Finance"));
            QVERIFY(info.contains("Keywords"));
            QCOMPARE(info.value("Keywords"), QString());
            QCOMPARE(info.value("Pages"), pagesBefore[files[i]]);
        }
        QList<double> values;
        QStringList texts;
        for (const QList<QVariant>& shown : progress) {
            if (values.isEmpty() || values.constLast() != shown[0].toDouble())
                values << shown[0].toDouble();
            if (texts.isEmpty() || texts.constLast() != shown[1].toString())
                texts << shown[1].toString();
        }
        QCOMPARE(values.size(), 4);
        QVERIFY(qAbs(values[0] - 100.0 / 3) < 1e-9);
        QVERIFY(qAbs(values[1] - 200.0 / 3) < 1e-9);
        QCOMPARE(values[2], 100.0);
        QCOMPARE(values[3], 0.0);
        QCOMPARE(texts, (QStringList{"Progress Bar", "Processing: Annual.Report.pdf",
                                     "Processing: four pages.pdf", "Processing: حبيبي.pdf",
                                     "Progress Bar"}));
        QCOMPARE(second->progressBar()->value(), 0);
        QCOMPARE(dialogs_->messages().size(), 1);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        QCOMPARE(lastBox().title, QStringLiteral("Metascribe"));
        QCOMPARE(lastBox().buttons, Dialogs::Buttons::Ok);
        QVERIFY(!WindowPointer::isBusy(second));
        QVERIFY(leftovers().isEmpty());
    }

    void intoOneFolder_data() {
        QTest::addColumn<QString>("folderSuffix");
        QTest::newRow("with separator") << "/";
        QTest::newRow("without separator") << "";
    }
    void intoOneFolder() {
        QFETCH(QString, folderSuffix);
        const QString input = copy("002-trivial-libre-office-writer.pdf", "SCAN.PDF");
        QVERIFY(::chmod(QFile::encodeName(input).constData(), 0444) == 0);
        const QByteArray original = bytes(input);
        QVERIFY(QDir(work_->path()).mkpath("out"));
        Form2* second = pages({input}, false, work_->filePath("out") + folderSuffix);
        control<QLineEdit>(second, "Text1")->setText("Scanned");
        start(second);
        const QString result = work_->filePath("out/SCAN.pdf");
        QCOMPARE(TestFiles::pdfInfo(result).value("Title"), QStringLiteral("Scanned"));
        QCOMPARE(bytes(input), original);
        // The input is not replaced, so it keeps its mode.
        QCOMPARE(TestFiles::mode(input), mode_t(0444));
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
    }

    // A listed file that is also where an earlier row's result would go keeps its document:
    // the earlier row is refused, and the listed file is changed in its place.
    void resultsFolderHoldsAnotherListedFile() {
        QVERIFY(QDir(work_->path()).mkpath("in"));
        QVERIFY(QDir(work_->path()).mkpath("out"));
        const QString first = copy("habibi.pdf", "in/report.pdf");
        const QString second = copy("pdflatex-4-pages.pdf", "out/report.pdf");
        const QByteArray firstBytes = bytes(first);
        Form2* page = pages({first, second}, false, work_->filePath("out"));
        control<QLineEdit>(page, "Text3")->setText("Finance");
        start(page);
        QCOMPARE(lastBox().text, QStringLiteral("Done.\r\n1 of 2 files were not changed."));
        QCOMPARE(lastBox().details,
                 first + ": not changed: would replace " + second + ", which is another file");
        QCOMPARE(bytes(first), firstBytes);
        const auto info = TestFiles::pdfInfo(second);
        QCOMPARE(info.value("Pages"), QStringLiteral("4"));
        QCOMPARE(info.value("Author"), QStringLiteral("Finance"));
    }

    void readOnlyOriginalReplacedBeside() {
        const QString input = copy("minimal-document.pdf", "locked.pdf");
        QVERIFY(::chmod(QFile::encodeName(input).constData(), 0444) == 0);
        const QString userFile = write("locked.pdf2", "the user's own file");
        Form2* second = pages({input}, true);
        control<QLineEdit>(second, "Text2")->setText("Subject é");
        start(second);
        QCOMPARE(TestFiles::pdfInfo(input).value("Subject"), QStringLiteral("Subject é"));
        QCOMPARE(TestFiles::mode(input), mode_t(0644));
        QCOMPARE(bytes(userFile), QByteArray("the user's own file"));
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        QVERIFY(leftovers() == QStringList{"locked.pdf2"});
    }

    // Making a read-only original writable is for the user's own files: another user's stays
    // as it is and is reported.
    void anotherUsersReadOnlyOriginalIsReported() {
        if (::getuid() != 0)
            QSKIP("giving a file to another user needs root");
        const QString input = copy("minimal-document.pdf", "theirs.pdf");
        QVERIFY(::chown(QFile::encodeName(input).constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(QFile::encodeName(input).constData(), 0444) == 0);
        const QByteArray original = bytes(input);
        Form2* second = pages({input}, true);
        control<QLineEdit>(second, "Text1")->setText("Not theirs");
        start(second);
        QCOMPARE(bytes(input), original);
        QCOMPARE(TestFiles::mode(input), mode_t(0444));
        QCOMPARE(QFileInfo(input).ownerId(), 65534u);
        QCOMPARE(lastBox().details,
                 input + ": not changed: could not write the destination: the file is read-only");
    }

    void linkDestinationKeepsTheLink() {
        const QString target = copy("minimal-document.pdf", "real.pdf");
        const QString link = work_->filePath("linked.pdf");
        QVERIFY(QFile::link(target, link));
        Form2* second = pages({link}, true);
        control<QLineEdit>(second, "Text1")->setText("Through a link");
        start(second);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(TestFiles::pdfInfo(target).value("Title"), QStringLiteral("Through a link"));
    }

    void passwords_data() {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<bool>("changed");
        QTest::newRow("right password") << std::optional<QString>("openpassword") << true;
        QTest::newRow("wrong password") << std::optional<QString>("wrong") << false;
        QTest::newRow("empty answer") << std::optional<QString>("") << false;
        QTest::newRow("cancel") << std::optional<QString>() << false;
    }
    void passwords() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(bool, changed);
        const QString input = copy("libreoffice-writer-password.pdf");
        const QByteArray original = bytes(input);
        dialogs_->inputAnswers.push_back(answer);
        Form2* second = pages({input}, true);
        control<QCheckBox>(form_.get(), "Check1")->setChecked(true);
        control<QLineEdit>(second, "Text1")->setText("Opened");
        start(second);

        const QList<ScriptedDialogs::Shown> prompts = [&] {
            QList<ScriptedDialogs::Shown> found;
            for (const auto& box : dialogs_->shown)
                if (box.kind == ScriptedDialogs::Kind::Input)
                    found << box;
            return found;
        }();
        QCOMPARE(prompts.size(), 1);
        QCOMPARE(prompts[0].title, QStringLiteral("Input Password"));
        QVERIFY(prompts[0].secret);
        QCOMPARE(prompts[0].text, "Enter password for file (" + input +
                                      "): \r\nNote: Leave this box blank if file is not password "
                                      "protected");
        if (changed) {
            // Still protected by the same password.
            QCOMPARE(TestFiles::pdfInfo(input).value("Title"), QString());
            QCOMPARE(TestFiles::pdfInfo(input, "openpassword").value("Title"),
                     QStringLiteral("Opened"));
            QCOMPARE(lastBox().text, QStringLiteral("Done."));
        } else {
            QCOMPARE(bytes(input), original);
            QCOMPARE(lastBox().text, QStringLiteral("Done.\r\n1 of 1 files were not changed."));
            QCOMPARE(lastBox().details, input + ": not changed: it is password-protected and "
                                                "the password was not given or is wrong");
        }
        QVERIFY(leftovers().isEmpty());
    }

    void badFilesAmongGoodOnes() {
        const QString good1 = copy("minimal-document.pdf", "good1.pdf");
        const QString empty = write("empty.pdf", "");
        const QString jpeg = write("photo.pdf", QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF", 10));
        const QString truncated =
            write("cut.pdf", bytes(TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf").left(3000));
        const QString good2 = copy("crazyones-pdfa.pdf", "good2.pdf");
        const QMap<QString, QByteArray> before{
            {empty, bytes(empty)}, {jpeg, bytes(jpeg)}, {truncated, bytes(truncated)}};
        Form2* second = pages({good1, empty, jpeg, truncated, good2}, true);
        control<QLineEdit>(second, "Text3")->setText("Checked");
        start(second);
        QCOMPARE(TestFiles::pdfInfo(good1).value("Author"), QStringLiteral("Checked"));
        QCOMPARE(TestFiles::pdfInfo(good2).value("Author"), QStringLiteral("Checked"));
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QCOMPARE(bytes(it.key()), it.value());
            QVERIFY2(lastBox().details.contains(it.key() + ": not changed: "),
                     qPrintable(lastBox().details));
        }
        QCOMPARE(lastBox().text, QStringLiteral("Done.\r\n3 of 5 files were not changed."));
        QVERIFY(leftovers().isEmpty());
    }

    // A toolkit that claims success without a whole result, fails after writing one, or writes
    // a whole PDF that is not what was asked for.
    void toolkitThatLies_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("reason");
        QTest::newRow("success, empty output") << "exit 0"
                                               << "";
        // Without a password the output path is the fifth argument.
        QTest::newRow("success, truncated output") << "printf '%%PDF-1.4\\nhalf' > \"$5\""
                                                   << "";
        QTest::newRow("failure after a whole output")
            << "printf '%%PDF-1.4\\n%%%%EOF\\n' > \"$5\"; exit 1"
            << "";
        QTest::newRow("pages lost") << "pdftk \"$@\" && qpdf --replace-input \"$5\" --pages . 1 --"
                                    << "the result lost pages: 4 before, 1 after";
        QTest::newRow("nothing changed") << "cp \"$1\" \"$5\""
                                         << "Title";
    }
    void toolkitThatLies() {
        QFETCH(QString, script);
        QFETCH(QString, reason);
        const QString input = copy("pdflatex-4-pages.pdf", "kept.pdf");
        const QByteArray original = bytes(input);
        // What a killed run left here goes; its process id cannot belong to a live process.
        write(".metascribe-999999999.1-Abc123.pdf", "left by a killed run");
        QTemporaryDir tools;
        Toolkit::replace(TestFiles::writeScript(tools.filePath("pdftk"), script));
        Form2* second = pages({input}, true);
        control<QLineEdit>(second, "Text1")->setText("Never");
        start(second);
        QCOMPARE(bytes(input), original);
        QCOMPARE(lastBox().text, QStringLiteral("Done.\r\n1 of 1 files were not changed."));
        QVERIFY2(lastBox().details.startsWith(input + ": not changed: ") &&
                     lastBox().details.contains(reason),
                 qPrintable(lastBox().details));
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(QDir(PrivateTempFolder::path()).entryList(QDir::Files), QStringList());
    }

    // A typed date is written in PDF's own form, which every reader understands; a text that
    // is not a date stops the run before any file is touched.
    void datesAreCheckedAndWrittenAsPdfDates_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written"); // empty: refused
        QTest::newRow("ISO date") << "2024-05-01"
                                  << "D:20240501000000";
        QTest::newRow("ISO with zone") << "2024-05-01T13:45:00+02:00"
                                       << "D:20240501134500+02'00'";
        QTest::newRow("not a date") << "yesterday"
                                    << "";
    }
    void datesAreCheckedAndWrittenAsPdfDates() {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        const QString input = copy("minimal-document.pdf", "dated.pdf");
        const QByteArray original = bytes(input);
        Form2* second = pages({input}, true);
        control<QCheckBox>(form_.get(), "Check1")->setChecked(false);
        control<QLineEdit>(second, "Text7")->setText(typed);
        start(second);
        if (written.isEmpty()) {
            QCOMPARE(bytes(input), original);
            QCOMPARE(dialogs_->messages().size(), 1);
            QVERIFY2(lastBox().text.startsWith("Creation Date \"yesterday\" is not a date. Type "
                                               "it like 2024-05-31"),
                     qPrintable(lastBox().text));
            return;
        }
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        const QString stored = PdfSnapshot::read(input).infoValue("CreationDate").value_or("");
        QVERIFY2(stored.startsWith(written), qPrintable(stored));
        QByteArray shown;
        QVERIFY(TestPrograms::run("pdfinfo", {"-isodates", input}, &shown));
        QVERIFY(shown.contains("CreationDate:    2024-05-01T"));
        // ExifTool takes a date apart only when it is stored in PDF's own encoding, as every
        // common writer stores it; qpdf shows how it is stored.
        QVERIFY2(TestFiles::haveProgram("exiftool"), "install libimage-exiftool-perl");
        QByteArray exif;
        QVERIFY(TestPrograms::run(
            "exiftool", {"-s", "-s", "-s", "-d", "%Y-%m-%d", "-PDF:CreateDate", input}, &exif));
        QCOMPARE(exif.trimmed(), QByteArray("2024-05-01"));
        QByteArray trailer, info;
        QVERIFY(TestPrograms::run("qpdf", {"--show-object=trailer", input}, &trailer));
        const QByteArray number = QRegularExpression(R"(/Info (\d+) 0 R)")
                                      .match(QString::fromLatin1(trailer))
                                      .captured(1)
                                      .toLatin1();
        QVERIFY(TestPrograms::run("qpdf", {"--show-object=" + number, input}, &info));
        QVERIFY2(info.contains("/CreationDate (" + written.toLatin1()), info.constData());
    }

    // Viewers show XMP values first: a file with XMP metadata gets the changes there too, and
    // a PDF/A file's identification stays.
    void xmpKeptInStep_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("XMP title, no Info title") << "output_with_metadata_pymupdf.pdf";
        QTest::newRow("PDF/A") << "crazyones-pdfa.pdf";
    }
    void xmpKeptInStep() {
        QFETCH(QString, file);
        QVERIFY2(TestFiles::haveProgram("exiftool"), "install libimage-exiftool-perl");
        const QString input = copy(file);
        const auto xmp = [&] {
            QByteArray shown;
            TestPrograms::run("exiftool",
                              {"-s", "-s", "-XMP-dc:Title", "-XMP-dc:Creator", "-XMP-pdfaid:Part",
                               "-PDF:Title", input},
                              &shown);
            return QString::fromUtf8(shown);
        };
        const bool pdfA = xmp().contains("Part: ");
        Form2* second = pages({input}, true);
        control<QCheckBox>(form_.get(), "Check1")->setChecked(false);
        control<QLineEdit>(second, "Text1")->setText("Changed Title");
        control<QRadioButton>(second, "Option7")->click(); // Author: change to an empty text
        start(second);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        const QString after = xmp();
        QCOMPARE(after.count("Title: Changed Title"), 2); // the XMP title and the Info title
        QVERIFY2(!after.contains("Creator: "), qPrintable(after));
        QCOMPARE(after.contains("Part: 1"), pdfA);
    }

    // The toolkit host starts, and warms up, while the user fills in the second page; the
    // first file gets its own answer, not a warm-up's.
    void hostStartsWithTheSecondPage() {
        ToolkitHost::instance().shutDown();
        const QString input = copy("minimal-document.pdf");
        Form2* second = pages({input}, true);
        QTRY_VERIFY(ToolkitHost::instance().isRunning());
        control<QCheckBox>(form_.get(), "Check1")->setChecked(false);
        control<QLineEdit>(second, "Text1")->setText("First");
        start(second);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        QCOMPARE(TestFiles::pdfInfo(input).value("Title"), QStringLiteral("First"));
    }

    // The next file is read ahead while the toolkit works; a file changed meanwhile is read
    // again, so its result is checked against what it holds now.
    void fileChangedWhileReadAhead() {
        const QStringList files{copy("minimal-document.pdf", "a.pdf"),
                                copy("minimal-document.pdf", "b.pdf")};
        const QString four = copy("pdflatex-4-pages.pdf", "four.pdf");
        QTemporaryDir tools;
        Toolkit::replace(TestFiles::writeScript(
            tools.filePath("pdftk"),
            QStringLiteral("case \"$1\" in *a.pdf) sleep 0.5; cp '%1' '%2';; esac\npdftk \"$@\"")
                .arg(four, files[1])));
        Form2* second = pages(files, true);
        control<QCheckBox>(form_.get(), "Check1")->setChecked(false);
        control<QLineEdit>(second, "Text1")->setText("Now");
        start(second);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        QCOMPARE(TestFiles::pdfInfo(files[1]).value("Pages"), QStringLiteral("4"));
    }

    // A logout or kill ends a run as closing the window does: nothing half done stays behind.
    void terminationSignalEndsTheRun() {
        const QStringList files{copy("minimal-document.pdf", "a.pdf"),
                                copy("minimal-document.pdf", "b.pdf")};
        const QByteArray original = bytes(files[0]);
        QTemporaryDir tools;
        Toolkit::replace(TestFiles::writeScript(tools.filePath("pdftk"),
                                                "pdftk \"$@\" || exit\nkill -TERM $PPID; sleep 5"));
        Form2* second = pages(files, true);
        TerminationSignals::install([this] { form_->close(); });
        control<QLineEdit>(second, "Text1")->setText("Never");
        start(second);
        QCOMPARE(TerminationSignals::received(), 1);
        QCOMPARE(dialogs_->messages().size(), 0);
        QCOMPARE(bytes(files[0]), original);
        QCOMPARE(bytes(files[1]), original);
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(QDir(PrivateTempFolder::path()).entryList(QDir::Files), QStringList());
    }

    void readOnlyDestinationShowsTheCopyMessage() {
        const QString input = copy("minimal-document.pdf", "in.pdf");
        QVERIFY(QDir(work_->path()).mkpath("out"));
        const QString destination = write("out/in.pdf", "keep this");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0444) == 0);
        const QString second2 = copy("habibi.pdf", "other.pdf");
        Form2* second = pages({input, second2}, false, work_->filePath("out"));
        control<QLineEdit>(second, "Text1")->setText("Blocked");
        start(second);
        QCOMPARE(bytes(destination), QByteArray("keep this"));
        const QList<ScriptedDialogs::Shown> boxes = dialogs_->messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text, "Error #194635: Please make sure that destination file: \r\n" +
                                    destination +
                                    "\r\nis not open.\r\n\r\nPlease email "
                                    "support@brightfen.example with a screenshot of this message "
                                    "if you have any questions.");
        QCOMPARE(boxes[0].title, QStringLiteral("Metascribe"));
        // The run went on with the next file.
        QCOMPARE(TestFiles::pdfInfo(work_->filePath("out/other.pdf")).value("Title"),
                 QStringLiteral("Blocked"));
        QCOMPARE(boxes[1].text, QStringLiteral("Done.\r\n1 of 2 files were not changed."));
        QVERIFY(QDir(work_->filePath("out"))
                    .entryList({".metascribe-*"}, QDir::Hidden | QDir::Files)
                    .isEmpty());
    }

    // A refused write is reported before anything of the next file: its password prompt and
    // the reports of its steps (a name without a dot is reported where it is cut). An immutable
    // original is refused as its result is queued; an append-only one only when the result is
    // put in its place, on the commit queue's thread.
    void refusedWriteReportedBeforeTheNextFile_data() {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("nextName");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("immutable, before the next prompt")
            << "+i"
            << "b.pdf" << QStringList{"prompt a", "Error #194635", "prompt b", "Done."};
        QTest::newRow("append-only, before the next file's steps")
            << "+a"
            << "b" << QStringList{"prompt a", "Error #194635", "step 116",
                                  "step 124", "prompt b",      "Done."};
    }
    void refusedWriteReportedBeforeTheNextFile() {
        QFETCH(QString, attribute);
        QFETCH(QString, nextName);
        QFETCH(QStringList, order);
        const QStringList files{copy("minimal-document.pdf", "a.pdf"),
                                copy("minimal-document.pdf", nextName)};
        if (::getuid() != 0 || QProcess::execute("chattr", {attribute, files[0]}) != 0)
            QSKIP("file attributes need root and a file system that allows them");
        const QByteArray original = bytes(files[0]);
        dialogs_->inputAnswers = {QString(), QString()};
        Form2* second = pages(files, true);
        control<QCheckBox>(form_.get(), "Check1")->setChecked(true);
        control<QLineEdit>(second, "Text1")->setText("x");
        start(second);
        QProcess::execute("chattr", {"-i", "-a", files[0]});
        QStringList shown;
        static const QRegularExpression step(QStringLiteral(" at line (\\d+)"));
        for (const ScriptedDialogs::Shown& box : dialogs_->shown) {
            if (box.kind == ScriptedDialogs::Kind::Input)
                shown << (box.text.contains("/a.pdf") ? "prompt a" : "prompt b");
            else if (const QRegularExpressionMatch line = step.match(box.text); line.hasMatch())
                shown << "step " + line.captured(1);
            else
                shown << box.text.section(':', 0, 0).section('\r', 0, 0);
        }
        QCOMPARE(shown, order);
        QCOMPARE(bytes(files[0]), original);
    }

    void folderWithoutWritePermission() {
        if (::getuid() == 0)
            QSKIP("root may write into any folder; run the tests as another user to see this");
        const QString input = copy("minimal-document.pdf", "in.pdf");
        QVERIFY(QDir(work_->path()).mkpath("closed"));
        QVERIFY(::chmod(QFile::encodeName(work_->filePath("closed")).constData(), 0555) == 0);
        Form2* second = pages({input}, false, work_->filePath("closed"));
        control<QLineEdit>(second, "Text1")->setText("Blocked");
        start(second);
        QVERIFY(dialogs_->messages().first().text.startsWith("Error #194635"));
        QCOMPARE(dialogs_->messages().size(), 2);
        ::chmod(QFile::encodeName(work_->filePath("closed")).constData(), 0755);
    }

    void noDestinationAndMissingFolder() {
        const QString input = copy("minimal-document.pdf", "a.pdf");
        const QByteArray original = bytes(input);
        QVERIFY(QDir(work_->path()).mkpath("gone"));
        Form2* second = pages({input}, false, work_->filePath("gone"));
        QVERIFY(QDir(work_->filePath("gone")).removeRecursively()); // vanished after Next Step
        control<QLineEdit>(second, "Text1")->setText("x");
        start(second);
        QCOMPARE(bytes(input), original);
        QVERIFY(lastBox().details.contains("could not write the destination: No such file"));
    }

    // A name without a dot is reported where it is cut, then used whole as title and base.
    void nameWithoutDot_data() {
        QTest::addColumn<bool>("besideOriginal");
        QTest::addColumn<int>("step");
        QTest::newRow("beside the original") << true << 124;
        QTest::newRow("into a folder") << false << 120;
    }
    void nameWithoutDot() {
        QFETCH(bool, besideOriginal);
        QFETCH(int, step);
        const QString input = copy("minimal-document.pdf", "scan");
        Form2* second = pages({input}, besideOriginal, work_->path());
        control<QRadioButton>(second, "Option1")->click();
        start(second);
        const QList<ScriptedDialogs::Shown> boxes = dialogs_->messages();
        QCOMPARE(boxes.size(), 3);
        const QString context = "in Metascribe2021/08/31.Form2.PushButton4_Click ";
        QCOMPARE(boxes[0].text,
                 ErrorReport::messageText("Invalid procedure call or argument", context, 116));
        QCOMPARE(boxes[1].text,
                 ErrorReport::messageText("Invalid procedure call or argument", context, step));
        QCOMPARE(boxes[2].text, QStringLiteral("Done."));
        QCOMPARE(TestFiles::pdfInfo(input + ".pdf").value("Title"), QStringLiteral("scan"));
    }

    // The plan is read for every file, so a change during the run reaches the files after it.
    void planReadAnewForEveryFile() {
        const QStringList files{copy("minimal-document.pdf", "a.pdf"), copy("habibi.pdf", "b.pdf")};
        Form2* second = pages(files, true);
        auto* author = control<QLineEdit>(second, "Text3");
        author->setText("First");
        connect(second, &Form2::progressShown, author, [author](double, const QString& text) {
            if (text == "Processing: b.pdf")
                author->setText("Second");
        });
        start(second);
        QCOMPARE(TestFiles::pdfInfo(files[0]).value("Author"), QStringLiteral("First"));
        QCOMPARE(TestFiles::pdfInfo(files[1]).value("Author"), QStringLiteral("Second"));
    }

    // Without its own info-update file the toolkit is not run: it would apply an old plan.
    void infoFileThatCannotBeWritten() {
        const QString input = copy("minimal-document.pdf", "a.pdf");
        const QByteArray original = bytes(input);
        // Where the private folder belongs there is a file of the same name.
        write(QStringLiteral("metascribe-%1").arg(::getuid()), "not a folder");
        qputenv("TEMP", QFile::encodeName(work_->path()));
        Form2* second = pages({input}, true);
        control<QLineEdit>(second, "Text1")->setText("x");
        start(second);
        qputenv("TEMP", QFile::encodeName(home_.path()));
        QCOMPARE(bytes(input), original);
        const QList<ScriptedDialogs::Shown> boxes = dialogs_->messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].title, QStringLiteral("Application Error"));
        QVERIFY(boxes[0].text.contains(
            "\r\nin Metascribe2021/08/31.Form2.PushButton4_Click at line 184\r\r"));
        QCOMPARE(boxes[1].text, QStringLiteral("Done.\r\n1 of 1 files were not changed."));
        QVERIFY(boxes[1].details.contains("could not write the info-update file: "));
    }

    void noToolkitRunsNothing() {
        const QString input = copy("minimal-document.pdf", "a.pdf");
        const QByteArray original = bytes(input);
        Toolkit::replace(QString());
        Form2* second = pages({input}, true);
        control<QLineEdit>(second, "Text1")->setText("x");
        QSignalSpy progress(second, &Form2::progressShown);
        start(second);
        QCOMPARE(dialogs_->messages().size(), 1);
        QVERIFY(lastBox().text.contains("pdftk-java"));
        QCOMPARE(progress.count(), 0);
        QCOMPARE(bytes(input), original);
    }

    // The bar may skip files that go by quickly, but while a file takes long it names that
    // file, for the eye and for a screen reader.
    void barNamesTheFileThatTakesLong() {
        const QStringList files{copy("minimal-document.pdf", "a.pdf"),
                                copy("minimal-document.pdf", "b.pdf"),
                                copy("minimal-document.pdf", "slow.pdf")};
        QTemporaryDir tools;
        // The slow file says when its long wait begins; the bar is read well into it.
        const QString slowBegun = tools.filePath("slow-begun");
        Toolkit::replace(TestFiles::writeScript(
            tools.filePath("pdftk"),
            QStringLiteral("pdftk \"$@\" || exit\ncase \"$1\" in *slow.pdf) touch '%1'; sleep 2;; "
                           "esac")
                .arg(slowBegun)));
        Form2* second = pages(files, true);
        control<QLineEdit>(second, "Text1")->setText("x");
        QString shownDuring;
        QString announcedDuring;
        int valueDuring = -1;
        QTimer watch;
        connect(&watch, &QTimer::timeout, second, [&] {
            if (!QFile::exists(slowBegun))
                return;
            watch.stop();
            QTimer::singleShot(500, second, [&] {
                shownDuring = second->progressBar()->text();
                announcedDuring = second->progressBar()->accessibleName();
                valueDuring = second->progressBar()->value();
            });
        });
        watch.start(20);
        start(second);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
        QCOMPARE(shownDuring, QStringLiteral("Processing: slow.pdf"));
        QCOMPARE(announcedDuring, QStringLiteral("Processing: slow.pdf"));
        QCOMPARE(valueDuring, 100);
        QCOMPARE(second->progressBar()->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(second->progressBar()->value(), 0);
    }

    void everyFieldKeptStillRunsTheToolkit() {
        const QString input = copy("minimal-document.pdf", "same.pdf");
        const QString before = TestFiles::pdfInfo(input).value("Title");
        Form2* second = pages({input}, true);
        start(second);
        QCOMPARE(TestFiles::pdfInfo(input).value("Title"), before);
        QCOMPARE(lastBox().text, QStringLiteral("Done."));
    }

    // A close that comes while "Start Changing" is still counting the files, before there is
    // an engine to stop, ends the run all the same: no file is started.
    void closedBeforeTheFirstFile() {
        const QString input = copy("minimal-document.pdf", "a.pdf");
        const QByteArray original = bytes(input);
        QTemporaryDir tools;
        const QString started = tools.filePath("started");
        Toolkit::replace(TestFiles::writeScript(
            tools.filePath("pdftk"), QStringLiteral("touch '%1'\npdftk \"$@\"").arg(started)));
        // The list the page reads; counting it is where the close comes.
        struct ClosingSource : BatchSource {
            QString path;
            QWidget* page = nullptr;
            int fileCount() const override {
                page->close();
                return 1;
            }
            QString pathAt(int) const override { return path; }
            RunChoices choices() const override {
                RunChoices choices;
                choices.saveBesideOriginal = true;
                return choices;
            }
            EditPlan plan(int) const override { return {}; }
        } source;
        source.path = input;
        QWidget first;
        Form2 second(&first, &source);
        source.page = &second;
        second.show();
        control<QLineEdit>(&second, "Text1")->setText("Never");
        QSignalSpy progress(&second, &Form2::progressShown);
        start(&second);
        QVERIFY(!second.running());
        QCOMPARE(progress.count(), 0);
        QVERIFY(!QFile::exists(started));
        QVERIFY(dialogs_->shown.isEmpty());
        QCOMPARE(bytes(input), original);
        QVERIFY(leftovers().isEmpty());
    }

    // Closing the second page mid-run stops the toolkit, removes its output, leaves every
    // destination whole and ends the program. Runs last: it ends the event loop.
    void closingDuringARun_data() {
        QTest::addColumn<bool>("fromFirstPage");
        QTest::addColumn<bool>("removeRows");
        QTest::newRow("second page") << false << false;
        QTest::newRow("first page, after < Back") << true << false;
        // The run reads row N as its file N: the rows stay while it goes on.
        QTest::newRow("first page, removing rows refused") << true << true;
    }
    void closingDuringARun() {
        QFETCH(bool, fromFirstPage);
        QFETCH(bool, removeRows);
        const QString input = copy("minimal-document.pdf", "slow.pdf");
        const QByteArray original = bytes(input);
        QTemporaryDir tools;
        const QString pidFile = tools.filePath("pid");
        Toolkit::replace(TestFiles::writeScript(
            tools.filePath("pdftk"),
            QStringLiteral("echo $$ > '%1'; printf '%%PDF-1.4\\n' > \"$5\"; sleep 30")
                .arg(pidFile)));
        Form2* second = pages({input, input}, true);
        control<QLineEdit>(second, "Text1")->setText("Never");
        int pressesDuringRun = 0;
        int rowsLeft = -1;
        QTimer::singleShot(500, second, [&] {
            // A second press while the run waits does nothing.
            QVERIFY(second->running());
            start(second);
            ++pressesDuringRun;
            if (fromFirstPage) {
                control<QPushButton>(second, "PushButton3")->click();
                if (removeRows) {
                    form_->fileList().select(1);
                    QTest::keyClick(control<QTreeWidget>(form_.get(), "ListView1"), Qt::Key_Delete);
                    control<QPushButton>(form_.get(), "PushButton9")->click();
                    rowsLeft = form_->fileList().Count();
                }
                form_->close();
            } else {
                second->close();
            }
        });
        start(second);
        QCOMPARE(pressesDuringRun, 1);
        if (removeRows)
            QCOMPARE(rowsLeft, 2);
        QCOMPARE(bytes(input), original);
        QVERIFY(leftovers().isEmpty());
        QVERIFY(dialogs_->messages().isEmpty()); // no "Done." for a run the user ended
        // The fake toolkit is gone (or a zombie nobody reaps, which counts as gone).
        const QByteArray pid = bytes(pidFile).trimmed();
        QVERIFY(!pid.isEmpty());
        QTRY_VERIFY(!TestPrograms::alive(pid));
    }
};

QTEST_MAIN(StartChangingTest)
#include "StartChangingTest.moc"
