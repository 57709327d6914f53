#include "PdfCopier.h"
#include "PdfSnapshot.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>";

// A file whose page tree's root (object 2) lists firstKid (object 3), then a page (object 4),
// then the objects of chain (from object 5 on).
QByteArray treeWith(const QByteArray& firstKid, const QList<QByteArray>& chain = {}) {
    return TestFiles::pdfOf(QList<QByteArray>{"<< /Type /Catalog /Pages 2 0 R >>",
                                              "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
                                              firstKid, page} +
                            chain);
}

// Nodes from object 5 on, each the only kid of the one before, the last one's kid a page.
QList<QByteArray> chainOf(int nodes) {
    QList<QByteArray> chain;
    for (int number = 5; number < 5 + nodes; ++number)
        chain << "<< /Type /Pages /Kids [" + QByteArray::number(number + 1) + " 0 R] /Count 1 >>";
    chain << page;
    return chain;
}

} // namespace

// The page tree as it is written: what a viewer counts in it, and what the reader has to take
// out of it before it can list the pages, for a snapshot and for a repaired copy (which takes it
// out before the reader's own walk has looked at the tree). The two follow a node that calls
// itself a page differently: the reader walks into whatever has /Kids, a viewer shows a /Page as
// a page.
class PageTreeTest : public QObject {
    Q_OBJECT

private slots:
    void treeAsWritten_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("leaves");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("copied");
        QTest::newRow("pages") << treeWith(page) << 2 << 2 << 2;
        // The reader refuses to list a tree with a loop until the way back up is taken out.
        QTest::newRow("node leading back to the root")
            << treeWith("<< /Type /Pages /Kids [4 0 R 2 0 R] /Count 1 >>") << 2 << 2 << 2;
        QTest::newRow("page leading back to the root")
            << treeWith("<< /Type /Page /Parent 2 0 R /Kids [2 0 R] /MediaBox [0 0 9 9] >>") << 2
            << 1 << 1;
        QTest::newRow("as deep as a tree may be")
            << treeWith("<< /Kids [5 0 R] >>", chainOf(255)) << 2 << 2 << 2;
        QTest::newRow("deeper than any real tree")
            << treeWith("<< /Kids [5 0 R] >>", chainOf(256)) << 1 << 2 << 2;
    }
    void treeAsWritten() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, leaves);
        QFETCH(int, pages);
        QFETCH(int, copied);
        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.filePath("tree.pdf"), bytes);
        const PdfSnapshot snapshot = PdfSnapshot::read(file);
        QCOMPARE(snapshot.pageLeaves(), leaves);
        QCOMPARE(snapshot.pages(), pages);
        const QString copy = TestFiles::write(
            dir.filePath("copy.pdf"),
            PdfCopier::copyInMemory(file, std::nullopt, PdfCopier::Copy{.repair = true}));
        QCOMPARE(PdfSnapshot::read(copy).pages(), copied);
    }
};

QTEST_GUILESS_MAIN(PageTreeTest)
#include "PageTreeTest.moc"
