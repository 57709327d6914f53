#include "JavaStartup.h"

#include "InfoUpdateFile.h"
#include "PrivateTempFolder.h"
#include "TestFiles.h"
#include "ToolRunner.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"
#include "ToolkitHost.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

// A toolkit process of its own shares Java's loaded classes from an archive in the cache.
class JavaStartupTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString info_;

    ToolResult change(const QString& name) {
        const QString input = TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path(), name);
        return ToolRunner::run(
            ToolkitCommand::update(Toolkit::path(), input, {}, info_, input + "2"), 60s);
    }
    static QStringList cacheFiles() {
        return QDir(JavaStartup::archiveFolder()).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase() {
        QVERIFY2(!Toolkit::path().isEmpty(), "pdftk is missing: install Debian's pdftk-java");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.filePath("cache")));
        qputenv("TEMP", QFile::encodeName(dir_.path()));
        info_ = PrivateTempFolder::ensure() + "/info.txt";
        InfoUpdateFile::write(info_, "\r\n");
        ToolkitHost::instance().setEnabled(false);
    }

    void archiveWrittenOnceThenUsed() {
        QVERIFY(cacheFiles().isEmpty());
        const ToolResult first = change("first.pdf");
        QVERIFY2(first.succeeded(), first.standardError.constData());
        QCOMPARE(cacheFiles().size(), 1);
        QVERIFY(cacheFiles().first().endsWith(".jsa"));
        const ToolResult second = change("second.pdf");
        QVERIFY2(second.succeeded(), second.standardError.constData());
        QVERIFY(!second.standardError.contains("JDK_JAVA_OPTIONS"));
        QCOMPARE(cacheFiles().size(), 1);
    }

    // A damaged archive makes Java abort; it is dropped, and the next start makes a new one.
    void damagedArchiveDropped() {
        if (cacheFiles().isEmpty())
            QVERIFY(change("make.pdf").succeeded());
        const QString archive = JavaStartup::archiveFolder() + "/" + cacheFiles().first();
        QFile file(archive);
        // Java leaves its archives read-only.
        QVERIFY(file.setPermissions(file.permissions() | QFile::WriteOwner));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(100000));
        file.close();
        const ToolResult damaged = change("damaged.pdf");
        QVERIFY(!damaged.succeeded());
        QVERIFY(!QFile::exists(archive));
        QVERIFY(change("after.pdf").succeeded());
        QVERIFY(change("again.pdf").succeeded());
        QVERIFY(QFile::exists(archive));
    }

    // The resident host writes an archive of its own as it ends and starts from it next time;
    // when the archive is damaged, it starts without it and writes a new one.
    void hostArchive() {
        ToolkitHost& host = ToolkitHost::instance();
        host.setEnabled(true);
        const auto changeInHost = [this, &host](const QString& name) {
            const QString input =
                TestFiles::copyCorpusFile("minimal-document.pdf", dir_.path(), name);
            const std::optional<ToolResult> result = host.run(
                ToolkitCommand::update(Toolkit::path(), input, {}, info_, input + "2"), 60s);
            return result && result->succeeded();
        };
        const auto hostArchives = [] {
            return cacheFiles().filter(QRegularExpression("^host-.*\\.jsa$"));
        };
        const auto mapped = [&host](const QString& archive) {
            QFile maps(QStringLiteral("/proc/%1/maps").arg(host.processId()));
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(archive.toUtf8());
        };
        QVERIFY(hostArchives().isEmpty());
        QVERIFY(changeInHost("host-first.pdf"));
        host.shutDown();
        QCOMPARE(hostArchives().size(), 1);
        const QString archive = JavaStartup::archiveFolder() + "/" + hostArchives().first();

        QVERIFY(changeInHost("host-second.pdf"));
        QVERIFY(mapped(archive));
        host.shutDown();

        QFile file(archive);
        QVERIFY(file.setPermissions(file.permissions() | QFile::WriteOwner));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(100000));
        file.close();
        QVERIFY(changeInHost("host-damaged.pdf"));
        host.shutDown();
        QVERIFY(QFileInfo(archive).size() > 100000);
        QCOMPARE(hostArchives().size(), 1);
        QVERIFY(QDir(JavaStartup::archiveFolder()).entryList({"*.part"}, QDir::Files).isEmpty());
        host.setEnabled(false);
    }

    void onlyForAJavaLauncher() {
        QVERIFY(JavaStartup::plan("/bin/true").options.isEmpty());
        QProcessEnvironment environment;
        environment.insert("JDK_JAVA_OPTIONS", "-Xmx64m");
        JavaStartup::Plan plan = JavaStartup::plan(Toolkit::path());
        QVERIFY(!plan.options.isEmpty());
        JavaStartup::apply(plan, environment);
        QVERIFY(environment.value("JDK_JAVA_OPTIONS").startsWith("-Xmx64m "));
    }
};

QTEST_GUILESS_MAIN(JavaStartupTest)
#include "JavaStartupTest.moc"
