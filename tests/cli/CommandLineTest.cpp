#include "PrivateTempFolder.h"
#include "SignedPdf.h"
#include "TestFiles.h"
#include "TestPrograms.h"
#include "Toolkit.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Values of a file's fields by key.
using Values = QMap<QString, QString>;

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Another user for the runs that need one: nobody, with a home of its own in home.
struct OtherUser {
    uid_t uid = 65534;
    gid_t gid = 65534;
    QString home;
};

QString program() {
    return QCoreApplication::applicationDirPath() + "/metascribe";
}

// The program as a script starts it: no display, and a window system that does not exist, so
// that anything reaching for one fails; started as user when one is given. A run that has not
// ended within limit is killed and reads as a crash.
Ran started(QProcess& process, const QString& path, const QStringList& arguments,
            const QByteArray& input, int limit, const std::optional<OtherUser>& user = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", "none-such");
    if (user) {
        for (const char* name : {"HOME", "TEMP", "TMPDIR"})
            environment.insert(name, user->home);
        environment.insert("XDG_CONFIG_HOME", user->home + "/config");
        environment.insert("XDG_CACHE_HOME", user->home + "/cache");
    }
    process.setProcessEnvironment(environment);
    if (user)
        process.start("setpriv", QStringList{"--reuid=" + QString::number(user->uid),
                                             "--regid=" + QString::number(user->gid),
                                             "--clear-groups", "--", path} +
                                     arguments);
    else
        process.start(path, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(limit)) {
        process.kill();
        process.waitForFinished();
        return {-1, process.readAllStandardOutput(), process.readAllStandardError()};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Whether qpdf reads the file without a password (status 3: with warnings).
bool opensWithoutPassword(const QString& path) {
    QProcess qpdf;
    qpdf.start("qpdf", {"--show-npages", path});
    qpdf.waitForFinished(60000);
    return qpdf.exitStatus() == QProcess::NormalExit &&
           (qpdf.exitCode() == 0 || qpdf.exitCode() == 3);
}

Ran metascribe(const QStringList& arguments, const QByteArray& input = {}, int limit = 120000) {
    QProcess process;
    return started(process, program(), arguments, input, limit);
}

Ran metascribeAs(const OtherUser& user, const QStringList& arguments) {
    QProcess process;
    return started(process, program(), arguments, {}, 120000, user);
}

// A word of a shell script that stands for bytes, each written as an escape.
QByteArray shellWord(const QByteArray& bytes) {
    QByteArray word = "$'";
    for (const char c : bytes)
        word +=
            "\\x" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
    return word + "'";
}

// With arguments as bytes, which need not be UTF-8, in the folder folder (bytes too) when one
// is given: QProcess would pass them as UTF-8, so a shell passes them on.
Ran metascribeWithBytes(const QList<QByteArray>& arguments, int limit = 120000,
                        const QByteArray& folder = {}) {
    QByteArray script = folder.isEmpty() ? "" : "cd " + shellWord(folder) + " && ";
    script += "exec \"$0\"";
    for (const QByteArray& argument : arguments)
        script += " " + shellWord(argument);
    QProcess process;
    return started(process, "/bin/bash", {"-c", QString::fromLatin1(script), program()}, {}, limit);
}

// Makes what a row names at path (bytes: the name need not be UTF-8).
bool make(const QByteArray& kind, const QByteArray& path) {
    if (kind == "fifo")
        return ::mkfifo(path.constData(), 0644) == 0;
    if (kind == "device")
        return ::symlink("/dev/zero", path.constData()) == 0;
    if (kind == "dangling")
        return ::symlink("nowhere.pdf", path.constData()) == 0;
    if (kind == "folder")
        return ::mkdir(path.constData(), 0755) == 0 && make("file", path + "/inside.pdf");
    const QByteArray pdf = TestFiles::bytes(TestFiles::corpusFolder() + "/habibi.pdf");
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    const bool written =
        descriptor >= 0 && ::write(descriptor, pdf.constData(), pdf.size()) == pdf.size();
    return ::close(descriptor) == 0 && written;
}

QByteArray contentOf(const QByteArray& path) {
    QFile file;
    const int descriptor = ::open(path.constData(), O_RDONLY);
    if (descriptor < 0 || !file.open(descriptor, QIODevice::ReadOnly, QFile::AutoCloseHandle))
        return {};
    return file.readAll();
}

// What a spreadsheet program saves of a table it opened, in a locale with a decimal comma: the
// cells as it read them, every one quoted anew, ";" between them, CRLF after each row, with or
// without the byte-order mark.
QByteArray resaved(const QByteArray& written, bool byteOrderMark) {
    const QByteArray mark = "\xEF\xBB\xBF";
    const QString text = QString::fromUtf8(written.startsWith(mark) ? written.mid(3) : written);
    const QChar separator =
        text.section('\n', 0, 0).count(';') > text.section('\n', 0, 0).count(',') ? ';' : ',';
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (quoted && c == '"' && at + 1 < text.size() && text.at(at + 1) == '"') {
            cell += c;
            ++at;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == separator) {
            row << cell;
            cell.clear();
        } else if (!quoted && (c == '\r' || c == '\n')) {
            if (c == '\r' && at + 1 < text.size() && text.at(at + 1) == '\n')
                ++at;
            rows << (row << cell);
            row.clear();
            cell.clear();
        } else {
            cell += c;
        }
    }
    QByteArray saved = byteOrderMark ? mark : QByteArray();
    for (const QStringList& cells : std::as_const(rows)) {
        QStringList quotedCells;
        for (QString value : cells)
            quotedCells << '"' + value.replace('"', "\"\"") + '"';
        saved += quotedCells.join(';').toUtf8() + "\r\n";
    }
    return saved;
}

// Every key of the file's document information as pdfinfo reads it, spelled as the file spells
// it, with its value.
QMap<QString, QString> infoKeys(const QString& path) {
    QByteArray out;
    if (!TestPrograms::run("pdfinfo", {"-custom", "-enc", "UTF-8", path}, &out))
        return {};
    QMap<QString, QString> keys;
    for (const QString& line : QString::fromUtf8(out).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            keys.insert(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return keys;
}

QList<QJsonObject> jsonLines(const QByteArray& out) {
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

// Runs qpdf (status 3: it read the file with warnings); gives its output, empty when it failed.
QByteArray qpdfOutput(const QStringList& arguments) {
    QProcess qpdf;
    qpdf.start("qpdf", arguments);
    qpdf.waitForFinished(60000);
    const bool read =
        qpdf.exitStatus() == QProcess::NormalExit && (qpdf.exitCode() == 0 || qpdf.exitCode() == 3);
    return read ? qpdf.readAllStandardOutput() : QByteArray();
}

// The pages qpdf lists (not the count the page tree claims) and the bookmarks it finds.
int qpdfPages(const QString& path, const QString& password = {}) {
    int pages = 0;
    for (const QByteArray& line :
         qpdfOutput({"--password=" + password, "--show-pages", path}).split('\n'))
        pages += line.startsWith("page ") ? 1 : 0;
    return pages;
}

int qpdfBookmarks(const QString& path) {
    const QJsonObject json =
        QJsonDocument::fromJson(qpdfOutput({"--json=2", "--json-key=outlines", path})).object();
    int count = 0;
    QJsonArray waiting = json["outlines"].toArray();
    while (!waiting.isEmpty()) {
        const QJsonObject entry = waiting.takeAt(0).toObject();
        ++count;
        for (const QJsonValue& kid : entry["kids"].toArray())
            waiting.append(kid);
    }
    return count;
}

// The pages poppler shows and the characters of their text that are not white space.
std::pair<int, int> viewerPagesAndText(const QString& path, const QString& password = {}) {
    const QString pages = TestFiles::pdfInfo(path, password).value("Pages", "-1").trimmed();
    QByteArray text;
    QStringList arguments;
    if (!password.isEmpty())
        arguments << "-upw" << password;
    TestPrograms::run("pdftotext", arguments << path << "-", &text);
    return {pages.toInt(), int(QString::fromUtf8(text).simplified().remove(' ').size())};
}

// qpdf's expanded form of a corpus file, every object in plain text, with its offsets made right
// again after edit changed it.
QByteArray expandedAndFixed(const QString& corpusFile,
                            const std::function<void(QByteArray&)>& edit) {
    QByteArray expanded;
    TestPrograms::run("qpdf",
                      {"--qdf", "--object-streams=disable", "--deterministic-id",
                       TestFiles::corpusFolder() + "/" + corpusFile, "-"},
                      &expanded);
    edit(expanded);
    QTemporaryDir dir;
    const QString unfixed = TestFiles::write(dir.path() + "/unfixed.pdf", expanded);
    QByteArray fixed;
    TestPrograms::run("fix-qdf", {unfixed}, &fixed);
    return fixed;
}

// A file with eleven bookmarks at two levels and page labels added by an incremental update with a
// catalog of its own; its last startxref points past its cross-reference table, so that qpdf's
// reconstruction finds the first catalog, without either.
QByteArray updatedWithWrongStartxref(const QByteArray& plain, bool bookmarks) {
    static const QRegularExpression sizeEntry(R"(/Size (\d+))");
    QRegularExpressionMatch found;
    for (const QRegularExpressionMatch& match : sizeEntry.globalMatch(QString::fromLatin1(plain)))
        found = match;
    const int size = found.captured(1).toInt();
    const QByteArray previous =
        plain.mid(plain.lastIndexOf("startxref") + 9).trimmed().split('\n')[0];
    static const QRegularExpression pagesEntry(R"(/Pages (\d+) 0 R)");
    const QByteArray pages = pagesEntry.match(QString::fromLatin1(plain)).captured(1).toLatin1();
    static const QRegularExpression pageObject(R"((\d+) 0 obj\n<<[^\n]*/Type /Page\b)");
    const QByteArray firstPage =
        pageObject.match(QString::fromLatin1(plain)).captured(1).toLatin1();
    const auto ref = [](int number) {
        return QByteArray::number(number) + " 0 R";
    };
    // The catalog, the outline, three parts and eight sections under them.
    QList<QByteArray> objects;
    const int catalog = size;
    const int outline = size + 1;
    const int firstPart = size + 2;
    const int firstSection = firstPart + 3;
    objects << "<< /Type /Catalog /Pages " + pages + " 0 R" +
                   (bookmarks ? " /Outlines " + ref(outline) : QByteArray()) +
                   " /PageLabels << /Nums [ 0 << /S /r >> 2 << /S /D >> ] >> >>";
    objects << "<< /Type /Outlines /First " + ref(firstPart) + " /Last " + ref(firstPart + 2) +
                   " /Count 11 >>";
    const QList<int> sections{3, 3, 2};
    int section = firstSection;
    for (int part = 0; part < 3; ++part) {
        QByteArray entry = "<< /Title (Part " + QByteArray::number(part + 1) + ") /Parent " +
                           ref(outline) + " /Dest [ " + firstPage + " 0 R /Fit ] /First " +
                           ref(section) + " /Last " + ref(section + sections[part] - 1) +
                           " /Count " + QByteArray::number(sections[part]);
        if (part > 0)
            entry += " /Prev " + ref(firstPart + part - 1);
        if (part < 2)
            entry += " /Next " + ref(firstPart + part + 1);
        objects << entry + " >>";
        section += sections[part];
    }
    section = firstSection;
    for (int part = 0; part < 3; ++part) {
        for (int at = 0; at < sections[part]; ++at, ++section) {
            QByteArray entry = "<< /Title (Section " + QByteArray::number(at + 1) + ") /Parent " +
                               ref(firstPart + part) + " /Dest [ " + firstPage + " 0 R /Fit ]";
            if (at > 0)
                entry += " /Prev " + ref(section - 1);
            if (at < sections[part] - 1)
                entry += " /Next " + ref(section + 1);
            objects << entry + " >>";
        }
    }
    QByteArray update;
    QList<qsizetype> offsets;
    for (int index = 0; index < objects.size(); ++index) {
        offsets << plain.size() + update.size();
        update += QByteArray::number(size + index) + " 0 obj\n" + objects[index] + "\nendobj\n";
    }
    const qsizetype table = plain.size() + update.size();
    update += "xref\n" + QByteArray::number(size) + " " + QByteArray::number(objects.size()) + "\n";
    for (qsizetype offset : offsets)
        update += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    update += "trailer\n<< /Size " + QByteArray::number(size + objects.size()) + " /Root " +
              ref(catalog) + " /Prev " + previous + " >>\nstartxref\n" +
              QByteArray::number(table + 7) + "\n%%EOF\n";
    return plain + update;
}

// A file of four pages damaged so that qpdf reads fewer pages or bookmarks than a viewer shows,
// made from the corpus: the kinds the rows of viewersShowWhatARepairWouldLose name.
QByteArray damagedForViewers(const QString& kind) {
    const QString four = TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf";
    static const QRegularExpression catalogPages(R"(/Pages (\d+) 0 R)");
    static const QRegularExpression kids(R"(/Kids \[\n(    \d+ 0 R\n)+  \])");
    if (kind == "pages-object-missing")
        return expandedAndFixed("pdflatex-4-pages.pdf", [](QByteArray& bytes) {
            const QRegularExpressionMatch found = catalogPages.match(QString::fromLatin1(bytes));
            bytes.replace(found.capturedStart(1), found.capturedLength(1), "9999");
        });
    if (kind == "kids-empty")
        return expandedAndFixed("pdflatex-4-pages.pdf", [](QByteArray& bytes) {
            const QRegularExpressionMatch found = kids.match(QString::fromLatin1(bytes));
            bytes.replace(found.capturedStart(0), found.capturedLength(0), "/Kids [ ]");
            bytes.replace("/Count 4", "/Count 3");
        });
    QByteArray bytes;
    if (kind == "linearized-tree-damaged") {
        // The root of the page tree can no longer be found where the file says it is.
        TestPrograms::run(
            "qpdf", {"--linearize", "--object-streams=disable", "--deterministic-id", four, "-"},
            &bytes);
        const qsizetype root = bytes.lastIndexOf(" 0 obj", bytes.indexOf("/Type /Pages"));
        return bytes.replace(root, 6, " 0 obx");
    }
    if (kind == "bookmarks-older-catalog" || kind == "labels-older-catalog") {
        TestPrograms::run("qpdf", {"--object-streams=disable", "--deterministic-id", four, "-"},
                          &bytes);
        return updatedWithWrongStartxref(bytes, kind == "bookmarks-older-catalog");
    }
    if (kind == "aes-byte-flipped") {
        // The encryption key is new each time, so what one flipped byte garbles differs: the
        // first flip within the object stream of the pages that leaves qpdf no page and a viewer
        // every page with its text.
        QTemporaryDir dir;
        const QString locked =
            TestPrograms::encrypted(four, dir.path() + "/locked.pdf", {"u", "o", "256"});
        const QByteArray good = TestFiles::bytes(locked);
        const qsizetype objects = good.indexOf("/Type /ObjStm");
        const qsizetype stream = good.indexOf("stream\n", objects) + 7;
        const QString flipped = dir.path() + "/flipped.pdf";
        for (qsizetype at = stream + 100; objects >= 0 && at < std::min(stream + 700, good.size());
             at += 37) {
            QByteArray attempt = good;
            attempt[at] = char(attempt[at] ^ 0x20);
            TestFiles::write(flipped, attempt);
            if (qpdfPages(flipped, "u") == 0 && viewerPagesAndText(flipped, "u").first == 4)
                return attempt;
        }
    }
    return {};
}

// A one-page file made for check, as a careful publisher leaves it: a title, a language, the
// title shown in the title bar, and dates in order; with catalogExtra in place of the language
// and the viewer preferences, info in place of its document information and, with xmpTitle, an
// XMP packet holding that title.
QByteArray publishedFile(const QByteArray& catalogExtra, const QByteArray& info,
                         const QByteArray& xmpTitle) {
    QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R " +
            (xmpTitle.isEmpty() ? QByteArray() : QByteArray("/Metadata 5 0 R ")) + catalogExtra +
            " >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>", info};
    if (!xmpTitle.isEmpty())
        objects << TestFiles::streamObject(
            "/Type /Metadata /Subtype /XML",
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
            "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
            "rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:title><rdf:Alt>"
            "<rdf:li xml:lang=\"x-default\">" +
                xmpTitle +
                "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>");
    return TestFiles::pdfOf(objects, "/Info 4 0 R");
}

// pdf with an incremental update appended that gives object 4 (the document information) the
// new body info, as an editor that saves quickly does.
QByteArray withUpdatedInfo(const QByteArray& pdf, const QByteArray& info) {
    const QByteArray previous = pdf.mid(pdf.lastIndexOf("startxref") + 9).trimmed().split('\n')[0];
    const qsizetype object = pdf.size();
    QByteArray update = "4 0 obj\n" + info + "\nendobj\n";
    const qsizetype table = object + update.size();
    update += "xref\n4 1\n" + QByteArray::number(object).rightJustified(10, '0') +
              " 00000 n \ntrailer\n<< /Size 5 /Root 1 0 R /Info 4 0 R /Prev " + previous +
              " >>\nstartxref\n" + QByteArray::number(table) + "\n%%EOF\n";
    return pdf + update;
}
} // namespace

// The command line end to end: the real program, the real toolkit, copies of real files, and
// other readers to check what it did.
class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

private slots:
    void initTestCase() {
        TestFiles::isolateHome(home_.path());
        if (Toolkit::path().isEmpty())
            QSKIP("pdftk is not installed");
    }

    void usageErrorsTouchNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("neither --out nor --in-place") << QStringList{"set", "--title", "x"};
        QTest::newRow("both") << QStringList{"set", "--title", "x", "--in-place", "--out", "."};
        QTest::newRow("unknown option") << QStringList{"set", "--titel", "x", "--in-place"};
        QTest::newRow("not a date") << QStringList{"set", "--mod-date", "soon", "--in-place"};
        QTest::newRow("nothing to change") << QStringList{"set", "--in-place"};
        QTest::newRow("two titles")
            << QStringList{"set", "--title", "x", "--title-from-filename", "--in-place"};
        QTest::newRow("missing results folder")
            << QStringList{"set", "--title", "x", "--out", "/nonexistent/folder"};
        QTest::newRow("field option to show") << QStringList{"show", "--title", "x"};
        QTest::newRow("key with a space")
            << QStringList{"set", "--info", "Two words=x", "--in-place"};
        QTest::newRow("key with a delimiter")
            << QStringList{"set", "--info", "a/b=x", "--in-place"};
        QTest::newRow("empty key") << QStringList{"set", "--info", "=x", "--in-place"};
        QTest::newRow("key without a value") << QStringList{"set", "--info", "Dept", "--in-place"};
        QTest::newRow("key not ASCII") << QStringList{"set", "--info", "Schlüssel=x", "--in-place"};
        QTest::newRow("Trapped not True, False or Unknown")
            << QStringList{"set", "--info", "Trapped=yes", "--in-place"};
        QTest::newRow("date key not a date")
            << QStringList{"set", "--info", "ModDate=soon", "--in-place"};
        QTest::newRow("removed key with a delimiter")
            << QStringList{"set", "--remove", "a(b", "--in-place"};
        QTest::newRow("field set and removed")
            << QStringList{"set", "--info", "Title=x", "--remove", "title", "--in-place"};
        QTest::newRow("key set twice")
            << QStringList{"set", "--author", "x", "--info", "Author=y", "--in-place"};
        QTest::newRow("field option to strip")
            << QStringList{"strip", "--title", "x", "--in-place"};
        QTest::newRow("unknown field to keep")
            << QStringList{"strip", "--keep", "company", "--in-place"};
        QTest::newRow("keep option to set")
            << QStringList{"set", "--title", "x", "--keep", "title", "--in-place"};
        QTest::newRow("strip without destination") << QStringList{"strip", "--keep", "title"};
        QTest::newRow("table beside files")
            << QStringList{"set", "--csv", "/dev/null", "--in-place"};
        QTest::newRow("table to strip") << QStringList{"strip", "--csv", "/dev/null", "--in-place"};
        QTest::newRow("copyright to strip")
            << QStringList{"strip", "--copyright", "x", "--in-place"};
        QTest::newRow("show as JSON and table") << QStringList{"show", "--json", "--csv"};
        QTest::newRow("language not a tag")
            << QStringList{"set", "--lang", "english", "--in-place"};
        QTest::newRow("language set and removed")
            << QStringList{"set", "--lang", "de", "--remove", "lang", "--in-place"};
        QTest::newRow("check as JSON and table") << QStringList{"check", "--json", "--csv"};
        QTest::newRow("check: unknown kind") << QStringList{"check", "--ignore", "no-titel"};
        QTest::newRow("field option to check") << QStringList{"check", "--title", "x"};
        QTest::newRow("unknown placeholder")
            << QStringList{"set", "--template", "title={two words}", "--in-place"};
        QTest::newRow("unclosed brace")
            << QStringList{"set", "--template", "title={name", "--in-place"};
        QTest::newRow("lone closing brace")
            << QStringList{"set", "--template", "title=name}", "--in-place"};
        QTest::newRow("template and title")
            << QStringList{"set", "--template", "title={name}", "--title", "x", "--in-place"};
        QTest::newRow("pattern taking the name")
            << QStringList{"set", "--name-pattern", "{name} - {Title}", "--in-place"};
        QTest::newRow("pattern and author")
            << QStringList{"set", "--name-pattern", "{Author}", "--author", "x", "--in-place"};
        QTest::newRow("fields without a source")
            << QStringList{"set", "--fields", "title", "--in-place"};
        QTest::newRow("missing source")
            << QStringList{"set", "--from", "/nonexistent.pdf", "--in-place"};
        QTest::newRow("source not a PDF")
            << QStringList{"set", "--from", "/etc/passwd", "--in-place"};
        QTest::newRow("missing source folder")
            << QStringList{"set", "--from-folder", "/nonexistent", "--in-place"};
        QTest::newRow("only empty, nothing to change")
            << QStringList{"set", "--only-empty", "--in-place"};
        QTest::newRow("rename without a template") << QStringList{"rename"};
        QTest::newRow("rename, unknown placeholder") << QStringList{"rename", "--to", "{a b}"};
        QTest::newRow("rename into a folder") << QStringList{"rename", "--to", "x/{Title}"};
        QTest::newRow("rename, set's option") << QStringList{"rename", "--title", "x"};
    }
    void usageErrorsTouchNothing() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        const Ran ran = metascribe(arguments << file);
        QCOMPARE(ran.status, 2);
        QVERIFY(ran.out.isEmpty());
        QCOMPARE(ran.err.count('\n'), 2);
        QVERIFY(ran.err.contains("Try 'metascribe --help'"));
        QCOMPARE(TestFiles::bytes(file), before);
        // The message names the option at fault: the last of them, where they disagree.
        for (const char* option : {"--remove", "--info", "--template", "--name-pattern", "--fields",
                                   "--from-folder", "--from", "--to"}) {
            if (arguments.contains(option)) {
                QVERIFY2(ran.err.contains(QByteArray(option) + ": "), ran.err.constData());
                break;
            }
        }
    }

    // A folder tree in place, a missing path, a damaged and a protected file: every file gets
    // one JSON line, the good ones are changed (the protected one with the password from
    // standard input, and protected still), and the status says that not all were.
    void setOverAFolderWithJsonLines() {
        QTemporaryDir dir;
        const QString tree = dir.path() + "/tree";
        QDir().mkpath(tree + "/sub");
        const QString plain = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", tree);
        const QString upper = TestFiles::copyCorpusFile("habibi.pdf", tree + "/sub", "Upper.PDF");
        const QString locked = TestFiles::copyCorpusFile("libreoffice-writer-password.pdf", tree);
        const QString damaged =
            TestFiles::write(tree + "/damaged.pdf", TestFiles::bytes(plain).left(3000));
        TestFiles::write(tree + "/notes.txt", "not a PDF");

        const Ran ran = metascribe({"set", "--author", "Ünïcode & <Co>", "--in-place", "--json",
                                    "--password-stdin", tree, dir.path() + "/gone.pdf"},
                                   "openpassword\n");
        QCOMPARE(ran.status, 1);
        const QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 5);
        QMap<QString, QJsonObject> byPath;
        for (const QJsonObject& line : lines)
            byPath.insert(line["path"].toString(), line);
        QCOMPARE(byPath[dir.path() + "/gone.pdf"]["outcome"].toString(), "failed");
        QCOMPARE(byPath[damaged]["outcome"].toString(), "failed");
        QVERIFY(!byPath[damaged]["reason"].toString().isEmpty());
        for (const QString& changed : {plain, upper, locked}) {
            QCOMPARE(byPath[changed]["outcome"].toString(), "changed");
            QCOMPARE(byPath[changed]["destination"].toString(), changed);
            QVERIFY(byPath[changed]["reason"].isNull());
        }
        // Named on standard error too, beside the JSON lines.
        for (const QString& failed : {damaged, dir.path() + "/gone.pdf"})
            QVERIFY2(ran.err.contains((failed + ": not changed: ").toUtf8()), ran.err.constData());
        QCOMPARE(TestFiles::pdfInfo(upper).value("Author"), "Ünïcode & <Co>");
        QCOMPARE(TestFiles::pdfInfo(locked, "openpassword").value("Author"), "Ünïcode & <Co>");
        QVERIFY(TestFiles::pdfInfo(locked).isEmpty());
    }

    // A script's files keep their modes: a read-only file is read, never made writable, and
    // not replaced in place.
    void readOnlyFilesStayAsTheyAre() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        const QByteArray before = TestFiles::bytes(file);
        QDir().mkpath(dir.path() + "/out");
        Ran ran = metascribe({"set", "--title", "T", "--out", dir.path() + "/out", file});
        QCOMPARE(ran.status, 0);
        QCOMPARE(TestFiles::pdfInfo(dir.path() + "/out/habibi.pdf").value("Title"), "T");
        ran = metascribe({"set", "--title", "T", "--in-place", file});
        QCOMPARE(ran.status, 1);
        QVERIFY(ran.err.contains("read-only"));
        QCOMPARE(QFileInfo(file).permissions() & QFile::WriteOwner, 0);
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // Killed while the toolkit works on protected files, a run leaves nothing that opens
    // without their password: not beside them, not in the private folder. The toolkit here
    // is the real one that then waits, so the kill comes after it has written its result.
    void killedRunLeavesNothingReadable() {
        if (!TestFiles::haveProgram("qpdf"))
            QSKIP("qpdf is not installed");
        QTemporaryDir dir;
        QTemporaryDir tools;
        const QString plain = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", tools.path());
        QStringList files;
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            files << TestPrograms::encrypted(plain, dir.filePath(name), {"user", "owner", "256"});
        QVERIFY(!files.contains(QString()));
        const QString written = tools.filePath("written");
        TestFiles::writeScript(tools.filePath("pdftk"), "'" + Toolkit::path() +
                                                            "' \"$@\" || exit\n: > '" + written +
                                                            "'\nexec sleep 60");

        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", tools.path() + ":" + environment.value("PATH"));
        environment.insert("QT_QPA_PLATFORM", "none-such");
        run.setProcessEnvironment(environment);
        run.start(QCoreApplication::applicationDirPath() + "/metascribe",
                  {"set", "--title", "Never", "--in-place", "--password-stdin", dir.path()});
        run.write("user\n");
        run.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(written), 120000);
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        QVERIFY(run.waitForFinished(60000));

        QStringList left;
        for (const QString& folder : {dir.path(), PrivateTempFolder::path()})
            for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
                left << folder + "/" + name;
        QVERIFY(left.size() >= files.size());
        for (const QString& path : left)
            QVERIFY2(!opensWithoutPassword(path), qPrintable(path));
        for (const QString& file : files)
            QCOMPARE(TestFiles::pdfInfo(file, "user").value("Pages"), "4");
    }

    // What is not a plain file with a plain name, named or found in a folder, is read by no one
    // (a FIFO or a device would hang the run) and listed as not changed with the reason; the
    // rest of the folder is changed.
    void inputsThatAreNotPlainFiles_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("named");    // the reason when named on the command line
        QTest::addColumn<QString>("inFolder"); // the reason when found in a folder
        const QString special = "it is not a regular file";
        const QString notUtf8 = "its name is not valid UTF-8";
        QTest::newRow("FIFO") << QByteArray("fifo") << QByteArray("pipe.pdf") << special << special;
        QTest::newRow("link to /dev/zero")
            << QByteArray("device") << QByteArray("zero.pdf") << special << special;
        QTest::newRow("link to nothing") << QByteArray("dangling") << QByteArray("gone.pdf")
                                         << "it cannot be opened: No such file or directory"
                                         << "it is a link to a file that does not exist";
        QTest::newRow("file name not UTF-8")
            << QByteArray("file") << QByteArray("caf\xe9.pdf") << notUtf8 << notUtf8;
        QTest::newRow("folder name not UTF-8")
            << QByteArray("folder") << QByteArray("caf\xe9") << notUtf8
            << notUtf8 + ", so the files in it were not looked at";
    }
    void inputsThatAreNotPlainFiles() {
        QFETCH(QByteArray, kind);
        QFETCH(QByteArray, name);
        QFETCH(QString, named);
        QFETCH(QString, inFolder);
        QTemporaryDir dir;
        // A name that is not UTF-8 cannot be removed through a QString.
        const auto removeByBytes = qScopeGuard([&] {
            QProcess::execute("rm", {"-rf", dir.path()});
        });
        const QString tree = dir.path() + "/tree";
        QDir().mkpath(tree);
        const QByteArray entry = QFile::encodeName(tree) + "/" + name;
        QVERIFY(make(kind, entry));
        // What the name reads as, a replacement character for each byte that is not UTF-8.
        const QString shown = tree + "/" + QString::fromUtf8(name) + (kind == "folder" ? "/" : "");
        // A file that has that name itself, which a run given the other must not take for it.
        const QString lookalike = tree + "/" + QString::fromUtf8(name);
        const bool withLookalike = kind == "file";
        if (withLookalike)
            TestFiles::copyCorpusFile("habibi.pdf", tree, QFileInfo(lookalike).fileName());
        const QByteArray lookalikeBefore = withLookalike ? TestFiles::bytes(lookalike) : "";
        // Only a file is read back: reading a FIFO or a device would not end.
        const QByteArray before = kind == "file" ? contentOf(entry) : "";

        Ran ran =
            metascribeWithBytes({"set", "--title", "T", "--in-place", "--json", entry}, 60000);
        QCOMPARE(ran.status, 1);
        QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0]["outcome"].toString(), "failed");
        QCOMPARE(lines[0]["reason"].toString(), named);
        QCOMPARE(ran.err.count('\n'), 1);
        QVERIFY2(ran.err.contains(": not changed: " + named.toUtf8()), ran.err.constData());
        if (withLookalike) {
            QCOMPARE(lines[0]["path"].toString(), shown);
            QCOMPARE(TestFiles::bytes(lookalike), lookalikeBefore);
            QFile::remove(lookalike);
        }

        const QString good = TestFiles::copyCorpusFile("minimal-document.pdf", tree);
        ran = metascribe({"set", "--title", "T", "--in-place", "--json", tree}, {}, 60000);
        QCOMPARE(ran.status, 1);
        lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 2);
        QMap<QString, QJsonObject> byPath;
        for (const QJsonObject& line : lines)
            byPath.insert(line["path"].toString(), line);
        QCOMPARE(byPath[shown]["outcome"].toString(), "failed");
        QCOMPARE(byPath[shown]["reason"].toString(), inFolder);
        QCOMPARE(byPath[good]["outcome"].toString(), "changed");
        QVERIFY2(ran.err.contains((shown + ": not changed: " + inFolder).toUtf8()),
                 ran.err.constData());
        if (kind == "file")
            QCOMPARE(contentOf(entry), before);
        QCOMPARE(TestFiles::pdfInfo(good).value("Title"), "T");
    }

    // In a folder whose name is not UTF-8, a relative name cannot be made a path: it is refused
    // with the reason rather than read as another file's or none, by every command that takes
    // files and folders.
    void relativeNameInAFolderNamedNotUtf8_data() {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::newRow("set") << QList<QByteArray>{"set", "--title", "T", "--in-place", "--json"};
        QTest::newRow("show --csv") << QList<QByteArray>{"show", "--csv"};
    }
    void relativeNameInAFolderNamedNotUtf8() {
        QFETCH(QList<QByteArray>, arguments);
        QTemporaryDir dir;
        const auto removeByBytes = qScopeGuard([&] {
            QProcess::execute("rm", {"-rf", dir.path()});
        });
        const QByteArray folder = QFile::encodeName(dir.path()) + "/caf\xe9";
        QVERIFY(make("folder", folder));
        const QByteArray before = contentOf(folder + "/inside.pdf");
        const Ran ran = metascribeWithBytes(arguments << "inside.pdf", 60000, folder);
        QCOMPARE(ran.status, 1);
        const char* const reason = "the current folder's name is not valid UTF-8";
        QVERIFY2(ran.err.contains(reason), ran.err.constData());
        if (arguments.contains("--json")) {
            const QList<QJsonObject> lines = jsonLines(ran.out);
            QCOMPARE(lines.size(), 1);
            QCOMPARE(lines[0]["reason"].toString(), reason);
        } else {
            // The table has its header row only.
            QCOMPARE(ran.out.count('\n'), 1);
        }
        QCOMPARE(contentOf(folder + "/inside.pdf"), before);
    }

    // A file whose XMP metadata is not well-formed is not changed, and says so in one line that
    // names it: the XMP library's own message stays off standard error.
    void everyMessageNamesItsFile() {
        QTemporaryDir dir;
        const QString plain = dir.path() + "/plain.pdf";
        QVERIFY(
            TestPrograms::run("qpdf", {"--qdf", "--object-streams=disable",
                                       TestFiles::corpusFolder() + "/crazyones-pdfa.pdf", plain}));
        QByteArray bytes = TestFiles::bytes(plain);
        QVERIFY(bytes.contains("</rdf:RDF>"));
        const QString broken =
            TestFiles::write(dir.path() + "/broken.pdf", bytes.replace("</rdf:RDF>", "</rdf:RDX>"));
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", broken});
        QCOMPARE(ran.status, 1);
        const QList<QByteArray> lines = ran.err.trimmed().split('\n');
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith(("metascribe: " + broken + ": not changed: ").toUtf8()),
                 ran.err.constData());
    }

    // A link at a destination in a results folder may point anywhere, into another user's
    // files too: it is never written through, and the file is listed with the link's name.
    void linkInTheResultsFolderIsNotWrittenThrough() {
        QTemporaryDir dir;
        for (const char* folder : {"in", "out", "elsewhere"})
            QDir().mkpath(dir.path() + "/" + folder);
        const QString input =
            TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path() + "/in", "report.pdf");
        const QString thesis =
            TestFiles::copyCorpusFile("habibi.pdf", dir.path() + "/elsewhere", "thesis.pdf");
        const QString link = dir.path() + "/out/report.pdf";
        QVERIFY(QFile::link("../elsewhere/thesis.pdf", link));
        const QByteArray before = TestFiles::bytes(thesis);
        const Ran ran = metascribe({"set", "--title", "NEW", "--out", dir.path() + "/out", input});
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains(QFile::encodeName(link) + " is a symbolic link"), ran.err);
        QCOMPARE(TestFiles::bytes(thesis), before);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QDir(dir.path() + "/out").entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"report.pdf"});
        // In place, a link is the file itself: its target is changed and it stays a link.
        const QString inPlace = dir.path() + "/in/link.pdf";
        QVERIFY(QFile::link("report.pdf", inPlace));
        QCOMPARE(metascribe({"set", "--title", "NEW", "--in-place", inPlace}).status, 0);
        QVERIFY(QFileInfo(inPlace).isSymLink());
        QCOMPARE(TestFiles::pdfInfo(input).value("Title"), "NEW");
    }

    // A program appending to a file while it is changed in place keeps what it wrote: the file
    // is not replaced, and the reason says why.
    void fileBeingWrittenIsNotReplaced() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        QFile writer(file);
        QVERIFY(writer.open(QIODevice::Append));
        QCOMPARE(writer.write("% first\n"), 8);
        QVERIFY(writer.flush());
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", "--json", file});
        QCOMPARE(ran.status, 1);
        QCOMPARE(jsonLines(ran.out).value(0)["reason"].toString(),
                 "it was being written by another program");
        QCOMPARE(writer.write("% second\n"), 9);
        writer.close();
        QCOMPARE(TestFiles::bytes(file), before + "% first\n% second\n");
    }

    // A file no reader gets past is listed in plain words; the reader's own go into "detail".
    void damagedFileIsExplained() {
        QTemporaryDir dir;
        const QByteArray whole =
            TestFiles::bytes(TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf");
        const QString file = TestFiles::write(dir.path() + "/cut.pdf", whole.left(2000));
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", "--json", file});
        QCOMPARE(ran.status, 1);
        const QJsonObject line = jsonLines(ran.out).value(0);
        QCOMPARE(line["reason"].toString(), "it is damaged and could not be repaired (no trailer)");
        QVERIFY2(line["detail"].toString().contains("trailer dictionary"),
                 qPrintable(line["detail"].toString()));
        QVERIFY(!ran.err.contains(line["detail"].toString().toUtf8()));
    }

    // A damaged file whose repair would lose pages, bookmarks or page labels that a viewer still
    // shows is refused, and stays as it was; by set as by strip. Where qpdf's own reading already
    // shows the damage, its reason stays the one given.
    void viewersShowWhatARepairWouldLose_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("reason");
        const QString fourPages = "repairing it would lose 4 pages that other readers show";
        QTest::newRow("catalog names a missing page tree, set") << "pages-object-missing"
                                                                << "set" << fourPages;
        QTest::newRow("catalog names a missing page tree, strip") << "pages-object-missing"
                                                                  << "strip" << fourPages;
        QTest::newRow("no kids, count 3, set")
            << "kids-empty"
            << "set"
            << "its page tree is damaged: it counts 3, of which 0 can be read as pages";
        QTest::newRow("no kids, count 3, strip") << "kids-empty"
                                                 << "strip" << fourPages;
        QTest::newRow("linearized, page tree damaged, set") << "linearized-tree-damaged"
                                                            << "set" << fourPages;
        QTest::newRow("linearized, page tree damaged, strip") << "linearized-tree-damaged"
                                                              << "strip" << fourPages;
        QTest::newRow("AES-256, one byte flipped, set") << "aes-byte-flipped"
                                                        << "set" << fourPages;
        QTest::newRow("older catalog without bookmarks, set")
            << "bookmarks-older-catalog"
            << "set"
            << "repairing it would lose its 11 bookmarks that other readers show";
        QTest::newRow("older catalog without bookmarks, strip")
            << "bookmarks-older-catalog"
            << "strip"
            << "repairing it would lose its 11 bookmarks that other readers show";
        QTest::newRow("older catalog without page labels, set")
            << "labels-older-catalog"
            << "set"
            << "repairing it would lose its page labels that other readers show";
        QTest::newRow("corpus file") << ""
                                     << "set"
                                     << "";
    }
    void viewersShowWhatARepairWouldLose() {
        QFETCH(QString, kind);
        QFETCH(QString, command);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QByteArray bytes =
            kind.isEmpty() ? TestFiles::bytes(TestFiles::corpusFolder() + "/pdflatex-4-pages.pdf")
                           : damagedForViewers(kind);
        QVERIFY(!bytes.isEmpty());
        const QString file = TestFiles::write(dir.path() + "/damaged.pdf", bytes);
        const QString password = kind.startsWith("aes") ? "u" : "";
        // The damage is what the row says: a viewer shows more than qpdf reads.
        const auto [viewerPages, viewerText] = viewerPagesAndText(file, password);
        if (kind == "pages-object-missing" || kind == "kids-empty")
            QCOMPARE(bytes.count("  /Type /Page\n"), 4); // the page objects, which no tree reaches
        else
            QVERIFY(viewerPages >= 3 && viewerText > 0);
        if (kind.contains("catalog")) {
            QCOMPARE(qpdfBookmarks(file), 0);
        } else if (!kind.isEmpty()) {
            QCOMPARE(qpdfPages(file, password), 0);
        }

        QStringList arguments{command};
        if (command == "set")
            arguments << "--title"
                      << "Kept";
        if (!password.isEmpty())
            arguments << "--password-stdin";
        const Ran ran = metascribe(arguments << "--in-place"
                                             << "--json" << file,
                                   password.toUtf8() + "\n");
        const QJsonObject line = jsonLines(ran.out).value(0);
        QCOMPARE(line["reason"].toString(), reason);
        QCOMPARE(ran.status, reason.isEmpty() ? 0 : 1);
        if (reason.isEmpty()) {
            QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "Kept");
            QCOMPARE(viewerPagesAndText(file), std::pair(viewerPages, viewerText));
        } else {
            QCOMPARE(TestFiles::bytes(file), bytes);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), {"damaged.pdf"});
        // The viewer's complaints about the file are not the command line's.
        for (const QByteArray& message : ran.err.split('\n'))
            QVERIFY2(message.isEmpty() || message.startsWith("metascribe: "), ran.err.constData());
    }

    // A file with other names is changed under the name given; the others keep the old
    // content, and the outcome says so.
    void hardLinkIsNoted() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QString other = dir.path() + "/other.pdf";
        QVERIFY(::link(QFile::encodeName(file).constData(), QFile::encodeName(other).constData()) ==
                0);
        Ran ran = metascribe({"set", "--title", "T", "--in-place", "--json", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject line = jsonLines(ran.out).value(0);
        QCOMPARE(line["outcome"].toString(), "changed");
        QCOMPARE(line["note"].toString(),
                 "it has another name (a hard link), which keeps the old content");
        QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "T");
        QCOMPARE(TestFiles::pdfInfo(other).value("Title"), "habibi");
        QVERIFY(::link(QFile::encodeName(other).constData(),
                       QFile::encodeName(dir.path() + "/third.pdf").constData()) == 0);
        ran = metascribe({"set", "--title", "U", "--in-place", other});
        QCOMPARE(ran.status, 0);
        QVERIFY(ran.err.contains(": changed, but it has another name"));
    }

    // A result keeps its original's times to the nanosecond, in place and beside it, changed or
    // stripped, also in a run that keeps the originals in the Trash; without the option it has
    // its own.
    void keepFileTime_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("kept");
        QTest::newRow("set in place, trash")
            << QStringList{"set", "--title", "T", "--keep-file-time", "--trash"} << true;
        QTest::newRow("set to a folder")
            << QStringList{"set", "--title", "T", "--keep-file-time", "--out"} << true;
        QTest::newRow("strip in place") << QStringList{"strip", "--keep-file-time"} << true;
        QTest::newRow("set in place, times not kept")
            << QStringList{"set", "--title", "T"} << false;
    }
    void keepFileTime() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        QTemporaryDir results;
        // A name of its own in the Trash, which the test of undo looks for with the file's name.
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path(), "times.pdf");
        const struct timespec times[2] = {{1000000000, 123}, {1100000000, 456}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0);
        if (arguments.last() == "--out")
            arguments << results.path();
        else
            arguments << "--in-place";
        const Ran ran = metascribe(arguments << file);
        QVERIFY2(ran.status == 0, ran.err.constData());
        const QString result = arguments.contains("--out") ? results.path() + "/times.pdf" : file;
        // Looked at before anything reads the result, which may move its access time.
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(result).constData(), &info) == 0);
        QCOMPARE(info.st_mtim.tv_sec == 1100000000 && info.st_mtim.tv_nsec == 456, kept);
        QCOMPARE(info.st_atim.tv_sec == 1000000000 && info.st_atim.tv_nsec == 123, kept);
        QVERIFY(TestFiles::bytes(result) !=
                TestFiles::bytes(TestFiles::corpusFolder() + "/habibi.pdf"));
    }

    // Values worked out for each file from its name, folder, fields and time, or copied from
    // another file, read back by another reader; a file they cannot be worked out for is listed
    // with the reason and keeps every byte. The file is "Smith - Annual Report.pdf" (habibi.pdf,
    // titled habibi) in the folder Reports, modified on 9 September 2001; %source% is
    // minimal-document.pdf (creator TeX), %folder% a folder with a copy of it under the file's
    // name.
    void valuesFromTheFile_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Values>("expected");
        QTest::addColumn<QString>("reason");
        QTest::newRow("name, folder, a key, braces; a literal title stays")
            << QStringList{"--template", "subject={folder}: {Title}",
                           "--template", "keywords={name} {{1}}",
                           "--title",    "{name}"}
            << Values{{"Subject", "Reports: habibi"},
                      {"Keywords", "Smith - Annual Report {1}"},
                      {"Title", "{name}"}}
            << "";
        QTest::newRow("file date in a text and a date field")
            << QStringList{"--template", "subject={file-date}", "--template",
                           "creation-date={file-date}"}
            << Values{{"Subject", "2001-09-09"}, {"CreationDate", "2001-09-09T"}} << "";
        QTest::newRow("name pattern")
            << QStringList{"--name-pattern", "{Author} - {Title}"}
            << Values{{"Author", "Smith"}, {"Title", "Annual Report"}} << "";
        QTest::newRow("name pattern that does not match")
            << QStringList{"--name-pattern", "{Author} / {Title}"} << Values{}
            << "its name does not match the pattern";
        QTest::newRow("only empty fields")
            << QStringList{"--only-empty", "--title", "New", "--author", "Ann"}
            << Values{{"Title", "habibi"}, {"Author", "Ann"}} << "";
        QTest::newRow("from a file, a field set explicitly wins")
            << QStringList{"--from", "%source%", "--producer", "Mine"}
            << Values{{"Creator", "TeX"}, {"Producer", "Mine"}, {"Title", "habibi"}} << "";
        QTest::newRow("from a file, some fields")
            << QStringList{"--from", "%source%", "--fields", "creator"}
            << Values{{"Creator", "TeX"}, {"Producer", "WeasyPrint 54.1"}} << "";
        QTest::newRow("from a folder")
            << QStringList{"--from-folder", "%folder%"}
            << Values{{"Creator", "TeX"}, {"Producer", "pdfTeX-1.40.23"}} << "";
        QTest::newRow("from a folder without the file")
            << QStringList{"--from-folder", "%empty%"} << Values{}
            << "no file of that name in %empty%";
        QTest::newRow("dry run") << QStringList{"--template", "subject={folder}", "--dry-run"}
                                 << Values{{"Subject", "Reports"}} << "";
        QTest::newRow("to a folder, originals in the Trash")
            << QStringList{"--template", "author={Title}", "--trash", "--out", "%empty%"}
            << Values{{"Author", "habibi"}} << "";
    }
    void valuesFromTheFile() {
        QFETCH(QStringList, arguments);
        QFETCH(Values, expected);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("Reports") && QDir(dir.path()).mkpath("sources") &&
                QDir(dir.path()).mkpath("empty"));
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path() + "/Reports",
                                                       "Smith - Annual Report.pdf");
        TestFiles::copyCorpusFile("minimal-document.pdf", dir.path() + "/sources",
                                  "Smith - Annual Report.pdf");
        const struct timespec times[2] = {{1000036800, 0}, {1000036800, 0}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0) == 0);
        const QByteArray before = TestFiles::bytes(file);
        for (QString& argument : arguments) {
            argument.replace("%source%", TestFiles::corpusFolder() + "/minimal-document.pdf");
            argument.replace("%folder%", dir.path() + "/sources");
            argument.replace("%empty%", dir.path() + "/empty");
        }
        reason.replace("%empty%", dir.path() + "/empty");
        if (!arguments.contains("--out"))
            arguments << "--in-place";
        const Ran ran = metascribe(QStringList{"set", "--json"} << arguments << file);
        const QJsonObject line = jsonLines(ran.out).value(0);
        if (!reason.isEmpty()) {
            QCOMPARE(ran.status, 1);
            QCOMPARE(line["reason"].toString(), reason);
            QCOMPARE(TestFiles::bytes(file), before);
            return;
        }
        QVERIFY2(ran.status == 0, ran.err.constData());
        if (arguments.contains("--dry-run")) {
            for (auto value = expected.cbegin(); value != expected.cend(); ++value)
                QCOMPARE(line["fields"][value.key()]["new"].toString(), value.value());
            QCOMPARE(TestFiles::bytes(file), before);
            return;
        }
        const QString result = line["destination"].toString();
        QByteArray out;
        QVERIFY(TestPrograms::run("pdfinfo", {"-isodates", "-enc", "UTF-8", result}, &out));
        for (auto value = expected.cbegin(); value != expected.cend(); ++value) {
            const QRegularExpression field("^" + value.key() + ": *(.*)$",
                                           QRegularExpression::MultilineOption);
            const QString read = field.match(QString::fromUtf8(out)).captured(1);
            QVERIFY2(value.key() == "CreationDate" ? read.startsWith(value.value())
                                                   : read == value.value(),
                     qPrintable(value.key() + ": " + read));
        }
    }

    // Files renamed from their fields, given one by one: a slash in a value, a name taken on
    // the disk and one taken by an earlier file of the run, a missing field, a name too long, a
    // file that has its name already, a field of blanks. Nothing is replaced, no content changes,
    // and undo gives every name back.
    void renameFromFields() {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/";
        const auto made = [&](const QString& name, const QStringList& fields) {
            const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path(), name);
            if (!fields.isEmpty())
                metascribe(QStringList{"set", "--in-place"} << fields << file);
            return file;
        };
        const QString taken = TestFiles::write(folder + "Smith - Annual_Report.pdf", "keep me");
        const QStringList files{
            made("one.pdf", {"--author", "Smith", "--title", "Annual/Report"}),
            made("two.pdf", {"--author", "Smith", "--title", "Annual/Report"}),
            made("three.pdf", {}),
            made("four.pdf", {"--author", QString(300, QChar(0xe9)), "--title", "T"}),
            made("Lee - Memo.pdf", {"--author", " Lee", "--title", "Memo. "}),
            made("five.pdf", {"--author", " ", "--title", "T"})};
        QMap<QString, QByteArray> contents;
        for (const QString& file : files)
            contents.insert(file, TestFiles::bytes(file));

        const QStringList rename{"rename", "--to", "{Author} - {Title}", "--json"};
        Ran ran = metascribe(QStringList(rename) << "--dry-run" << files);
        QCOMPARE(ran.status, 1);
        for (const QString& file : files)
            QVERIFY(QFileInfo::exists(file));
        const QList<QJsonObject> planned = jsonLines(ran.out);

        ran = metascribe(QStringList(rename) << files);
        QCOMPARE(ran.status, 1);
        const QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), files.size());
        QStringList outcomes;
        for (int at = 0; at < lines.size(); ++at) {
            outcomes << lines[at]["outcome"].toString();
            QCOMPARE(lines[at]["destination"], planned[at]["destination"]);
        }
        QCOMPARE(outcomes,
                 (QStringList{"changed", "changed", "failed", "changed", "unchanged", "failed"}));
        QCOMPARE(lines[0]["destination"].toString(), folder + "Smith - Annual_Report (2).pdf");
        QCOMPARE(lines[1]["destination"].toString(), folder + "Smith - Annual_Report (3).pdf");
        QCOMPARE(lines[2]["reason"].toString(), "it has no Author for the new name");
        QCOMPARE(lines[5]["reason"].toString(), "it has no Author for the new name");
        const QString longName = QFileInfo(lines[3]["destination"].toString()).fileName();
        QVERIFY(longName.endsWith(" - T.pdf") || longName.endsWith(QChar(0xe9) + QString(".pdf")));
        QVERIFY(longName.toUtf8().size() <= 255 && longName.toUtf8().size() > 250);
        QCOMPARE(TestFiles::bytes(taken), QByteArray("keep me"));
        for (int at = 0; at < files.size(); ++at) {
            const QString now = lines[at]["destination"].toString();
            QCOMPARE(TestFiles::bytes(now.isEmpty() ? files[at] : now), contents[files[at]]);
        }

        ran = metascribe({"undo"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), contents[file]);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), files.size() + 1);
    }

    // A rename run killed after its journal's lines were written and before all its renames
    // came, the last line cut short: undo gives back the names that changed and passes over
    // the files that never left theirs.
    void killedRenameRunIsUndone() {
        QTemporaryDir dir;
        QStringList files;
        for (const char* name : {"a.pdf", "b.pdf"})
            files << TestFiles::copyCorpusFile("habibi.pdf", dir.path(), name);
        Ran ran = metascribe(QStringList{"rename", "--to", "{Title} {name}", "--json"} << files);
        QVERIFY2(ran.status == 0, ran.err.constData());
        const QList<QJsonObject> lines = jsonLines(ran.out);
        QCOMPARE(lines.size(), 2);
        const QString renamed = lines[0]["destination"].toString();
        QCOMPARE(renamed, dir.path() + "/habibi a.pdf");
        // The second rename never came, and a third line was being written.
        QVERIFY(::rename(QFile::encodeName(lines[1]["destination"].toString()).constData(),
                         QFile::encodeName(files[1]).constData()) == 0);
        const QDir journals(home_.path() + "/state/metascribe");
        const QString journal = journals.filePath(journals.entryList(QDir::Files).last());
        QFile cut(journal);
        QVERIFY(cut.open(QIODevice::Append) && cut.write("{\"path\":\"/tmp/x") > 0);
        cut.close();

        ran = metascribe({"undo", "--json"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        QCOMPARE(jsonLines(ran.out).size(), 2);
        QVERIFY(QFileInfo::exists(files[0]) && QFileInfo::exists(files[1]));
        QVERIFY(!QFileInfo::exists(renamed));
    }

    // Run by root in place, another user's file keeps its owner, group, access list and
    // extended attributes, so that user and the colleague the list names can still read it.
    void ownerAccessListAndAttributesKept() {
        if (::geteuid() != 0)
            QSKIP("changing another user's file needs root");
        if (!TestFiles::haveProgram("setfacl") || !TestFiles::haveProgram("getfattr"))
            QSKIP("setfacl and getfattr (Debian's acl and attr) are not installed");
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("pdflatex-4-pages.pdf", dir.path());
        QVERIFY(::chown(QFile::encodeName(file).constData(), 65534, 65534) == 0);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
        QCOMPARE(QProcess::execute("setfacl", {"-m", "u:4323:r", file}), 0);
        QCOMPARE(QProcess::execute("setfattr", {"-n", "user.matter", "-v", "Smith v Jones", file}),
                 0);
        QByteArray listBefore;
        QVERIFY(TestPrograms::run("getfacl", {"--omit-header", "--numeric", file}, &listBefore));
        const Ran ran = metascribe({"set", "--author", "Counsel", "--in-place", file});
        QVERIFY2(ran.status == 0, ran.err);
        QCOMPARE(TestFiles::pdfInfo(file).value("Author"), "Counsel");
        QCOMPARE(QFileInfo(file).ownerId(), 65534u);
        QCOMPARE(QFileInfo(file).groupId(), 65534u);
        QByteArray listAfter;
        QVERIFY(TestPrograms::run("getfacl", {"--omit-header", "--numeric", file}, &listAfter));
        QCOMPARE(listAfter, listBefore);
        QByteArray value;
        QVERIFY(
            TestPrograms::run("getfattr", {"--only-values", "-n", "user.matter", file}, &value));
        QCOMPARE(value, QByteArray("Smith v Jones"));
    }

    // An ordinary user with a folder of their own and someone else's files in it: a file they
    // may not write is reported, not replaced, and one they may write but cannot give back to
    // its owner is not replaced either. Both stay byte for byte, and the owner's.
    void anotherUsersFilesAreNotTaken() {
        if (::geteuid() != 0)
            QSKIP("making files of another user needs root");
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        OtherUser nobody;
        nobody.home = dir.path() + "/home";
        const QString shared = dir.path() + "/shared";
        for (const QString& folder : {nobody.home, shared}) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(::chown(QFile::encodeName(folder).constData(), nobody.uid, nobody.gid) == 0);
        }
        const QString readOnly = TestFiles::copyCorpusFile("habibi.pdf", shared, "theirs.pdf");
        const QString open = TestFiles::copyCorpusFile("habibi.pdf", shared, "open.pdf");
        QVERIFY(::chmod(QFile::encodeName(open).constData(), 0666) == 0);
        const QByteArray before = TestFiles::bytes(open);
        const Ran ran =
            metascribeAs(nobody, {"set", "--title", "Taken", "--in-place", "--json", shared});
        QCOMPARE(ran.status, 1);
        QMap<QString, QString> reasons;
        for (const QJsonObject& line : jsonLines(ran.out))
            reasons.insert(line["path"].toString(), line["reason"].toString());
        QCOMPARE(reasons.value(readOnly), "could not write the destination: it is another "
                                          "user's file, which this user may not write");
        QCOMPARE(reasons.value(open), "could not keep the file's owner: Operation not permitted");
        for (const QString& file : {readOnly, open}) {
            QCOMPARE(TestFiles::bytes(file), before);
            QCOMPARE(QFileInfo(file).ownerId(), 0u);
        }
        QCOMPARE(QDir(shared).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // Any key set, keys removed from the document information and the XMP metadata, and the
    // copyright, on a file with XMP, one without and a protected one (which has none and stays
    // protected), read back by other readers: the values come back exactly as typed.
    void anyKeyRemovalAndCopyright() {
        if (!TestFiles::haveProgram("exiftool"))
            QSKIP("exiftool is not installed");
        QTemporaryDir dir;
        const QString plain = TestFiles::copyCorpusFile("minimal-document.pdf", dir.path());
        const QString withXmp =
            TestFiles::copyCorpusFile("output_with_metadata_pymupdf.pdf", dir.path());
        const QString locked =
            TestFiles::copyCorpusFile("libreoffice-writer-password.pdf", dir.path());
        const QString awkward = "He said \"hi\" 😀 שלום עולם <&> 'x' &amp;";
        const QString rights = "© 2024 \"Ünïcode\" <&> שלום";
        const QString url = "https://example.com/rights?a=1&b=<2>";
        const Ran ran = metascribe({"set",
                                    "--info",
                                    "Dept=" + awkward,
                                    "--info",
                                    "Trapped=True",
                                    "--title",
                                    awkward,
                                    "--remove",
                                    "PTEX.Fullbanner",
                                    "--remove",
                                    "producer",
                                    "--remove",
                                    "NotThere",
                                    "--copyright",
                                    rights,
                                    "--copyright-url",
                                    url,
                                    "--in-place",
                                    "--password-stdin",
                                    plain,
                                    withXmp,
                                    locked},
                                   "openpassword\n");
        QVERIFY2(ran.status == 0, ran.err.constData());

        QByteArray out;
        for (const QString& file : {plain, withXmp, locked}) {
            const QString password = file == locked ? "openpassword" : "";
            // pdfinfo reads the document information's text, emoji too.
            QStringList arguments{"-custom", "-enc", "UTF-8"};
            if (!password.isEmpty())
                arguments << "-upw" << password;
            QVERIFY(TestPrograms::run("pdfinfo", arguments << file, &out));
            const QString shown = QString::fromUtf8(out);
            QVERIFY2(shown.contains("Dept:            " + awkward + "\n"), qPrintable(shown));
            QVERIFY2(shown.contains("Title:           " + awkward + "\n"), qPrintable(shown));
            QVERIFY2(!shown.contains("Producer:"), qPrintable(shown));
            QVERIFY2(!shown.contains("PTEX.Fullbanner:"), qPrintable(shown));

            QStringList exifArguments{"-j", "-a", "-G1", "-charset", "UTF8"};
            if (!password.isEmpty())
                exifArguments << "-password" << password;
            QVERIFY(TestPrograms::run("exiftool", exifArguments << file, &out));
            const QJsonObject tags = QJsonDocument::fromJson(out).array().at(0).toObject();
            QCOMPARE(tags["PDF:Trapped"].toVariant().toString(), QString("true"));
            QCOMPARE(tags["XMP-dc:Rights"].toString(), rights);
            QCOMPARE(tags["XMP-xmpRights:Marked"].toVariant().toString(), QString("true"));
            QCOMPARE(tags["XMP-xmpRights:WebStatement"].toString(), url);
            QCOMPARE(tags["XMP-dc:Title"].toString(), awkward);
            QVERIFY(!tags.contains("PDF:Producer") && !tags.contains("XMP-pdf:Producer"));
            QVERIFY(!tags.contains("PDF:PTEX_Fullbanner"));
        }
        // The packet of a file that had one keeps what it held; the protected file stays so.
        QVERIFY(TestPrograms::run("exiftool", {"-j", "-G1", withXmp}, &out));
        QCOMPARE(QJsonDocument::fromJson(out).array().at(0).toObject()["XMP-dc:Creator"].toString(),
                 QString("John Doe"));
        QVERIFY(TestFiles::pdfInfo(locked).isEmpty());

        // Removing the copyright takes the mark with it; show reads what was written.
        QCOMPARE(metascribe({"set", "--copyright", "", "--in-place", withXmp}).status, 0);
        const Ran shown = metascribe({"show", "--json", plain, withXmp});
        QCOMPARE(shown.status, 0);
        const QList<QJsonObject> lines = jsonLines(shown.out);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0]["copyright"].toString(), rights);
        QCOMPARE(lines[0]["copyrightUrl"].toString(), url);
        QCOMPARE(lines[0]["fields"].toObject()["Dept"].toString(), awkward);
        QCOMPARE(lines[0]["fields"].toObject()["Trapped"].toString(), QString("True"));
        QVERIFY(lines[0]["fields"].toObject()["Producer"].isNull());
        QVERIFY(lines[1]["copyright"].isNull());
        QVERIFY(TestPrograms::run("exiftool", {"-j", "-G1", withXmp}, &out));
        QVERIFY(!QJsonDocument::fromJson(out).array().at(0).toObject().contains(
            "XMP-xmpRights:Marked"));
    }

    // With --trash every replaced file is first kept in the Trash; undo gives each file that
    // still holds the run's result its original back, and an undo of the undo the result. A file
    // changed since is left as it is and named.
    void trashAndUndo() {
        QTemporaryDir dir;
        QStringList files;
        QMap<QString, QByteArray> originals;
        for (const char* name : {"habibi.pdf", "pdflatex-4-pages.pdf", "minimal-document.pdf"}) {
            files << TestFiles::copyCorpusFile(name, dir.path());
            originals.insert(files.last(), TestFiles::bytes(files.last()));
        }
        Ran ran = metascribe({"set", "--title", "Wrong", "--in-place", "--trash", dir.path()});
        QCOMPARE(ran.status, 0);
        const QString trash = home_.path() + "/data/Trash";
        QMap<QString, QByteArray> results;
        for (const QString& file : files) {
            QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "Wrong");
            results.insert(file, TestFiles::bytes(file));
            const QString kept = trash + "/files/" + QFileInfo(file).fileName();
            QCOMPARE(TestFiles::bytes(kept), originals[file]);
            QVERIFY(TestFiles::bytes(trash + "/info/" + QFileInfo(file).fileName() + ".trashinfo")
                        .contains("\nPath=" + QFile::encodeName(file) + "\n"));
        }
        const QString changed = files.takeLast();
        TestFiles::write(changed, "changed by hand");

        ran = metascribe({"undo", "--dry-run"});
        QCOMPARE(ran.status, 1);
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), results[file]);

        ran = metascribe({"undo", "--json"});
        QCOMPARE(ran.status, 1);
        QMap<QString, QJsonObject> byPath;
        for (const QJsonObject& line : jsonLines(ran.out))
            byPath.insert(line["path"].toString(), line);
        QCOMPARE(byPath.size(), 3);
        QCOMPARE(byPath[changed]["outcome"].toString(), "failed");
        QCOMPARE(byPath[changed]["reason"].toString(), "it was changed since that run");
        for (const QString& file : files)
            QCOMPARE(byPath[file]["outcome"].toString(), "changed");
        QVERIFY(ran.err.contains((changed + ": not put back: ").toUtf8()));
        QCOMPARE(TestFiles::bytes(changed), "changed by hand");
        for (const QString& file : files) {
            QCOMPARE(TestFiles::bytes(file), originals[file]);
            // The result went to the Trash in turn, beside the original it gave way to.
            const QString name = QFileInfo(file).completeBaseName();
            QCOMPARE(TestFiles::bytes(trash + "/files/" + name + ".2.pdf"), results[file]);
        }

        ran = metascribe({"undo"});
        QCOMPARE(ran.status, 0);
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), results[file]);
        ran = metascribe({"undo"});
        QCOMPARE(ran.status, 0);
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), originals[file]);
    }

    // A file whose original cannot be kept in the Trash is not replaced, and says why.
    void originalThatCannotBeKeptIsNotReplaced() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        TestFiles::write(dir.path() + "/Trash", "not a folder");
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", data); });
        const Ran ran = metascribe({"set", "--title", "T", "--in-place", "--trash", file});
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains(": not changed: its original could not be kept in the Trash: "
                                  "there is no Trash this user may use at " +
                                  QFile::encodeName(dir.path())),
                 ran.err.constData());
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // Killed after some files were replaced, a run leaves every file its original or its
    // result, and undo puts every original back. The kill comes once the journal tells of
    // enough replaced files.
    void killedTrashRunIsUndone_data() {
        QTest::addColumn<int>("replaced");
        QTest::newRow("after the first") << 1;
        QTest::newRow("after twelve") << 12;
    }
    void killedTrashRunIsUndone() {
        QFETCH(int, replaced);
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 30; ++i)
            files << TestFiles::copyCorpusFile("habibi.pdf", dir.path(),
                                               QString("file %1.pdf").arg(i));
        const QByteArray original = TestFiles::bytes(files.first());
        const QDir journals(home_.path() + "/state/metascribe");
        const QStringList before = journals.entryList(QDir::Files);

        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "none-such");
        run.setProcessEnvironment(environment);
        run.start(program(), {"set", "--title", "Killed", "--in-place", "--trash", dir.path()});
        const auto journalLines = [&] {
            for (const QString& name : journals.entryList(QDir::Files))
                if (!before.contains(name))
                    return int(TestFiles::bytes(journals.filePath(name)).count('\n')) - 1;
            return 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(journalLines() >= replaced || run.state() == QProcess::NotRunning,
                                 120000);
        QCOMPARE(run.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        QVERIFY(run.waitForFinished(60000));

        int changed = 0;
        for (const QString& file : files) {
            if (TestFiles::bytes(file) == original)
                continue;
            QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "Killed");
            ++changed;
        }
        QVERIFY(changed >= replaced - 1);
        const Ran ran = metascribe({"undo"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), original);
        // Nothing is left for a second undo of that run but the undo itself.
        const Ran again = metascribe({"undo", "--dry-run"});
        QVERIFY2(again.status == 0, again.err.constData());
    }

    // Killed as it puts back an original (strace kills it as the rename begins), an undo leaves
    // every file its original or the run's result; the next undo finishes it, and the one after
    // takes the whole undo back.
    void killedUndoIsFinished() {
        if (!TestFiles::haveProgram("strace"))
            QSKIP("strace is not installed");
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 12; ++i)
            files << TestFiles::copyCorpusFile("habibi.pdf", dir.path(),
                                               QString("file %1.pdf").arg(i));
        const QByteArray original = TestFiles::bytes(files.first());
        QCOMPARE(
            metascribe({"set", "--title", "Wrong", "--in-place", "--trash", dir.path()}).status, 0);

        QProcess process;
        started(process, "strace",
                {"-o", "/dev/null", "-e", "inject=rename,renameat,renameat2:signal=SIGKILL:when=6",
                 program(), "undo"},
                {}, 120000);
        int back = 0;
        for (const QString& file : files) {
            if (TestFiles::bytes(file) == original)
                ++back;
            else
                QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "Wrong");
        }
        QCOMPARE(back, 5);

        Ran ran = metascribe({"undo"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        for (const QString& file : files)
            QCOMPARE(TestFiles::bytes(file), original);
        ran = metascribe({"undo"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        for (const QString& file : files)
            QCOMPARE(TestFiles::pdfInfo(file).value("Title"), "Wrong");
    }

    // After a good run, a newer journal that cannot be read or trusted is named and passed over,
    // and one that replaced nothing is passed over in silence: the good run is taken back all the
    // same. A journal line that the Trash does not confirm moves and removes nothing, and a run
    // still going on (its journal locked) or a folder of journals that others may write in stops
    // the undo before it touches anything.
    void journalAfterAGoodRun_data() {
        QTest::addColumn<QByteArray>("planted"); // a newer journal; "copy": the good run's
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("undone"); // the good run is taken back
        QTest::addColumn<QString>(
            "message"); // %1: the planted journal, %2: the file, %3: the folder
        const QByteArray heading = "{\"journal\":\"metascribe\",\"kind\":\"set\"}\n";
        QTest::newRow("a line that is not JSON")
            << heading + "not json\n"
            << "" << 1 << true
            << "the journal %1 cannot be read: line 2 is not a JSON object; its run is passed "
               "over and not taken back";
        QTest::newRow("empty") << QByteArray("") << "" << 0 << true << "";
        QTest::newRow("heading only") << heading << "" << 0 << true << "";
        QTest::newRow("not this user's")
            << QByteArray("copy") << "nobody" << 1 << true
            << "the journal %1 is not this user's own; its run is passed over";
        QTest::newRow("writable by others")
            << QByteArray("copy") << "writable" << 1 << true
            << "the journal %1 may be written by other users; its run is passed over";
        QTest::newRow("a run going on")
            << QByteArray() << "locked" << 1 << false
            << "nothing was put back: a run that keeps its originals in the Trash is going on";
        QTest::newRow("a line naming another file")
            << QByteArray() << "edited" << 1 << false
            << "%2: not put back: the Trash does not confirm that the journal's line is that "
               "run's";
        // As the usual umask of 002 leaves it, the group being the user's own private group.
        QTest::newRow("a folder its owner's own group may write in")
            << QByteArray() << "own group" << 0 << true << "";
        QTest::newRow("a folder others may write in")
            << QByteArray() << "folder" << 1 << false
            << "nothing was put back: the folder %3 of the journals may be written by other users";
    }
    void journalAfterAGoodRun() {
        QFETCH(QByteArray, planted);
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(bool, undone);
        QFETCH(QString, message);
        if ((change == "nobody" || change == "own group") && ::geteuid() != 0)
            QSKIP("giving a file to another user, or root's group, needs root");
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QString victim = dir.path() + "/victim.txt";
        TestFiles::write(victim, "not the run's");
        const QByteArray original = TestFiles::bytes(file);
        const QString folder = home_.path() + "/state/metascribe";
        const QDir journals(folder);
        const QStringList before = journals.entryList(QDir::Files);
        QCOMPARE(metascribe({"set", "--title", "Good", "--in-place", "--trash", file}).status, 0);
        QString own;
        for (const QString& name : journals.entryList(QDir::Files))
            if (!before.contains(name))
                own = journals.filePath(name);
        QVERIFY(!own.isEmpty());
        const QByteArray result = TestFiles::bytes(file);

        const QString journal = folder + "/99999999-000000-000-1.journal";
        const auto remove = qScopeGuard([&] { QFile::remove(journal); });
        if (!planted.isNull())
            TestFiles::write(journal, planted == "copy" ? TestFiles::bytes(own) : planted);
        const QByteArray plantedBytes = TestFiles::bytes(journal);
        if (change == "nobody")
            QCOMPARE(::chown(QFile::encodeName(journal).constData(), 65534, 65534), 0);
        if (change == "writable")
            QCOMPARE(::chmod(QFile::encodeName(journal).constData(), 0622), 0);
        int lock = -1;
        const auto unlock = qScopeGuard([&] {
            if (lock >= 0)
                ::close(lock);
        });
        if (change == "locked") {
            lock = ::open(QFile::encodeName(own).constData(), O_RDONLY);
            QCOMPARE(::flock(lock, LOCK_EX), 0);
        }
        if (change == "edited") {
            QList<QByteArray> lines = TestFiles::bytes(own).split('\n');
            QJsonObject line = QJsonDocument::fromJson(lines[1]).object();
            line["info"] = victim;
            lines[1] = QJsonDocument(line).toJson(QJsonDocument::Compact);
            TestFiles::write(own, lines.join('\n'));
        }
        const auto reopen =
            qScopeGuard([&] { ::chmod(QFile::encodeName(folder).constData(), 0755); });
        if (change == "folder")
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
        if (change == "own group")
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0775), 0);

        const Ran ran = metascribe({"undo"});
        QVERIFY2(ran.status == status, ran.err.constData());
        QVERIFY2(
            ran.err.contains(
                message.replace("%1", journal).replace("%2", file).replace("%3", folder).toUtf8()),
            ran.err.constData());
        QCOMPARE(TestFiles::bytes(file), undone ? original : result);
        QCOMPARE(TestFiles::bytes(victim), "not the run's");
        if (!planted.isNull())
            QCOMPARE(TestFiles::bytes(journal), plantedBytes);
    }

    // What show --csv writes, saved again by a spreadsheet program, sets every value back exactly
    // as it was, however often show was given a file; a table naming a file that is not there
    // changes nothing.
    void tableRoundTrip_data() {
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<QStringList>("given"); // names in the folder; "" for the folder itself
        QTest::newRow("byte-order mark kept") << true << QStringList{""};
        QTest::newRow("byte-order mark dropped") << false << QStringList{""};
        QTest::newRow("a folder and a file in it")
            << true << QStringList{"", "minimal-document.pdf"};
        QTest::newRow("a file given twice")
            << false
            << QStringList{"minimal-document.pdf", "output_with_metadata_pymupdf.pdf",
                           "minimal-document.pdf"};
    }
    void tableRoundTrip() {
        QFETCH(bool, byteOrderMark);
        QFETCH(QStringList, given);
        if (!TestFiles::haveProgram("exiftool"))
            QSKIP("exiftool is not installed");
        QTemporaryDir dir;
        const QString plain = TestFiles::copyCorpusFile("minimal-document.pdf", dir.path());
        const QString withXmp =
            TestFiles::copyCorpusFile("output_with_metadata_pymupdf.pdf", dir.path());
        const QString title = "He said \"hi\"; a, b\nsecond line 😀 שלום עולם <&>";
        const QString dept = "=1+2; \"q\", 'x' &amp; \u05e2\u05d1\u05e8\u05d9\u05ea";
        const QString rights = "© 2024 \"Ünïcode\";\n<&> שלום";
        const QStringList values{
            "--title",  title,   "--subject",       "<remove>",     "--keywords",  "0012",
            "--author", "-1,5",  "--info",          "Dept=" + dept, "--copyright", rights,
            "--lang",   "pt-BR", "--display-title", "--in-place",   plain,         withXmp};
        Ran ran = metascribe(QStringList{"set"} + values);
        QVERIFY2(ran.status == 0, ran.err.constData());

        QStringList shown{"show", "--csv"};
        for (const QString& name : given)
            shown << (name.isEmpty() ? dir.path() : dir.path() + "/" + name);
        ran = metascribe(shown);
        QVERIFY2(ran.status == 0, ran.err.constData());
        QCOMPARE(ran.out.count(plain.toUtf8()), 1);
        // The first file by a name relative to the table's folder, as a person would write it.
        QByteArray table = resaved(ran.out, byteOrderMark);
        QVERIFY(table.contains(plain.toUtf8()));
        table.replace('"' + plain.toUtf8() + '"', "\"minimal-document.pdf\"");
        const QString tablePath = TestFiles::write(dir.path() + "/values.csv", table);

        ran = metascribe({"set", "--title", "other", "--subject", "other", "--keywords", "other",
                          "--author", "other", "--remove", "Dept", "--copyright", "", "--remove",
                          "lang", "--in-place", plain, withXmp});
        QVERIFY2(ran.status == 0, ran.err.constData());
        ran = metascribe({"set", "--csv", tablePath, "--in-place"});
        QVERIFY2(ran.status == 0, ran.err.constData());

        QByteArray out;
        for (const QString& file : {plain, withXmp}) {
            QVERIFY(
                TestPrograms::run("exiftool", {"-j", "-a", "-G1", "-charset", "UTF8", file}, &out));
            const QJsonObject tags = QJsonDocument::fromJson(out).array().at(0).toObject();
            QCOMPARE(tags["PDF:Subject"].toString(), QString("<remove>"));
            QCOMPARE(tags["XMP-dc:Rights"].toString(), rights);
            QCOMPARE(tags["XMP-dc:Title"].toString(), title);
            QCOMPARE(tags["PDF:Language"].toString(), QString("pt-BR"));
            // The file without XMP was given a packet for its copyright, with the language in it.
            QCOMPARE(tags["XMP-dc:Language"].toString(), QString("pt-BR"));
            const QMap<QString, QString> info = TestFiles::pdfInfo(file);
            QCOMPARE(info.value("Keywords"), QString("0012"));
            QCOMPARE(info.value("Author"), QString("-1,5"));
            QVERIFY(TestPrograms::run("pdfinfo", {"-custom", "-enc", "UTF-8", file}, &out));
            // exiftool reads emoji in the document information as question marks.
            QVERIFY2(QString::fromUtf8(out).contains("Dept:            " + dept + "\n"),
                     out.constData());
            QVERIFY2(QString::fromUtf8(out).contains("Title:           " + title + "\n"),
                     out.constData());
        }

        // A row naming a file that is not there: nothing is touched, and the row is named.
        const QByteArray before = TestFiles::bytes(plain);
        TestFiles::write(tablePath, "path;Title\r\nminimal-document.pdf;x\r\ngone.pdf;y\r\n");
        ran = metascribe({"set", "--csv", tablePath, "--in-place"});
        QCOMPARE(ran.status, 2);
        QVERIFY2(ran.err.contains("row 3: no such file"), ran.err.constData());
        QCOMPARE(TestFiles::bytes(plain), before);
        // Nor does a table without a value to change.
        TestFiles::write(tablePath, "path;Title\r\nminimal-document.pdf;\r\n");
        ran = metascribe({"set", "--csv", tablePath, "--in-place"});
        QCOMPARE(ran.status, 2);
        QVERIFY2(ran.err.contains("nothing to change"), ran.err.constData());
        QCOMPARE(TestFiles::bytes(plain), before);
    }

    // --remove and a table's columns name keys in any case, as the file spells them, or exactly
    // with a slash; a file whose keys differ only in case, none spelled as named, is not changed.
    void keysNamedInAnyCase_data() {
        QTest::addColumn<QByteArray>("entries");    // the file's document information
        QTest::addColumn<QStringList>("arguments"); // @ the file, TABLE the table
        QTest::addColumn<QByteArray>("table");      // the table, naming the file a.pdf
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("after"); // "Key=value" as pdfinfo reads it; "Key": gone
        QTest::newRow("--remove company on Company")
            << QByteArray("/Title (T) /Company (Acme) /Dept (Legal)")
            << QStringList{"set", "--remove", "company", "--in-place", "@"} << QByteArray() << 0
            << QStringList{"Company", "Dept=Legal", "Title=T"};
        QTest::newRow("--remove /company on Company")
            << QByteArray("/Company (Acme) /Dept (Legal)")
            << QStringList{"set", "--remove", "/company", "--info", "Dept=x", "--in-place", "@"}
            << QByteArray() << 0 << QStringList{"Company=Acme", "Dept=x"};
        QTest::newRow("--remove Company on company and COMPANY")
            << QByteArray("/company (a) /COMPANY (b)")
            << QStringList{"set", "--remove", "Company", "--in-place", "@"} << QByteArray() << 1
            << QStringList{"company=a", "COMPANY=b"};
        QTest::newRow("column title")
            << QByteArray("/Title (T)") << QStringList{"set", "--csv", "TABLE", "--in-place"}
            << QByteArray("path;title\r\na.pdf;New\r\n") << 0 << QStringList{"Title=New", "title"};
        QTest::newRow("columns title and /title")
            << QByteArray("/Title (T)") << QStringList{"set", "--csv", "TABLE", "--in-place"}
            << QByteArray("path;title;/title\r\na.pdf;New;lower\r\n") << 0
            << QStringList{"Title=New", "title=lower"};
        QTest::newRow("column company on Company")
            << QByteArray("/Company (Acme)") << QStringList{"set", "--csv", "TABLE", "--in-place"}
            << QByteArray("path;company\r\na.pdf;Beta\r\n") << 0
            << QStringList{"Company=Beta", "company"};
    }
    void keysNamedInAnyCase() {
        QFETCH(QByteArray, entries);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, table);
        QFETCH(int, status);
        QFETCH(QStringList, after);
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.path() + "/a.pdf",
                                              TestFiles::pdfWithInfo("<< " + entries + " >>"));
        const QString tablePath = TestFiles::write(dir.path() + "/values.csv", table);
        arguments.replaceInStrings(QRegularExpression("^@$"), file);
        arguments.replaceInStrings(QRegularExpression("^TABLE$"), tablePath);
        const QByteArray before = TestFiles::bytes(file);
        const Ran ran = metascribe(arguments);
        QVERIFY2(ran.status == status, ran.err.constData());
        if (status != 0) {
            // The reason names both keys, as a slash names each.
            QVERIFY2(ran.err.contains("/company") && ran.err.contains("/COMPANY"),
                     ran.err.constData());
            QCOMPARE(TestFiles::bytes(file), before);
        }
        const QMap<QString, QString> keys = infoKeys(file);
        QVERIFY(!keys.isEmpty());
        for (const QString& expected : after) {
            const QString key = expected.section('=', 0, 0);
            if (expected.contains('='))
                QCOMPARE(keys.value(key, "(none)"), expected.section('=', 1));
            else
                QVERIFY2(!keys.contains(key), qPrintable(key + " is still there"));
        }
    }

    // show --csv writes keys that differ only in case, or from a field's key, so that set --csv
    // sets each back as it was.
    void tableOfKeysDifferingInCase() {
        QTemporaryDir dir;
        const QString file = TestFiles::write(
            dir.path() + "/a.pdf",
            TestFiles::pdfWithInfo("<< /Title (T) /title (t) /Company (C) /company (c) >>"));
        Ran ran = metascribe({"show", "--csv", file});
        QVERIFY2(ran.status == 0, ran.err.constData());
        const QString tablePath = TestFiles::write(dir.path() + "/values.csv", ran.out);
        const QStringList header =
            QString::fromUtf8(ran.out.left(ran.out.indexOf('\r'))).split(';');
        for (const char* column : {"/title", "/Company", "/company"})
            QVERIFY2(header.contains(column), ran.out.constData());
        ran = metascribe({"set", "--title", "1", "--info", "title=2", "--info", "Company=3",
                          "--remove", "/company", "--in-place", file});
        QVERIFY2(ran.status == 0, ran.err.constData());
        ran = metascribe({"set", "--csv", tablePath, "--in-place"});
        QVERIFY2(ran.status == 0, ran.err.constData());
        const QMap<QString, QString> keys = infoKeys(file);
        QCOMPARE(keys.value("Title"), QString("T"));
        QCOMPARE(keys.value("title"), QString("t"));
        QCOMPARE(keys.value("Company"), QString("C"));
        QCOMPARE(keys.value("company"), QString("c"));
    }

    // A dry run prints and changes nothing; show prints what pdfinfo reads.
    // Without a display, arguments that are no command (a mistyped one, most likely) cannot
    // start the window: a usage error names the commands, rather than Qt aborting. A platform
    // chosen for Qt (offscreen) still starts the window.
    void noCommandWithoutADisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("platform");
        QTest::newRow("mistyped command") << QStringList{"chek"} << QString();
        QTest::newRow("a file only") << QStringList{} << QString();
        QTest::newRow("offscreen window") << QStringList{} << "offscreen";
    }
    void noCommandWithoutADisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, platform);
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!platform.isEmpty())
            environment.insert("QT_QPA_PLATFORM", platform);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program(), arguments << file);
        QVERIFY(process.waitForStarted());
        if (!platform.isEmpty()) {
            // The window runs until it is closed, as a termination signal closes it.
            const bool ended = process.waitForFinished(3000);
            process.terminate();
            if (!process.waitForFinished(30000))
                process.kill();
            QVERIFY2(!ended, process.readAllStandardError().constData());
            return;
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(err.startsWith("metascribe: the window needs a display"), err.constData());
        QVERIFY2(err.contains("set, strip, show, check, undo and rename"), err.constData());
        QVERIFY2(err.contains("Try 'metascribe --help'"), err.constData());
        QVERIFY(process.readAllStandardOutput().isEmpty());
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // A folder without a PDF file changes nothing, which a script must not take for done.
    void folderWithoutPdfFiles_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("set") << QStringList{"set", "--title", "T", "--in-place"};
        QTest::newRow("strip") << QStringList{"strip", "--in-place"};
        QTest::newRow("set --dry-run")
            << QStringList{"set", "--title", "T", "--dry-run", "--in-place"};
    }
    void folderWithoutPdfFiles() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString notes = TestFiles::write(dir.path() + "/notes.txt", "not a PDF");
        const Ran ran = metascribe(arguments << dir.path());
        QCOMPARE(ran.status, 1);
        QCOMPARE(ran.err, QByteArray("metascribe: no files ending in .pdf were found\n"));
        QCOMPARE(TestFiles::bytes(notes), QByteArray("not a PDF"));
    }

    // Output that does not all arrive is not taken for done: a table or JSON lines sent to a
    // full disk are told on standard error, and the status says that not all was done.
    void outputThatCannotBeWritten_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("show --json") << QStringList{"show", "--json"};
        QTest::newRow("show --csv") << QStringList{"show", "--csv"};
        QTest::newRow("set --dry-run --json")
            << QStringList{"set", "--dry-run", "--json", "--title", "New", "--in-place"};
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("check") << QStringList{"check"};
    }
    void outputThatCannotBeWritten() {
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        const Ran ran = started(process, program(), arguments << file, {}, 120000);
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains("metascribe: could not write the output: no space left on "
                                  "device\n"),
                 ran.err.constData());
        QCOMPARE(TestFiles::bytes(file), before);
    }

    // A signed file keeps every signature valid: a change is added after the signed part, which
    // the outcome notes; what cannot be added that way, or would remove metadata from the signed
    // part, is refused and leaves the file as it was. Dry runs say the same.
    void signedFiles_data() {
        QTest::addColumn<QString>("corpus");
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        // What ExifTool reads of the result's document information and XMP metadata.
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QByteArray>("values");
        const QString added = ": changed, but signed: the change was added after the signed part";
        const QString cannot = ": not changed: it is digitally signed; the change cannot be added "
                               "without breaking the signature";
        const QString strip = ": not changed: it is digitally signed; removing its metadata would "
                              "break the signature";
        const QStringList title{"-PDF:Title", "-XMP-dc:Title"};
        // A PDF/A file, whose XMP metadata gets the change too.
        const QString pdfa = "crazyones-pdfa.pdf";
        const QStringList setTitle{"set", "--title", "Signed Title"};
        QTest::newRow("set, table") << pdfa << "table" << setTitle << 0 << added << title
                                    << QByteArray("Signed Title\nSigned Title\n");
        QTest::newRow("set, streams") << pdfa << "streams" << setTitle << 0 << added << title
                                      << QByteArray("Signed Title\nSigned Title\n");
        // The signed field has its type from the field above it.
        QTest::newRow("set, type inherited") << pdfa << "inherited" << setTitle << 0 << added
                                             << title << QByteArray("Signed Title\nSigned Title\n");
        // No XMP metadata yet: the catalog gets a packet for the copyright.
        QTest::newRow("copyright, no XMP")
            << "habibi.pdf"
            << "table" << QStringList{"set", "--copyright", "Signed Rights"} << 0 << added
            << QStringList{"-PDF:Title", "-XMP-dc:Rights"} << QByteArray("habibi\nSigned Rights\n");
        // The note goes with the one for the other names, which keep the signed original.
        QTest::newRow("set, hard link")
            << pdfa << "linked" << setTitle << 0
            << added + "; it has another name (a hard link), which keeps the old content" << title
            << QByteArray("Signed Title\nSigned Title\n");
        QTest::newRow("set, language and title shown")
            << pdfa << "streams" << QStringList{"set", "--lang", "de", "--display-title"} << 0
            << added << QStringList{"-PDF:Language", "-XMP-dc:Language"} << QByteArray("de\nde\n");
        QTest::newRow("strip") << pdfa << "table" << QStringList{"strip"} << 1 << strip
                               << QStringList() << QByteArray();
        QTest::newRow("set, encrypted")
            << pdfa << "encrypted" << setTitle << 1 << cannot + " (it is encrypted)"
            << QStringList() << QByteArray();
        QTest::newRow("set, certified against changes")
            << pdfa << "certified" << setTitle << 1
            << cannot + " (its certification allows no change)" << QStringList() << QByteArray();
        QTest::newRow("set, damaged")
            << pdfa << "damaged" << setTitle << 1 << cannot + " (it is damaged)" << QStringList()
            << QByteArray();
        QTest::newRow("set, dry run")
            << pdfa << "streams" << QStringList{"set", "--dry-run", "--title", "Signed Title"} << 0
            << "\n  signed: the change would be added after the signed part\n"
            << QStringList() << QByteArray();
        QTest::newRow("set, dry run, encrypted")
            << pdfa << "encrypted" << QStringList{"set", "--dry-run", "--title", "Signed Title"}
            << 1 << cannot + " (it is encrypted)" << QStringList() << QByteArray();
        QTest::newRow("strip, dry run") << pdfa << "table" << QStringList{"strip", "--dry-run"} << 1
                                        << strip << QStringList() << QByteArray();
    }

    void signedFiles() {
        QFETCH(QString, corpus);
        QFETCH(QString, variant);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QStringList, tags);
        QFETCH(QByteArray, values);
        if (!TestFiles::haveProgram("pdfsig") || !TestFiles::haveProgram("openssl") ||
            !TestFiles::haveProgram("exiftool"))
            QSKIP("pdfsig, openssl or exiftool is not installed");
        QTemporaryDir dir;
        SignedPdf signer(dir.path());
        SignedPdf::Options options;
        options.streams = variant == "streams";
        options.certification = variant == "certified" ? 1 : 0;
        options.typeFromParent = variant == "inherited";
        QString file = signer.make(corpus, "signed.pdf", options);
        QVERIFY2(!file.isEmpty(), qPrintable(signer.why()));
        QByteArray report = SignedPdf::report(file);
        QVERIFY2(report.contains("Signature is Valid") && report.contains("Total document signed"),
                 report.constData());
        // An encrypted copy, or one whose last cross-reference is not where the file says, is
        // validly signed no more, but still has the signature's field and value.
        if (variant == "encrypted")
            file = TestPrograms::encrypted(file, dir.path() + "/locked.pdf", {"", "owner", "256"});
        if (variant == "damaged") {
            QByteArray bytes = TestFiles::bytes(file);
            const qsizetype keyword = bytes.lastIndexOf("startxref\n");
            QVERIFY(keyword > 0);
            bytes.insert(keyword + 10, '1');
            file = TestFiles::write(file, bytes);
        }
        if (variant == "linked")
            QVERIFY(::link(QFile::encodeName(file).constData(),
                           QFile::encodeName(dir.path() + "/other.pdf").constData()) == 0);
        QVERIFY(!file.isEmpty());
        const QByteArray before = TestFiles::bytes(file);

        const Ran ran = metascribe(arguments << "--in-place" << file);
        QCOMPARE(ran.status, status);
        QVERIFY2((ran.out + ran.err).contains(says.toUtf8()), (ran.out + ran.err).constData());
        const QByteArray after = TestFiles::bytes(file);
        if (tags.isEmpty()) {
            QCOMPARE(after, before);
            return;
        }
        QVERIFY(after.size() > before.size());
        QCOMPARE(after.left(before.size()), before);
        report = SignedPdf::report(file);
        QVERIFY2(report.contains("Signature is Valid") &&
                     report.contains("Not total document signed"),
                 report.constData());
        QVERIFY(TestPrograms::run("qpdf", {"--check", file}));
        if (arguments.contains("--display-title"))
            QVERIFY(qpdfOutput({"--json=2", "--json-key=qpdf", file})
                        .contains("\"/DisplayDocTitle\": true"));
        QByteArray exif;
        QVERIFY(TestPrograms::run("exiftool", QStringList{"-s3"} << tags << file, &exif));
        QCOMPARE(exif, values);
    }

    // Each kind of finding on a file made to have it and nothing else, a clean file with none;
    // check changes no byte and creates no file.
    void checkFindsEachKind_data() {
        QTest::addColumn<QByteArray>("catalogExtra");
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QByteArray>("xmpTitle");
        // "revision": the clean file with an update after it; "corpus NAME": that corpus file.
        QTest::addColumn<QString>("special");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("detail");
        const QByteArray settled = "/Lang (en-GB) /ViewerPreferences << /HideToolbar true "
                                   "/DisplayDocTitle true >>";
        const QByteArray dates = "/CreationDate (D:20200101000000Z) /ModDate (D:20210101120000Z)";
        const QByteArray info = "<< /Title (Annual report) " + dates + " >>";
        const auto titled = [&](const QByteArray& title) {
            return "<< /Title (" + title + ") " + dates + " >>";
        };
        QTest::newRow("clean") << settled << info << QByteArray("Annual report") << ""
                               << ""
                               << "";
        QTest::newRow("no title") << settled << "<< " + dates + " >>" << QByteArray() << ""
                                  << "no-title"
                                  << "the document has no title";
        QTest::newRow("title of spaces") << settled << titled("   ") << QByteArray() << ""
                                         << "no-title"
                                         << "the title is only spaces";
        QTest::newRow("title only in XMP")
            << settled << "<< " + dates + " >>" << QByteArray("Annual report") << ""
            << ""
            << "";
        QTest::newRow("office program's name")
            << settled << titled("Microsoft Word - draft3.docx") << QByteArray() << ""
            << "junk-title"
            << "\"Microsoft Word - draft3.docx\"";
        QTest::newRow("file extension") << settled << titled("cover.INDD") << QByteArray() << ""
                                        << "junk-title"
                                        << "\"cover.INDD\"";
        QTest::newRow("placeholder") << settled << titled("untitled-3") << QByteArray() << ""
                                     << "junk-title"
                                     << "\"untitled-3\"";
        QTest::newRow("placeholder in XMP")
            << settled << "<< " + dates + " >>" << QByteArray("Presentation1") << ""
            << "junk-title"
            << "\"Presentation1\"";
        QTest::newRow("XMP differs")
            << settled << info << QByteArray("Draft") << ""
            << "xmp-differs"
            << "Title: \"Annual report\" in the document information, \"Draft\" in the XMP "
               "metadata";
        QTest::newRow("bad date") << settled
                                  << QByteArray(
                                         "<< /Title (Annual report) /CreationDate (yesterday) >>")
                                  << QByteArray() << ""
                                  << "bad-date"
                                  << "CreationDate: \"yesterday\"";
        QTest::newRow("future date")
            << settled << QByteArray("<< /Title (Annual report) /ModDate (D:20991231120000Z) >>")
            << QByteArray() << ""
            << "future-date"
            << "ModDate: \"D:20991231120000Z\"";
        QTest::newRow("modified before created")
            << settled
            << QByteArray("<< /Title (Annual report) /CreationDate (D:20200101000000Z) /ModDate "
                          "(D:20190101000000Z) >>")
            << QByteArray() << ""
            << "modified-before-created"
            << "ModDate \"D:20190101000000Z\" is before CreationDate \"D:20200101000000Z\"";
        QTest::newRow("no language") << QByteArray("/ViewerPreferences << /DisplayDocTitle true >>")
                                     << info << QByteArray() << ""
                                     << "no-language"
                                     << "the document catalog has no /Lang";
        QTest::newRow("no viewer preferences")
            << QByteArray("/Lang (de)") << info << QByteArray() << ""
            << "title-not-shown"
            << "the viewer preferences do not set DisplayDocTitle";
        QTest::newRow("title not shown")
            << QByteArray("/Lang (de) /ViewerPreferences << /DisplayDocTitle false >>") << info
            << QByteArray() << ""
            << "title-not-shown"
            << "the viewer preferences set DisplayDocTitle to false";
        QTest::newRow("old value kept") << settled << info << QByteArray() << "revision"
                                        << "old-values-kept"
                                        << "Author: \"J. Smith\" in an earlier revision, now none";
        QTest::newRow("password-protected")
            << QByteArray() << QByteArray() << QByteArray()
            << "corpus libreoffice-writer-password.pdf"
            << "unreadable"
            << "it is password-protected and the password was not given or is wrong";
        QTest::newRow("not a PDF file") << QByteArray() << QByteArray() << QByteArray() << "text"
                                        << "unreadable"
                                        << "it is not a PDF file";
    }

    void checkFindsEachKind() {
        QFETCH(QByteArray, catalogExtra);
        QFETCH(QByteArray, info);
        QFETCH(QByteArray, xmpTitle);
        QFETCH(QString, special);
        QFETCH(QString, kind);
        QFETCH(QString, detail);
        QTemporaryDir dir;
        QString file = dir.path() + "/made.pdf";
        if (special.startsWith("corpus "))
            file = TestFiles::copyCorpusFile(special.mid(7), dir.path());
        else if (special == "text")
            TestFiles::write(file, "A letter, not a PDF file.\n");
        else if (special == "revision")
            TestFiles::write(file, withUpdatedInfo(publishedFile(catalogExtra,
                                                                 "<< /Author (J. Smith) /Title "
                                                                 "(Annual report) >>",
                                                                 xmpTitle),
                                                   info));
        else
            TestFiles::write(file, publishedFile(catalogExtra, info, xmpTitle));
        QVERIFY(special.startsWith("corpus") || special == "text" || opensWithoutPassword(file));
        // Read-only, and taken as read-only by the system too.
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        const QByteArray before = TestFiles::bytes(file);
        const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

        const Ran ran = metascribe({"check", file});
        QCOMPARE(ran.status, kind.isEmpty() ? 0 : 1);
        const QStringList lines = QString::fromUtf8(ran.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines,
                 kind.isEmpty() ? QStringList() : QStringList{file + ": " + kind + ": " + detail});
        const QByteArray summary =
            kind.isEmpty() ? "1 file checked, 0 with findings\n"
                           : "1 file checked, 1 with findings: 1 " + kind.toUtf8() + "\n";
        QVERIFY2(ran.err.endsWith(summary), ran.err.constData());
        QCOMPARE(TestFiles::bytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), entries);
    }

    // A folder walked as set walks it, the three forms of output, kinds left out, and what the
    // corpus's own files lack.
    void checkOutputForms() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("sub"));
        const QString habibi = TestFiles::copyCorpusFile("habibi.pdf", dir.path() + "/sub");
        const QString clean = TestFiles::write(
            dir.path() + "/clean.pdf",
            publishedFile("/Lang (de) /ViewerPreferences << /DisplayDocTitle true >>",
                          "<< /Title (Report) >>", {}));
        TestFiles::write(dir.path() + "/notes.txt", "not checked");
        const QString gone = dir.path() + "/gone.pdf";

        Ran ran = metascribe({"check", dir.path(), gone});
        QCOMPARE(ran.status, 1);
        QCOMPARE(QString::fromUtf8(ran.out),
                 habibi + ": no-language: the document catalog has no /Lang\n" + habibi +
                     ": title-not-shown: the viewer preferences do not set DisplayDocTitle\n" +
                     gone + ": unreadable: no such file\n");
        QVERIFY2(ran.err.endsWith("3 files checked, 2 with findings: 1 no-language, 1 "
                                  "title-not-shown, 1 unreadable\n"),
                 ran.err.constData());

        ran = metascribe({"check", "--json", "--ignore", "no-language", "--ignore",
                          "title-not-shown", dir.path()});
        QCOMPARE(ran.status, 0);
        const QList<QJsonObject> files = jsonLines(ran.out);
        QCOMPARE(files.size(), 2);
        for (const QJsonObject& each : files)
            QCOMPARE(each["findings"].toArray().size(), 0);
        QCOMPARE(files[0]["path"].toString() + files[1]["path"].toString(), clean + habibi);

        ran = metascribe({"check", "--csv", habibi});
        QCOMPARE(ran.status, 1);
        QCOMPARE(ran.out, "\xEF\xBB\xBFpath;kind;detail\r\n" + habibi.toUtf8() +
                              ";no-language;the document catalog has no /Lang\r\n" +
                              habibi.toUtf8() +
                              ";title-not-shown;the viewer preferences do not set "
                              "DisplayDocTitle\r\n");

        // The corpus as it is: what each of its files lacks.
        ran = metascribe({"check", "--ignore", "no-language", "--ignore", "title-not-shown",
                          TestFiles::corpusFolder()});
        QCOMPARE(ran.status, 1);
        QStringList kinds;
        for (const QString& line : QString::fromUtf8(ran.out).split('\n', Qt::SkipEmptyParts))
            kinds << QFileInfo(line.section(": ", 0, 0)).fileName() + " " +
                         line.section(": ", 1, 1);
        QCOMPARE(kinds, (QStringList{"002-trivial-libre-office-writer.pdf no-title",
                                     "crazyones-pdfa.pdf no-title",
                                     "libreoffice-writer-password.pdf unreadable",
                                     "minimal-document.pdf no-title",
                                     "output_with_metadata_pymupdf.pdf bad-date",
                                     "pdflatex-4-pages.pdf no-title"}));
    }

    // What set --lang and --display-title write, as other readers see it; a file so changed
    // gives check nothing to say of its title, language or XMP metadata; --remove lang takes
    // both back.
    void languageAndShownTitle_data() {
        QTest::addColumn<QString>("corpus");
        QTest::addColumn<bool>("hasXmp");
        QTest::newRow("without XMP") << "habibi.pdf" << false;
        QTest::newRow("PDF/A with XMP") << "crazyones-pdfa.pdf" << true;
        QTest::newRow("with XMP") << "output_with_metadata_pymupdf.pdf" << true;
        QTest::newRow("cross-reference stream") << "pdflatex-4-pages.pdf" << false;
    }

    void languageAndShownTitle() {
        QFETCH(QString, corpus);
        QFETCH(bool, hasXmp);
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile(corpus, dir.path());
        Ran ran = metascribe({"set", "--dry-run", "--title", "T", "--lang", "de", "--display-title",
                              "--in-place", file});
        QCOMPARE(ran.status, 0);
        QVERIFY2(ran.out.contains("  Lang: (none) -> \"de\"\n  DisplayDocTitle: (none) -> "
                                  "\"true\"\n"),
                 ran.out.constData());
        ran = metascribe(
            {"set", "--title", "T", "--lang", "de", "--display-title", "--in-place", file});
        QCOMPARE(ran.status, 0);
        const QByteArray catalog = qpdfOutput({"--show-object=trailer", file});
        const QByteArray root = qpdfOutput(
            {"--show-object=" +
                 QString::fromLatin1(catalog.mid(catalog.indexOf("/Root ") + 6).split(' ')[0]),
             file});
        QVERIFY2(root.contains("/Lang (de)"), root.constData());
        QVERIFY2(root.contains("/DisplayDocTitle true"), root.constData());
        QByteArray exif;
        QVERIFY(TestPrograms::run("exiftool", {"-s3", "-XMP-dc:Language", "-XMP-dc:Title", file},
                                  &exif));
        QCOMPARE(exif, hasXmp ? QByteArray("de\nT\n") : QByteArray());

        ran = metascribe({"check", file});
        for (const char* kind : {"no-title", "no-language", "title-not-shown", "xmp-differs"})
            QVERIFY2(!ran.out.contains(QByteArray(": ") + kind + ": "), ran.out.constData());
        ran = metascribe({"show", "--json", file});
        QCOMPARE(jsonLines(ran.out).value(0)["lang"].toString(), "de");
        QCOMPARE(jsonLines(ran.out).value(0)["displayDocTitle"].toBool(), true);

        ran = metascribe({"set", "--remove", "lang", "--in-place", file});
        QCOMPARE(ran.status, 0);
        ran = metascribe({"check", file});
        QVERIFY2(ran.out.contains(": no-language: "), ran.out.constData());
        QVERIFY(TestPrograms::run("exiftool", {"-s3", "-XMP-dc:Language", file}, &exif));
        QCOMPARE(exif, QByteArray());
    }

    void dryRunAndShow() {
        QTemporaryDir dir;
        const QString file = TestFiles::copyCorpusFile("habibi.pdf", dir.path());
        const QByteArray before = TestFiles::bytes(file);
        Ran ran = metascribe({"set", "--dry-run", "--title", "New", "--out", dir.path(), file});
        QCOMPARE(ran.status, 0);
        QVERIFY(ran.out.contains("Title: \"habibi\" -> \"New\""));
        ran = metascribe({"set", "--dry-run", "--remove", "producer", "--info", "Dept=Legal",
                          "--out", dir.path(), file});
        QCOMPARE(ran.status, 0);
        QVERIFY2(ran.out.contains("Producer: \"" +
                                  TestFiles::pdfInfo(file).value("Producer").toUtf8() +
                                  "\" -> (removed)\n  Dept: (none) -> \"Legal\"\n"),
                 ran.out.constData());
        QCOMPARE(TestFiles::bytes(file), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

        ran = metascribe({"show", "--json", file});
        QCOMPARE(ran.status, 0);
        const QJsonObject fields = jsonLines(ran.out).value(0)["fields"].toObject();
        const QMap<QString, QString> info = TestFiles::pdfInfo(file);
        for (const char* key : {"Title", "Producer"})
            QCOMPARE(fields[key].toString(), info.value(key));
        QVERIFY(fields["Keywords"].isNull());

        ran = metascribe({"show", dir.path() + "/gone.pdf"});
        QCOMPARE(ran.status, 1);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
