#include "BatchEngine.h"

#include "BatchSource.h"
#include "PrivateTempFolder.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"
#include "ToolkitHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

namespace {

class ListSource : public BatchSource {
public:
    QStringList files;
    QString outFolder; // empty: in place
    EditPlan edits;
    int fileCount() const override { return int(files.size()); }
    QString pathAt(int position) const override { return files.at(position - 1); }
    RunChoices choices() const override {
        RunChoices choices;
        choices.saveToFolder = !outFolder.isEmpty();
        choices.resultFolder = outFolder;
        choices.inPlace = outFolder.isEmpty();
        return choices;
    }
    EditPlan plan(int) const override { return edits; }
};

class RecordingHost : public BatchEngine::Host {
public:
    QList<BatchRun::Outcome> reported;
    QList<RunStep> failedSteps;
    std::function<void(int)> onProgress;
    std::optional<QString> askPassword(const QString&) override { return std::nullopt; }
    void progress(int position, int, const QString&) override {
        if (onProgress)
            onProgress(position);
    }
    void stepFailed(RunStep step, const Failure&) override { failedSteps << step; }
    void writeRefused(const QString&) override {}
    void finished(const BatchRun::Outcome& outcome) override { reported << outcome; }
};

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Damaged copies of a real file, the same on every run: bytes flipped, objects swapped, offsets
// broken, and pages spoiled so that a viewer may still show a page where a reader of the objects
// finds null, a stream or nothing at all.
class DamagedFiles {
public:
    explicit DamagedFiles(QString folder) : folder_(std::move(folder)) {}

    // Writes the damaged copies of the file at path into the folder; gives their paths.
    QStringList make(const QString& path) {
        made_.clear();
        const QString base = QFileInfo(path).completeBaseName();
        const QByteArray original = TestFiles::bytes(path);
        // qpdf's expanded form has every object in plain text, its pages announced by comments.
        QByteArray expanded;
        TestPrograms::run("qpdf", {"--qdf", "--object-streams=disable", path, "-"}, &expanded);
        for (int round = 1; round <= 6; ++round) {
            for (const auto& [kind, bytes] :
                 {std::pair{"raw", original}, std::pair{"expanded", expanded}}) {
                const QString name = QStringLiteral("%1-%2-%3").arg(base, kind).arg(round);
                add(name + "-flipped", flipped(bytes, round));
                if (round <= 3) {
                    add(name + "-swapped", swapped(bytes));
                    add(name + "-offsets", brokenOffsets(bytes));
                }
            }
        }
        static const QRegularExpression page(
            R"(%% Page (\d+)\n%% Original object ID: \d+ \d+\n(\d+) 0 obj\n<<)");
        const QList<QRegularExpressionMatch> pages = matches(page, expanded);
        // The first page and one other, so that a file of many pages stays a few cases.
        QList<QRegularExpressionMatch> chosen{pages.value(0)};
        if (pages.size() > 1)
            chosen << pages.at(1 + random_.bounded(int(pages.size()) - 1));
        for (const QRegularExpressionMatch& found : chosen) {
            if (!found.hasMatch())
                continue;
            const QString name = QStringLiteral("%1-page%2").arg(base, found.captured(1));
            for (const char* damage : {"dictionary", "comment", "stream", "null", "gone",
                                       "kid-missing", "kid-null", "kid-number"}) {
                const QByteArray bytes = spoiledPage(expanded, found, damage);
                add(name + "-" + damage, bytes);
                // The same with every offset right again, so that only the page is damaged.
                QByteArray fixed;
                const QString unfixed = folder_ + "/unfixed.pdf";
                TestFiles::write(unfixed, bytes);
                if (TestPrograms::run("fix-qdf", {unfixed}, &fixed))
                    add(name + "-" + damage + "-fixed", fixed);
                QFile::remove(unfixed);
            }
        }
        for (const auto& [kind, bytes] : structural(path))
            add(QStringLiteral("%1-%2").arg(base, kind), bytes);
        return made_;
    }

    // The damage real files come with that a viewer still opens, as kind and bytes: a damaged
    // cross-reference table, a garbled trailer, a cross-reference stream whose /Prev leads back
    // to itself, a page tree with a loop, a page where the tree should be, a file cut short; and
    // a trailer gone, which no reader gets past, and a page that is null, which no copy keeps.
    static QList<std::pair<QString, QByteArray>> structural(const QString& path) {
        QByteArray plain;
        QByteArray streams;
        QByteArray expanded;
        QByteArray linearized;
        const QString same = "--deterministic-id";
        TestPrograms::run("qpdf", {same, "--object-streams=disable", path, "-"}, &plain);
        TestPrograms::run("qpdf", {same, "--object-streams=generate", path, "-"}, &streams);
        TestPrograms::run("qpdf", {same, "--qdf", "--object-streams=disable", path, "-"},
                          &expanded);
        // Its first trailer is at the start, so that readers still find one when the end is gone.
        TestPrograms::run("qpdf", {same, "--linearize", "--object-streams=disable", path, "-"},
                          &linearized);
        QList<std::pair<QString, QByteArray>> made;

        const qsizetype table = plain.lastIndexOf("\nxref\n");
        const qsizetype trailer = plain.lastIndexOf("trailer");
        QByteArray garbled = plain;
        for (qsizetype at = table + 20; at < std::min(table + 200, trailer); ++at) {
            if (garbled[at] != '\n')
                garbled[at] = 'x';
        }
        made.append({"xref-table-damaged", garbled});
        made.append({"trailer-garbled",
                     QByteArray(plain).replace(plain.indexOf("/Size", trailer), 5, "/Size ]")});
        made.append({"trailer-gone", QByteArray(plain).replace(trailer, 7, "tr@iler")});

        const qsizetype start = streams.lastIndexOf("startxref");
        const QByteArray last = streams.mid(start + 9).trimmed().split('\n').value(0);
        made.append({"xref-stream-loops",
                     QByteArray(streams).insert(streams.indexOf("/Type /XRef", last.toLongLong()),
                                                "/Prev " + last + " ")});

        static const QRegularExpression root(R"((\d+) 0 obj\n<<\n  /Count \d+\n  /Kids \[\n)");
        static const QRegularExpression firstPage(
            R"(%% Page 1\n%% Original object ID: \d+ \d+\n(\d+) 0 obj)");
        static const QRegularExpression pagesOfCatalog(R"(/Pages (\d+) 0 R)");
        const QRegularExpressionMatch node = root.match(QString::fromLatin1(expanded));
        const QRegularExpressionMatch page = firstPage.match(QString::fromLatin1(expanded));
        const QRegularExpressionMatch catalog = pagesOfCatalog.match(QString::fromLatin1(expanded));
        if (node.hasMatch())
            made.append({"page-tree-loops", fixed(QByteArray(expanded).insert(
                                                node.capturedEnd(0),
                                                "    " + node.captured(1).toLatin1() + " 0 R\n"))});
        if (page.hasMatch() && catalog.hasMatch())
            made.append({"page-tree-root-is-page",
                         fixed(QByteArray(expanded).replace(catalog.capturedStart(1),
                                                            catalog.capturedLength(1),
                                                            page.captured(1).toLatin1()))});
        made.append({"cut-short", linearized.left(linearized.size() - 60)});
        // A page that is null: a viewer shows the others, and no copy can keep it.
        const qsizetype second = expanded.indexOf("%% Page 2\n");
        const qsizetype body = second < 0 ? -1 : expanded.indexOf(" 0 obj\n", second) + 7;
        if (body > 6)
            made.append(
                {"page-null", fixed(QByteArray(expanded).replace(
                                  body, expanded.indexOf("\nendobj", body) - body, "null"))});
        return made;
    }

private:
    // Every offset right again, so that only what was changed on purpose is damaged.
    static QByteArray fixed(const QByteArray& expanded) {
        QTemporaryDir dir;
        const QString unfixed = TestFiles::write(dir.path() + "/unfixed.pdf", expanded);
        QByteArray bytes;
        TestPrograms::run("fix-qdf", {unfixed}, &bytes);
        return bytes;
    }

    void add(const QString& name, const QByteArray& bytes) {
        made_ << TestFiles::write(folder_ + "/" + name + ".pdf", bytes);
    }

    // Latin-1 keeps every byte one character, so positions in the text are offsets in the file.
    static QList<QRegularExpressionMatch> matches(const QRegularExpression& pattern,
                                                  const QByteArray& bytes) {
        QList<QRegularExpressionMatch> found;
        for (const QRegularExpressionMatch& match : pattern.globalMatch(QString::fromLatin1(bytes)))
            found << match;
        return found;
    }

    QByteArray flipped(QByteArray bytes, int count) {
        for (int flip = 0; flip < count; ++flip)
            bytes[random_.bounded(int(bytes.size()))] ^= char(1 + random_.bounded(255));
        return bytes;
    }

    // Two objects exchange their numbers, so each is found where the other is expected.
    QByteArray swapped(QByteArray bytes) {
        static const QRegularExpression header(R"(\n(\d+) 0 obj)");
        const QList<QRegularExpressionMatch> headers = matches(header, bytes);
        if (headers.size() < 2)
            return bytes;
        int first = random_.bounded(int(headers.size()));
        int second = random_.bounded(int(headers.size()) - 1);
        second += second >= first ? 1 : 0;
        if (first > second)
            std::swap(first, second);
        // The later one first, so that the earlier one's place stays where it was found.
        const QRegularExpressionMatch& early = headers.at(first);
        const QRegularExpressionMatch& late = headers.at(second);
        bytes.replace(late.capturedStart(1), late.capturedLength(1), early.captured(1).toLatin1());
        bytes.replace(early.capturedStart(1), early.capturedLength(1), late.captured(1).toLatin1());
        return bytes;
    }

    // An entry of the cross-reference table points elsewhere, or everything after a point moves.
    QByteArray brokenOffsets(QByteArray bytes) {
        static const QRegularExpression entry(R"(\n(\d{10}) \d{5} n)");
        const QList<QRegularExpressionMatch> entries = matches(entry, bytes);
        if (!entries.isEmpty() && random_.bounded(2) == 0) {
            const QRegularExpressionMatch& found = entries.at(random_.bounded(int(entries.size())));
            const QByteArray offset =
                QByteArray::number(random_.bounded(int(bytes.size()))).rightJustified(10, '0');
            return bytes.replace(found.capturedStart(1), 10, offset);
        }
        const int at = 16 + random_.bounded(int(bytes.size()) / 2);
        return bytes.insert(at, QByteArray(1 + random_.bounded(64), ' '));
    }

    QByteArray spoiledPage(QByteArray bytes, const QRegularExpressionMatch& page,
                           const QString& damage) {
        const qsizetype open = page.capturedEnd(0) - 2;
        const qsizetype end = bytes.indexOf("\nendobj", open);
        const QByteArray reference = page.captured(2).toLatin1() + " 0 R\n";
        const qsizetype kid = bytes.indexOf("    " + reference, bytes.lastIndexOf("/Kids [", open));
        if (damage == "dictionary")
            return bytes.replace(open, 2, "<[");
        if (damage == "comment")
            return bytes.replace(open, 2, "%<");
        if (damage == "stream")
            return bytes.insert(end, "\nstream\nq Q\nendstream");
        if (damage == "null")
            return bytes.replace(open, end - open, "null");
        if (damage == "gone")
            return bytes.remove(open - reference.size() - 2, end + 7 - open + reference.size() + 2);
        if (kid < 0)
            return bytes;
        if (damage == "kid-missing")
            return bytes.replace(kid + 4, reference.size() - 1, "9999 0 R");
        if (damage == "kid-null")
            return bytes.replace(kid + 4, reference.size() - 1, "null");
        return bytes.replace(kid + 4, reference.size() - 1, page.captured(2).toLatin1());
    }

    QString folder_;
    QStringList made_;
    QRandomGenerator random_{20250622};
};

// The number of pages qpdf and poppler's pdfinfo find in a file; -1 for one that cannot read it.
std::pair<int, int> pageCounts(const QString& path) {
    QByteArray shown;
    TestPrograms::run("qpdf", {"--show-npages", path}, &shown); // warnings give a status of 3
    bool read = false;
    const int byQpdf = shown.trimmed().toInt(&read);
    const QString byPoppler = TestFiles::pdfInfo(path).value("Pages", "-1");
    return {read ? byQpdf : -1, byPoppler.toInt()};
}

// A reason a person reads: none of the toolkit's or Java's words.
bool plainWords(const QString& reason) {
    for (const char* words : {"Exception", "java", "main()", "file pointer", "com.", "lowagie"}) {
        if (reason.contains(QLatin1String(words)))
            return false;
    }
    return true;
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
        source.edits.changeTo(InfoField::Title, QStringLiteral("Engine Title"));
        BatchEngine engine(source, host);
        const QList<BatchRun::Outcome> outcomes = engine.run(4, toolkit_);

        QCOMPARE(host.reported.size(), 4);
        QCOMPARE(host.failedSteps, QList<RunStep>());
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

    // However a file is damaged, a result that replaces it has as many pages as it had, by qpdf
    // and by poppler: the toolkit drops pages it cannot read that a viewer still shows.
    void damagedFilesKeepTheirPages() {
        if (!TestFiles::haveProgram("qpdf") || !TestFiles::haveProgram("fix-qdf") ||
            !TestFiles::haveProgram("pdfinfo"))
            QSKIP("qpdf or pdfinfo is not installed");
        QTemporaryDir dir;
        const QString originals = dir.path() + "/originals";
        QVERIFY(QDir().mkpath(originals));
        DamagedFiles damaged(dir.path());
        ListSource source;
        for (const QString& name : QDir(TestFiles::corpusFolder()).entryList({"*.pdf"})) {
            if (!name.contains("password"))
                source.files << damaged.make(TestFiles::corpusFolder() + "/" + name);
        }
        for (const QString& file : source.files)
            QVERIFY(QFile::copy(file, originals + "/" + QFileInfo(file).fileName()));
        RecordingHost host;
        source.edits.changeTo(InfoField::Title, QStringLiteral("Damaged"));
        BatchEngine engine(source, host);
        engine.run(int(source.files.size()), toolkit_);

        QCOMPARE(host.reported.size(), source.files.size());
        int changed = 0;
        QStringList lost;
        QStringList unplain;
        for (const BatchRun::Outcome& outcome : host.reported) {
            if (!plainWords(outcome.reason))
                unplain << outcome.path + ": " + outcome.reason;
            if (!outcome.reason.isEmpty()) {
                qInfo("not changed: %s: %s", qPrintable(QFileInfo(outcome.path).fileName()),
                      qPrintable(outcome.reason));
                continue;
            }
            ++changed;
            const QString name = QFileInfo(outcome.path).fileName();
            const auto [qpdfBefore, popplerBefore] = pageCounts(originals + "/" + name);
            const auto [qpdfAfter, popplerAfter] = pageCounts(outcome.path);
            if (qpdfAfter < qpdfBefore || popplerAfter < popplerBefore)
                lost << QStringLiteral("%1: qpdf %2 -> %3, poppler %4 -> %5")
                            .arg(name)
                            .arg(qpdfBefore)
                            .arg(qpdfAfter)
                            .arg(popplerBefore)
                            .arg(popplerAfter);
        }
        qInfo("%d of %d damaged files changed", changed, int(source.files.size()));
        QVERIFY2(lost.isEmpty(), qPrintable(lost.join('\n')));
        QVERIFY2(unplain.isEmpty(), qPrintable(unplain.join('\n')));
        // The set is of use only while some damaged files do get through.
        QVERIFY(changed > 0);
    }

    // Each kind of damage that a viewer and qpdf get past is changed, with every page kept; the
    // toolkit cannot read most of them as they are, or hangs on them. A file no reader gets past
    // is listed with the damage named in plain words.
    void repairableDamageIsChanged_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        for (const char* kind : {"xref-table-damaged", "trailer-garbled", "xref-stream-loops",
                                 "page-tree-loops", "page-tree-root-is-page", "cut-short"})
            QTest::newRow(kind) << kind << QString();
        QTest::newRow("trailer-gone") << "trailer-gone"
                                      << "it is damaged and could not be repaired (no trailer)";
        QTest::newRow("page-null")
            << "page-null"
            << "its page tree is damaged: it counts 4, of which 3 can be read as pages";
    }
    void repairableDamageIsChanged() {
        if (!TestFiles::haveProgram("qpdf") || !TestFiles::haveProgram("fix-qdf") ||
            !TestFiles::haveProgram("pdfinfo"))
            QSKIP("qpdf or pdfinfo is not installed");
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        ListSource source;
        QByteArray bytes;
        for (const auto& [made, content] :
             DamagedFiles::structural(TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf")) {
            if (made == kind)
                bytes = content;
        }
        QVERIFY(!bytes.isEmpty());
        const QString damaged = TestFiles::write(dir.path() + "/original.pdf", bytes);
        const auto [qpdfBefore, popplerBefore] = pageCounts(damaged);
        // qpdf counts no pages where a page stands in the place of the tree.
        if (reason.isEmpty())
            QVERIFY2(qpdfBefore >= 0 && popplerBefore > 0, "a viewer and qpdf open it");
        source.files << TestFiles::write(dir.path() + "/damaged.pdf", bytes);
        RecordingHost host;
        source.edits.changeTo(InfoField::Title, QStringLiteral("Repaired"));
        BatchEngine engine(source, host);
        engine.run(1, toolkit_);

        QCOMPARE(host.reported.size(), 1);
        QCOMPARE(host.reported[0].reason, reason);
        if (!reason.isEmpty()) {
            QCOMPARE(TestFiles::bytes(source.files[0]), bytes);
            // The reader's own words, where it gave up.
            QCOMPARE(host.reported[0].detail.isEmpty(), !reason.contains("could not be repaired"));
        } else {
            const auto [qpdfAfter, popplerAfter] = pageCounts(source.files[0]);
            QVERIFY(qpdfAfter >= qpdfBefore);
            QVERIFY(popplerAfter >= popplerBefore);
            QCOMPARE(TestFiles::pdfInfo(source.files[0]).value("Title"), "Repaired");
        }
        // Nothing of the attempts stays beside the file.
        QCOMPARE(entries(dir.path()), QStringList({"damaged.pdf", "original.pdf"}));
    }

    // A file our reader takes without a complaint may still be one the toolkit cannot read as it
    // is: it gets one more run with a copy our reader writes anew (on the toolkit's standard
    // input), and only one. Neither run leaves anything behind.
    // A file whose reading showed damage gets the copy at once: the toolkit might hang on it
    // until its time limit.
    void toolkitFailureIsRetriedWithRepairedCopy_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("inputs");
        const QString refuse = "echo 'Error: Unexpected Exception in open_reader()' >&2; exit 1";
        const QString readsCopy = "case \"$1\" in -) exec pdftk \"$@\";; esac\n" + refuse;
        QTest::newRow("repaired copy read") << readsCopy << false << QString() << "file -";
        QTest::newRow("neither read") << refuse << false << "the toolkit could not read it"
                                      << "file -";
        QTest::newRow("damaged, copy first") << readsCopy << true << QString() << "-";
    }
    void toolkitFailureIsRetriedWithRepairedCopy() {
        QFETCH(QString, script);
        QFETCH(bool, damaged);
        QFETCH(QString, reason);
        QFETCH(QString, inputs);
        QTemporaryDir dir;
        QTemporaryDir tools;
        const QString runs = tools.filePath("runs");
        const QString toolkit = TestFiles::writeScript(tools.filePath("pdftk"),
                                                       "echo \"$1\" >> '" + runs + "'\n" + script);
        ListSource source;
        source.files << TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        if (damaged) {
            for (const auto& [kind, bytes] : DamagedFiles::structural(source.files[0])) {
                if (kind == "trailer-garbled")
                    TestFiles::write(source.files[0], bytes);
            }
        }
        const QByteArray before = TestFiles::bytes(source.files[0]);
        RecordingHost host;
        source.edits.changeTo(InfoField::Title, QStringLiteral("Retried"));
        BatchEngine engine(source, host);
        engine.run(1, toolkit);

        QCOMPARE(host.reported.size(), 1);
        QCOMPARE(host.reported[0].reason, reason);
        QCOMPARE(QString::fromUtf8(TestFiles::bytes(runs)).split('\n', Qt::SkipEmptyParts),
                 inputs.replace("file", source.files[0]).split(' '));
        if (reason.isEmpty()) {
            QCOMPARE(TestFiles::pdfInfo(source.files[0]).value("Title"), "Retried");
            QCOMPARE(pageCounts(source.files[0]), std::make_pair(4, 4));
        } else {
            QCOMPARE(TestFiles::bytes(source.files[0]), before);
            QCOMPARE(host.reported[0].detail,
                     "Unexpected Exception in open_reader()\nwith a repaired copy: Unexpected "
                     "Exception in open_reader()");
        }
        QCOMPARE(entries(dir.path()), QStringList({"pdflatex-4-pages.pdf"}));
        QCOMPARE(QDir(PrivateTempFolder::path()).entryList(QDir::Files), QStringList());
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
        source.edits.titleFromFileName();
        source.edits.changeTo(InfoField::Author, QString());
        BatchEngine::Settings settings;
        settings.dryRun = true;
        BatchEngine engine(source, host, settings);
        engine.run(3, toolkit_);

        QCOMPARE(host.reported.size(), 3);
        QCOMPARE(host.reported[0].destination, dir.path() + "/out/habibi.pdf");
        QCOMPARE(host.reported[0].preview.size(), 2);
        QCOMPARE(host.reported[0].preview[0].key, QStringLiteral("Title"));
        QCOMPARE(host.reported[0].preview[0].before, std::optional<QString>("habibi"));
        QCOMPARE(host.reported[0].preview[0].after, std::optional<QString>("habibi"));
        QCOMPARE(host.reported[0].preview[1].after, std::optional<QString>(QString()));
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
        source.edits.changeTo(InfoField::Subject, QStringLiteral("Locked"));
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
        source.edits.changeTo(InfoField::Title, QStringLiteral("Stopped"));
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
