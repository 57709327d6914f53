#include "SettingsStore.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class SettingsStoreTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir config_;
    QString file() const { return config_.filePath("Brightfen.ini"); }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path())); }

    void init() {
        QFile::remove(file());
        QDir(file()).removeRecursively();
    }

    void oneFilePerUserInTheConfigFolder() {
        QCOMPARE(SettingsStore::fileName(), file());
        SettingsStore::save("Option1", "True");
        QFile ini(file());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(ini.readAll()).trimmed(),
                 QStringLiteral("[Metascribe]\nOption1=True"));
    }

    void missingKeyGivesTheDefault() {
        QCOMPARE(SettingsStore::get("Extension", "pdf"), QStringLiteral("pdf"));
        QCOMPARE(SettingsStore::get("LastFolder"), QString());
        SettingsStore::save("Extension", "");
        QCOMPARE(SettingsStore::get("Extension", "pdf"), QString());
    }

    void textsComeBackUnchanged_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("path") << "/home/anna/Ergebnisse 2024/";
        QTest::newRow("sample list") << "/opt/m/Samples/a.pdf|/opt/m/Samples/b, c.pdf";
        QTest::newRow("comma") << "a, b";
        QTest::newRow("leading at") << "@Variant(x)";
        QTest::newRow("ini syntax") << "[x] ;# = \"q\" \\ \t";
        QTest::newRow("blanks") << "  spaced  ";
        QTest::newRow("unicode") << "/home/ü/東京/😀";
        QTest::newRow("newline") << "one\ntwo";
    }
    void textsComeBackUnchanged() {
        QFETCH(QString, text);
        SettingsStore::save("Text1", text);
        QCOMPARE(SettingsStore::get("Text1", "default"), text);
    }

    // Another program, or the user, editing the file is seen at the next read.
    void nothingIsCached() {
        SettingsStore::save("Check1", "0");
        QFile ini(file());
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[Metascribe]\nCheck1=1\nExtension=txt\n");
        ini.close();
        QCOMPARE(SettingsStore::get("Check1", "0"), QStringLiteral("1"));
        QCOMPARE(SettingsStore::get("Extension", "pdf"), QStringLiteral("txt"));
    }

    void unreadableFileIsNeverOverwritten() {
        QVERIFY(QDir().mkpath(file())); // a folder where the file should be cannot be read
        QCOMPARE(SettingsStore::get("Option1", "1"), QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore::save("Option1", "False"));
        QVERIFY(QFileInfo(file()).isDir());
    }

    void failedWriteThrowsAndKeepsTheFile() {
        SettingsStore::save("Text1", "/keep/me/");
        SettingsStore::save("Extension", "pdf");
        // The config folder is moved away and a plain file takes its place: no write can work.
        const QString folder = config_.path();
        QVERIFY(QDir().rename(folder, folder + ".away"));
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore::save("Text1", "/lost/"));
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().rename(folder + ".away", folder));
        QCOMPARE(SettingsStore::get("Text1"), QStringLiteral("/keep/me/"));
        QCOMPARE(SettingsStore::get("Extension"), QStringLiteral("pdf"));
    }

    void toBool_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::newRow("True") << "True" << true;
        QTest::newRow("false lower case") << "false" << false;
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("one") << "1" << true;
        QTest::newRow("zero") << "0" << false;
        QTest::newRow("minus one") << "-1" << true;
        QTest::newRow("fraction") << "0.5" << true;
        QTest::newRow("blanks") << " True " << true;
    }
    void toBool() {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(SettingsStore::toBool(text), expected);
    }

    void toInt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("blanks") << " 1 " << 1;
        QTest::newRow("negative") << "-2" << -2;
    }
    void toInt() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QCOMPARE(SettingsStore::toInt(text), expected);
    }

    void conversionsThatFail_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("yes") << "yes";
    }
    void conversionsThatFail() {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore::toBool(text));
        QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore::toInt(text));
    }

    void storedForms() {
        QCOMPARE(SettingsStore::fromBool(true), QStringLiteral("True"));
        QCOMPARE(SettingsStore::fromBool(false), QStringLiteral("False"));
        QVERIFY_THROWS_EXCEPTION(Failure, SettingsStore::toInt("1.5"));
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "SettingsStoreTest.moc"
