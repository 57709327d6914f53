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
        base.setLanguage("de");

        QTest::newRow("an empty later plan changes nothing") << base << EditPlan() << base;
        QTest::newRow("onto an empty plan, the later one") << EditPlan() << base << base;

        EditPlan row;
        row.changeTo(InfoField::Title, "One");
        row.remove(InfoField::Author);
        row.setKey("Dept", "");
        row.setKey("Case", "17");
        row.setKey("Old", "back");
        row.setCopyright("");
        row.setLanguage("");
        row.showTitleInTitleBar();
        // Everything the later plan changes, and the address it leaves alone.
        EditPlan merged = row;
        merged.setCopyrightUrl("https://example.com/all");
        QTest::newRow("later wins per key, the rest stays") << base << row << merged;

        EditPlan removes;
        removes.removeKey("Dept");
        removes.titleFromFileName();
        EditPlan removed = base;
        removed.removeKey("Dept");
        removes.setLanguage("fr-CA");
        removed.setLanguage("fr-CA");
        removed.titleFromFileName();
        QTest::newRow("a removal and the title from the name win too")
            << base << removes << removed;

        // A table's cell names its key in any case, the command line exactly: the cell wins for
        // its file, as for any key, rather than both changing one key differently.
        EditPlan cell;
        cell.setKey(EditPlan::keyNamed("Dept"), "Sales");
        EditPlan overridden;
        overridden.changeTo(InfoField::Title, "All");
        overridden.changeTo(InfoField::Author, "Legal");
        overridden.setKey(EditPlan::keyNamed("Dept"), "Sales");
        overridden.removeKey("Old");
        overridden.setCopyright("© All");
        overridden.setCopyrightUrl("https://example.com/all");
        overridden.setLanguage("de");
        QTest::newRow("a key named in any case wins over the same spelled exactly")
            << base << cell << overridden;
    }
    void mergedWith() {
        QFETCH(EditPlan, first);
        QFETCH(EditPlan, later);
        QFETCH(EditPlan, expected);
        QCOMPARE(first.mergedWith(later), expected);
    }

    // Tags as BCP 47 forms them, the language first; anything else is refused.
    void languageTags_data() {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("taken");
        for (const char* tag :
             {"de", "en-GB", "pt-BR", "zh-Hant-TW", "sr-Latn-RS", "es-419", "de-CH-1901", "EN-us",
              "x-klingon", "en-US-x-twain", "yue", "zh-yue-HK", "en-a-bbb-ccc"})
            QTest::newRow(tag) << QString(tag) << true;
        for (const char* tag : {"", "english", "German", "de_DE", "e", "de-", "-de", "en--GB",
                                "123", "de-DE-DE", "en GB", "de-Latn-Cyrl", "ä"})
            QTest::newRow(tag[0] ? tag : "empty") << QString(tag) << false;
    }
    void languageTags() {
        QFETCH(QString, tag);
        QFETCH(bool, taken);
        QCOMPARE(EditPlan::isLanguageTag(tag), taken);
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

    // A name as --remove and a table's header take it, for a file holding keys: a field by its
    // key or option name in any case, any other key in any case as the file spells it, exactly
    // with a slash; a name that could be two keys changes nothing and names both.
    void keysNamedInAnyCase_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<QString>>("value"); // nothing: removed
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<QStringList>("changed"); // the keys the plan then sets or removes
        QTest::addColumn<QString>("problem");
        const std::optional<QString> removed;
        const QStringList none;
        QTest::newRow("company removes Company")
            << "company" << removed << QStringList{"Company", "Dept"} << QStringList{"Company"}
            << "";
        QTest::newRow("company sets Company")
            << "company" << std::optional<QString>("x") << QStringList{"Company"}
            << QStringList{"Company"} << "";
        QTest::newRow("a key the file lacks is added as named")
            << "company" << std::optional<QString>("x") << QStringList{"Dept"}
            << QStringList{"company"} << "";
        QTest::newRow("/company is only company")
            << "/company" << removed << QStringList{"Company"} << QStringList{"company"} << "";
        QTest::newRow("the key spelled exactly so, beside another case")
            << "company" << removed << QStringList{"COMPANY", "company"} << QStringList{"company"}
            << "";
        QTest::newRow("two keys, neither spelled so")
            << "Company" << removed << QStringList{"COMPANY", "company"} << none
            << "\"Company\" could be the key COMPANY or company, which differ only in case: name "
               "the one meant with a slash before it, spelled exactly as the file spells it "
               "(/COMPANY or /company)";
        QTest::newRow("a field's key in another case")
            << "TITLE" << removed << QStringList{"Title", "TITLE"} << QStringList{"Title"} << "";
        QTest::newRow("a field's option name")
            << "Creation-Date" << std::optional<QString>("D:20240101") << none
            << QStringList{"CreationDate"} << "";
        QTest::newRow("/title is the key title, not the field")
            << "/title" << std::optional<QString>("x") << QStringList{"Title"}
            << QStringList{"title"} << "";
        QTest::newRow("letters other than A to Z keep their case")
            << "ÜBER" << removed << QStringList{"über"} << QStringList{"ÜBER"} << "";
        QTest::newRow("the key found takes only what it can")
            << "trapped" << std::optional<QString>("yes") << QStringList{"Trapped"} << none
            << "Trapped can only be True, False or Unknown";
    }
    void keysNamedInAnyCase() {
        QFETCH(QString, name);
        QFETCH(std::optional<QString>, value);
        QFETCH(QStringList, held);
        QFETCH(QStringList, changed);
        QFETCH(QString, problem);
        EditPlan plan;
        if (value)
            plan.setKey(EditPlan::keyNamed(name), *value);
        else
            plan.removeKey(EditPlan::keyNamed(name));
        const std::variant<EditPlan, QString> found = plan.forKeys(held);
        if (!problem.isEmpty()) {
            QCOMPARE(std::get<QString>(found), problem);
            return;
        }
        const QString* refused = std::get_if<QString>(&found);
        QVERIFY2(!refused, qPrintable(refused ? *refused : QString()));
        const EditPlan& resolved = std::get<EditPlan>(found);
        QVERIFY(!resolved.hasKeysInAnyCase());
        QCOMPARE(resolved.infoEdits({}).keys(), changed);
        QCOMPARE(resolved.infoEdits({}).first(), value);
    }

    // One of the eight keys is the same as its field, for setting and removing.
    // A template worked out for a file, and read backwards as a pattern of its name: keys in
    // any case, braces doubled, the shortest text each placeholder takes.
    void templates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("filled"); // or the pattern's values, key=value;...
        QTest::addColumn<QString>("name");   // matched against the pattern; empty: fill
        const QString none;
        QTest::newRow("file, folder, keys in any case")
            << "{folder}/{name}: {title} {COMPANY} {Author}"
            << "Reports/Smith - Q3: habibi Acme " << none;
        QTest::newRow("braces") << "{{name}} }}{{"
                                << "{name} }{" << none;
        QTest::newRow("file date, text field") << "{file-date}"
                                               << "2001-09-09" << none;
        QTest::newRow("shortest first") << "{Author} - {Title}"
                                        << "Author=Smith;Title=A - B"
                                        << "Smith - A - B";
        QTest::newRow("the whole name") << "{Title} report"
                                        << ""
                                        << "Q3 report 2";
        QTest::newRow("no empty value") << "{Author} - {Title}"
                                        << ""
                                        << " - Report";
    }
    void templates() {
        QFETCH(QString, text);
        QFETCH(QString, filled);
        QFETCH(QString, name);
        const FieldTemplate parsed = std::get<FieldTemplate>(FieldTemplate::parse(text));
        if (name.isEmpty()) {
            const FieldTemplate::FileFacts facts{"Smith - Q3",
                                                 "Reports",
                                                 {{"Title", "habibi"}, {"Company", "Acme"}},
                                                 {},
                                                 QDateTime(QDate(2001, 9, 9), QTime(11, 46))};
            QCOMPARE(parsed.fill(facts, false), filled);
            return;
        }
        const std::optional<QMap<QString, QString>> values = parsed.match(name);
        QStringList pairs;
        for (auto value = values.value_or(QMap<QString, QString>()).cbegin();
             values && value != values->cend(); ++value)
            pairs << value.key() + "=" + value.value();
        QCOMPARE(pairs.join(';'), filled);
    }

    void templatesThatAreNot_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("unclosed") << "{Title";
        QTest::newRow("opened twice") << "{Ti{tle}";
        QTest::newRow("lone closing") << "Title}";
        QTest::newRow("empty") << "{}";
        QTest::newRow("a space") << "{two words}";
        QTest::newRow("a delimiter") << "{a/b}";
    }
    void templatesThatAreNot() {
        QFETCH(QString, text);
        QVERIFY(std::holds_alternative<QString>(FieldTemplate::parse(text)));
    }

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
