#include "BatchEngine.h"

#include "BatchSource.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"
#include "ToolkitHost.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ListSource : public BatchSource {
public:
    QStringList files;
    QString outFolder; // empty: in place
    int fileCount() const override { return int(files.size()); }
    QString pathAt(int position) const override { return files.at(position - 1); }
    bool saveToFolder() const override { return !outFolder.isEmpty(); }
    bool saveBesideOriginal() const override { return false; }
    QString resultFolder() const override { return outFolder; }
    bool promptForPassword() const override { return false; }
    bool inPlace() const override { return outFolder.isEmpty(); }
};

class RecordingHost : public BatchEngine::Host {
public:
    EditPlan edits;
    QList<BatchRun::Outcome> reported;
    std::function<void(int)> onProgress;
    EditPlan plan() const override { return edits; }
    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }
    void progress(int position, int, const QString&) override {
        if (onProgress)
            onProgress(position);
    }
    void step(RunStep, const std::function<void()>& work) override {
        try {
            work();
        } catch (const std::exception&) {
        }
    }
    bool test(RunStep, const std::function<bool()>& condition) override { return condition(); }
    void writeRefused(const QString&) override {}
    void finished(const BatchRun::Outcome& outcome) override { reported << outcome; }
};

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

// The engine driven directly, as the command line drives it: the real toolkit on copies of real
// files, read back by pdfinfo and qpdf.
class BatchEngineTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;
    QString toolkit_;

private slots:
    void initTestCase() {
        TestFiles::isolateHome(home_.path());
        toolkit_ = Toolkit::path();
        if (toolkit_.isEmpty())
            QSKIP("pdftk is not installed");
    }

    // In place means the file itself, whatever its extension; outcomes come in list order,
    // also when a later file fails before an earlier one's result is checked.
    void inPlaceReplacesEachFileAndReportsInOrder() {
        QTemporaryDir dir;
        ListSource source;
        const QString fourPages = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        source.files << fourPages
                     << TestFiles::copyCorpusFile("habibi.pdf", dir.path(), "Upper.PDF")
                     << TestFiles::write(dir.path() + "/damaged.pdf",
                                         TestFiles::bytes(fourPages).left(2000))
                     << TestFiles::copyCorpusFile("crazyones-pdfa.pdf", dir.path());
        RecordingHost host;
        host.edits.changeTo(InfoField::Title, QStringLiteral("Engine Title"));
        BatchEngine engine(source, host);
        const QList<BatchRun::Outcome> outcomes = engine.run(4, toolkit_);

        QCOMPARE(host.reported.size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(host.reported[i].path, source.files[i]);
            QCOMPARE(host.reported[i].reason, outcomes[i].reason);
            QCOMPARE(host.reported[i].destination, source.files[i]);
        }
        QVERIFY(!host.reported[2].reason.isEmpty());
        for (int i : {0, 1, 3}) {
            QVERIFY2(host.reported[i].reason.isEmpty(), qPrintable(host.reported[i].reason));
            QCOMPARE(TestFiles::pdfInfo(source.files[i]).value("Title"), "Engine Title");
        }
        QCOMPARE(entries(dir.path()), QStringList({"Upper.PDF", "crazyones-pdfa.pdf", "damaged.pdf",
                                                   "pdflatex-4-pages.pdf"}));
    }

    // A dry run reads ahead like a real one but must leave no file behind, not even the empty
    // one a result would go into.
    void dryRunChangesNothing() {
        QTemporaryDir dir;
        QDir().mkpath(dir.path() + "/out");
        ListSource source;
        source.outFolder = dir.path() + "/out";
        for (const char* name : {"habibi.pdf", "minimal-document.pdf", "pdflatex-4-pages.pdf"})
            source.files << TestFiles::copyCorpusFile(name, dir.path());
        const QByteArray before = TestFiles::bytes(source.files[0]);
        RecordingHost host;
        host.edits.titleFromFileName();
        host.edits.changeTo(InfoField::Author, QString());
        BatchEngine::Settings settings;
        settings.dryRun = true;
        BatchEngine engine(source, host, settings);
        engine.run(3, toolkit_);

        QCOMPARE(host.reported.size(), 3);
        QCOMPARE(host.reported[0].destination, dir.path() + "/out/habibi.pdf");
        QCOMPARE(host.reported[0].preview.size(), 2);
        QCOMPARE(host.reported[0].preview[0].field, InfoField::Title);
        QCOMPARE(host.reported[0].preview[0].before, std::optional<QString>("habibi"));
        QCOMPARE(host.reported[0].preview[0].after, QStringLiteral("habibi"));
        QCOMPARE(host.reported[0].preview[1].after, QString());
        QCOMPARE(TestFiles::bytes(source.files[0]), before);
        QVERIFY(entries(dir.path() + "/out").isEmpty());
        QCOMPARE(entries(dir.path()).size(), 3);
    }

    // One password known before the run opens every protected file that takes it, also those
    // read ahead, and the result stays protected with it. A file protected only against changes
    // opens without it; a file with another password fails. The toolkit reads the decrypted
    // copy and writes its result through paths that name no file in any folder, which the
    // resident host and a toolkit process of its own must both open.
    void onePasswordForEveryFile_data() {
        QTest::addColumn<bool>("hosted");
        QTest::newRow("resident host") << true;
        QTest::newRow("process per file") << false;
    }
    void onePasswordForEveryFile() {
        if (!TestFiles::haveProgram("qpdf"))
            QSKIP("qpdf is not installed");
        QFETCH(bool, hosted);
        ToolkitHost::instance().setEnabled(hosted);
        const auto restore = qScopeGuard([] { ToolkitHost::instance().setEnabled(true); });
        QTemporaryDir dir;
        const QString plain = TestFiles::copyCorpusFile("minimal-document.pdf", dir.path());
        const auto encrypt = [&](const QString& name, const QString& user) {
            return TestPrograms::encrypted(plain, dir.path() + "/" + name, {user, "owner", "256"});
        };
        ListSource source;
        source.files << encrypt("a.pdf", "user") << encrypt("b.pdf", "user")
                     << encrypt("restricted.pdf", "") << encrypt("other.pdf", "other") << plain;
        RecordingHost host;
        host.edits.changeTo(InfoField::Subject, QStringLiteral("Locked"));
        BatchEngine::Settings settings;
        settings.password = QStringLiteral("user");
        BatchEngine engine(source, host, settings);
        engine.run(5, toolkit_);

        QCOMPARE(host.reported.size(), 5);
        for (int i : {0, 1, 2, 4})
            QVERIFY2(host.reported[i].reason.isEmpty(), qPrintable(host.reported[i].reason));
        QVERIFY(host.reported[3].reason.contains("password"));
        QCOMPARE(TestFiles::pdfInfo(source.files[1], "user").value("Subject"), "Locked");
        QVERIFY(TestFiles::pdfInfo(source.files[1]).isEmpty()); // still needs the password
        QCOMPARE(TestFiles::pdfInfo(source.files[2]).value("Subject"), "Locked");
        QCOMPARE(TestFiles::pdfInfo(plain).value("Subject"), "Locked");
    }

    // Stopping during a file's turn ends the run there: later files are not touched and get no
    // outcome, earlier results are in place.
    void stopEndsTheRunAtTheFileAtHand() {
        QTemporaryDir dir;
        ListSource source;
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            source.files << TestFiles::copyCorpusFile("minimal-document.pdf", dir.path(), name);
        const QByteArray before = TestFiles::bytes(source.files[1]);
        RecordingHost host;
        host.edits.changeTo(InfoField::Title, QStringLiteral("Stopped"));
        BatchEngine engine(source, host);
        host.onProgress = [&](int position) {
            if (position == 2)
                engine.stop();
        };
        const QList<BatchRun::Outcome> outcomes = engine.run(3, toolkit_);

        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(host.reported.size(), 1);
        QCOMPARE(TestFiles::pdfInfo(source.files[0]).value("Title"), "Stopped");
        QCOMPARE(TestFiles::bytes(source.files[1]), before);
        QCOMPARE(TestFiles::bytes(source.files[2]), before);
        QCOMPARE(entries(dir.path()).size(), 3);
    }
};

QTEST_GUILESS_MAIN(BatchEngineTest)
#include "BatchEngineTest.moc"
