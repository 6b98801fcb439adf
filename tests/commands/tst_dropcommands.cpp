#include "commandfixture.h"
#include "commands/dropcommands.h"
#include "commands/openstate.h"
#include "lang/messages.h"
#include "storage/listfile.h"
#include "testfiles.h"

#include <QTest>

using TestZips::filesBelow;

// Drops on the catalogue tree, as the commands see them: archives dragged
// between sections, and the selected pages of the open archive dropped on a
// node, against real zips read back afterwards.
class TestDropCommands : public QObject, CommandFixture {
    Q_OBJECT

    // A zip of files (path → bytes) with a list file of pages "title=file";
    // none at all when pages is null.
    void makeZip(const QString &zipPath, const QMap<QString, QByteArray> &files,
                 const QStringList *pages)
    {
        QVERIFY(CommandFiles::writeZip(zipPath, files, pages, path("stage")));
    }

    // Books: Novels (open, pages A.. with a.htm and a_files/p.png ...), Poems;
    // Travel: Maps, News, Novels again (the same zip); Misc: nothing.
    void openNovels(int pageCount = 6)
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        catalogue().appendArchive("Poems", path("arch/poems.zip"));
        catalogue().appendSection("Travel");
        catalogue().appendArchive("Maps", path("arch/maps.zip"));
        catalogue().appendArchive("News", path("arch/news.zip"));
        catalogue().appendArchive("Novels copy", path("arch/./novels.zip"));
        catalogue().appendSection("Misc");
        QMap<QString, QByteArray> files;
        QStringList list;
        for (int i = 0; i < pageCount; ++i) {
            const QString base = QString(QChar(u'a' + i));
            files.insert(base + ".htm", "page " + base.toUtf8());
            files.insert(base + "_files/p.png", base.toUtf8());
            list << base.toUpper() + u'=' + base + ".htm";
        }
        makeZip(path("arch/novels.zip"), files, &list);
        const QStringList poems{"Ode=ode.htm"};
        makeZip(path("arch/poems.zip"), {{"ode.htm", "ode"}}, &poems);
        const QStringList maps{"Alps=alps.htm"};
        makeZip(path("arch/maps.zip"), {{"alps.htm", "alps"}}, &maps);
        QCOMPARE(m_session->archive().open(path("arch/novels.zip"), *m_ui),
                 OpenArchive::OpenStatus::Opened);
        Commands::enterOpenState(*m_ctx, nodeNamed("Novels"));
        // The drop runs on the whole copy, as runCommand sees to.
        QVERIFY(Commands::wholeCopyReady(*m_ctx));
        m_view->calls.clear();
    }

    void selectPages(const QList<int> &rows, int focused)
    {
        QItemSelectionModel &selection = m_session->pageSelection();
        selection.clear();
        for (int row : rows)
            selection.select(pages().index(row), QItemSelectionModel::Select);
        selection.setCurrentIndex(pages().index(focused), QItemSelectionModel::NoUpdate);
    }

    // The pages a zip lists, "title=file" each, and its files, after
    // Info-ZIP found every entry sound.
    QStringList listOf(const QString &zipPath, QMap<QString, QByteArray> *files = nullptr)
    {
        return CommandFiles::checkedListOf(zipPath, path("peek"), files);
    }

    // Node names as "Section" and "Section/Archive", in tree order.
    QStringList shape()
    {
        QStringList names;
        for (int i = 0; i < catalogue().nodeCount(); ++i) {
            const int section = catalogue().sectionOf(i);
            names << (section == i
                          ? catalogue().node(i).name
                          : catalogue().node(section).name + u'/' + catalogue().node(i).name);
        }
        return names;
    }

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void archiveDrops_data()
    {
        QTest::addColumn<QString>("dragged");
        QTest::addColumn<QString>("target"); // empty: no node
        QTest::addColumn<QStringList>("after");
        const QStringList before{"Books",       "Books/Novels", "Books/Poems",        "Travel",
                                 "Travel/Maps", "Travel/News",  "Travel/Novels copy", "Misc"};
        QTest::newRow("closed archive onto another section")
            << "Poems"
            << "Travel"
            << QStringList{"Books",       "Books/Novels",       "Travel",       "Travel/Maps",
                           "Travel/News", "Travel/Novels copy", "Travel/Poems", "Misc"};
        QTest::newRow("onto an archive of another section: last there")
            << "Poems"
            << "Maps"
            << QStringList{"Books",       "Books/Novels",       "Travel",       "Travel/Maps",
                           "Travel/News", "Travel/Novels copy", "Travel/Poems", "Misc"};
        QTest::newRow("into an empty section")
            << "Maps"
            << "Misc"
            << QStringList{"Books",       "Books/Novels",       "Books/Poems", "Travel",
                           "Travel/News", "Travel/Novels copy", "Misc",        "Misc/Maps"};
        QTest::newRow("onto its own section") << "Poems"
                                              << "Books" << before;
        QTest::newRow("onto an archive of its own section") << "Poems"
                                                            << "Novels" << before;
        QTest::newRow("onto itself") << "Poems"
                                     << "Poems" << before;
        QTest::newRow("onto empty space") << "Poems"
                                          << "" << before;
        QTest::newRow("a section") << "Books"
                                   << "Travel" << before;
        QTest::newRow("a section onto an archive") << "Misc"
                                                   << "Poems" << before;
    }
    // Only the catalogue changes, never a zip; both lists stay as long as
    // the tree, with each node's path and name at its index.
    void archiveDrops()
    {
        QFETCH(QString, dragged);
        QFETCH(QString, target);
        QFETCH(QStringList, after);
        openNovels();
        const QByteArray poems = TestFiles::read(path("arch/poems.zip"));
        QMap<QString, QString> pathOf;
        for (int i = 0; i < catalogue().nodeCount(); ++i)
            pathOf.insert(catalogue().node(i).name, catalogue().node(i).path);
        Commands::dropNodeOnNode(*m_ctx, nodeNamed(dragged),
                                 target.isEmpty() ? -1 : nodeNamed(target));
        QVERIFY(m_ui->verify());
        QCOMPARE(shape(), after);
        QCOMPARE(catalogue().archivePaths().size(), catalogue().nodeCount());
        for (int i = 0; i < catalogue().nodeCount(); ++i)
            QCOMPARE(catalogue().archivePaths().at(i), pathOf.value(catalogue().nodeNames().at(i)));
        QCOMPARE(m_session->openNode(), nodeNamed("Novels"));
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), poems);
        QVERIFY(m_view->calls.isEmpty());
        QVERIFY(!m_session->archive().isChanged());
    }

    // A name taken in the target section is refused with both lines joined
    // by a single CR; another letter case is another name.
    void archiveNameTakenInTheTarget()
    {
        openNovels();
        catalogue().addArchive(nodeNamed("Books"), "News", path("arch/other-news.zip"));
        catalogue().addArchive(nodeNamed("Misc"), "news", path("arch/lower-news.zip"));
        const auto travelNews = [this] { return int(catalogue().nodeNames().lastIndexOf("News")); };
        QCOMPARE(catalogue().sectionOf(travelNews()), nodeNamed("Travel"));
        m_ui->expectRefusal("In chosen section archive with such name already exists!\r"
                            "So carrying the archive impossible. Rename the archive!");
        Commands::dropNodeOnNode(*m_ctx, travelNews(), nodeNamed("Poems"));
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().sectionOf(travelNews()), nodeNamed("Travel"));

        Commands::dropNodeOnNode(*m_ctx, travelNews(), nodeNamed("Misc"));
        QVERIFY(m_ui->verify());
        QCOMPARE(shape().mid(shape().indexOf("Misc")),
                 (QStringList{"Misc", "Misc/news", "Misc/News"}));
    }

    // The open archive's index keeps naming it when an archive passes it
    // either way, and it stays open when it moves itself.
    void openArchiveFollows()
    {
        openNovels();
        m_session->setStatusText("old status");
        // The open archive itself: still open, with its picture, at its new place.
        QCOMPARE(m_session->openNode(), 1);
        catalogue().addArchive(nodeNamed("Books"), "Last", path("arch/last.zip"));
        Commands::dropNodeOnNode(*m_ctx, 1, nodeNamed("Misc"));
        QCOMPARE(catalogue().node(m_session->openNode()).name, "Novels");
        QCOMPARE(m_session->openNode(), catalogue().nodeCount() - 1);
        QCOMPARE(catalogue().node(m_session->openNode()).picture,
                 int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(catalogue().node(nodeNamed("Poems")).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(m_session->statusText(), "Open Archive: Misc\\Novels");

        // Closed archives moving before it leave its index alone; one passing
        // it forwards makes it one less, one passing it backwards one more.
        int open = m_session->openNode();
        Commands::dropNodeOnNode(*m_ctx, nodeNamed("Maps"), nodeNamed("Books"));
        QCOMPARE(m_session->openNode(), open);
        Commands::dropNodeOnNode(*m_ctx, nodeNamed("Novels copy"), nodeNamed("Poems"));
        QCOMPARE(m_session->openNode(), open);
        Commands::dropNodeOnNode(*m_ctx, nodeNamed("Poems"), nodeNamed("Novels"));
        QCOMPARE(m_session->openNode(), open - 1);
        open = m_session->openNode();
        Commands::dropNodeOnNode(*m_ctx, nodeNamed("Poems"), nodeNamed("Travel"));
        QCOMPARE(m_session->openNode(), open + 1);
        QCOMPARE(catalogue().node(m_session->openNode()).name, "Novels");
        QCOMPARE(m_session->statusText(), "Open Archive: Misc\\Novels");
        // Its working copy and pages were never touched.
        QCOMPARE(pages().count(), 6);
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(m_view->calls.isEmpty());
        QVERIFY(m_ui->verify());
    }

    void pageDropChecksInTheirOrder_data()
    {
        QTest::addColumn<bool>("pageSelected");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no page selected") << false << "Books"
                                          << "Error Drag&Drop: no Selected Files!";
        QTest::newRow("on empty space") << true << ""
                                        << "Error Drag&Drop: no Selected Sender";
        QTest::newRow("on a section") << true << "Travel"
                                      << "Error Drag&Drop: Sender is Section!";
        QTest::newRow("on the open archive") << true << "Novels"
                                             << "Error Drag&Drop: Selected opened Arhive!";
        QTest::newRow("on another entry of the open archive's zip")
            << true << "Novels copy"
            << "Error Drag&Drop: Selected opened Arhive!";
    }
    void pageDropChecksInTheirOrder()
    {
        QFETCH(bool, pageSelected);
        QFETCH(QString, target);
        QFETCH(QString, refusal);
        openNovels();
        if (pageSelected)
            selectPages({1, 3}, 3);
        else
            m_session->pageSelection().clear();
        const QByteArray zip = TestFiles::read(path("arch/novels.zip"));
        m_ui->expectRefusal(refusal);
        Commands::dropPagesOnNode(*m_ctx, target.isEmpty() ? -1 : nodeNamed(target));
        QVERIFY(m_ui->verify());
        QCOMPARE(pages().count(), 6);
        QVERIFY(!m_session->archive().isChanged());
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), zip);
        QVERIFY(!QFileInfo::exists(path("data/TEMP_ARCH2")));
    }

    // Pages 2 and 5 of 6 go into a closed archive in one write-back of it,
    // the higher first; the open archive loses them only then.
    void selectedPagesMoveHighestFirst()
    {
        openNovels();
        m_session->setPagePosition(4, 5); // E shown, F before it
        selectPages({1, 4}, 0);           // the focus on an unselected page
        const int works = m_ui->workCount();
        Commands::dropPagesOnNode(*m_ctx, nodeNamed("Poems"));
        QVERIFY(m_ui->verify());
        QCOMPARE(m_ui->workCount(), works + 1);
        QCOMPARE(pages().titles(), (QStringList{"A", "C", "D", "F"}));
        QMap<QString, QByteArray> files;
        QCOMPARE(listOf(path("arch/poems.zip"), &files),
                 (QStringList{"Ode=ode.htm", "E=e.htm", "B=b.htm"}));
        QCOMPARE(files.value("e.htm"), QByteArray("page e"));
        QCOMPARE(files.value("b_files/p.png"), QByteArray("b"));
        QCOMPARE(files.value("ode.htm"), QByteArray("ode"));
        for (const char *gone : {"b.htm", "b_files", "e.htm", "e_files"})
            QVERIFY2(!QFileInfo::exists(work() + u'/' + QLatin1String(gone)), gone);
        QVERIFY(QFileInfo::exists(work() + "/c_files/p.png"));
        QVERIFY(!QFileInfo::exists(path("data/TEMP_ARCH2")));
        QVERIFY(m_session->archive().isChanged());
        // The shown page left: the one now at its place (F) is shown; the
        // page before it kept its name.
        QCOMPARE(m_session->currentPage(), 3);
        QCOMPARE(m_session->previousPage(), 3);
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/f.htm");

        // Written back, the open archive holds the four pages left.
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QCOMPARE(listOf(path("arch/novels.zip"), &files),
                 (QStringList{"A=a.htm", "C=c.htm", "D=d.htm", "F=f.htm"}));
        QCOMPARE(files.size(), 1 + 4 * 2);
    }

    // A second drop right after the first goes into another archive with
    // nothing of the first; dropping every page leaves the list empty and
    // the page controls off.
    void twoDropsInARow()
    {
        openNovels(3);
        selectPages({0}, 0);
        Commands::dropPagesOnNode(*m_ctx, nodeNamed("Maps"));
        selectPages({0, 1}, 1);
        Commands::dropPagesOnNode(*m_ctx, nodeNamed("Poems"));
        QVERIFY(m_ui->verify());
        QMap<QString, QByteArray> files;
        QCOMPARE(listOf(path("arch/maps.zip"), &files), (QStringList{"Alps=alps.htm", "A=a.htm"}));
        QCOMPARE(files.keys(), (QStringList{"a.htm", "a_files/p.png", "alps.htm", "listfile.txt"}));
        QCOMPARE(listOf(path("arch/poems.zip"), &files),
                 (QStringList{"Ode=ode.htm", "C=c.htm", "B=b.htm"}));
        QVERIFY(!files.contains("a.htm"));
        QCOMPARE(pages().count(), 0);
        QVERIFY(!m_session->pageControlsEnabled());
        QCOMPARE(m_view->calls.last(), "navigate about:blank");
    }

    // Whatever stops a drop, both archives stay as they were and no page
    // moves, also when only a later page cannot be carried.
    void failedDropLosesNothing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("target without a list") << "nolist";
        QTest::newRow("damaged target") << "damaged";
        QTest::newRow("target cannot be written") << "locked";
        QTest::newRow("a page missing from the working copy") << "missing page";
    }
    void failedDropLosesNothing()
    {
        QFETCH(QString, what);
        openNovels();
        if (what == "nolist") {
            makeZip(path("arch/poems.zip"), {{"ode.htm", "ode"}}, nullptr);
            m_ui->expectMessage(msg(MessageId::MoveTargetWithoutList) + "\r\n" +
                                QDir::toNativeSeparators(path("arch/poems.zip")));
        } else if (what == "damaged") {
            QVERIFY(TestFiles::write(path("arch/poems.zip"), "not a zip at all"));
            m_ui->expectMessage(msg(MessageId::ArchiveDamaged));
        } else if (what == "locked") {
            const bool locked =
                TestFiles::runningAsRoot()
                    ? TestFiles::run("chattr", {"+i", path("arch")}) == 0
                    : QFile::setPermissions(path("arch"), QFile::ReadOwner | QFile::ExeOwner);
            if (!locked)
                QSKIP("cannot lock a folder against changes here");
            m_ui->expectMessage();
        } else {
            // The lower page goes second: the first is already in the copy.
            QVERIFY(QFile::remove(work() + "/b.htm"));
            m_ui->expectError();
        }
        const QByteArray target = TestFiles::read(path("arch/poems.zip"));
        const QByteArray open = TestFiles::read(path("arch/novels.zip"));
        const auto workBefore = filesBelow(work());
        selectPages({1, 4}, 1);
        Commands::dropPagesOnNode(*m_ctx, nodeNamed("Poems"));
        if (what == "locked") {
            if (TestFiles::runningAsRoot())
                TestFiles::run("chattr", {"-i", path("arch")});
            else
                QFile::setPermissions(path("arch"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QVERIFY(m_ui->verify());
        if (what == "missing page")
            QVERIFY(m_ui->log().last().contains(QDir::toNativeSeparators(work() + "/b.htm")));
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), target);
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), open);
        QCOMPARE(filesBelow(work()), workBefore);
        QCOMPARE(pages().titles(), (QStringList{"A", "B", "C", "D", "E", "F"}));
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(!QFileInfo::exists(path("data/TEMP_ARCH2")));
        QCOMPARE(QDir(path("arch")).entryList(QDir::Files),
                 (QStringList{"maps.zip", "novels.zip", "poems.zip"}));
    }
};

QTEST_GUILESS_MAIN(TestDropCommands)
#include "tst_dropcommands.moc"
