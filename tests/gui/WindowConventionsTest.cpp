#include "WindowConventions.h"

#include "HoverPointer.h"
#include "ScriptedDialogs.h"
#include "WindowPointer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using State = WindowPointer::State;

class WindowConventionsTest : public QObject {
    Q_OBJECT

private:
    static void moveOver(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

private slots:
    void titleFrom_data() {
        QTest::addColumn<QString>("displayName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short name unchanged") << "Metascribe"
                                              << "Metascribe";
        const QString forty = "Metascribe batch editor for PDF files 40";
        QCOMPARE(forty.size(), 40);
        QTest::newRow("exactly forty unchanged") << forty << forty;
        QTest::newRow("cut by whole words") << "Metascribe batch editor for PDF files 401"
                                            << "Metascribe batch editor for PDF files";
        QTest::newRow("several words go")
            << "Metascribe, the editor: for PDF document information fields"
            << "Metascribe, the editor: for PDF document";
        QTest::newRow("may end in punctuation")
            << "Metascribe, the editor: documentinformationfields"
            << "Metascribe, the editor:";
        QTest::newRow("no blank to cut at") << QString(45, 'x') << QString(40, 'x');
    }
    void titleFrom() {
        QFETCH(QString, displayName);
        QFETCH(QString, expected);
        QCOMPARE(WindowConventions::titleFrom(displayName), expected);
    }

    void applyTitleNamesUntitledBoxes() {
        ScriptedDialogs dialogs;
        WindowConventions::applyTitle();
        Dialogs::current().message("Done.");
        QCOMPARE(dialogs.shown.first().title, QStringLiteral("Metascribe"));
    }

    void captionIsTheDisplayName() {
        QWidget window;
        WindowConventions::applyCaptionAndIcon(&window);
        QCOMPARE(window.windowTitle(), QStringLiteral("Metascribe"));
    }

    void plainColourReachesOnlyPlainControls() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* frame = new QGroupBox("Title");
        auto* option = new QRadioButton("Do not change");
        auto* check = new QCheckBox("Prompt");
        auto* label = new QLabel("Label");
        auto* edit = new QLineEdit;
        auto* button = new QPushButton("Start Changing");
        for (QWidget* w : QList<QWidget*>{frame, option, check, label, edit, button})
            layout->addWidget(w);
        QPalette odd = window.palette();
        odd.setColor(QPalette::Window, Qt::magenta);
        for (QWidget* w : QList<QWidget*>{&window, frame, option, check, label, edit, button})
            w->setPalette(odd);

        WindowConventions::applyPlainColour(&window);
        const QColor face = window.palette().color(QPalette::Button);
        for (QWidget* w : QList<QWidget*>{&window, frame, option, check, label})
            QCOMPARE(w->palette().color(QPalette::Window), face);
        QCOMPARE(edit->palette().color(QPalette::Window), QColor(Qt::magenta));
        QCOMPARE(button->palette().color(QPalette::Window), QColor(Qt::magenta));
    }

    void hoverRules() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* button = new QPushButton("Next Step >");
        auto* frame = new QGroupBox("Frame1");
        auto* list = new QListWidget;
        auto* edit = new QLineEdit(frame);
        edit->setGeometry(20, 20, 80, 20);
        layout->addWidget(button);
        layout->addWidget(frame);
        layout->addWidget(list);
        HoverPointer::install(button, HoverPointer::Rule::Hand);
        HoverPointer::install(frame, HoverPointer::Rule::Reset);
        HoverPointer::install(list, HoverPointer::Rule::Reset);
        HoverPointer::install(&window, HoverPointer::Rule::Reset);
        window.show();

        moveOver(button);
        QCOMPARE(WindowPointer::state(&window), State::Custom);
        moveOver(edit); // not a listed surface: the hand stays
        QCOMPARE(WindowPointer::state(&window), State::Custom);
        moveOver(frame);
        QCOMPARE(WindowPointer::state(&window), State::Default);
        moveOver(button);
        moveOver(list->viewport());
        QCOMPARE(WindowPointer::state(&window), State::Default);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);

        // The hourglass is never replaced by a hover rule.
        WindowPointer::set(&window, State::Wait);
        QVERIFY(WindowPointer::isBusy(&window));
        moveOver(button);
        moveOver(&window);
        QCOMPARE(WindowPointer::state(&window), State::Wait);
        QCOMPARE(window.cursor().shape(), Qt::WaitCursor);
    }

    void customPointerFromCursorFile() {
        const std::optional<QCursor> cursor =
            WindowPointer::readCursorFile(RESOURCE_FOLDER "/HAND-M.CUR");
        QVERIFY(cursor);
        QCOMPARE(cursor->shape(), Qt::BitmapCursor);
        QCOMPARE(cursor->hotSpot(), QPoint(9, 0));
        QCOMPARE(cursor->pixmap().size(), QSize(32, 32));

        QWidget window;
        QVERIFY(WindowPointer::loadCustom(&window, RESOURCE_FOLDER "/HAND-M.CUR"));
        WindowPointer::set(&window, State::Custom);
        QCOMPARE(window.cursor().shape(), Qt::BitmapCursor);
    }

    void missingCursorFileFallsBackToPointingHand() {
        QTemporaryDir dir;
        QWidget window;
        QVERIFY(!WindowPointer::loadCustom(&window, dir.filePath("HAND-M.CUR")));
        // An icon file is not a cursor file: no hot spot to take.
        QVERIFY(!WindowPointer::loadCustom(&window, RESOURCE_FOLDER "/drag.ico"));
        WindowPointer::set(&window, State::Custom);
        QCOMPARE(window.cursor().shape(), Qt::PointingHandCursor);
    }
};

QTEST_MAIN(WindowConventionsTest)
#include "WindowConventionsTest.moc"
