#include "commandfixture.h"
#include "commands/addingcommands.h"
#include "commands/openstate.h"
#include "commands/pagecommands.h"
#include "lang/messages.h"
#include "storage/listfile.h"
#include "testfiles.h"

#include <QTest>
#include <unistd.h>

namespace {

const QString kBlank = QStringLiteral("navigate about:blank");

using CommandFiles::lockFolder;
using TestZips::filesBelow;

} // namespace

// Renaming, reordering, deleting, saving out and moving the pages of the open
// archive, with a scripted user, against real zips that are written back and
// read again.
class TestPageCommands : public QObject, CommandFixture {
    Q_OBJECT

    QItemSelectionModel &selection() { return m_session->pageSelection(); }

    // Writes a zip from files (path → bytes) with a list file of pages
    // ("title=file" each); no list file at all when pages is null.
    void makeZip(const QString &zipPath, const QMap<QString, QByteArray> &files,
                 const QStringList *pages)
    {
        QVERIFY(CommandFiles::writeZip(zipPath, files, pages, path("stage")));
    }
    // Books: Novels, Poems; Travel: Maps, Novels again (the same zip).
    // Novels opened with pages A..E (a.htm..e.htm, each with a_files..e_files).
    void openNovels(int pageCount = 5)
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        catalogue().appendArchive("Poems", path("arch/poems.zip"));
        catalogue().appendSection("Travel");
        catalogue().appendArchive("Maps", path("arch/maps.zip"));
        catalogue().appendArchive("Novels copy", path("arch/../arch/novels.zip"));
        // The same zip again, through a hard link: no path of it resolves to the other.
        catalogue().appendArchive("Novels linked", path("arch/linked/novels.zip"));
        QMap<QString, QByteArray> files;
        QStringList list;
        for (int i = 0; i < pageCount; ++i) {
            const QString base = QString(QChar(u'a' + i));
            files.insert(base + ".htm", "<img src=\"" + base.toUtf8() + "_files/p.png\">");
            files.insert(base + "_files/p.png", base.toUtf8());
            list << base.toUpper() + u'=' + base + ".htm";
        }
        makeZip(path("arch/novels.zip"), files, &list);
        QVERIFY(QDir().mkpath(path("arch/linked")));
        QVERIFY(::link(QFile::encodeName(path("arch/novels.zip")).constData(),
                       QFile::encodeName(path("arch/linked/novels.zip")).constData()) == 0);
        const QStringList poems{"Ode=ode.htm"};
        makeZip(path("arch/poems.zip"), {{"ode.htm", "ode"}}, &poems);
        const QStringList maps{"Alps=alps.htm"};
        makeZip(path("arch/maps.zip"), {{"alps.htm", "alps"}, {"alps_files/x.png", "x"}}, &maps);
        QCOMPARE(m_session->archive().open(path("arch/novels.zip"), *m_ui),
                 OpenArchive::OpenStatus::Opened);
        Commands::enterOpenState(*m_ctx, 1);
        // The commands here are called as runCommand calls them: on the whole copy.
        QVERIFY(Commands::wholeCopyReady(*m_ctx));
        m_session->selectNode(1);
        m_view->calls.clear();
    }
    void focus(int row, bool select = true)
    {
        selection().setCurrentIndex(pages().index(row), select ? QItemSelectionModel::ClearAndSelect
                                                               : QItemSelectionModel::NoUpdate);
    }
    // Writes the open archive back and reads it again; the pages must be
    // what they were.
    void writeBackAndReopen()
    {
        const QStringList before = titles();
        const QStringList beforeFiles = fileNames();
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QVERIFY(TestZips::passesTest(m_session->archive().zipPath()));
        QVERIFY(m_session->archive().close());
        QCOMPARE(m_session->archive().open(path("arch/novels.zip"), *m_ui),
                 OpenArchive::OpenStatus::Opened);
        QCOMPARE(titles(), before);
        QCOMPARE(fileNames(), beforeFiles);
    }
    // The pages listed in a zip's list file, "title=file" each.
    QStringList listOf(const QString &zipPath)
    {
        return CommandFiles::listOf(zipPath, path("peek"));
    }

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void rename_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::newRow("new title") << "Chapter two"
                                   << "";
        QTest::newRow("differs in case only") << "b"
                                              << "";
        QTest::newRow("another page's title") << "D"
                                              << "Such name in this archive already there is!";
        QTest::newRow("its own title") << "B"
                                       << "Such name in this archive already there is!";
        QTest::newRow("equals sign") << "Q=A"
                                     << "The character \"=\" is not allowed in name!";
        QTest::newRow("cancelled") << ""
                                   << "-";
    }
    void rename()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        openNovels();
        focus(1);
        m_ui->expectName("Input page's name", "Input new page's name:", "B", typed);
        if (!refusal.isEmpty() && refusal != "-")
            m_ui->expectMessage(refusal);
        Commands::renamePage(*m_ctx);
        QVERIFY(m_ui->verify());
        const bool accepted = refusal.isEmpty();
        QCOMPARE(m_session->archive().isChanged(), accepted);
        QCOMPARE(titles().at(1), accepted ? typed : QString("B"));
        QCOMPARE(fileNames().at(1), QString("b.htm"));
        if (accepted)
            writeBackAndReopen();
    }

    void moveUpAndDown()
    {
        openNovels();
        // Ends of the list: nothing happens.
        focus(0);
        Commands::movePageUp(*m_ctx);
        focus(4);
        Commands::movePageDown(*m_ctx);
        QVERIFY(!m_session->archive().isChanged());
        QCOMPARE(titles(), (QStringList{"A", "B", "C", "D", "E"}));

        // B is shown, C was seen before; A and D selected, B moved down twice.
        m_session->setPagePosition(1, 2);
        focus(0);
        selection().select(pages().index(3), QItemSelectionModel::Select);
        focus(1, false);
        Commands::movePageDown(*m_ctx);
        Commands::movePageDown(*m_ctx);
        QCOMPARE(titles(), (QStringList{"A", "C", "D", "B", "E"}));
        QCOMPARE(fileNames(), (QStringList{"a.htm", "c.htm", "d.htm", "b.htm", "e.htm"}));
        QCOMPARE(selection().currentIndex().row(), 3);
        QCOMPARE(selectedRows(), (QList<int>{0, 2, 3}));
        QVERIFY(m_view->calls.isEmpty());
        // The indices still name the page shown and the one seen before.
        QCOMPARE(m_session->currentPage(), 3);
        QCOMPARE(m_session->previousPage(), 1);
        QVERIFY(m_session->archive().isChanged());
        Commands::movePageUp(*m_ctx);
        QCOMPARE(titles(), (QStringList{"A", "C", "B", "D", "E"}));
        writeBackAndReopen();
    }

    void deleteShowsTheNeighbour_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("shown");
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("middle") << 2 << 1;
        QTest::newRow("last") << 4 << 3;
    }
    void deleteShowsTheNeighbour()
    {
        QFETCH(int, row);
        QFETCH(int, shown);
        openNovels();
        // A, the focused page and E selected.
        focus(row);
        selection().select(pages().index(0), QItemSelectionModel::Select);
        selection().select(pages().index(4), QItemSelectionModel::Select);
        const QString title = titles().at(row);
        const QString base = title.toLower();
        const qsizetype filesBefore = filesBelow(work()).size();
        m_ui->expectYesNo("You really want to delete page:\r\n\"" + title + "\"?", true);
        Commands::deletePage(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(pages().count(), 4);
        QVERIFY(!titles().contains(title));
        QVERIFY(!QFileInfo::exists(work() + "/" + base + ".htm"));
        QVERIFY(!QFileInfo::exists(work() + "/" + base + "_files"));
        QCOMPARE(filesBelow(work()).size(), filesBefore - 2);
        QCOMPARE(m_session->currentPage(), shown);
        QCOMPARE(m_session->previousPage(), shown);
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/" + fileNames().at(shown));
        QCOMPARE(selection().currentIndex().row(), shown);
        QVERIFY(selection().isSelected(pages().index(shown)));
        // The other selected pages stay selected.
        QVERIFY(selection().isSelected(pages().index(0)));
        QVERIFY(selection().isSelected(pages().index(3)));
        QVERIFY(m_session->pageControlsEnabled());
        QVERIFY(m_session->archive().isChanged());
        writeBackAndReopen();
        QVERIFY(!TestZips::names(path("arch/novels.zip")).contains(base + ".htm"));
    }

    void answeringNoDeletesNothing()
    {
        openNovels();
        focus(2);
        m_ui->expectYesNo({}, false);
        Commands::deletePage(*m_ctx);
        QCOMPARE(pages().count(), 5);
        QVERIFY(QFileInfo::exists(work() + "/c_files/p.png"));
        QVERIFY(!m_session->archive().isChanged());
    }

    // Which folder goes with a page: a dotted base name, both kinds of
    // folder, and a folder two pages share.
    void deleteRemovesOnlyThePagesOwnFiles()
    {
        openNovels(1);
        const QStringList names{"a.b.htm", "report.htm", "two.htm", "two.html", "dup.htm"};
        for (const QString &name : names)
            QVERIFY(TestFiles::write(work() + "/" + name, "page"));
        QVERIFY(TestFiles::write(work() + "/a.b_files/sub/x.png", "x"));
        QVERIFY(TestFiles::write(work() + "/report.files/r.png", "r"));
        QVERIFY(TestFiles::write(work() + "/report_files/r.png", "r2"));
        QVERIFY(TestFiles::write(work() + "/two_files/t.png", "t"));
        for (const QString &name : names)
            pages().append(name.section(u'.', 0, 0) + name.section(u'.', -1), name);
        pages().append("dup again", "dup.htm"); // two entries, one file

        auto remove = [this](const QString &fileName) {
            focus(int(fileNames().indexOf(fileName)));
            m_ui->expectYesNo({}, true);
            Commands::deletePage(*m_ctx);
        };
        remove("a.b.htm");
        QVERIFY(!QFileInfo::exists(work() + "/a.b.htm"));
        QVERIFY(!QFileInfo::exists(work() + "/a.b_files"));
        remove("report.htm");
        QVERIFY(!QFileInfo::exists(work() + "/report.files"));
        QVERIFY(QFileInfo::exists(work() + "/report_files/r.png"));
        remove("two.htm");
        QVERIFY(!QFileInfo::exists(work() + "/two.htm"));
        QVERIFY(QFileInfo::exists(work() + "/two_files/t.png")); // two.html's too
        remove("dup.htm");
        QVERIFY(QFileInfo::exists(work() + "/dup.htm")); // "dup again" still shows it
        QVERIFY(m_ui->verify());
        writeBackAndReopen();
    }

    // A page that lies in another page's folder keeps its files when that
    // page goes, deleted or moved away: only what no listed page uses leaves.
    void aPageInsideAnotherPagesFolderStays_data()
    {
        QTest::addColumn<bool>("moved");
        QTest::newRow("deleted") << false;
        QTest::newRow("moved away") << true;
    }
    void aPageInsideAnotherPagesFolderStays()
    {
        QFETCH(bool, moved);
        openNovels(1);
        QVERIFY(TestFiles::write(work() + "/a_files/inner.htm", "<img src=\"inner_files/i.png\">"));
        QVERIFY(TestFiles::write(work() + "/a_files/inner_files/i.png", "i"));
        pages().append("Inner", "a_files/inner.htm");
        focus(0);
        if (moved) {
            m_session->selectNode(nodeNamed("Poems"));
            Commands::movePageToArchive(*m_ctx);
        } else {
            m_ui->expectYesNo({}, true);
            Commands::deletePage(*m_ctx);
        }
        QVERIFY(m_ui->verify());
        QCOMPARE(titles(), QStringList{"Inner"});
        QVERIFY(!QFileInfo::exists(work() + "/a.htm"));
        QVERIFY(!QFileInfo::exists(work() + "/a_files/p.png"));
        QCOMPARE(TestFiles::read(work() + "/a_files/inner.htm"),
                 QByteArray("<img src=\"inner_files/i.png\">"));
        QCOMPARE(TestFiles::read(work() + "/a_files/inner_files/i.png"), QByteArray("i"));
        writeBackAndReopen();
        QCOMPARE(TestZips::names(path("arch/novels.zip")),
                 (QStringList{"a_files/inner.htm", "a_files/inner_files/i.png", "listfile.txt"}));
    }

    // A page file whose name no zip can keep (taken in by an older copy of
    // the program) goes with its page, and the archive can be written again.
    void aPageNamedWithABackslashCanBeDeleted()
    {
        openNovels(1);
        QVERIFY(TestFiles::write(work() + "/x\\y.htm", "x"));
        pages().append("X", "x\\y.htm");
        QVERIFY(!m_session->archive().writeBack(*m_ui));
        focus(1);
        m_ui->expectYesNo({}, true);
        Commands::deletePage(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(!QFileInfo::exists(work() + "/x\\y.htm"));
        writeBackAndReopen();
        QCOMPARE(titles(), QStringList{"A"});
    }

    void deletingTheLastPageTurnsThePageControlsOff()
    {
        openNovels(1);
        focus(0);
        m_ui->expectYesNo({}, true);
        Commands::deletePage(*m_ctx);
        QCOMPARE(pages().count(), 0);
        QVERIFY(!m_session->pageControlsEnabled());
        QCOMPARE(m_session->navigation(), NavigationButtons{});
        QCOMPARE(m_view->calls.last(), kBlank);
        QCOMPARE(m_session->openNode(), 1);
        QVERIFY(m_session->archive().isOpen());
        QVERIFY(m_session->archive().isChanged());
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QCOMPARE(TestZips::names(path("arch/novels.zip")), QStringList{"listfile.txt"});
    }

    void saveOut()
    {
        openNovels();
        m_session->settings().deleteOriginals = true;
        QVERIFY(TestFiles::write(work() + "/b_files/deep/s.css", "css"));
        focus(1);
        // Cancelled: nothing anywhere.
        m_ui->expectFolder({}, {}, {});
        Commands::savePageToFolder(*m_ctx);
        // Into a folder yet to be made, with the folder's sub-folders.
        m_ui->expectFolder({}, {}, path("out/new"));
        Commands::savePageToFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(filesBelow(path("out/new")),
                 (QMap<QString, QByteArray>{{"b.htm", "<img src=\"b_files/p.png\">"},
                                            {"b_files/p.png", "b"},
                                            {"b_files/deep/s.css", "css"}}));
        // Again: the user's copy is never replaced; asked, and refused, nothing changes.
        m_ui->expectFolder({}, {}, path("out/new"));
        m_ui->expectYesNo(msg(MessageId::SaveOutNameTaken).arg("b.htm"), false);
        Commands::savePageToFolder(*m_ctx);
        QCOMPARE(filesBelow(path("out/new")).size(), 3);
        // Agreed: a free name, with the references following the folder.
        QVERIFY(TestFiles::write(path("out/new/b.htm"), "mine"));
        m_ui->expectFolder({}, {}, path("out/new"));
        m_ui->expectYesNo({}, true);
        Commands::savePageToFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        const auto saved = filesBelow(path("out/new"));
        QCOMPARE(saved.value("b.htm"), QByteArray("mine"));
        QCOMPARE(saved.value("b_1.htm"), QByteArray("<img src=\"b_1_files/p.png\">"));
        QCOMPARE(saved.value("b_1_files/deep/s.css"), QByteArray("css"));
        // The page stays in the archive, untouched, with "delete originals" on.
        QVERIFY(!m_session->archive().isChanged());
        QCOMPARE(pages().count(), 5);
        QVERIFY(QFileInfo::exists(work() + "/b_files/deep/s.css"));
        QVERIFY(QFileInfo::exists(work() + "/b.htm"));
        // Never into the program's own working folders.
        m_ui->expectFolder({}, {}, work() + "/b_files");
        m_ui->expectRefusal(msg(MessageId::SaveOutIntoWorkFolder));
        Commands::savePageToFolder(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    // Pages that come into an empty list, wherever from, bring a focused
    // page with them: the page commands act on the first one at once.
    void pagesIntoAnEmptyListHaveAFocusedPage_data()
    {
        QTest::addColumn<bool>("emptied"); // by deleting its last page; else opened empty
        QTest::addColumn<QString>("source");
        for (const bool emptied : {false, true}) {
            for (const char *source : {"add", "search", "drop"})
                QTest::addRow("%s, %s", emptied ? "emptied" : "opened empty", source)
                    << emptied << QString::fromLatin1(source);
        }
    }
    void pagesIntoAnEmptyListHaveAFocusedPage()
    {
        QFETCH(bool, emptied);
        QFETCH(QString, source);
        openNovels(emptied ? 1 : 0);
        if (emptied) {
            focus(0);
            m_ui->expectYesNo({}, true);
            Commands::deletePage(*m_ctx);
        }
        QCOMPARE(pages().count(), 0);
        QVERIFY(TestFiles::write(path("saved/x.htm"), "x"));
        QVERIFY(TestFiles::write(path("saved/y.htm"), "y"));
        const QStringList both{path("saved/x.htm"), path("saved/y.htm")};
        if (source == "add") {
            m_ui->expectOpenFiles({}, {}, true, both);
            Commands::addPages(*m_ctx);
        } else if (source == "search") {
            m_ui->expectFolder({}, {}, path("saved"));
            Commands::searchFolder(*m_ctx);
        } else {
            Commands::addDroppedFiles(*m_ctx, both);
        }
        QCOMPARE(pages().count(), 2);
        const QString first = titles().first();
        m_ui->expectName("Input page's name", "Input new page's name:", first, "renamed");
        Commands::renamePage(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(titles().first(), QString("renamed"));
    }

    // A page whose free name its references cannot follow stays out of the
    // user's folder, and the message speaks of that folder, not of the archive.
    void saveOutUnderAFreeNameRefused()
    {
        openNovels();
        QVERIFY(TestFiles::write(work() + "/c.htm", "<p>no link to its folder</p>"));
        QVERIFY(TestFiles::write(path("out/c.htm"), "mine"));
        focus(2);
        m_ui->expectFolder({}, {}, path("out"));
        m_ui->expectYesNo(msg(MessageId::SaveOutNameTaken).arg("c.htm"), true);
        m_ui->expectMessage(msg(MessageId::SaveOutRefusedCannotRename) + "\r\n" + path("out"));
        Commands::savePageToFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(filesBelow(path("out")), (QMap<QString, QByteArray>{{"c.htm", "mine"}}));
    }

    void saveOutNeedsAnOpenArchive()
    {
        m_ui->expectRefusal("Choose and open archive, in which it is necessary to add pages!");
        Commands::savePageToFolder(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    void moveChecksInTheirOrder_data()
    {
        QTest::addColumn<bool>("pageSelected");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no page selected, section") << false << "Books"
                                                   << "Error Drag&Drop: no Selected Files!";
        QTest::newRow("no node") << true << ""
                                 << "Error Drag&Drop: no Selected Sender";
        QTest::newRow("section") << true << "Travel"
                                 << "Error Drag&Drop: Sender is Section!";
        QTest::newRow("open archive") << true << "Novels"
                                      << "Error Drag&Drop: Selected opened Arhive!";
        QTest::newRow("the open archive's zip under another entry")
            << true << "Novels copy"
            << "Error Drag&Drop: Selected opened Arhive!";
        QTest::newRow("the open archive's zip through a hard link")
            << true << "Novels linked"
            << "Error Drag&Drop: Selected opened Arhive!";
    }
    void moveChecksInTheirOrder()
    {
        QFETCH(bool, pageSelected);
        QFETCH(QString, target);
        QFETCH(QString, refusal);
        openNovels();
        if (pageSelected)
            focus(1);
        else
            selection().clearSelection();
        m_session->selectNode(target.isEmpty() ? -1 : int(catalogue().nodeNames().indexOf(target)));
        const QByteArray zipBefore = TestFiles::read(path("arch/novels.zip"));
        m_ui->expectRefusal(refusal);
        Commands::movePageToArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(pages().count(), 5);
        QVERIFY(!m_session->archive().isChanged());
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), zipBefore);
    }

    // The focused page goes, though others are selected; then a second
    // page into another archive, which gets nothing of the first.
    void moveTwiceToDifferentArchives()
    {
        openNovels();
        QVERIFY(TestFiles::write(work() + "/b_files/deep/s.css", "css"));
        m_session->setPagePosition(1, 0); // B is shown
        selection().select(pages().index(0), QItemSelectionModel::Select);
        focus(1, false); // B focused, not selected
        m_session->selectNode(int(catalogue().nodeNames().indexOf("Poems")));
        Commands::movePageToArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(titles(), (QStringList{"A", "C", "D", "E"}));
        QVERIFY(!QFileInfo::exists(work() + "/b.htm"));
        QVERIFY(!QFileInfo::exists(work() + "/b_files"));
        QVERIFY(m_session->archive().isChanged());
        QVERIFY(!QFileInfo::exists(path("data/TEMP_ARCH2")));
        QCOMPARE(TestZips::names(path("arch/poems.zip")),
                 (QStringList{"b.htm", "b_files/deep/s.css", "b_files/p.png", "listfile.txt",
                              "ode.htm"}));
        QCOMPARE(listOf(path("arch/poems.zip")), (QStringList{"Ode=ode.htm", "B=b.htm"}));
        // The shown page left: the page now at its place is shown.
        QCOMPARE(m_session->currentPage(), 1);
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/c.htm");

        focus(3);
        m_session->selectNode(int(catalogue().nodeNames().indexOf("Maps")));
        Commands::movePageToArchive(*m_ctx);
        QCOMPARE(titles(), (QStringList{"A", "C", "D"}));
        QCOMPARE(TestZips::names(path("arch/maps.zip")),
                 (QStringList{"alps.htm", "alps_files/x.png", "e.htm", "e_files/p.png",
                              "listfile.txt"}));
        QCOMPARE(listOf(path("arch/maps.zip")), (QStringList{"Alps=alps.htm", "E=e.htm"}));
        writeBackAndReopen();
        QCOMPARE(TestZips::names(path("arch/novels.zip")).size(), 3 * 2 + 1);
    }

    // The target has a page of that name already: it keeps it, and the page
    // moved in takes a free name with its folder.
    void moveIntoAClash()
    {
        openNovels();
        const QStringList list{"Old A=a.htm"};
        makeZip(path("arch/poems.zip"), {{"a.htm", "theirs"}, {"a_files/p.png", "their png"}},
                &list);
        focus(0);
        m_session->selectNode(int(catalogue().nodeNames().indexOf("Poems")));
        Commands::movePageToArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(listOf(path("arch/poems.zip")), (QStringList{"Old A=a.htm", "A=a_1.htm"}));
        const auto files = TestZips::unzipped(path("arch/poems.zip"), path("peek2"));
        QCOMPARE(files.value("a.htm"), QByteArray("theirs"));
        QCOMPARE(files.value("a_files/p.png"), QByteArray("their png"));
        QCOMPARE(files.value("a_1.htm"), QByteArray("<img src=\"a_1_files/p.png\">"));
        QCOMPARE(files.value("a_1_files/p.png"), QByteArray("a"));
        QCOMPARE(titles().size(), 4);
    }

    // Whatever stops the move, both archives stay as they were.
    void failedMoveLosesNothing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("target without a list") << "nolist";
        QTest::newRow("damaged target") << "damaged";
        QTest::newRow("missing target") << "missing";
        QTest::newRow("target cannot be written") << "locked";
    }
    void failedMoveLosesNothing()
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
        } else if (what == "missing") {
            QVERIFY(QFile::remove(path("arch/poems.zip")));
            m_ui->expectMessage();
        } else {
            if (!lockFolder(path("arch"), true))
                QSKIP("cannot lock a folder against changes here");
            m_ui->expectMessage();
        }
        const QByteArray targetBefore = TestFiles::read(path("arch/poems.zip"));
        const auto workBefore = filesBelow(work());
        focus(2);
        m_session->selectNode(int(catalogue().nodeNames().indexOf("Poems")));
        Commands::movePageToArchive(*m_ctx);
        if (what == "locked")
            QVERIFY(lockFolder(path("arch"), false));
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), targetBefore);
        QCOMPARE(filesBelow(work()), workBefore);
        QCOMPARE(titles(), (QStringList{"A", "B", "C", "D", "E"}));
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(!QFileInfo::exists(path("data/TEMP_ARCH2")));
        QCOMPARE(QDir(path("arch")).entryList(QDir::Files),
                 what == "missing" ? (QStringList{"maps.zip", "novels.zip"})
                                   : (QStringList{"maps.zip", "novels.zip", "poems.zip"}));
    }

    void movingTheLastPageTurnsThePageControlsOff()
    {
        openNovels(1);
        focus(0);
        m_session->selectNode(int(catalogue().nodeNames().indexOf("Maps")));
        Commands::movePageToArchive(*m_ctx);
        QCOMPARE(pages().count(), 0);
        QVERIFY(!m_session->pageControlsEnabled());
        QCOMPARE(m_view->calls.last(), kBlank);
        QCOMPARE(listOf(path("arch/maps.zip")), (QStringList{"Alps=alps.htm", "A=a.htm"}));
    }
};

QTEST_GUILESS_MAIN(TestPageCommands)
#include "tst_pagecommands.moc"
