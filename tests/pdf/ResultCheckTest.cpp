#include "ResultCheck.h"

#include "DateStrings.h"
#include "FailureOf.h"
#include "InfoUpdateFile.h"
#include "PdfCopier.h"
#include "PdfSnapshot.h"
#include "TestFiles.h"
#include "TestPrograms.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QString>)

// The real toolkit on copies of the corpus, and on inputs made with qpdf to be awkward in just the
// way that makes the toolkit destroy a document while reporting success.
class ResultCheckTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    static EditPlan plan(const QString& name) {
        EditPlan plan;
        if (name == "title") {
            plan.changeTo(InfoField::Title, "New title");
        } else if (name == "several") {
            plan.changeTo(InfoField::Title, "Reisebericht 東京 — ü");
            plan.changeTo(InfoField::Author, "");
            plan.changeTo(InfoField::Keywords, "  spaced  ");
        } else if (name == "all") {
            plan.titleFromFileName();
            plan.changeTo(InfoField::Subject, "Café • € ˘ A &amp; B &#65;");
            plan.changeTo(InfoField::Author, QChar(0xfeff) + QString("leading mark"));
            plan.changeTo(InfoField::Keywords, "two\nlines\tand 😀");
            plan.changeTo(InfoField::Creator, "");
            plan.changeTo(InfoField::Producer, "   ");
            plan.changeTo(InfoField::CreationDate, "D:20240101120000Z");
            plan.changeTo(InfoField::ModDate, "yesterday");
        }
        return plan;
    }

    // The toolkit's result for input, beside it.
    QString toolkitResult(const QString& input, const EditPlan& plan,
                          const QString& titleFromName = {},
                          const std::optional<QString>& password = std::nullopt) {
        const QString info = TestFiles::write(dir_.filePath("info.txt"),
                                              InfoUpdateFile::content(plan, titleFromName));
        const QString output = input + ".result.pdf";
        QFile::remove(output);
        QStringList arguments{input};
        if (password)
            arguments << "input_pw" << *password;
        arguments << "update_info" << info << "output" << output;
        TestPrograms::run("pdftk", arguments);
        return output;
    }

    // Like the files the program creates for the toolkit's input: there already, owner only.
    QString privateFile(const QString& name) {
        QFile file(dir_.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return file.fileName();
    }

    // A copy of a corpus file whose trailer names as document information the object that
    // objectPattern's first group finds in qpdf's expanded form (given a Creator and Trapped), or
    // without a pattern a direct dictionary.
    QString withInfoAt(const QString& corpusFile, const QString& objectPattern,
                       const QString& name) {
        const QString qdf = dir_.filePath(name + ".qdf");
        if (!TestPrograms::run("qpdf", {"--qdf", "--object-streams=disable",
                                        TestFiles::corpusFolder() + "/" + corpusFile, qdf}))
            return {};
        QString text = QString::fromLatin1(TestFiles::bytes(qdf));
        static const QRegularExpression info(R"(/Info \d+ 0 R)");
        if (objectPattern.isEmpty()) {
            text.replace(info, "/Info << /Title (direct) /Creator (TeX) >>");
        } else {
            const QRegularExpressionMatch found = QRegularExpression(objectPattern).match(text);
            if (!found.hasMatch())
                return {};
            // Document information of its own in the shared object, to see it carried over.
            text.insert(text.indexOf("<<\n", found.capturedEnd(1)) + 3,
                        "  /Creator (TeX)\n  /Trapped /False\n");
            text.replace(info, "/Info " + found.captured(1) + " 0 R");
        }
        TestFiles::write(qdf, text.toLatin1());
        QByteArray fixed;
        if (!TestPrograms::run("fix-qdf", {qdf}, &fixed))
            return {};
        return TestFiles::write(dir_.filePath(name + ".pdf"), fixed);
    }

private slots:
    void initTestCase() {
        for (const char* program : {"pdftk", "qpdf", "fix-qdf", "pdfinfo"})
            QVERIFY2(TestFiles::haveProgram(program), program);
    }

    void correctResultsAreAccepted_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QString>("planName");
        const std::optional<QString> none;
        const QString corpus = TestFiles::corpusFolder() + "/";
        const QString samples = QStringLiteral(METASCRIBE_SAMPLES) + "/";
        QTest::newRow("pdfTeX, one field") << corpus + "minimal-document.pdf" << none << "title";
        QTest::newRow("pdfTeX, every field") << corpus + "minimal-document.pdf" << none << "all";
        QTest::newRow("four pages") << corpus + "pdflatex-4-pages.pdf" << none << "several";
        QTest::newRow("LibreOffice")
            << corpus + "002-trivial-libre-office-writer.pdf" << none << "all";
        QTest::newRow("encrypted") << corpus + "libreoffice-writer-password.pdf"
                                   << std::optional<QString>("openpassword") << "several";
        QTest::newRow("Arabic") << corpus + "habibi.pdf" << none << "several";
        QTest::newRow("XMP") << corpus + "output_with_metadata_pymupdf.pdf" << none << "all";
        QTest::newRow("PDF/A, empty fields") << corpus + "crazyones-pdfa.pdf" << none << "title";
        QTest::newRow("sample, four pages") << samples + "Meeting Minutes.pdf" << none << "all";
        QTest::newRow("sample") << samples + "Quarterly Report.pdf" << none << "several";
        QTest::newRow("sample, UTF-16") << samples + "Reisebericht-東京.pdf" << none << "title";
    }
    void correctResultsAreAccepted() {
        QFETCH(QString, file);
        QFETCH(std::optional<QString>, password);
        QFETCH(QString, planName);
        const QString input = dir_.filePath("input.pdf");
        QFile::remove(input);
        QVERIFY(QFile::copy(file, input));
        const PdfSnapshot original = PdfSnapshot::read(input, password);
        QVERIFY(original.pages() > 0);
        QVERIFY(!original.hadWarnings());
        QVERIFY(!original.needsOwnInfo());

        QString result = toolkitResult(input, plan(planName), "From the name", password);
        // As the program does with every result: the toolkit writes dates as UTF-16 text.
        DateStrings::makePlain(result, {"CreationDate", "ModDate"});
        if (original.encrypted()) {
            const QString plain = result;
            QCOMPARE(
                ResultCheck::verify(original, plain, plan(planName), "From the name", password),
                QStringLiteral("the result lost its password protection"));
            result = TestFiles::write(dir_.filePath("protected.pdf"),
                                      PdfCopier::protectedLike(input, password, plain));
        }
        QCOMPARE(ResultCheck::verify(original, result, plan(planName), "From the name", password),
                 QString());
    }

    void sharedInformationIsGivenItsOwnObject_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("objectPattern");
        QTest::addColumn<QString>("rawReason");
        const QString four = "pdflatex-4-pages.pdf";
        // In qpdf's expanded form every line of a dictionary is indented and pages and content
        // streams are announced by comments.
        const QString dictionaryOfType = R"((\d+) 0 obj\n<<\n(?: +.*\n)*?  /Type /%1\n)";
        QTest::newRow("page tree")
            << four << dictionaryOfType.arg("Pages") << "the result lost pages: 4 before, 0 after";
        QTest::newRow("catalog") << four << dictionaryOfType.arg("Catalog")
                                 << "the result is damaged and could not be repaired (no "
                                    "document catalog)";
        QTest::newRow("page") << four << R"(%% Page 2\n%% Original object ID: \d+ \d+\n(\d+) 0 obj)"
                              << "the result lost content on page 2";
        QTest::newRow("font") << four << dictionaryOfType.arg("Font")
                              << "the result lost content on page 1";
        QTest::newRow("content stream")
            << four << R"(%% Contents for page 3\n%% Original object ID: \d+ \d+\n(\d+) 0 obj)"
            << "the result lost content on page 3";
        // Not shared, but the toolkit fails on it all the same.
        QTest::newRow("XMP metadata")
            << "output_with_metadata_pymupdf.pdf" << dictionaryOfType.arg("Metadata")
            << "the result lost the document's Metadata";
        QTest::newRow("direct dictionary") << four << QString() << "the result is not a PDF file";
    }
    void sharedInformationIsGivenItsOwnObject() {
        QFETCH(QString, file);
        QFETCH(QString, objectPattern);
        QFETCH(QString, rawReason);
        const QString input = withInfoAt(file, objectPattern, QTest::currentDataTag());
        QVERIFY(!input.isEmpty());
        const PdfSnapshot original = PdfSnapshot::read(input);
        const QString pages = TestFiles::pdfInfo(input).value("Pages");
        QCOMPARE(QString::number(original.pages()), pages);
        QCOMPARE(original.infoShared(), !objectPattern.isEmpty());
        QVERIFY(original.needsOwnInfo());
        const EditPlan edit = plan("several");

        const QString raw = toolkitResult(input, edit);
        const QString reason = ResultCheck::verify(original, raw, edit, {});
        QVERIFY2(reason.startsWith(rawReason), qPrintable(reason));

        const QString own = privateFile("own.pdf");
        PdfCopier::writeCopy(input, std::nullopt, {true, false}, own);
        QVERIFY(!PdfSnapshot::read(own).needsOwnInfo());
        const QString result = toolkitResult(own, edit);
        QCOMPARE(ResultCheck::verify(original, result, edit, {}), QString());
        const QMap<QString, QString> shown = TestFiles::pdfInfo(result);
        QCOMPARE(shown.value("Pages"), pages);
        QCOMPARE(shown.value("Title"), QString("Reisebericht 東京 — ü"));
        QCOMPARE(shown.value("Creator"), QString("TeX"));
    }

    void spoiledResultsAreRejected_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QString>("reason");
        const std::optional<QString> none;
        QTest::newRow("page removed")
            << "--pages . 1-3 --" << none << "the result lost pages: 4 before, 3 after";
        QTest::newRow("page added") << "--pages . 1-4,1 --" << none
                                    << "the result has a different number of pages: 4 before, "
                                       "5 after";
        QTest::newRow("wrong title")
            << "title" << none << "the result's Title is \"Other\" instead of \"New title\"";
        QTest::newRow("kept field changed")
            << "creator" << none << "the result's Creator is \"\" instead of \"TeX\"";
        QTest::newRow("field added")
            << "subject" << none << "the result has a Subject the original did not have";
        QTest::newRow("key added")
            << "extra" << none << "the result has a Extra the original did not have";
        QTest::newRow("removed key still there")
            << "remove creator" << none << "the result still has the Creator \"TeX\"";
        QTest::newRow("unnamed key changed")
            << "banner" << none << "the result's PTEX.Fullbanner is \"Other\" instead of";
        QTest::newRow("other key wrong")
            << "department" << none << "the result's Dept is \"Other\" instead of \"Legal\"";
        QTest::newRow("Trapped not set")
            << "trapped" << none << "the result's Trapped is /False instead of /True";
        QTest::newRow("language missing")
            << "language" << none << "the result's language (/Lang) is none instead of \"de\"";
        QTest::newRow("title not shown")
            << "shown title" << none << "the result's viewer preferences do not show the title";
        QTest::newRow("copyright missing")
            << "copyright" << none << "the result has no XMP metadata for its copyright";
        QTest::newRow("date as the toolkit writes it")
            << "date" << none
            << "the result's CreationDate is stored as Unicode text, which not every reader takes "
               "for a date";
        QTest::newRow("truncated")
            << "truncate" << none << "the result is damaged and could not be repaired (no trailer)";
        QTest::newRow("damaged") << "startxref" << none << "the result is damaged: ";
        QTest::newRow("missing") << "remove" << none << "the result cannot be opened: ";
        QTest::newRow("encrypted, right password")
            << "--encrypt user owner 256 --" << std::optional<QString>("user")
            << "the result is not protected the way the original is";
        QTest::newRow("encrypted, no password needed")
            << "--encrypt  owner 256 --" << std::optional<QString>("user")
            << "the result is not protected the way the original is";
        QTest::newRow("encrypted, wrong password")
            << "--encrypt user owner 256 --" << std::optional<QString>("wrong")
            << "the result is password-protected and the password was not given or is wrong";
    }
    void spoiledResultsAreRejected() {
        QFETCH(QString, spoil);
        QFETCH(std::optional<QString>, password);
        QFETCH(QString, reason);
        const QString input =
            TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir_.path(), "four.pdf");
        const PdfSnapshot original = PdfSnapshot::read(input);
        EditPlan edit = plan("title");
        if (spoil == "remove creator")
            edit.removeKey("Creator");
        else if (spoil == "banner" || spoil == "department")
            edit.setKey("Dept", "Legal");
        else if (spoil == "trapped")
            edit.setKey("Trapped", "True");
        else if (spoil == "copyright")
            edit.setCopyright("© Someone");
        else if (spoil == "language")
            edit.setLanguage("de");
        else if (spoil == "shown title")
            edit.showTitleInTitleBar();
        else if (spoil == "date")
            edit.changeTo(InfoField::CreationDate, "D:20240501000000Z");
        // The toolkit's result for another plan, or for this one where the toolkit alone falls
        // short of it (removals, Trapped and the copyright come after it).
        EditPlan other = edit;
        if (spoil == "banner")
            other.setKey("PTEX.Fullbanner", "Other");
        else if (spoil == "department")
            other.setKey("Dept", "Other");
        else if (spoil == "extra")
            other.setKey("Extra", "x");
        if (spoil == "title")
            other.changeTo(InfoField::Title, "Other");
        else if (spoil == "creator")
            other.changeTo(InfoField::Creator, "");
        else if (spoil == "subject")
            other.changeTo(InfoField::Subject, "Extra");
        const QString good = toolkitResult(input, other);
        const QString result = dir_.filePath("spoiled.pdf");
        QFile::remove(result);
        QByteArray bytes = TestFiles::bytes(good);
        if (spoil.startsWith("--")) {
            QVERIFY(TestPrograms::run("qpdf", QStringList{good} << spoil.split(' ') << result));
        } else if (spoil == "truncate") {
            TestFiles::write(result, bytes.left(bytes.size() / 2));
        } else if (spoil == "startxref") {
            const qsizetype at = bytes.lastIndexOf("startxref\n") + 10;
            TestFiles::write(result, bytes.left(at) + "12" + bytes.mid(at));
        } else if (spoil != "remove") {
            QVERIFY(QFile::copy(good, result));
        }
        QString found = ResultCheck::verify(original, result, edit, {}, password);
        if (found.isEmpty())
            found = ResultCheck::verifyXmp(result, {}, password, XmpPacket::rightsFor(edit));
        QVERIFY2(reason.isEmpty() ? found.isEmpty() : found.startsWith(reason), qPrintable(found));
    }

    // A damaged original is also read as a viewer shows it, the text of every page counted; a
    // result must keep that text, also where our own reader finds every page and its content
    // streams, fonts and annotations in place.
    void viewerTextOfADamagedOriginalStays_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("reason");
        QTest::newRow("as the toolkit made it") << ""
                                                << "";
        QTest::newRow("page 2 drawn empty")
            << "page 2"
            << "repairing it would lose text on page 2 that other readers show";
    }
    void viewerTextOfADamagedOriginalStays() {
        QFETCH(QString, spoil);
        QFETCH(QString, reason);
        // A cross-reference table (not a stream, which holds the trailer) that is not where the
        // file says.
        QByteArray good;
        QVERIFY(TestPrograms::run(
            "qpdf",
            {"--object-streams=disable", TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf", "-"},
            &good));
        const qsizetype at = good.lastIndexOf("startxref\n") + 10;
        const QString input = TestFiles::write(dir_.filePath("wrong-startxref.pdf"),
                                               good.left(at) + "12" + good.mid(at));
        const PdfSnapshot original = PdfSnapshot::read(
            input, std::nullopt, PdfSnapshot::Sharing::Find, {}, &PdfSnapshot::textWhereDamaged);
        QVERIFY(original.damaged());
        QVERIFY(original.viewerReading());
        QCOMPARE(original.viewerReading()->textOnPages().size(), 4);
        QVERIFY(original.viewerReading()->textOnPages().at(1) > 100);

        const EditPlan edit = plan("title");
        QString result = toolkitResult(input, edit);
        if (!spoil.isEmpty()) {
            // The page's one content stream draws nothing: the same streams, fonts and
            // annotations, no text.
            QByteArray expanded;
            QVERIFY(TestPrograms::run("qpdf", {"--qdf", "--object-streams=disable", result, "-"},
                                      &expanded));
            const qsizetype contents = expanded.indexOf("%% Contents for page 2");
            const qsizetype data = expanded.indexOf("stream\n", contents) + 7;
            const qsizetype end = expanded.indexOf("\nendstream", data);
            QVERIFY(contents > 0 && end > data);
            expanded.replace(data, end - data, "q Q");
            const QString unfixed = TestFiles::write(dir_.filePath("unfixed.pdf"), expanded);
            QByteArray fixed;
            QVERIFY(TestPrograms::run("fix-qdf", {unfixed}, &fixed));
            result = TestFiles::write(dir_.filePath("page-2-empty.pdf"), fixed);
        }
        QCOMPARE(ResultCheck::verify(original, result, edit, {}), reason);
    }

    void unreadableInputsAreNamed_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QString>("reason");
        const QString locked = TestFiles::corpusFolder() + "/libreoffice-writer-password.pdf";
        const QString passwordReason =
            "it is password-protected and the password was not given or is wrong";
        QTest::newRow("no password") << locked << std::optional<QString>() << passwordReason;
        QTest::newRow("wrong password")
            << locked << std::optional<QString>("nope") << passwordReason;
        QTest::newRow("not a PDF") << TestFiles::write(dir_.filePath("text.pdf"), "plain text")
                                   << std::optional<QString>() << "it is not a PDF file";
        QTest::newRow("missing") << dir_.filePath("missing.pdf") << std::optional<QString>()
                                 << "it cannot be opened: No such file or directory";
        // Read like a file, a device gives nothing (or, as /dev/zero, never ends).
        const QString device = dir_.filePath("device.pdf");
        QFile::link("/dev/null", device);
        QTest::newRow("link to a device")
            << device << std::optional<QString>() << "it is not a regular file";
    }
    void unreadableInputsAreNamed() {
        QFETCH(QString, file);
        QFETCH(std::optional<QString>, password);
        QFETCH(QString, reason);
        const QString found = failureOf([&] { PdfSnapshot::read(file, password); });
        QVERIFY2(found.startsWith(reason), qPrintable(found));
        QVERIFY(!found.contains(file));
    }

    // The toolkit gets a decrypted copy with document information of its own, in memory; its
    // result is encrypted again as the original is, an owner password never typed included.
    void encryptedInputStaysEncrypted_data() {
        QTest::addColumn<QStringList>("encryption");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::newRow("AES-256") << QStringList{"user", "owner", "256"}
                                 << std::optional<QString>("user");
        QTest::newRow("AES-128") << QStringList{"user", "owner", "128", "--use-aes=y"}
                                 << std::optional<QString>("user");
        QTest::newRow("RC4-40") << QStringList{"user", "owner", "40"}
                                << std::optional<QString>("user");
        QTest::newRow("owner password only, restrictions")
            << QStringList{"", "owner", "128", "--use-aes=y", "--print=none", "--modify=none"}
            << std::optional<QString>();
    }
    void encryptedInputStaysEncrypted() {
        QFETCH(QStringList, encryption);
        QFETCH(std::optional<QString>, password);
        const QString shared =
            withInfoAt("pdflatex-4-pages.pdf", R"((\d+) 0 obj\n<<\n(?: +.*\n)*?  /Type /Pages\n)",
                       "locked-shared");
        const QString input = dir_.filePath("locked.pdf");
        QCOMPARE(TestPrograms::encrypted(shared, input, encryption), input);
        const PdfSnapshot original = PdfSnapshot::read(input, password);
        QVERIFY(original.infoShared() && original.encrypted());

        const QString own =
            TestFiles::write(dir_.filePath("locked-own.pdf"),
                             PdfCopier::copyInMemory(input, password, {true, true}));
        const PdfSnapshot copy = PdfSnapshot::read(own);
        QVERIFY(!copy.needsOwnInfo() && !copy.encrypted());
        QCOMPARE(copy.pages(), 4);
        QCOMPARE(copy.infoValue("Creator"), QString("TeX"));
        QCOMPARE(copy.infoValue("Trapped"), QString("/False"));
        QVERIFY(!copy.infoValue("Kids"));

        const EditPlan edit = plan("all");
        const QString plain = toolkitResult(own, edit, "named");
        DateStrings::makePlain(plain, {"CreationDate", "ModDate"});
        const QString result = TestFiles::write(dir_.filePath("locked-result.pdf"),
                                                PdfCopier::protectedLike(input, password, plain));
        QCOMPARE(ResultCheck::verify(original, result, edit, "named", password), QString());
        QByteArray before, after;
        QVERIFY(TestPrograms::run(
            "qpdf", {"--show-encryption", "--password=" + password.value_or(""), input}, &before));
        QVERIFY(TestPrograms::run(
            "qpdf", {"--show-encryption", "--password=" + password.value_or(""), result}, &after));
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(ResultCheckTest)
#include "ResultCheckTest.moc"
