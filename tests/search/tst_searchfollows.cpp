#include "catalogue/programpaths.h"
#include "catalogue/session.h"
#include "commands/openstate.h"
#include "commands/addingcommands.h"
#include "commands/attaching.h"
#include "commands/navigationcommands.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "search/indexfollower.h"
#include "searchtestkit.h"

#include <memory>

using SearchTestKit::Page;

// What the search finds follows what the commands do to pages and archives:
// each command runs as the user runs it, the index catches up, and the query
// shows the pages where they are now, under the names they have now.
class TestSearchFollows : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<CommandContext> m_ctx;
    std::unique_ptr<SearchIndex> m_index;
    std::unique_ptr<IndexFollower> m_follower;

    QString path(const QString &name) const { return m_dir->filePath(name); }
    CatalogueModel &catalogue() { return m_session->catalogue(); }
    int nodeNamed(const QString &name)
    {
        for (int i = 0; i < catalogue().nodeCount(); ++i) {
            if (catalogue().node(i).name == name)
                return i;
        }
        return -1;
    }
    void run(Command command) { QVERIFY(runCommand(command, *m_ctx)); }
    void open(const QString &name)
    {
        QVERIFY(Commands::openArchiveAt(*m_ctx, nodeNamed(name)));
        QVERIFY(Commands::wholeCopyReady(*m_ctx)); // the commands below are called directly
        QCOMPARE(m_session->archive().zipPath(), catalogue().node(nodeNamed(name)).path);
        // Opening marks the archive in the tree: a catalogue change the
        // index has heard of long before the user's next command.
        QVERIFY(caughtUp());
    }
    void focusPage(const QString &file)
    {
        PageListModel &pages = m_session->pages();
        const int row = int(pages.fileNames().indexOf(file));
        QVERIFY(row >= 0);
        m_session->pageSelection().setCurrentIndex(pages.index(row),
                                                   QItemSelectionModel::ClearAndSelect);
    }
    // Waits for the index to have taken in every change handed to it.
    bool caughtUp()
    {
        m_follower->flush();
        return m_index->waitUntilIdle(60000);
    }
    // The hits as "section/archive/title/page file", best first.
    QStringList found(const QString &query)
    {
        QStringList out;
        for (const SearchHit &hit : m_follower->search(query, 50))
            out << hit.section + u'/' + hit.archiveName + u'/' + hit.pageTitle + u'/' +
                       hit.pageFile;
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ui = std::make_unique<ScriptedInteraction>();
        m_view = std::make_unique<RecordingPageView>();
        m_session = std::make_unique<Session>(ProgramPaths::under(path("p"), path("p")).work);
        m_ctx = std::make_unique<CommandContext>(
            CommandContext{*m_session, m_session->archive(), *m_ui, *m_view});
        QVERIFY(QDir().mkpath(path("arch")));
        QVERIFY(SearchTestKit::writeArchive(path("arch/alpha.zip"),
                                            {{"a1.htm", "Board", "Правление банка собралось"},
                                             {"a2.htm", "Garden", "Red roses in the garden"}}));
        QVERIFY(SearchTestKit::writeArchive(path("arch/beta.zip"),
                                            {{"b1.htm", "River", "Old boats on the river"}}));
        catalogue().appendSection("Books");
        catalogue().appendArchive("Alpha", path("arch/alpha.zip"));
        catalogue().appendArchive("Beta", path("arch/beta.zip"));

        m_index = std::make_unique<SearchIndex>(path("index"));
        m_index->setIndexingPriority(QThread::NormalPriority);
        m_follower = std::make_unique<IndexFollower>(*m_index, catalogue(), m_session->archive());
        QVERIFY(caughtUp());
        QCOMPARE(found("правления"), QStringList{"Books/Alpha/Board/a1.htm"});
    }
    void cleanup()
    {
        m_follower.reset();
        m_index.reset();
        m_ctx.reset();
        m_session.reset();
        m_view.reset();
        m_ui.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    // A renamed page shows its new title at once, before its archive is
    // written back, and keeps it once the index has read the new zip.
    void renamedPageShowsItsNewTitle()
    {
        open("Alpha");
        focusPage("a1.htm");
        m_ui->expectName(msg(MessageId::RenamePageTitle), msg(MessageId::RenamePagePrompt), "Board",
                         "Council");
        run(Command::RenamePage);
        QVERIFY(caughtUp());
        QCOMPARE(found("правление"), QStringList{"Books/Alpha/Council/a1.htm"});

        open("Beta"); // Alpha is written back on the way
        QVERIFY(caughtUp());
        QCOMPARE(found("правление"), QStringList{"Books/Alpha/Council/a1.htm"});
        QCOMPARE(found("council"), QStringList{"Books/Alpha/Council/a1.htm"});
    }

    // A deleted page is not offered, neither before nor after the write-back.
    void deletedPageIsGone()
    {
        open("Alpha");
        focusPage("a2.htm");
        m_ui->expectYesNo({}, true);
        run(Command::DeletePage);
        QVERIFY(caughtUp());
        QVERIFY(found("roses").isEmpty());
        QCOMPARE(found("правление"), QStringList{"Books/Alpha/Board/a1.htm"});

        open("Beta");
        QVERIFY(caughtUp());
        QVERIFY(found("roses").isEmpty());
        QCOMPARE(found("правление"), QStringList{"Books/Alpha/Board/a1.htm"});
    }

    // Pages added to the open archive are found once it is written back.
    void addedPagesAreFound()
    {
        open("Alpha");
        QVERIFY(TestFiles::write(path("src/meadow.htm"),
                                 "<html><head><title>Meadow</title></head>"
                                 "<body>Yellow tulips everywhere</body></html>"));
        m_ui->expectOpenFiles({}, {}, true, {path("src/meadow.htm")});
        Commands::addPages(*m_ctx);
        QVERIFY(m_ui->verify());

        open("Beta");
        QVERIFY(caughtUp());
        QCOMPARE(found("tulip"), QStringList{"Books/Alpha/meadow/meadow.htm"});
        QCOMPARE(found("roses"), QStringList{"Books/Alpha/Garden/a2.htm"});
    }

    // A page moved into another archive is found there at once: its new zip
    // is written by the move, the open archive only when it is left.
    void movedPageIsFoundInItsNewArchive()
    {
        open("Alpha");
        focusPage("a2.htm");
        m_session->selectNode(nodeNamed("Beta"));
        run(Command::MovePageToArchive);
        QVERIFY(m_ui->verify());
        QVERIFY(caughtUp());
        QCOMPARE(found("roses"), QStringList{"Books/Beta/Garden/a2.htm"});

        m_session->selectNode(nodeNamed("Alpha"));
        open("Beta");
        QVERIFY(caughtUp());
        QCOMPARE(found("roses"), QStringList{"Books/Beta/Garden/a2.htm"});
        QCOMPARE(found("garden boats").size(), 0);
    }

    // An attached archive is indexed; a removed one leaves the results, its
    // zip left where it is.
    void attachedAndRemovedArchives()
    {
        QVERIFY(QDir().mkpath(path("elsewhere")));
        QVERIFY(SearchTestKit::writeArchive(path("elsewhere/gamma.zip"),
                                            {{"g1.htm", "Lamps", "Paper lanterns at night"}}));
        m_session->selectNode(nodeNamed("Beta"));
        m_ui->expectAttach([this](AttachValues &values) {
            values.zipFiles = {path("elsewhere/gamma.zip")};
            values.moveToArchiveFolder = false;
            return true;
        });
        run(Command::AttachArchive);
        QVERIFY(m_ui->verify());
        QVERIFY(caughtUp());
        QCOMPARE(found("lantern"), QStringList{"Books/gamma/Lamps/g1.htm"});

        m_session->selectNode(nodeNamed("Beta"));
        m_ui->expectYesNo({}, true);
        run(Command::RemoveArchive);
        QVERIFY(caughtUp());
        QVERIFY(found("boats").isEmpty());
        QVERIFY(QFileInfo::exists(path("arch/beta.zip")));
        QCOMPARE(found("lantern"), QStringList{"Books/gamma/Lamps/g1.htm"});
    }

    // Choosing a hit shows its page with every form of the words the search
    // found on it, as the page writes them.
    void choosingAHitShowsEveryFormFound()
    {
        const QList<SearchHit> hits = m_follower->search("правлением", 50);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().highlightWords, (QStringList{"Правление"}));
        QVERIFY(SearchTestKit::writeArchive(
            path("arch/beta.zip"), {{"b1.htm", "River", "Правление и решение правления"}}));
        m_session->archive().reportZipWritten(path("arch/beta.zip"));
        QVERIFY(caughtUp());
        const QList<SearchHit> both = m_follower->search("правлением", 50);
        QCOMPARE(both.size(), 2);
        const SearchHit &river = both.at(both.at(0).archiveName == "Beta" ? 0 : 1);
        QCOMPARE(river.highlightWords, (QStringList{"Правление", "правления"}));
        QVERIFY(runCommand(Command::ShowFoundPage, *m_ctx,
                           FoundPage{river.zipPath, river.pageFile,
                                     river.highlightWords.value(0), river.highlightWords}));
        QCOMPARE(m_session->archive().zipPath(), path("arch/beta.zip"));
        QCOMPARE(m_view->calls.last(), QString("find words Правление, правления"));
    }

    // Results name the archive and the section as the catalogue does now.
    void renamedArchiveAndSection()
    {
        m_session->selectNode(nodeNamed("Beta"));
        m_ui->expectName({}, {}, "Beta", "Boats");
        run(Command::RenameNode);
        m_session->selectNode(nodeNamed("Books"));
        m_ui->expectName({}, {}, "Books", "Library");
        run(Command::RenameNode);
        QVERIFY(m_ui->verify());
        QVERIFY(caughtUp());
        QCOMPARE(found("boats"), QStringList{"Library/Boats/River/b1.htm"});
        QCOMPARE(found("правление"), QStringList{"Library/Alpha/Board/a1.htm"});
    }
};

QTEST_GUILESS_MAIN(TestSearchFollows)
#include "tst_searchfollows.moc"
