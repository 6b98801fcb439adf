#include "catalogue/programpaths.h"
#include "commandfixture.h"
#include "commands/availability.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {

using CommandFiles::lockFolder;

const QStringList kWaysOut{"Try again", "Save as new archive...", "Set aside and go on"};

} // namespace

// Choosing a page found by the search across all archives: its archive opens
// (the open one written back first) and the page shows with the words found.
class TestSearchCommands : public QObject, CommandFixture {
    Q_OBJECT

    QString m_alpha; // two pages
    QString m_beta;  // one page, in a folder of its own
    int m_alphaNode = -1;
    int m_betaNode = -1;

    // A zip as the program writes it: the pages ("title=file" each) and their
    // list file.
    bool writeZip(const QString &zipPath, const QStringList &pages)
    {
        TestZips::Files files;
        for (const QString &page : pages) {
            const QString file = page.section(u'=', 1);
            files.insert(file, "<html><body>" + file.toUtf8() + "</body>");
        }
        return CommandFiles::writeZip(zipPath, files, &pages, path("stage"));
    }
    void choose(const QString &zipPath, const QString &pageFile, const QString &words)
    {
        QVERIFY(runCommand(Command::ShowFoundPage, *m_ctx, FoundPage{zipPath, pageFile, words}));
    }

private Q_SLOTS:
    void init()
    {
        makeFolder();
        makeSession(ProgramPaths::under(m_dir->path(), m_dir->path()).work);
        m_alpha = m_dir->filePath("zips/alpha.zip");
        m_beta = m_dir->filePath("zips/beta/beta.zip");
        QVERIFY(writeZip(m_alpha, {"First=a1.htm", "Second=a2.htm"}));
        QVERIFY(writeZip(m_beta, {"Only=b1.htm"}));
        CatalogueModel &catalogue = m_session->catalogue();
        const int section = catalogue.appendSection("Books");
        m_alphaNode = catalogue.addArchive(section, "Alpha", m_alpha);
        m_betaNode = catalogue.addArchive(section, "Beta", m_beta);
    }
    void cleanup()
    {
        lockFolder(QFileInfo(m_beta).absolutePath(), false);
        tearDown();
    }

    void opensTheArchiveOnTheFoundPage()
    {
        choose(m_alpha, "a2.htm", "правление");
        Session &s = *m_session;
        QVERIFY(s.archive().isOpen());
        QCOMPARE(s.archive().zipPath(), m_alpha);
        QCOMPARE(s.openNode(), m_alphaNode);
        QCOMPARE(s.catalogue().node(m_alphaNode).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(s.statusText(), QString("Open Archive: Books\\Alpha"));
        QVERIFY(s.pageControlsEnabled());
        QCOMPARE(s.currentPage(), 1);
        QCOMPARE(s.archive().pageSelection().currentIndex().row(), 1);
        QVERIFY(s.navigation().first);
        QVERIFY(!s.navigation().next);
        QCOMPARE(m_view->calls.mid(m_view->calls.size() - 2),
                 QStringList({"navigate " + work() + "/a2.htm", "find правление"}));
        QVERIFY(m_ui->verify());
    }

    void anOpenArchiveIsNotUnpackedAgain()
    {
        choose(m_alpha, "a1.htm", "one");
        QVERIFY(m_session->archive().completeCopy(*m_ui)); // nothing left to unpack for a2
        const int unpacked = m_ui->workCount();
        TestFiles::write(work() + "/mark.txt", "still here");
        choose(m_alpha, "a2.htm", "two");
        QCOMPARE(m_ui->workCount(), unpacked);
        QVERIFY(QFile::exists(work() + "/mark.txt"));
        QCOMPARE(m_session->currentPage(), 1);
        QCOMPARE(m_session->previousPage(), 0);
        QCOMPARE(m_view->calls.last(), QString("find two"));
    }

    void anotherArchiveReplacesTheOpenOne()
    {
        choose(m_alpha, "a1.htm", "one");
        choose(m_beta, "b1.htm", "only");
        Session &s = *m_session;
        QCOMPARE(s.archive().zipPath(), m_beta);
        QCOMPARE(s.openNode(), m_betaNode);
        QCOMPARE(s.catalogue().node(m_alphaNode).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(s.catalogue().node(m_betaNode).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(s.archive().pages().fileNames(), QStringList{"b1.htm"});
        QVERIFY(!QFile::exists(work() + "/a1.htm"));
    }

    // A page found in an archive whose zip is away (the index keeps it) says
    // that the archive cannot be reached, and opens nothing.
    void aPageOfAnArchiveAwayIsNotReached()
    {
        const QString folder = QFileInfo(m_beta).absolutePath();
        QVERIFY(QDir().rename(folder, folder + "-away"));
        m_ui->expectMessage(msg(MessageId::ArchiveZipNotFound).arg(m_beta));
        choose(m_beta, "b1.htm", "only");
        QVERIFY(m_ui->verify());
        QVERIFY(!m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(!m_view->calls.contains("find only"));
    }

    // The changes of the open archive reach its zip before the other archive
    // is unpacked over them, and whoever follows write-backs hears of it.
    void aChangedArchiveIsWrittenBackFirst()
    {
        QStringList written;
        m_session->archive().setWrittenBackHook(
            [&written](const QString &zipPath) { written << zipPath; });
        choose(m_alpha, "a1.htm", "one");
        TestFiles::write(work() + "/a3.htm", "<html>new</html>");
        m_session->archive().pages().append("Third", "a3.htm");
        m_session->archive().setChanged(true);

        choose(m_beta, "b1.htm", "only");
        QCOMPARE(written, QStringList{m_alpha});
        QCOMPARE(m_session->archive().zipPath(), m_beta);

        choose(m_alpha, "a3.htm", "new");
        QCOMPARE(m_session->archive().pages().titles(), QStringList({"First", "Second", "Third"}));
        QCOMPARE(m_session->currentPage(), 2);
        QCOMPARE(written, QStringList{m_alpha}); // opening writes nothing
    }

    // A write-back that fails offers its ways out; cancelled, the changed
    // archive stays open with everything in it.
    void aFailedWriteBackCancelledKeepsTheChangedArchiveOpen()
    {
        QStringList written;
        m_session->archive().setWrittenBackHook(
            [&written](const QString &zipPath) { written << zipPath; });
        choose(m_beta, "b1.htm", "only");
        TestFiles::write(work() + "/b2.htm", "<html>kept</html>");
        m_session->archive().pages().append("Kept", "b2.htm");
        m_session->archive().setChanged(true);
        if (!lockFolder(QFileInfo(m_beta).absolutePath(), true))
            QSKIP("a folder cannot be made unwritable here");
        m_view->calls.clear();
        m_ui->expectChoice({}, kWaysOut, -1);

        runCommand(Command::ShowFoundPage, *m_ctx, FoundPage{m_alpha, "a1.htm", "one"});
        QVERIFY(m_ui->verify());
        Session &s = *m_session;
        QVERIFY(s.archive().isChanged());
        QCOMPARE(s.archive().zipPath(), m_beta);
        QCOMPARE(s.openNode(), m_betaNode);
        QVERIFY(QFile::exists(work() + "/b2.htm"));
        QVERIFY(m_view->calls.isEmpty());
        QVERIFY(written.isEmpty());
    }

    // Set aside, the changes are kept in a folder of their own and the found
    // page opens; the zip that could not be written is as it was.
    void aFailedWriteBackSetAsideOpensTheFoundPage()
    {
        choose(m_beta, "b1.htm", "only");
        TestFiles::write(work() + "/b2.htm", "<html>kept</html>");
        m_session->archive().pages().append("Kept", "b2.htm");
        m_session->archive().setChanged(true);
        const QByteArray before = TestFiles::read(m_beta);
        if (!lockFolder(QFileInfo(m_beta).absolutePath(), true))
            QSKIP("a folder cannot be made unwritable here");
        m_ui->expectChoice({}, kWaysOut, 2);
        m_ui->expectMessage();

        choose(m_alpha, "a2.htm", "two");
        QVERIFY(m_ui->verify());
        Session &s = *m_session;
        QCOMPARE(s.archive().zipPath(), m_alpha);
        QVERIFY(!s.archive().isChanged());
        QCOMPARE(s.currentPage(), 1);
        QCOMPARE(m_view->calls.last(), QString("find two"));
        QCOMPARE(TestFiles::read(m_beta), before);
        // The kept page is in the one recovered folder beside the work.
        const QDir recovered(QFileInfo(work()).absolutePath());
        bool kept = false;
        for (const QFileInfo &folder : recovered.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            kept = kept || TestFiles::read(folder.filePath() + "/b2.htm") == "<html>kept</html>";
        QVERIFY(kept);
    }

    void aPageGoneSinceIndexingLeavesTheArchiveOnItsFirstPage()
    {
        choose(m_alpha, "gone.htm", "lost");
        QCOMPARE(m_session->archive().zipPath(), m_alpha);
        QCOMPARE(m_session->currentPage(), 0);
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/a1.htm");
        QVERIFY(!m_session->navigation().returnPage); // nowhere to go back to
    }

    void theFirstPageFoundKeepsTheButtonsOfAFreshOpen()
    {
        choose(m_alpha, "a1.htm", "one");
        QCOMPARE(m_session->navigation(), navigationAfterOpening(2));
        QCOMPARE(m_view->calls.last(), QString("find one"));
    }

    void anArchiveOutOfTheCatalogueIsNotOpened()
    {
        m_session->catalogue().removeNode(m_betaNode);
        choose(m_beta, "b1.htm", "only");
        QVERIFY(!m_session->archive().isOpen());
        QVERIFY(m_view->calls.isEmpty());
        QVERIFY(m_ui->verify());
    }

    void aDamagedZipOpensNothing()
    {
        TestFiles::write(m_alpha, "not a zip at all");
        m_ui->expectMessage();
        runCommand(Command::ShowFoundPage, *m_ctx, FoundPage{m_alpha, "a1.htm", "one"});
        QVERIFY(m_ui->verify());
        QVERIFY(!m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(!m_session->pageControlsEnabled());
    }

    void theShortcutRevealsTheField()
    {
        m_session->setListsHidden(true);
        QSignalSpy asked(m_session.get(), &Session::searchFieldRequested);
        QVERIFY(runCommand(Command::SearchAllArchives, *m_ctx));
        QCOMPARE(asked.size(), 1);
        QVERIFY(!m_session->listsHidden());
    }
};

QTEST_GUILESS_MAIN(TestSearchCommands)
#include "tst_searchcommands.moc"
