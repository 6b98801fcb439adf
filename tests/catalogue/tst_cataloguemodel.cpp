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

    // An archive moved to the first or last place of a section, its own or
    // another, before or after it: the lists follow the tree, and the node
    // keeps its name, path and picture.
    void moveArchive_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("section");
        QTest::addColumn<bool>("first");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("index");

        // A: a1, a2; B: b1; C:
        QTest::newRow("to a later section, first")
            << "a1"
            << "B" << true << QStringList{"A", "a2", "B", "a1", "b1", "C"} << 3;
        QTest::newRow("to a later section, last")
            << "a1"
            << "B" << false << QStringList{"A", "a2", "B", "b1", "a1", "C"} << 4;
        QTest::newRow("to an earlier section, first")
            << "b1"
            << "A" << true << QStringList{"A", "b1", "a1", "a2", "B", "C"} << 1;
        QTest::newRow("to an earlier section, last")
            << "b1"
            << "A" << false << QStringList{"A", "a1", "a2", "b1", "B", "C"} << 3;
        QTest::newRow("to an empty last section")
            << "a2"
            << "C" << true << QStringList{"A", "a1", "B", "b1", "C", "a2"} << 5;
        QTest::newRow("own section, first")
            << "a2"
            << "A" << true << QStringList{"A", "a2", "a1", "B", "b1", "C"} << 1;
        QTest::newRow("own section, last")
            << "a1"
            << "A" << false << QStringList{"A", "a2", "a1", "B", "b1", "C"} << 2;
        QTest::newRow("already first")
            << "a1"
            << "A" << true << QStringList{"A", "a1", "a2", "B", "b1", "C"} << 1;
        QTest::newRow("already last")
            << "a2"
            << "A" << false << QStringList{"A", "a1", "a2", "B", "b1", "C"} << 2;
        QTest::newRow("a section is no archive")
            << "B"
            << "A" << true << QStringList{"A", "a1", "a2", "B", "b1", "C"} << -1;
        QTest::newRow("an archive is no section")
            << "a1"
            << "b1" << true << QStringList{"A", "a1", "a2", "B", "b1", "C"} << -1;
    }
    void moveArchive()
    {
        QFETCH(QString, archive);
        QFETCH(QString, section);
        QFETCH(bool, first);
        QFETCH(QStringList, after);
        QFETCH(int, index);
        CatalogueModel m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const int a = m.appendSection("A");
        m.addArchive(a, "a1", "/a1.zip");
        m.addArchive(a, "a2", "/a2.zip");
        m.addArchive(m.appendSection("B"), "b1", "/b1.zip");
        m.appendSection("C");
        const int from = static_cast<int>(m.nodeNames().indexOf(archive));
        if (!m.isSection(from))
            m.setPicture(from, CatalogueNode::OpenArchivePicture);

        const int moved =
            m.moveArchive(from, static_cast<int>(m.nodeNames().indexOf(section)),
                          first ? CatalogueModel::Place::First : CatalogueModel::Place::Last);

        QCOMPARE(moved, index);
        QCOMPARE(m.nodeNames(), after);
        checkParallel(m);
        if (moved >= 0) {
            QCOMPARE(m.node(moved).path, "/" + archive + ".zip");
            QCOMPARE(m.node(moved).picture, int(CatalogueNode::OpenArchivePicture));
            QCOMPARE(m.node(moved).level, 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogueModel)
#include "tst_cataloguemodel.moc"
