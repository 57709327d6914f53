#include "EditPlan.h"

#include <QTest>

Q_DECLARE_METATYPE(EditPlan)
Q_DECLARE_METATYPE(std::optional<QString>)

class EditPlanTest : public QObject {
    Q_OBJECT

private slots:
    void mergedWith_data() {
        QTest::addColumn<EditPlan>("first");
        QTest::addColumn<EditPlan>("later");
        QTest::addColumn<EditPlan>("expected");

        EditPlan base;
        base.changeTo(InfoField::Title, "All");
        base.changeTo(InfoField::Author, "Legal");
        base.setKey("Dept", "Legal");
        base.removeKey("Old");
        base.setCopyright("© All");
        base.setCopyrightUrl("https://example.com/all");

        QTest::newRow("an empty later plan changes nothing") << base << EditPlan() << base;
        QTest::newRow("onto an empty plan, the later one") << EditPlan() << base << base;

        EditPlan row;
        row.changeTo(InfoField::Title, "One");
        row.remove(InfoField::Author);
        row.setKey("Dept", "");
        row.setKey("Case", "17");
        row.setKey("Old", "back");
        row.setCopyright("");
        // Everything the later plan changes, and the address it leaves alone.
        EditPlan merged = row;
        merged.setCopyrightUrl("https://example.com/all");
        QTest::newRow("later wins per key, the rest stays") << base << row << merged;

        EditPlan removes;
        removes.removeKey("Dept");
        removes.titleFromFileName();
        EditPlan removed = base;
        removed.removeKey("Dept");
        removed.titleFromFileName();
        QTest::newRow("a removal and the title from the name win too")
            << base << removes << removed;
    }
    void mergedWith() {
        QFETCH(EditPlan, first);
        QFETCH(EditPlan, later);
        QFETCH(EditPlan, expected);
        QCOMPARE(first.mergedWith(later), expected);
    }

    void keyProblem_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<std::optional<QString>>("value");
        QTest::addColumn<bool>("fine");
        const std::optional<QString> removed;
        QTest::newRow("plain") << "SourceModified" << std::optional<QString>("x") << true;
        QTest::newRow("punctuation") << "PTEX.Fullbanner#1:a" << std::optional<QString>("") << true;
        QTest::newRow("empty") << "" << std::optional<QString>("x") << false;
        QTest::newRow("space") << "Two words" << std::optional<QString>("x") << false;
        QTest::newRow("tab") << "a\tb" << removed << false;
        QTest::newRow("line end") << "a\r\nInfoKey: b" << std::optional<QString>("x") << false;
        QTest::newRow("slash") << "a/b" << std::optional<QString>("x") << false;
        QTest::newRow("bracket") << "a]" << removed << false;
        QTest::newRow("percent") << "100%" << std::optional<QString>("x") << false;
        QTest::newRow("not ASCII") << "Schlüssel" << std::optional<QString>("x") << false;
        QTest::newRow("not ASCII, removed") << "Schlüssel" << removed << true;
        QTest::newRow("not ASCII space, removed") << "a\u00a0b" << removed << true;
        QTest::newRow("Trapped True") << "Trapped" << std::optional<QString>("True") << true;
        QTest::newRow("Trapped Unknown") << "Trapped" << std::optional<QString>("Unknown") << true;
        QTest::newRow("Trapped removed") << "Trapped" << removed << true;
        QTest::newRow("Trapped lower case") << "Trapped" << std::optional<QString>("true") << false;
        QTest::newRow("Trapped empty") << "Trapped" << std::optional<QString>("") << false;
    }
    void keyProblem() {
        QFETCH(QString, key);
        QFETCH(std::optional<QString>, value);
        QFETCH(bool, fine);
        const QString problem = EditPlan::keyProblem(key, value);
        QVERIFY2(problem.isEmpty() == fine, qPrintable(problem));
    }

    // One of the eight keys is the same as its field, for setting and removing.
    void keysOfTheEightAreFields() {
        EditPlan byKey;
        byKey.setKey("CreationDate", "D:20240101");
        byKey.removeKey("Keywords");
        EditPlan byField;
        byField.changeTo(InfoField::CreationDate, "D:20240101");
        byField.remove(InfoField::Keywords);
        QCOMPARE(byKey, byField);
        QVERIFY(byKey.otherKeys().isEmpty());
        QCOMPARE(byKey.removedKeys(), QStringList{"Keywords"});
        QCOMPARE(byKey.infoEdits({}).value("CreationDate"), std::optional<QString>("D:20240101"));
    }
};

QTEST_GUILESS_MAIN(EditPlanTest)
#include "EditPlanTest.moc"
