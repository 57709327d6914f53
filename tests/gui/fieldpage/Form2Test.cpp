#include "Form2.h"

#include "Controls.h"
#include "ScriptedDialogs.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

Q_DECLARE_METATYPE(InfoField)

namespace {
struct FieldControlNames {
    InfoField field;
    const char* changeTo;
    const char* keep;
    const char* text;
    const char* caption;
};
const FieldControlNames fieldControls[] = {
    {InfoField::Title, "Option3", "Option2", "Text1", "Title"},
    {InfoField::Subject, "Option4", "Option5", "Text2", "Subject"},
    {InfoField::Author, "Option7", "Option6", "Text3", "Author"},
    {InfoField::Keywords, "Option9", "Option8", "Text4", "Keywords"},
    {InfoField::Creator, "Option11", "Option10", "Text5", "Creator"},
    {InfoField::Producer, "Option13", "Option12", "Text6", "Producer"},
    {InfoField::CreationDate, "Option15", "Option14", "Text7", "Creation Date"},
    {InfoField::ModDate, "Option17", "Option16", "Text8", "Modified Date"},
};
} // namespace

class Form2Test : public QObject {
    Q_OBJECT

private:
private slots:
    void loadEmptiesEveryBox() {
        ScriptedDialogs dialogs;
        QWidget first;
        Form2 form(&first, nullptr);
        form.Form_Load();
        QCOMPARE(form.windowTitle(), QStringLiteral("Metascribe"));
        for (const FieldControlNames& names : fieldControls) {
            QCOMPARE(control<QLineEdit>(form, names.text)->text(), QString());
            QVERIFY(control<QRadioButton>(form, names.keep)->isChecked());
            QCOMPARE(control<QLineEdit>(form, names.text)->accessibleName(),
                     QLatin1String(names.caption));
        }
        QCOMPARE(form.plan(), EditPlan());
        QCOMPARE(form.progressBar()->text(), QStringLiteral("Progress Bar"));
        QCOMPARE(form.progressBar()->accessibleName(), QStringLiteral("Progress Bar"));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void planFromEachField_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 8; ++i)
            QTest::newRow(fieldControls[i].caption) << i;
    }
    void planFromEachField() {
        QFETCH(int, index);
        const FieldControlNames& names = fieldControls[index];
        QWidget first;
        Form2 form(&first, nullptr);
        form.Form_Load();
        // A text in a box whose field is kept is ignored.
        control<QLineEdit>(form, names.text)->setText(" typed  value ");
        control<QRadioButton>(form, names.keep)->click();
        QCOMPARE(form.plan(), EditPlan());

        control<QRadioButton>(form, names.changeTo)->click();
        EditPlan expected;
        expected.changeTo(names.field, " typed  value ");
        QCOMPARE(form.plan(), expected);
    }

    void typingSelectsChangeTo() {
        QWidget first;
        Form2 form(&first, nullptr);
        form.Form_Load();
        auto* keywords = control<QLineEdit>(form, "Text4");
        QTest::keyClicks(keywords, "x");
        QVERIFY(control<QRadioButton>(form, "Option9")->isChecked());
        QTest::keyClick(keywords, Qt::Key_Backspace);
        // Emptying the box selects nothing: "Change to:" stays with an empty text.
        QVERIFY(control<QRadioButton>(form, "Option9")->isChecked());
        EditPlan expected;
        expected.changeTo(InfoField::Keywords, "");
        QCOMPARE(form.plan(), expected);
    }

    void titleFromFileName() {
        QWidget first;
        Form2 form(&first, nullptr);
        form.Form_Load();
        control<QLineEdit>(form, "Text1")->setText("ignored");
        control<QRadioButton>(form, "Option1")->click();
        EditPlan expected;
        expected.titleFromFileName();
        QCOMPARE(form.plan(), expected);
        // Typing switches the Title back to "Change to:".
        QTest::keyClicks(control<QLineEdit>(form, "Text1"), "!");
        QVERIFY(control<QRadioButton>(form, "Option3")->isChecked());
        QCOMPARE(form.plan().choice(InfoField::Title).text, QStringLiteral("ignored!"));
    }

    void backShowsTheFirstPage() {
        QWidget first;
        Form2 form(&first, nullptr);
        form.Form_Load();
        form.show();
        control<QPushButton>(form, "PushButton3")->click();
        QVERIFY(first.isVisible());
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(Form2Test)
#include "Form2Test.moc"
