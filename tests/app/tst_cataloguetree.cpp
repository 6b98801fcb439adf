#include "app/cataloguetree.h"
#include "app/mainwindow.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "commands/commandfixture.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "storage/listfile.h"
#include "testfiles.h"
#include "windowtesting.h"

#include <QDirIterator>
#include <QDragEnterEvent>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

// Drops on the catalogue tree of the real window: the drag events a drop
// brings, with the data the dragging views' own models give, then the
// catalogue the window writes when it closes and the zips on disk.
class TestCatalogueTree : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<MainWindow> m_window;
    CatalogueTree *m_tree = nullptr;
    QListView *m_list = nullptr;
    QString m_previousFolder;

    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    Session &session() { return m_window->session(); }
    CatalogueModel &catalogue() { return session().catalogue(); }
    int node(const QString &name) { return int(catalogue().nodeNames().indexOf(name)); }
    QPoint pointOf(const QString &name)
    {
        return m_tree->visualRect(catalogue().modelIndex(node(name))).center();
    }

    void makeZip(const QString &zipPath, const QStringList &pages)
    {
        TestZips::Files files;
        for (const QString &page : pages) {
            const QString title = page.section(u'=', 0, 0);
            const QString name = page.section(u'=', 1);
            files.insert(name, "page " + title.toUtf8());
            files.insert(QFileInfo(name).baseName() + "_files/p.png", title.toUtf8());
        }
        QVERIFY(CommandFiles::writeZip(zipPath, files, &pages, path("stage")));
    }

    // The pages a zip lists, after Info-ZIP found it sound.
    QStringList listOf(const QString &zipPath)
    {
        return CommandFiles::checkedListOf(zipPath, path("peek"));
    }

    // Books: Novels (open, pages A..D), Poems; Travel: Maps, Novels copy
    // (the open archive's zip under another entry).
    bool openWindow()
    {
        openWindowAndArchive();
        return !QTest::currentTestFailed();
    }
    void openWindowAndArchive()
    {
        makeZip(path("arch/novels.zip"), {"A=a.htm", "B=b.htm", "C=c.htm", "D=d.htm"});
        makeZip(path("arch/poems.zip"), {"Ode=ode.htm"});
        makeZip(path("arch/maps.zip"), {"Alps=alps.htm"});
        TestFiles::write(path("tomekeeper.ini"),
                         "[Parameters]\r\nexistingfiles=0\r\n"
                         "[Archive files 1]\r\nSection=Books\r\nNovels=" +
                             path("arch/novels.zip").toUtf8() +
                             "\r\nPoems=" + path("arch/poems.zip").toUtf8() +
                             "\r\n[Archive files 2]\r\nSection=Travel\r\nMaps=" +
                             path("arch/maps.zip").toUtf8() +
                             "\r\nNovels copy=" + path("arch/./novels.zip").toUtf8() + "\r\n");
        m_window = std::make_unique<MainWindow>(ProgramPaths::under(m_dir->path(), path("home")),
                                                m_view.get(), m_ui.get());
        m_window->startUp();
        m_window->resize(1000, 900);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_tree = m_window->findChild<CatalogueTree *>("catalogueTree");
        m_list = m_window->findChild<QListView *>("pageList");
        QVERIFY(m_tree && m_list);
        session().selectNode(node("Novels"));
        m_window->runCommand(Command::OpenSelectedArchive);
        QCOMPARE(session().openNode(), node("Novels"));
        QCOMPARE(session().pages().count(), 4);
    }

    // The catalogue as the window wrote it when it closed: every line from the
    // first of its sections on.
    QStringList writtenCatalogue()
    {
        if (m_window && !m_window->isHidden())
            m_window->close();
        const QString ini = QString::fromUtf8(TestFiles::read(path("tomekeeper.ini")));
        const QStringList lines = ini.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QStringList catalogueLines;
        bool inCatalogue = false;
        for (const QString &line : lines) {
            if (line.startsWith(u'['))
                inCatalogue = line.startsWith(QStringLiteral("[Archive files "));
            else if (inCatalogue)
                catalogueLines << line.section(u'=', 0, 0);
        }
        return catalogueLines;
    }

    // The enter, move and drop events of a drag over the tree's viewport at
    // pos; whether the tree took each. Their source is the current drag's,
    // none here: the drag comes from another program.
    bool dragFromOutside(const QMimeData &data, const QPoint &pos, Qt::DropActions offered,
                         Qt::DropAction *taken = nullptr)
    {
        QWidget *viewport = m_tree->viewport();
        QDragEnterEvent enter(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QDropEvent drop(pos, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        if (taken)
            *taken = drop.dropAction();
        return enter.isAccepted() && move.isAccepted() && drop.isAccepted();
    }

    // A drag from within the program: what the tree's drop does with it.
    void dropFrom(QObject *source, const QModelIndexList &dragged, const QPoint &pos)
    {
        std::unique_ptr<QMimeData> data(
            dragged.isEmpty() ? new QMimeData : dragged.first().model()->mimeData(dragged));
        m_tree->dropFrom(source, data.get(), pos);
        // The command runs once the drop is over.
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents();
    }
    void dropNode(const QString &dragged, const QPoint &pos)
    {
        dropFrom(m_tree, {catalogue().modelIndex(node(dragged))}, pos);
    }
    void dropPages(const QList<int> &rows, const QPoint &pos)
    {
        QItemSelectionModel &selection = session().pageSelection();
        selection.clear();
        for (int row : rows)
            selection.select(session().pages().index(row), QItemSelectionModel::Select);
        dropFrom(m_list, selection.selectedIndexes(), pos);
    }
    QPoint emptySpace()
    {
        // Below the last node, with the sections folded to make room.
        m_tree->collapseAll();
        const QPoint point(4, m_tree->viewport()->height() - 4);
        return m_tree->indexAt(point).isValid() ? QPoint() : point;
    }

private Q_SLOTS:
    void initTestCase() { isolateHome(m_home.path()); }
    void init()
    {
        m_previousFolder = QDir::currentPath();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_view = std::make_unique<RecordingPageView>();
        m_ui = std::make_unique<ScriptedInteraction>();
        Messages::useEnglish();
    }
    void cleanup()
    {
        m_window.reset();
        m_ui.reset();
        QDir::setCurrent(m_previousFolder);
        m_view.reset();
        m_dir.reset();
    }

    void archiveDrops_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target"); // empty: empty space
        QTest::addColumn<QStringList>("written");
        const QStringList unchanged{"Section", "Novels", "Poems", "Section", "Maps", "Novels copy"};
        QTest::newRow("onto another section")
            << "Poems"
            << "Travel"
            << QStringList{"Section", "Novels", "Section", "Maps", "Novels copy", "Poems"};
        QTest::newRow("onto an archive of another section")
            << "Novels"
            << "Maps"
            << QStringList{"Section", "Poems", "Section", "Maps", "Novels copy", "Novels"};
        QTest::newRow("onto its own section") << "Poems"
                                              << "Books" << unchanged;
        QTest::newRow("onto an archive of its own section") << "Poems"
                                                            << "Novels" << unchanged;
        QTest::newRow("onto empty space") << "Poems"
                                          << "" << unchanged;
        QTest::newRow("a section") << "Books"
                                   << "Travel" << unchanged;
    }
    void archiveDrops()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(QStringList, written);
        QVERIFY(openWindow());
        const QByteArray novels = TestFiles::read(path("arch/novels.zip"));
        const QByteArray poems = TestFiles::read(path("arch/poems.zip"));
        const QPoint pos = target.isEmpty() ? emptySpace() : pointOf(target);
        QVERIFY(!pos.isNull());
        dropNode(dragged, pos);
        QVERIFY(m_ui->verify());
        // The open archive is still open where it is now, with its picture.
        QCOMPARE(catalogue().node(session().openNode()).name, "Novels");
        QCOMPARE(catalogue().node(session().openNode()).picture,
                 int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(session().pages().count(), 4);
        QCOMPARE(writtenCatalogue(), written);
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), poems);
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), novels);
    }

    // The page drops that are refused, each with its message; nothing moves.
    void refusedPageDrops_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("on a section") << "Travel"
                                      << "Error Drag&Drop: Sender is Section!";
        QTest::newRow("on empty space") << ""
                                        << "Error Drag&Drop: no Selected Sender";
        QTest::newRow("on the open archive") << "Novels"
                                             << "Error Drag&Drop: Selected opened Arhive!";
        QTest::newRow("on an archive sharing its zip")
            << "Novels copy"
            << "Error Drag&Drop: Selected opened Arhive!";
    }
    void refusedPageDrops()
    {
        QFETCH(QString, target);
        QFETCH(QString, refusal);
        QVERIFY(openWindow());
        const QByteArray poems = TestFiles::read(path("arch/poems.zip"));
        const QPoint pos = target.isEmpty() ? emptySpace() : pointOf(target);
        QVERIFY(!pos.isNull());
        m_ui->expectRefusal(refusal);
        dropPages({1, 2}, pos);
        QVERIFY(m_ui->verify());
        QCOMPARE(session().pages().count(), 4);
        QVERIFY(m_window->close());
        QCOMPARE(listOf(path("arch/novels.zip")),
                 (QStringList{"A=a.htm", "B=b.htm", "C=c.htm", "D=d.htm"}));
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), poems);
        QCOMPARE(writtenCatalogue(),
                 (QStringList{"Section", "Novels", "Poems", "Section", "Maps", "Novels copy"}));
    }

    // Pages dropped on closed archives, twice in a row: each target gets its
    // pages, the higher first, and the open archive keeps the rest.
    void pagesDroppedOnClosedArchives()
    {
        QVERIFY(openWindow());
        dropPages({1, 3}, pointOf("Poems"));
        QCOMPARE(session().pages().titles(), (QStringList{"A", "C"}));
        QCOMPARE(listOf(path("arch/poems.zip")),
                 (QStringList{"Ode=ode.htm", "D=d.htm", "B=b.htm"}));
        dropPages({0}, pointOf("Maps"));
        QVERIFY(m_ui->verify());
        QCOMPARE(session().pages().titles(), QStringList{"C"});
        QCOMPARE(listOf(path("arch/maps.zip")), (QStringList{"Alps=alps.htm", "A=a.htm"}));
        // The list shows what is left; its page controls stay on.
        QCOMPARE(m_list->model()->rowCount(), 1);
        QVERIFY(m_list->isEnabled());
        QCOMPARE(writtenCatalogue(),
                 (QStringList{"Section", "Novels", "Poems", "Section", "Maps", "Novels copy"}));
        QCOMPARE(listOf(path("arch/novels.zip")), QStringList{"C=c.htm"});
        QCOMPARE(listOf(path("arch/poems.zip")),
                 (QStringList{"Ode=ode.htm", "D=d.htm", "B=b.htm"}));
    }

    // Pages dropped on an archive whose zip is damaged: the user is told,
    // and both archives are as they were, also after the window closed.
    void pagesDroppedOnADamagedArchive()
    {
        QVERIFY(openWindow());
        QVERIFY(TestFiles::write(path("arch/poems.zip"), "not a zip at all"));
        m_ui->expectMessage(msg(MessageId::ArchiveDamaged));
        dropPages({0, 2}, pointOf("Poems"));
        QVERIFY(m_ui->verify());
        QCOMPARE(session().pages().count(), 4);
        QVERIFY(!session().archive().isChanged());
        QCOMPARE(writtenCatalogue(),
                 (QStringList{"Section", "Novels", "Poems", "Section", "Maps", "Novels copy"}));
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), QByteArray("not a zip at all"));
        QCOMPARE(listOf(path("arch/novels.zip")),
                 (QStringList{"A=a.htm", "B=b.htm", "C=c.htm", "D=d.htm"}));
    }

    // Files from a file manager, dropped on a node or on empty space, are
    // added as a drop on the window adds them: through the tree's own event
    // handlers, whose drag has no source in this program.
    void filesFromOutsideAreAdded()
    {
        QVERIFY(openWindow());
        TestFiles::write(path("in/new.htm"), "new");
        TestFiles::write(path("in/other.htm"), "other");
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(path("in/new.htm")), QUrl::fromLocalFile(path("in/other.htm"))});
        QSignalSpy dropped(m_window.get(), &MainWindow::filesDropped);
        Qt::DropAction taken = Qt::IgnoreAction;
        // Offered as a move too: the tree takes a copy, so the file manager
        // never deletes what it gave.
        QVERIFY(dragFromOutside(data, pointOf("Poems"), Qt::CopyAction | Qt::MoveAction, &taken));
        QCOMPARE(taken, Qt::CopyAction);
        QTRY_COMPARE(session().pages().count(), 6);
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(session().pages().titles().mid(4), (QStringList{"new", "other"}));
        QVERIFY(QFileInfo::exists(path("in/new.htm")));

        // Something of no file from outside is taken and does nothing.
        QMimeData text;
        text.setText("just text");
        QVERIFY(dragFromOutside(text, pointOf("Maps"), Qt::CopyAction));
        QTest::qWait(0);
        QCOMPARE(dropped.size(), 1);
        QVERIFY(m_ui->verify());

        QCOMPARE(writtenCatalogue(),
                 (QStringList{"Section", "Novels", "Poems", "Section", "Maps", "Novels copy"}));
        QCOMPARE(listOf(path("arch/novels.zip")),
                 (QStringList{"A=a.htm", "B=b.htm", "C=c.htm", "D=d.htm", "new=new.htm",
                              "other=other.htm"}));
        QCOMPARE(listOf(path("arch/poems.zip")), QStringList{"Ode=ode.htm"});
    }

    // A drag from elsewhere in the program is neither pages nor a node.
    void dragsFromOtherControlsDoNothing()
    {
        QVERIFY(openWindow());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(session().archive().workFolder() + "/a.htm")});
        QSignalSpy files(m_tree, &CatalogueTree::filesDropped);
        QSignalSpy pages(m_tree, &CatalogueTree::pagesDropped);
        QSignalSpy nodes(m_tree, &CatalogueTree::nodeDropped);
        m_tree->dropFrom(m_window.get(), &data, pointOf("Poems"));
        QTest::qWait(0);
        QCOMPARE(files.size() + pages.size() + nodes.size(), 0);
        QCOMPARE(session().pages().count(), 4);
    }
};

QTEST_MAIN(TestCatalogueTree)
#include "tst_cataloguetree.moc"
