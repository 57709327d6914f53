#include "FolderPicker.h"

#include "ScriptedDialogs.h"

#include <QTest>

class FolderPickerTest : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancel") << ""
                                << "";
        QTest::newRow("folder") << "/home/anna/Out"
                                << "/home/anna/Out";
        QTest::newRow("trailing separator dropped") << "/home/anna/Out/"
                                                    << "/home/anna/Out";
        QTest::newRow("root keeps its separator") << "/"
                                                  << "/";
        QTest::newRow("unicode") << "/home/ü/東京"
                                 << "/home/ü/東京";
    }
    void answers() {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        ScriptedDialogs dialogs;
        dialogs.folderAnswers.push_back(chosen);
        QCOMPARE(FolderPicker::BrowseForFolder("Please select folder:", "/srv/data"), expected);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().kind, ScriptedDialogs::Kind::FolderPicker);
        QCOMPARE(dialogs.shown.first().text, QStringLiteral("Please select folder:"));
        QCOMPARE(dialogs.shown.first().defaultText, QStringLiteral("/srv/data"));
    }
};

QTEST_GUILESS_MAIN(FolderPickerTest)
#include "FolderPickerTest.moc"
