#include "QtDialogs.h"
#include "ScriptedDialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

class DialogsTest : public QObject {
    Q_OBJECT

    QtDialogs native_;

private slots:
    // As the window's start-up does; without it the seam writes to standard error.
    void initTestCase() { Dialogs::setNative(&native_); }

    void untitledBoxesCarryApplicationTitle() {
        Dialogs::setApplicationTitle(QStringLiteral("Metascribe"));
        ScriptedDialogs dialogs;
        dialogs.inputAnswers.push_back(QStringLiteral("typed"));
        Dialogs::current().message(QStringLiteral("Done."));
        Dialogs::current().message(QStringLiteral("x"), QStringLiteral("Application Error"));
        QCOMPARE(Dialogs::current().input(QStringLiteral("Extension?")),
                 std::optional<QString>(QStringLiteral("typed")));
        QCOMPARE(dialogs.shown.size(), 3);
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Metascribe"));
        QCOMPARE(dialogs.shown[1].title, QStringLiteral("Application Error"));
        QCOMPARE(dialogs.shown[2].title, QStringLiteral("Metascribe"));
    }

    void scriptedAnswersAreCautiousWhenNoneQueued() {
        ScriptedDialogs dialogs;
        QCOMPARE(Dialogs::current().message("q", {}, Dialogs::Buttons::YesNo), Dialogs::Answer::No);
        QCOMPARE(Dialogs::current().input("p"), std::nullopt);
        QCOMPARE(Dialogs::current().pickFolder("c", "/"), QString());
        QCOMPARE(dialogs.unanswered, 3);
    }

    void forDisplay_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("CR LF") << "a\r\nb"
                               << "a\nb";
        QTest::newRow("two lone CR make an empty line") << "a\r\rb"
                                                        << "a\n\nb";
        QTest::newRow("LF kept") << "a\nb"
                                 << "a\nb";
        QTest::newRow("mixed") << "a\r\nb\r\rc"
                               << "a\nb\n\nc";
    }
    void forDisplay() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(QtDialogs::forDisplay(text), expected);
    }

    // The real boxes, answered by a timer, show the texts with line breaks and give the button
    // pressed.
    void nativeMessageBox() {
        QString shownText;
        QString shownTitle;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownText = box->text();
            shownTitle = box->windowTitle();
            QCOMPARE(box->icon(), QMessageBox::Warning);
            box->button(QMessageBox::No)->click();
        });
        const Dialogs::Answer answer = Dialogs::current().message(
            "first\r\nsecond\r\rthird", "Box", Dialogs::Buttons::YesNo, Dialogs::Icon::Warning);
        QCOMPARE(answer, Dialogs::Answer::No);
        QCOMPARE(shownText, QStringLiteral("first\nsecond\n\nthird"));
        QCOMPARE(shownTitle, QStringLiteral("Box"));
    }

    // A web address stays on one line, and what a screen reader reads (and a copy of the box
    // takes) is the text itself, with nothing hidden in it.
    void addressKeptWholeAndClean() {
        const QString address = "https://www.example.com/questions/metascribe/contact";
        const QString text = "When description fields can not be manually changed, it means that "
                             "they are locked and can never be changed even with this "
                             "program.\r\rQuestions? Please contact the team of this program at " +
                             address;
        QString read;
        int firstLine = -1;
        int lastLine = -2;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label);
            read = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            // Laid out as the label lays it out: where the address begins and ends.
            QTextDocument laidOut;
            laidOut.setDefaultFont(label->font());
            laidOut.setDocumentMargin(0);
            if (label->textFormat() == Qt::RichText)
                laidOut.setHtml(label->text());
            else
                laidOut.setPlainText(label->text());
            laidOut.setTextWidth(label->contentsRect().width());
            const QTextBlock block = laidOut.lastBlock();
            const int start = int(block.text().indexOf(QStringLiteral("https:")));
            QVERIFY(start >= 0);
            firstLine = block.layout()->lineForTextPosition(start).lineNumber();
            lastLine = block.layout()->lineForTextPosition(block.length() - 2).lineNumber();
            box->button(QMessageBox::Ok)->click();
        });
        Dialogs::current().message(text);
        QCOMPARE(read, QtDialogs::forDisplay(text));
        QCOMPARE(firstLine, lastLine);
    }

    // The details of an end box list a path and its reason a line: each fits on one line.
    void detailsAreWideEnoughForALine() {
        const QString line = "/home/someone/Contracts/agreement.pdf: it was changed by another "
                             "program during the run";
        int needed = 0;
        int shown = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            auto* details = box->findChild<QTextEdit*>();
            QVERIFY(details);
            needed = details->fontMetrics().horizontalAdvance(line);
            shown = details->minimumWidth();
            box->button(QMessageBox::Ok)->click();
        });
        Dialogs::current().message("Done.", {}, Dialogs::Buttons::Ok, Dialogs::Icon::None,
                                   line + "\r\n" + line);
        QVERIFY2(shown >= needed, qPrintable(QString("%1 < %2").arg(shown).arg(needed)));
    }

    void nativeInputCancelGivesNothing() {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            box->reject();
        });
        QCOMPARE(Dialogs::current().input("prompt", "Input Password"), std::nullopt);

        // A password is hidden as it is typed.
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        QTimer::singleShot(0, [&echo] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(box);
            echo = box->textEchoMode();
            box->setTextValue(QStringLiteral("sécret"));
            box->accept();
        });
        QCOMPARE(Dialogs::current().password("prompt", "Input Password"),
                 std::optional<QString>(QStringLiteral("sécret")));
        QCOMPARE(echo, QLineEdit::Password);
    }

    // The filter "*.pdf" offers files whatever the letter case of their extension.
    void openFilesFilterIgnoresCase() {
        QTemporaryDir dir;
        for (const char* name : {"SCAN.PDF", "a.pdf", "B.Pdf", "notes.txt"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList offered;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Add File(s)"));
            auto* model = dialog->findChild<QFileSystemModel*>();
            QVERIFY(model);
            const auto names = [&] {
                QStringList found;
                const QModelIndex root = model->index(dir.path());
                for (int row = 0; row < model->rowCount(root); ++row) {
                    const QModelIndex index = model->index(row, 0, root);
                    if (!model->flags(index).testFlag(Qt::ItemIsEnabled))
                        continue; // filtered out: shown greyed or not at all
                    found << model->fileName(index);
                }
                found.sort();
                return found;
            };
            QTRY_COMPARE(names().size(), 3);
            offered = names();
            dialog->reject();
        });
        const QStringList chosen =
            Dialogs::current().openFiles("Add File(s)", dir.path(), "PDF Files (*.pdf)");
        QVERIFY(chosen.isEmpty());
        QCOMPARE(offered, (QStringList{"B.Pdf", "SCAN.PDF", "a.pdf"}));
    }
};

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
