#include "commandfixture.h"
#include "commands/archivecommands.h"
#include "commands/maintenancecommands.h"
#include "commands/openstate.h"
#include "lang/messages.h"
#include "testfiles.h"
#include "testzips.h"

#include <QTest>

using namespace TestZips;

// Saving the open archive under another name, writing it back now, and a new
// page list from its working copy, with a scripted user. The zips on disk are
// read back by Info-ZIP after each command.
class TestMaintenance : public QObject, CommandFixture {
    Q_OBJECT

    Files zipFiles(const QString &zip) { return unzipped(zip, path("scratch-out")); }

    // The zip of Novels as it is on disk before any command.
    const Files m_novels{{"a.htm", "<p>a</p>"},
                         {"a_files/s.css", "css"},
                         {"listfile.txt", listFile("Alpha=a.htm\r\n")}};

    // Books: Novels (open, from arch/novels.zip), Poems; Travel: Maps.
    void openNovels()
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        catalogue().appendArchive("Poems", path("arch/poems.zip"));
        catalogue().appendSection("Travel");
        catalogue().appendArchive("Maps", path("other/maps.zip"));
        QVERIFY(zipTree(path("arch/novels.zip"), m_novels, path("scratch-in")));
        QVERIFY(zipTree(path("arch/poems.zip"), {{"p.htm", "p"}}, path("scratch-in")));
        QCOMPARE(archive().open(path("arch/novels.zip"), *m_ui), OpenArchive::OpenStatus::Opened);
        m_session->selectNode(1);
        Commands::enterOpenState(*m_ctx, 1);
        QVERIFY(Commands::wholeCopyReady(*m_ctx)); // as runCommand sees to
    }
    // A change in the working copy: a second page.
    void changeNovels()
    {
        QVERIFY(TestFiles::write(work() + "/b.htm", "<p>b</p>"));
        m_session->pages().append("Beta", "b.htm");
        archive().setChanged(true);
    }
    Files changedNovels() const
    {
        Files files = m_novels;
        files.insert("b.htm", "<p>b</p>");
        files.insert("listfile.txt", listFile("Alpha=a.htm\r\nBeta=b.htm\r\n"));
        return files;
    }
    // Nothing about the catalogue changed.
    void catalogueUnchanged()
    {
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "Novels", "Poems", "Travel", "Maps"}));
        QCOMPARE(catalogue().node(1).path, path("arch/novels.zip"));
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(archive().zipPath(), path("arch/novels.zip"));
    }

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup()
    {
        QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        tearDown();
    }

    // Save as: the copy is the working copy, changes included, written
    // directly; the open archive is saved too and stays the open one.
    void saveAsWritesTheWorkingCopy_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("deleteOriginals");
        QTest::newRow("with changes") << true << false;
        QTest::newRow("without changes") << false << false;
        QTest::newRow("delete originals on") << true << true;
    }
    void saveAsWritesTheWorkingCopy()
    {
        QFETCH(bool, changed);
        QFETCH(bool, deleteOriginals);
        openNovels();
        m_session->settings().deleteOriginals = deleteOriginals;
        if (changed)
            changeNovels();
        m_ui->expectYesNo("Open archive Will is preserved!", true);
        m_ui->expectSaveFile("File ZIP (*.zip)", path("out/copy")); // no extension added
        QVERIFY(QDir().mkpath(path("out")));
        Commands::saveArchiveAs(*m_ctx);
        QVERIFY(m_ui->verify());
        const Files expected = changed ? changedNovels() : m_novels;
        QCOMPARE(zipFiles(path("out/copy")), expected);
        QCOMPARE(zipFiles(path("arch/novels.zip")), expected);
        QVERIFY(!archive().isChanged());
        catalogueUnchanged();
        // The working copy stays: its pages can still be shown.
        QCOMPARE(TestFiles::read(work() + "/a.htm"), QByteArray("<p>a</p>"));
    }

    // The old zip's disk is gone: save as still saves the changes, and tells
    // that the archive's own zip could not be written; the changes stay marked.
    void saveAsIsTheWayOutWhenTheOldZipIsGone()
    {
        openNovels();
        changeNovels();
        QVERIFY(QDir(path("arch")).removeRecursively());
        m_ui->expectYesNo({}, true);
        m_ui->expectSaveFile({}, path("rescue.zip"));
        m_ui->expectMessage();
        Commands::saveArchiveAs(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(zipFiles(path("rescue.zip")), changedNovels());
        QVERIFY(archive().isChanged());
        catalogueUnchanged();
    }

    // Questions answered No or cancelled, and refused targets: nothing is
    // written, nothing changes.
    void saveAsWritesNothing_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("answered No") << 0;
        QTest::newRow("dialog cancelled") << 1;
        QTest::newRow("onto another archive's zip") << 2;
        QTest::newRow("onto another archive's zip, other spelling") << 3;
        QTest::newRow("replacing a file not confirmed") << 4;
        QTest::newRow("into the working folder") << 5;
        QTest::newRow("no archive open") << 6;
    }
    void saveAsWritesNothing()
    {
        QFETCH(int, which);
        openNovels();
        changeNovels();
        const QByteArray novels = TestFiles::read(path("arch/novels.zip"));
        const QByteArray poems = TestFiles::read(path("arch/poems.zip"));
        QVERIFY(TestFiles::write(path("out/mine.zip"), "mine"));
        const QString ask = "Open archive Will is preserved!";
        switch (which) {
        case 0:
            m_ui->expectYesNo(ask, false);
            break;
        case 1:
            m_ui->expectYesNo(ask, true).expectSaveFile({}, {});
            break;
        case 2:
        case 3:
            m_ui->expectYesNo(ask, true)
                .expectSaveFile({}, which == 2 ? path("arch/poems.zip")
                                               : path("out/../arch/./poems.zip"))
                .expectRefusal("This zip-file is the file of the archive \"Books\\Poems\" of the "
                               "catalogue! Choose other name.");
            break;
        case 4:
            m_ui->expectYesNo(ask, true)
                .expectSaveFile({}, path("out/mine.zip"))
                .expectYesNo(
                    "The file \"" + path("out/mine.zip") + "\" already exists. Replace it?", false);
            break;
        case 5:
            m_ui->expectYesNo(ask, true)
                .expectSaveFile({}, work() + "/copy.zip")
                .expectRefusal(
                    "A zip-file can not be saved in the working folders of this program!");
            break;
        case 6:
            archive().setChanged(false);
            QVERIFY(archive().close());
            Commands::leaveOpenState(*m_ctx);
            m_ui->expectRefusal("Choose and open archive, which it is necessary to save!");
            Commands::saveArchiveAs(*m_ctx);
            QVERIFY(m_ui->verify());
            QCOMPARE(TestFiles::read(path("arch/novels.zip")), novels);
            return;
        }
        Commands::saveArchiveAs(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), novels);
        QCOMPARE(TestFiles::read(path("arch/poems.zip")), poems);
        QCOMPARE(TestFiles::read(path("out/mine.zip")), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(work() + "/copy.zip"));
        QVERIFY(archive().isChanged());
        catalogueUnchanged();
    }

    // Replacing another file is confirmed; its own zip needs no question and
    // stays whole (written back when there are changes, untouched otherwise).
    void saveAsOntoExistingFiles_data()
    {
        QTest::addColumn<bool>("ownZip");
        QTest::addColumn<bool>("changed");
        QTest::newRow("another file") << false << true;
        QTest::newRow("its own zip, changed") << true << true;
        QTest::newRow("its own zip, unchanged") << true << false;
    }
    void saveAsOntoExistingFiles()
    {
        QFETCH(bool, ownZip);
        QFETCH(bool, changed);
        openNovels();
        if (changed)
            changeNovels();
        const QByteArray before = TestFiles::read(path("arch/novels.zip"));
        QVERIFY(TestFiles::write(path("out/old.zip"), "old"));
        const QString target = ownZip ? path("arch/novels.zip") : path("out/old.zip");
        m_ui->expectYesNo({}, true).expectSaveFile({}, target);
        if (!ownZip)
            m_ui->expectYesNo("The file \"" + target + "\" already exists. Replace it?", true);
        Commands::saveArchiveAs(*m_ctx);
        QVERIFY(m_ui->verify());
        const Files expected = changed ? changedNovels() : m_novels;
        QCOMPARE(zipFiles(target), expected);
        QCOMPARE(zipFiles(path("arch/novels.zip")), expected);
        if (!changed)
            QCOMPARE(TestFiles::read(path("arch/novels.zip")), before);
        QVERIFY(!archive().isChanged());
        catalogueUnchanged();
    }

    // A target that cannot be written: the user is told, the open archive
    // and its zip are as they were.
    void saveAsIntoAFolderThatCannotBeWritten_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("missing folder") << false;
    }
    void saveAsIntoAFolderThatCannotBeWritten()
    {
        QFETCH(bool, readOnly);
        if (readOnly && TestFiles::runningAsRoot())
            QSKIP("root writes into read-only folders");
        openNovels();
        changeNovels();
        const QByteArray before = TestFiles::read(path("arch/novels.zip"));
        QVERIFY(QDir().mkpath(path("ro")));
        if (readOnly)
            QVERIFY(QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ExeOwner));
        const QString target = readOnly ? path("ro/copy.zip") : path("missing/copy.zip");
        m_ui->expectYesNo({}, true).expectSaveFile({}, target).expectMessage();
        Commands::saveArchiveAs(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(QDir(path("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{});
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), before);
        QVERIFY(archive().isChanged());
        QCOMPARE(m_session->pages().titles(), (QStringList{"Alpha", "Beta"}));
        catalogueUnchanged();
    }

    // Update writes the working copy back, changed or not, and says so.
    void update_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("changed") << true;
        QTest::newRow("not changed") << false;
    }
    void update()
    {
        QFETCH(bool, changed);
        openNovels();
        if (changed)
            changeNovels();
        // The zip replaced behind the program's back: update writes it anew
        // only when the user chooses to replace it.
        QVERIFY(zipTree(path("arch/novels.zip"), {{"other.htm", "other"}}, path("scratch-in")));
        m_ui->expectChoice(
            {}, {"Save as new archive...", "Set aside and go on", "Replace the newer zip-file"}, 2);
        m_ui->expectRefusal("The Archive is renovation!");
        Commands::updateArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(zipFiles(path("arch/novels.zip")), changed ? changedNovels() : m_novels);
        QVERIFY(!archive().isChanged());
        QCOMPARE(TestFiles::read(work() + "/a.htm"), QByteArray("<p>a</p>"));
        catalogueUnchanged();
    }

    // A failed write-back is reported, not announced as done; the changes
    // stay marked for the next try.
    void updateThatFails()
    {
        openNovels();
        changeNovels();
        QVERIFY(QDir(path("arch")).removeRecursively());
        m_ui->expectMessage();
        Commands::updateArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(!m_ui->log().join("\n").contains("renovation"));
        QVERIFY(archive().isChanged());
        QCOMPARE(TestFiles::read(work() + "/b.htm"), QByteArray("<p>b</p>"));
    }

    // Without an open archive's working copy (after a cancelled create, or
    // an attach that failed) update and new list do nothing.
    void needAWorkingCopy_data()
    {
        QTest::addColumn<bool>("update");
        QTest::newRow("update") << true;
        QTest::newRow("new list") << false;
    }
    void needAWorkingCopy()
    {
        QFETCH(bool, update);
        openNovels();
        const QByteArray before = TestFiles::read(path("arch/novels.zip"));
        QVERIFY(archive().close());
        Commands::leaveOpenState(*m_ctx);
        m_ui->expectRefusal("Choose and open archive first!");
        if (update)
            Commands::updateArchive(*m_ctx);
        else
            Commands::newPageList(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(path("arch/novels.zip")), before);
        QVERIFY(!QFileInfo::exists(work()));
    }

    // New list: the page files directly in the working folder, titled by
    // their names; other files, other letter case and folders are left out.
    void newList()
    {
        openNovels();
        for (const char *name : {"b.htm", "c.txt", "X.HTM", "sub/d.htm", "e=1.html"})
            QVERIFY(TestFiles::write(work() + "/" + name, "x"));
        Commands::newPageList(*m_ctx);
        QVERIFY(m_ui->verify());
        QStringList found = QDir(work()).entryList(QDir::Files, QDir::Unsorted);
        found.removeIf(
            [](const QString &n) { return !n.endsWith(".htm") && !n.endsWith(".html"); });
        QCOMPARE(m_session->pages().fileNames(), found);
        QStringList titles = m_session->pages().titles();
        titles.sort();
        QCOMPARE(titles, (QStringList{"a", "b", "e-1"}));
        QVERIFY(archive().isChanged());
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/" + found.first());
        QVERIFY(m_session->pageControlsEnabled());
        // Written back, the new list is the archive's.
        QVERIFY(archive().writeBack(*m_ui));
        const Files back = zipFiles(path("arch/novels.zip"));
        QVERIFY(back.value("listfile.txt").contains("e-1=e=1.html\r\n"));
        QVERIFY(!back.value("listfile.txt").contains("Alpha"));
    }

    // The page position stays inside the new, shorter list.
    void newListKeepsThePositionInside()
    {
        openNovels();
        for (int i = 0; i < 5; ++i)
            m_session->pages().append(QString::number(i), QString::number(i) + ".htm");
        m_session->setPagePosition(5, 4);
        Commands::newPageList(*m_ctx);
        QCOMPARE(m_session->pages().count(), 1);
        QCOMPARE(m_session->currentPage(), 0);
        QCOMPARE(m_session->previousPage(), 0);
        QCOMPARE(m_session->navigation(), NavigationButtons{});
    }

    // No page files: the list stays as it was (emptied, every title would be
    // lost at the next write-back); the message names the real working folder.
    void newListWithoutPages()
    {
        openNovels();
        QVERIFY(QFile::remove(work() + "/a.htm"));
        m_ui->expectRefusal("List of files can not be renovation!\r\nHTML-files in directory " +
                            work() + " not exists!");
        Commands::newPageList(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(m_session->pages().titles(), QStringList{"Alpha"});
        QVERIFY(!archive().isChanged());
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
