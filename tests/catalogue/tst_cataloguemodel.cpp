#include "catalogue/cataloguemodel.h"

#include <QAbstractItemModelTester>
#include <QTest>

class TestCatalogueModel : public QObject {
    Q_OBJECT

    // The flat lists and the tree as seen through the model must tell the same story.
    static void checkParallel(const CatalogueModel &m)
    {
        QCOMPARE(m.archivePaths().size(), m.nodeCount());
        QCOMPARE(m.nodeNames().size(), m.nodeCount());
        int abs = 0;
        for (int s = 0; s < m.rowCount(); ++s) {
            const QModelIndex section = m.index(s, 0);
            QCOMPARE(m.absoluteIndex(section), abs);
            QCOMPARE(m.modelIndex(abs), section);
            QCOMPARE(section.data().toString(), m.nodeNames().at(abs));
            QCOMPARE(m.archivePaths().at(abs), QString(" "));
            QCOMPARE(section.data(CatalogueModel::PictureRole).toInt(), 0);
            ++abs;
            for (int a = 0; a < m.rowCount(section); ++a) {
                const QModelIndex archive = m.index(a, 0, section);
                QCOMPARE(archive.parent(), section);
                QCOMPARE(m.absoluteIndex(archive), abs);
                QCOMPARE(m.modelIndex(abs), archive);
                QCOMPARE(archive.data().toString(), m.nodeNames().at(abs));
                QCOMPARE(archive.data(CatalogueModel::PathRole).toString(),
                         m.archivePaths().at(abs));
                ++abs;
            }
        }
        QCOMPARE(abs, m.nodeCount());
    }

private Q_SLOTS:
    void editsKeepListsParallelToTheTree()
    {
        CatalogueModel m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(m.appendArchive("orphan", "/o.zip"), -1);
        const int books = m.appendSection("Books");
        m.appendArchive("Novels", "/a/novels.zip");
        m.appendArchive("Poems", "/b/poems.zip");
        m.appendSection("Misc");
        checkParallel(m);
        QCOMPARE(m.nodeNames(), QStringList({"Books", "Novels", "Poems", "Misc"}));

        QCOMPARE(m.addArchive(books, "Essays", "/e.zip"), 3);
        QCOMPARE(m.addArchive(3, "Notes", "/n.zip"), -1); // not a section any more
        QCOMPARE(m.addArchive(4, "Notes", "/n.zip"), 5);
        checkParallel(m);
        QCOMPARE(m.sectionOf(5), 4);
        QCOMPARE(m.archivesOf(books), QList<int>({1, 2, 3}));

        m.setNodeName(2, "Verse");
        m.setArchivePath(2, "/v.zip");
        m.setPicture(2, CatalogueNode::OpenArchivePicture);
        QCOMPARE(m.modelIndex(2).data(CatalogueModel::PictureRole).toInt(), 2);
        m.removeNode(1);
        checkParallel(m);
        m.removeNode(0); // a section goes with its archives
        checkParallel(m);
        QCOMPARE(m.nodeNames(), QStringList({"Misc", "Notes"}));
        m.clear();
        QCOMPARE(m.nodeCount(), 0);
        QCOMPARE(m.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogueModel)
#include "tst_cataloguemodel.moc"
