#include "FileList.h"

#include "Controls.h"
#include "DragReorder.h"
#include "Failure.h"

#include <QTest>
#include <QTreeWidget>

using Zone = DragReorder::Zone;

class FileListTest : public QObject {
    Q_OBJECT

private:
    static void fill(FileList& list, const QStringList& rows) {
        for (const QString& row : rows)
            list.AddPath(row);
    }

private slots:
    void operations() {
        QTreeWidget view;
        FileList list(&view);
        QCOMPARE(list.Count(), 0);
        QCOMPARE(list.SelectedPath(), QString());
        fill(list, {"/in/a.pdf", "/in/b.pdf", "/in/a.pdf"});
        QCOMPARE(list.Count(), 3);
        QVERIFY(list.ContainsPath("/in/a.pdf"));
        QVERIFY(!list.ContainsPath("/in/A.pdf"));
        QVERIFY(!list.ContainsPath("/in/a.pd"));
        QCOMPARE(list.PathAt(3), QStringLiteral("/in/a.pdf"));
        QVERIFY_THROWS_EXCEPTION(Failure, list.PathAt(0));
        QVERIFY_THROWS_EXCEPTION(Failure, list.PathAt(4));

        list.RemoveSelected(); // nothing selected: nothing removed
        QCOMPARE(list.Count(), 3);
        list.select(2);
        QCOMPARE(list.SelectedPath(), QStringLiteral("/in/b.pdf"));
        list.RemoveSelected();
        QCOMPARE(listedPaths(list), (QStringList{"/in/a.pdf", "/in/a.pdf"}));
        list.Clear();
        QCOMPARE(list.Count(), 0);
    }

    // Dragging the first of A, B, C, D down over B and then C leaves B, C, A, D with A selected.
    void dragTravelsWithThePointer() {
        QTreeWidget view;
        FileList list(&view);
        fill(list, {"A", "B", "C", "D"});
        DragReorder drag(list);
        drag.press();
        list.select(1);
        drag.itemClick();
        drag.move(1, Zone::Middle);
        drag.move(2, Zone::Middle);
        drag.move(3, Zone::Middle);
        drag.release();
        QCOMPARE(listedPaths(list), (QStringList{"B", "C", "A", "D"}));
        QCOMPARE(list.SelectedPath(), QStringLiteral("A"));
        QCOMPARE(drag.draggedPosition(), 3);
    }

    void skippedRowsSimplyExchange() {
        QTreeWidget view;
        FileList list(&view);
        fill(list, {"A", "B", "C", "D"});
        DragReorder drag(list);
        drag.press();
        list.select(1);
        drag.itemClick();
        drag.move(4, Zone::Middle);
        QCOMPARE(listedPaths(list), (QStringList{"D", "B", "C", "A"}));
    }

    void nothingMovesWithoutAHeldButtonOrOverEqualText() {
        QTreeWidget view;
        FileList list(&view);
        fill(list, {"A", "A", "B"});
        DragReorder drag(list);
        list.select(1);
        drag.itemClick();
        drag.move(3, Zone::Middle); // not held
        QCOMPARE(listedPaths(list), (QStringList{"A", "A", "B"}));
        drag.press();
        drag.move(2, Zone::Middle); // same text
        drag.move(0, Zone::Middle); // empty space
        QCOMPARE(listedPaths(list), (QStringList{"A", "A", "B"}));
        QCOMPARE(list.SelectedPosition(), 1);
    }

    // The remembered row goes with a press that lands on no row; once it has been removed or
    // the list cleared, nothing may be moved on its account.
    void removedDraggedRowIsNeverActedOn() {
        QTreeWidget view;
        FileList list(&view);
        fill(list, {"A", "B", "C"});
        DragReorder drag(list);
        list.select(2);
        drag.itemClick();
        list.RemoveSelected();
        QCOMPARE(drag.draggedPosition(), 0);
        drag.press();
        drag.move(1, Zone::Middle);
        QCOMPARE(listedPaths(list), (QStringList{"A", "C"}));

        list.select(2);
        drag.itemClick();
        list.Clear();
        fill(list, {"X", "Y"});
        drag.move(1, Zone::Middle);
        QCOMPARE(listedPaths(list), (QStringList{"X", "Y"}));
    }

    void draggedRowFollowsWhenRowsAboveGo() {
        QTreeWidget view;
        FileList list(&view);
        fill(list, {"A", "B", "C"});
        DragReorder drag(list);
        list.select(3);
        drag.itemClick();
        list.select(1);
        list.RemoveSelected();
        QCOMPARE(drag.draggedPosition(), 2);
        drag.press();
        drag.move(1, Zone::Middle);
        QCOMPARE(listedPaths(list), (QStringList{"C", "B"}));
    }

    void zoneOf_data() {
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("zone");
        QTest::newRow("top edge") << 0 << int(Zone::Top);
        QTest::newRow("just above a third") << 99 << int(Zone::Top);
        QTest::newRow("a third") << 100 << int(Zone::Middle);
        QTest::newRow("just below two thirds") << 199 << int(Zone::Middle);
        QTest::newRow("two thirds") << 200 << int(Zone::Bottom);
        QTest::newRow("bottom") << 299 << int(Zone::Bottom);
    }
    void zoneOf() {
        QFETCH(int, y);
        QFETCH(int, zone);
        QCOMPARE(int(DragReorder::zoneOf(y, 300)), zone);
    }

    void scrollsAlongAtTheEdges() {
        QTreeWidget view;
        view.resize(200, 120);
        view.show();
        FileList list(&view);
        for (int i = 1; i <= 40; ++i)
            list.AddPath(QStringLiteral("row %1").arg(i, 2, 10, QLatin1Char('0')));
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const auto visible = [&](int position) {
            const QRect rect = view.visualItemRect(view.topLevelItem(position - 1));
            return view.viewport()->rect().contains(rect);
        };
        int last = 1;
        while (visible(last + 1))
            ++last;
        DragReorder drag(list);
        list.select(last - 1);
        drag.itemClick();
        drag.press();
        drag.move(last, Zone::Bottom);
        QVERIFY(visible(last + 1));
        drag.move(last + 1, Zone::Middle);
        QVERIFY(!visible(last + 2));
    }
};

QTEST_MAIN(FileListTest)
#include "FileListTest.moc"
