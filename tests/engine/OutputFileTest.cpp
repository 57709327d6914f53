#include "OutputFile.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

class OutputFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString write(const QString& name, const QByteArray& content) {
        return TestFiles::write(dir_.filePath(name), content);
    }
    static QByteArray read(const QString& path) { return TestFiles::bytes(path); }
    QStringList leftovers() const {
        return QDir(dir_.path()).entryList({".metascribe-*"}, QDir::Files | QDir::Hidden);
    }

private slots:
    void looksComplete_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("complete");
        QTest::newRow("whole") << QByteArray("%PDF-1.4\nbody\n%%EOF\n") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("no header") << QByteArray("JFIF\n%%EOF\n") << false;
        QTest::newRow("truncated") << QByteArray("%PDF-1.4\nbody") << false;
        QTest::newRow("end marker too far from the end")
            << QByteArray("%PDF-1.4\n%%EOF\n") + QByteArray(1100, ' ') << false;
        QTest::newRow("end marker within the last 1024 bytes")
            << QByteArray("%PDF-1.4\n") + QByteArray(5000, 'x') + "%%EOF" + QByteArray(1000, ' ')
            << true;
    }
    void looksComplete() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, complete);
        QCOMPARE(OutputFile::looksComplete(write("check.pdf", bytes)), complete);
    }

    void uniqueAndRemovedUnlessCommitted() {
        const QString destination = write("a.pdf", "original");
        {
            OutputFile first(destination);
            OutputFile second(destination);
            QVERIFY(first.temporaryPath() != second.temporaryPath());
            QCOMPARE(QFileInfo(first.temporaryPath()).absolutePath(), dir_.path());
            QVERIFY(QFile::exists(first.temporaryPath()));
            // A file of the user's named like the old work copy is never touched.
            QVERIFY(first.temporaryPath() != destination + "2");
        }
        QVERIFY(leftovers().isEmpty());
        QCOMPARE(read(destination), QByteArray("original"));
    }

    void commitReplacesAndKeepsTheMode() {
        const QString destination = write("b.pdf", "original");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0640) == 0);
        OutputFile output(destination);
        QFile result(output.temporaryPath());
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.write("%PDF-1.4\nnew\n%%EOF\n");
        result.close();
        output.commit();
        QCOMPARE(read(destination), QByteArray("%PDF-1.4\nnew\n%%EOF\n"));
        QCOMPARE(TestFiles::mode(destination), mode_t(0640));
        QVERIFY(leftovers().isEmpty());
    }

    void linkKeptAndItsTargetReplaced() {
        QVERIFY(QDir(dir_.path()).mkpath("real"));
        const QString target = write("real/t.pdf", "old");
        const QString link = dir_.filePath("link.pdf");
        QVERIFY(QFile::link(target, link));
        OutputFile output(link);
        QCOMPARE(output.target(), target);
        QCOMPARE(QFileInfo(output.temporaryPath()).absolutePath(), dir_.filePath("real"));
        QFile result(output.temporaryPath());
        QVERIFY(result.open(QIODevice::WriteOnly));
        result.write("new");
        result.close();
        output.commit();
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(read(link), QByteArray("new"));
        QCOMPARE(read(target), QByteArray("new"));
    }

    void missingFolderIsRefused() {
        try {
            OutputFile output(dir_.filePath("missing/a.pdf"));
            QFAIL("a missing folder cannot take a result");
        } catch (const OutputFile::Refused& refused) {
            QVERIFY(!refused.permissionDenied());
            QVERIFY(refused.description().contains("No such file"));
        }
    }

    void readOnlyTargetIsNotWritable() {
        const QString destination = write("ro.pdf", "x");
        QVERIFY(::chmod(QFile::encodeName(destination).constData(), 0444) == 0);
        OutputFile output(destination);
        QVERIFY(!output.targetWritable());
        OutputFile fresh(dir_.filePath("new.pdf"));
        QVERIFY(fresh.targetWritable());
    }
};

QTEST_GUILESS_MAIN(OutputFileTest)
#include "OutputFileTest.moc"
