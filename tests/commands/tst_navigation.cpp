#include "commandfixture.h"
#include "commands/availability.h"
#include "commands/navigationcommands.h"
#include "commands/openstate.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "storage/workrecord.h"
#include "testfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(NavigationButtons)

namespace {

const QString kBlank = QStringLiteral("navigate about:blank");

// A zip made by Info-ZIP holding a page file for each title and, unless
// withList is false, the list file naming them.
bool makeArchive(const QString &zipPath, const QStringList &titles, bool withList = true)
{
    TestZips::Files files;
    QByteArray lines;
    for (const QString &title : titles) {
        const QString name = title.toLower() + ".htm";
        files.insert(name, "<html>" + title.toLatin1() + "</html>");
        lines += title.toLatin1() + '=' + name.toLatin1() + "\r\n";
    }
    if (withList)
        files.insert("listfile.txt", TestZips::listFile(lines));
    if (files.isEmpty())
        files.insert("readme.txt", "nothing");
    QFile::remove(zipPath);
    QTemporaryDir scratch;
    return TestZips::zipTree(zipPath, files, scratch.filePath("files"));
}


} // namespace

// Opening archives from the catalogue and moving through their pages, against
// real zips, with a scripted user and a page view that records its calls.
class TestNavigation : public QObject, CommandFixture {
    Q_OBJECT

    // Section "Books" with the archives given as name and zip.
    void catalogueOf(const QList<QPair<QString, QString>> &archives)
    {
        catalogue().appendSection("Books");
        for (const auto &[name, zip] : archives)
            catalogue().appendArchive(name, zip);
    }
    void open(int node)
    {
        select(node);
        QVERIFY(runCommand(Command::OpenSelectedArchive, *m_ctx));
    }
    void focusPage(int row)
    {
        m_session->pageSelection().setCurrentIndex(m_session->pages().index(row),
                                                   QItemSelectionModel::NoUpdate);
    }
    QString pageCall(const QString &title) const
    {
        return "navigate " + work() + "/" + title.toLower() + ".htm";
    }

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup()
    {
        QVERIFY(m_ui->verify());
        tearDown();
    }

    // What the window shows after opening archives of several sizes.
    void openingShowsTheFirstPage_data()
    {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<NavigationButtons>("buttons");
        QTest::newRow("one page") << QStringList{"News"} << NavigationButtons{};
        QTest::newRow("three pages") << QStringList{"News", "Report", "Map"}
                                     << NavigationButtons{false, false, false, true, true};
        QTest::newRow("no pages") << QStringList{} << NavigationButtons{};
    }
    void openingShowsTheFirstPage()
    {
        QFETCH(QStringList, titles);
        QFETCH(NavigationButtons, buttons);
        QVERIFY(makeArchive(path("zips/novels.zip"), titles));
        catalogueOf({{"Novels", path("zips/novels.zip")}});
        m_session->settings().offline = true;

        open(1);

        Session &s = *m_session;
        QVERIFY(s.archive().isOpen());
        QVERIFY(!s.archive().isChanged());
        QCOMPARE(s.openNode(), 1);
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(s.statusText(), QString("Open Archive: Books\\Novels"));
        QVERIFY(s.pageControlsEnabled());
        QCOMPARE(s.navigation(), buttons);
        QCOMPARE(s.currentPage(), 0);
        QCOMPARE(s.previousPage(), -1);
        QCOMPARE(s.pages().titles(), titles);
        QCOMPARE(m_ui->workCount(), 1); // unpacked as long work
        if (titles.isEmpty()) {
            // Nothing from an archive open before may stay on screen.
            QCOMPARE(m_view->calls, QStringList{kBlank});
        } else {
            QCOMPARE(m_view->calls, QStringList({"offline 1", pageCall(titles.first())}));
            QCOMPARE(selectedRows(), QList<int>{0});
            QVERIFY(QFileInfo::exists(work() + "/" + titles.first().toLower() + ".htm"));
        }
        for (Command c : {Command::FirstPage, Command::PreviousPage, Command::ReturnPage})
            QVERIFY(!isAvailable(c, s));
    }

    // A zip that cannot be opened leaves no archive open, so nothing can
    // later be written back over it.
    void aFailedOpeningLeavesNothingOpen_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no zip at all
        QTest::newRow("damaged") << QByteArray("PK\x03\x04 this is not a zip at all");
        QTest::newRow("missing") << QByteArray();
    }
    void aFailedOpeningLeavesNothingOpen()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY(makeArchive(path("good.zip"), {"News", "Report"}));
        if (!bytes.isEmpty())
            TestFiles::write(path("bad.zip"), bytes);
        catalogueOf({{"Good", path("good.zip")}, {"Bad", path("bad.zip")}});
        open(1);
        m_view->calls.clear();

        // A zip that is not there is named as such, not as a damaged one.
        m_ui->expectMessage(bytes.isEmpty()
                                ? msg(MessageId::ArchiveZipNotFound).arg(path("bad.zip"))
                                : QString("The Archive spoiled! Impossible unzipping!"));
        open(2);

        Session &s = *m_session;
        QVERIFY(!s.archive().isOpen());
        QCOMPARE(s.openNode(), -1);
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(catalogue().node(2).picture, int(CatalogueNode::ArchivePicture));
        QVERIFY(!s.pageControlsEnabled());
        QCOMPARE(s.navigation(), NavigationButtons{});
        QCOMPARE(s.pages().count(), 0);
        QCOMPARE(m_view->calls, QStringList{kBlank});
        QCOMPARE(s.statusText(), QString("Open Archive:  not open Archives."));
        QVERIFY(!isAvailable(Command::AddPages, s));
        QVERIFY(!QFileInfo::exists(work()));
        QCOMPARE(TestFiles::read(path("bad.zip")), bytes);
    }

    // Opened, an archive shows its first page while the rest is unpacked; a
    // command that changes it waits for all of it. Damage found then ends as
    // an opening that failed: told, nothing open, the zip as it was.
    void aChangeWaitsForTheWholeCopy_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("whole") << false;
        QTest::newRow("damaged after the first page") << true;
    }
    void aChangeWaitsForTheWholeCopy()
    {
        QFETCH(bool, damaged);
        const QString zip = path("novels.zip");
        QVERIFY(makeArchive(zip, {"News", "Report", "Map"}));
        if (damaged) {
            // A byte of the second page's data spoiled: its directory is fine.
            QByteArray bytes = TestFiles::read(zip);
            qsizetype header = -1;
            while ((header = bytes.indexOf("PK\x03\x04", header + 1)) >= 0 &&
                   bytes.mid(header + 30, 10) != "report.htm") {
            }
            QVERIFY(header >= 0);
            const int extra = uchar(bytes[header + 28]) | uchar(bytes[header + 29]) << 8;
            bytes[header + 30 + 10 + extra] = char(bytes[header + 30 + 10 + extra] ^ 0x55);
            QVERIFY(TestFiles::write(zip, bytes));
        }
        const QByteArray before = TestFiles::read(zip);
        catalogueOf({{"Novels", zip}});
        // Told once, whether the worker finds it first or the command.
        if (damaged)
            m_ui->expectMessage("The Archive spoiled! Impossible unzipping!");
        open(1);
        if (!damaged) {
            QVERIFY(m_session->archive().isOpen());
            QCOMPARE(m_view->calls.last(), pageCall("News"));
        }
        const bool ran = runCommand(Command::MovePageDown, *m_ctx);
        QVERIFY(ran || damaged);
        Session &s = *m_session;
        if (damaged) {
            QVERIFY(!s.archive().isOpen());
            QCOMPARE(s.openNode(), -1);
            QCOMPARE(m_view->calls.last(), kBlank);
            QVERIFY(!QFileInfo::exists(work()));
            QVERIFY(!QFileInfo::exists(WorkRecord::pathFor(work())));
            QCOMPARE(TestFiles::read(zip), before);
        } else {
            QCOMPARE(s.pages().titles(), (QStringList{"Report", "News", "Map"}));
            QVERIFY(s.archive().isChanged());
            QVERIFY(!s.archive().isBeingMade());
            QVERIFY(QFileInfo::exists(work() + "/map.htm"));
            QVERIFY(!WorkRecord::read(work())->beingMade);
        }
    }

    // An archive whose zip is away (its drive not mounted) is marked in the
    // tree, says so when opened and opens as soon as the zip is back.
    void aMissingZipOpensOnceItIsBack()
    {
        QVERIFY(makeArchive(path("usb/novels.zip"), {"News", "Report"}));
        QVERIFY(QDir().rename(path("usb"), path("usb-away")));
        catalogueOf({{"Novels", path("usb/novels.zip")}});
        const QModelIndex novels = catalogue().modelIndex(1);
        QCOMPARE(novels.data(CatalogueModel::PictureRole).toInt(),
                 int(CatalogueNode::MissingArchivePicture));
        QCOMPARE(novels.data(Qt::ToolTipRole).toString(),
                 msg(MessageId::ArchiveZipMissingTip).arg(path("usb/novels.zip")));

        m_ui->expectMessage(msg(MessageId::ArchiveZipNotFound).arg(path("usb/novels.zip")));
        open(1);
        QVERIFY(m_ui->verify());
        QVERIFY(!m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(catalogue().isZipMissing(1));

        // Back: it opens at once, and the mark goes.
        QVERIFY(QDir().rename(path("usb-away"), path("usb")));
        open(1);
        QVERIFY(m_session->archive().isOpen());
        QCOMPARE(m_session->pages().titles(), (QStringList{"News", "Report"}));
        QVERIFY(!catalogue().isZipMissing(1));
        QCOMPARE(novels.data(CatalogueModel::PictureRole).toInt(),
                 int(CatalogueNode::OpenArchivePicture));
        QVERIFY(novels.data(Qt::ToolTipRole).isNull());
    }

    void aZipWithoutListFileOpensEmpty()
    {
        QVERIFY(makeArchive(path("bare.zip"), {"News"}, false));
        catalogueOf({{"Bare", path("bare.zip")}});
        m_ui->expectMessage("File \"listfile.txt\" is absent In archive with list of the files!");
        open(1);
        QVERIFY(m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(m_session->pages().count(), 0);
        QCOMPARE(m_view->calls, QStringList{kBlank});
        QCOMPARE(m_session->statusText(), QString("Open Archive: Books\\Bare"));
        QVERIFY(QFileInfo::exists(work() + "/news.htm"));
    }

    void aSectionDoesNotOpen()
    {
        QVERIFY(makeArchive(path("a.zip"), {"News"}));
        catalogueOf({{"A", path("a.zip")}});
        select(0);
        QVERIFY(runCommand(Command::OpenSelectedArchive, *m_ctx));
        QVERIFY(!m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(m_view->calls.isEmpty());
        QCOMPARE(m_ui->workCount(), 0);
    }

    // A changed archive is written back before the next one replaces its
    // working copy; the status text names the new one with its section.
    void switchingWritesTheChangedArchiveBack()
    {
        QVERIFY(makeArchive(path("a.zip"), {"News"}));
        QVERIFY(makeArchive(path("b.zip"), {"Map", "Plan"}));
        catalogue().appendSection("Books");
        catalogue().appendArchive("A", path("a.zip"));
        catalogue().appendSection("Atlases");
        catalogue().appendArchive("B", path("b.zip"));
        open(1);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);

        open(3);

        QCOMPARE(TestZips::names(path("a.zip")), QStringList({"added.htm", "listfile.txt", "news.htm"}));
        QCOMPARE(m_ui->log(),
                 QStringList({"work: Unpacking the archive...", "work: Saving the archive...",
                              "work: Unpacking the archive..."}));
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(catalogue().node(3).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(m_session->statusText(), QString("Open Archive: Atlases\\B"));
        QCOMPARE(m_session->pages().titles(), QStringList({"Map", "Plan"}));
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(!QFileInfo::exists(work() + "/added.htm"));
    }

    // When the changed archive cannot be written back and the user cancels
    // the ways out, the other archive is not opened and nothing is lost.
    void switchingStopsWhenTheWriteBackFails()
    {
        QVERIFY(makeArchive(path("zips/a.zip"), {"News"}));
        QVERIFY(makeArchive(path("b.zip"), {"Map"}));
        catalogueOf({{"A", path("zips/a.zip")}, {"B", path("b.zip")}});
        open(1);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);
        const QByteArray before = TestFiles::read(path("zips/a.zip"));
        // The archive's folder is gone for now: no new zip can be made there.
        QVERIFY(QDir().rename(path("zips"), path("away")));
        m_view->calls.clear();

        m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"}, 0);
        m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"}, -1);
        open(2);

        Session &s = *m_session;
        QVERIFY(s.archive().isChanged());
        QCOMPARE(s.openNode(), 1);
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(catalogue().node(2).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(s.pages().titles(), QStringList({"News", "Added"}));
        QCOMPARE(TestFiles::read(work() + "/added.htm"), QByteArray("<html>added</html>"));
        QVERIFY(m_view->calls.isEmpty());
        QCOMPARE(s.statusText(), QString("Open Archive: Books\\A"));
        QVERIFY(QDir().rename(path("away"), path("zips")));
        QCOMPARE(TestFiles::read(path("zips/a.zip")), before);

        // With its folder back, the next try goes through.
        open(2);
        QCOMPARE(TestZips::names(path("zips/a.zip")),
                 QStringList({"added.htm", "listfile.txt", "news.htm"}));
        QCOMPARE(s.openNode(), 2);
    }

    // Saved as a new zip elsewhere, the changes are safe and the other
    // archive opens; the archive's own zip stays as it was.
    void aFailedWriteBackCanBeSavedElsewhere()
    {
        QVERIFY(makeArchive(path("zips/a.zip"), {"News"}));
        QVERIFY(makeArchive(path("b.zip"), {"Map"}));
        catalogueOf({{"A", path("zips/a.zip")}, {"B", path("b.zip")}});
        open(1);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);
        QVERIFY(QDir().rename(path("zips"), path("away")));

        m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"}, 1);
        m_ui->expectSaveFile({}, path("copy.zip"));
        open(2);

        QCOMPARE(TestZips::names(path("copy.zip")),
                 QStringList({"added.htm", "listfile.txt", "news.htm"}));
        QCOMPARE(m_session->openNode(), 2);
        QCOMPARE(m_session->pages().titles(), QStringList{"Map"});
        QVERIFY(QDir().rename(path("away"), path("zips")));
        QCOMPARE(TestZips::names(path("zips/a.zip")), QStringList({"listfile.txt", "news.htm"}));
    }

    // Set aside, but the working copy cannot be moved: the user is told, the
    // ways out come again, and a cancel keeps everything where it was.
    void aWayOutThatCannotSetAsideKeepsEverything()
    {
        QVERIFY(makeArchive(path("zips/a.zip"), {"News"}));
        QVERIFY(makeArchive(path("b.zip"), {"Map"}));
        catalogueOf({{"A", path("zips/a.zip")}, {"B", path("b.zip")}});
        open(1);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);
        QVERIFY(QDir().rename(path("zips"), path("away")));
        const QString base = m_session->archive().folders().base();
        const QString locked = TestFiles::runningAsRoot() ? work() : base;
        if (!CommandFiles::lockFolder(locked, true))
            QSKIP("cannot lock a folder against changes here");

        const QStringList ways{"Try again", "Save as new archive...", "Set aside and go on"};
        m_ui->expectChoice({}, ways, 2);
        m_ui->expectMessage();
        m_ui->expectChoice({}, ways, -1);
        open(2);
        QVERIFY(CommandFiles::lockFolder(locked, false));

        QVERIFY(m_ui->verify());
        QVERIFY(m_ui->log().contains("message: " + Messages::text(MessageId::SetAsideFailed) +
                                     "\r\n" + work()));
        QVERIFY(m_session->archive().isChanged());
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(m_session->pages().titles(), QStringList({"News", "Added"}));
        QCOMPARE(TestFiles::read(work() + "/added.htm"), QByteArray("<html>added</html>"));
        QVERIFY(QDir(base).entryList({"recovered-*"}, QDir::Dirs).isEmpty());
    }

    // Another program replaced the zip while its archive was open: the
    // write-back before the next opening does not overwrite it, and only an
    // explicit choice does.
    void aZipChangedUnderneathIsNotOverwritten_data()
    {
        QTest::addColumn<int>("answer"); // -1: cancelled
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("setAside");
        QTest::newRow("cancelled") << -1 << false << false;
        QTest::newRow("set aside") << 1 << false << true;
        QTest::newRow("the newer zip replaced") << 2 << true << false;
    }
    void aZipChangedUnderneathIsNotOverwritten()
    {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        QFETCH(bool, setAside);
        QVERIFY(makeArchive(path("a.zip"), {"News"}));
        QVERIFY(makeArchive(path("b.zip"), {"Map"}));
        catalogueOf({{"A", path("a.zip")}, {"B", path("b.zip")}});
        open(1);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);
        // A sync tool brings a newer version from elsewhere.
        QVERIFY(makeArchive(path("a.zip"), {"News", "Synced"}));
        const QByteArray newer = TestFiles::read(path("a.zip"));

        m_ui->expectChoice(
            {}, {"Save as new archive...", "Set aside and go on", "Replace the newer zip-file"},
            answer);
        if (setAside)
            m_ui->expectMessage();
        open(2);

        QVERIFY(m_ui->verify());
        const QString why =
            Messages::text(MessageId::ZipChangedSinceOpened) + "\r\n" + path("a.zip");
        QCOMPARE(m_ui->log().filter(why).size(), 1);
        if (replaced) {
            QCOMPARE(TestZips::names(path("a.zip")),
                     QStringList({"added.htm", "listfile.txt", "news.htm"}));
        } else {
            QCOMPARE(TestFiles::read(path("a.zip")), newer);
        }
        QCOMPARE(m_session->openNode(), answer < 0 ? 1 : 2);
        QCOMPARE(m_session->archive().isChanged(), answer < 0);
        const QStringList recovered =
            QDir(m_session->archive().folders().base()).entryList({"recovered-*"}, QDir::Dirs);
        QCOMPARE(recovered.size(), setAside ? 1 : 0);
        if (answer < 0)
            QCOMPARE(TestFiles::read(work() + "/added.htm"), QByteArray("<html>added</html>"));
    }

    // A list file there but unreadable as a page list, or with lines whose
    // file names are refused: the user learns so when the archive opens, and
    // nothing it held is lost when a new list is written back.
    void aListFileThatCannotBeReadLosesNothing_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<bool>("newList"); // Archive > New Listing before the write-back
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("titles");   // as opened
        QTest::addColumn<QByteArray>("keptLines"); // after the pages in the list written back
        QTest::addColumn<bool>("keptAside");       // the old list as listfile-unreadable.txt

        const QString unreadable =
            Messages::english(MessageId::ListFileUnreadable).arg("Archive › New Listing");
        QTest::newRow("without its header")
            << QByteArray("News=news.htm\r\nMap=map.htm\r\n[end]") << false << unreadable
            << QStringList{} << QByteArray() << true;
        QTest::newRow("line feeds only")
            << QByteArray("[This is list files by Tomekeeper]\nNews=news.htm\n[end]") << false
            << unreadable << QStringList{} << QByteArray() << true;
        QTest::newRow("replaced by a new list")
            << QByteArray("News=news.htm\r\n[end]") << true << unreadable << QStringList{}
            << QByteArray() << true;
        QTest::newRow("lines refused")
            << TestZips::listFile("News=news.htm\r\nSecret=../../etc/passwd\r\n") << false
            << Messages::english(MessageId::ListFileLinesRefused) + "\r\n../../etc/passwd"
            << QStringList{"News"} << QByteArray("Secret=../../etc/passwd\r\n") << false;
    }
    void aListFileThatCannotBeReadLosesNothing()
    {
        QFETCH(QByteArray, list);
        QFETCH(bool, newList);
        QFETCH(QString, message);
        QFETCH(QStringList, titles);
        QFETCH(QByteArray, keptLines);
        QFETCH(bool, keptAside);
        const TestZips::Files files{{"news.htm", "<html>News</html>"},
                                    {"map.htm", "<html>Map</html>"},
                                    {"listfile.txt", list}};
        QVERIFY(TestZips::zipTree(path("a.zip"), files, path("scratch")));
        catalogueOf({{"A", path("a.zip")}});

        m_ui->expectMessage(message);
        open(1);
        QVERIFY(m_ui->verify());
        QCOMPARE(m_session->pages().titles(), titles);
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        if (newList) {
            QVERIFY(runCommand(Command::NewPageList, *m_ctx));
        } else {
            m_session->pages().append("Added", "added.htm");
            m_session->archive().setChanged(true);
            finishCommand(*m_ctx); // the list kept in the working copy, as after every command
        }
        QVERIFY(m_session->pages().fileNames().contains("added.htm"));
        QVERIFY(m_session->archive().writeBack(*m_ui));

        QByteArray written;
        for (int i = 0; i < m_session->pages().count(); ++i)
            written += (m_session->pages().title(i) + "=" + m_session->pages().fileName(i) + "\r\n")
                           .toUtf8();
        const TestZips::Files back = TestZips::unzipped(path("a.zip"), path("peek"));
        QCOMPARE(back.value("listfile.txt"), TestZips::listFile(written + keptLines));
        if (keptAside)
            QCOMPARE(back.value("listfile-unreadable.txt"), list);
        QCOMPARE(back.size(), keptAside ? 5 : 4);
    }

    // The open archive opened again: its changes go to its zip first, then it
    // is unpacked afresh.
    void theOpenArchiveOpensAgain()
    {
        QVERIFY(makeArchive(path("a.zip"), {"News", "Report"}));
        catalogueOf({{"A", path("a.zip")}});
        open(1);
        QVERIFY(runCommand(Command::NextPage, *m_ctx));
        TestFiles::write(work() + "/added.htm", "<html>added</html>");
        m_session->pages().append("Added", "added.htm");
        m_session->archive().setChanged(true);
        m_view->calls.clear();

        open(1);

        QCOMPARE(TestZips::names(path("a.zip")),
                 QStringList({"added.htm", "listfile.txt", "news.htm", "report.htm"}));
        QCOMPARE(m_session->pages().titles(), QStringList({"News", "Report", "Added"}));
        QCOMPARE(m_session->currentPage(), 0);
        QCOMPARE(m_session->previousPage(), -1);
        QCOMPARE(m_view->calls.last(), pageCall("News"));
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::OpenArchivePicture));
    }

    void clickingTheLastTitle()
    {
        QVERIFY(makeArchive(path("a.zip"), {"One", "Two", "Three", "Four"}));
        catalogueOf({{"A", path("a.zip")}});
        open(1);
        m_view->calls.clear();
        const QString status = m_session->statusText();

        focusPage(3);
        QVERIFY(runCommand(Command::ShowFocusedPage, *m_ctx));

        QCOMPARE(m_view->calls.last(), pageCall("Four"));
        QCOMPARE(m_session->currentPage(), 3);
        QCOMPARE(m_session->previousPage(), 0);
        QCOMPARE(m_session->navigation(), NavigationButtons({true, true, true, false, false}));
        QCOMPARE(m_session->statusText(), status);
        // The click leaves the selection to the list itself.
        QCOMPARE(selectedRows(), QList<int>{0});
    }

    // The box takes effect at once; the page on screen is not reloaded for it.
    void theOfflineBox()
    {
        QVERIFY(makeArchive(path("a.zip"), {"One", "Two"}));
        catalogueOf({{"A", path("a.zip")}});
        m_session->settings().offline = false;
        open(1);
        m_view->calls.clear();

        Commands::setOffline(*m_ctx, true);
        QCOMPARE(m_view->calls, QStringList{"offline 1"});
        QVERIFY(m_session->settings().offline);

        QVERIFY(runCommand(Command::NextPage, *m_ctx));
        QCOMPARE(m_view->calls, QStringList({"offline 1", "offline 1", pageCall("Two")}));

        m_view->calls.clear();
        Commands::setOffline(*m_ctx, false);
        QCOMPARE(m_view->calls, QStringList{"offline 0"});
    }

    // Every navigation move from every position of a list of three (and of
    // lists of one and none): where it leads, or that it changes nothing, and
    // the buttons afterwards.
    void navigationMoves_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("newCurrent"); // -1: the move does not apply
        QTest::addColumn<int>("newPrevious");
        const int first = int(Command::FirstPage), prev = int(Command::PreviousPage),
                  ret = int(Command::ReturnPage), next = int(Command::NextPage),
                  last = int(Command::LastPage);
        QTest::newRow("first from 2") << 3 << 2 << 1 << first << 0 << 2;
        QTest::newRow("first on 0") << 3 << 0 << 2 << first << -1 << 0;
        QTest::newRow("previous from 2") << 3 << 2 << 0 << prev << 1 << 2;
        QTest::newRow("previous on 0") << 3 << 0 << 1 << prev << -1 << 0;
        QTest::newRow("previous from a stale index") << 3 << 5 << 0 << prev << -1 << 0;
        QTest::newRow("return") << 3 << 2 << 0 << ret << 0 << 2;
        QTest::newRow("return after opening") << 3 << 0 << -1 << ret << -1 << 0;
        QTest::newRow("return to a stale index") << 3 << 0 << 3 << ret << -1 << 0;
        QTest::newRow("next from 0") << 3 << 0 << -1 << next << 1 << 0;
        QTest::newRow("next from 1") << 3 << 1 << 0 << next << 2 << 1;
        QTest::newRow("next on the last") << 3 << 2 << 1 << next << -1 << 0;
        QTest::newRow("last from 0") << 3 << 0 << -1 << last << 2 << 0;
        QTest::newRow("last on the last") << 3 << 2 << 0 << last << -1 << 0;
        QTest::newRow("next in a list of one") << 1 << 0 << -1 << next << -1 << 0;
        QTest::newRow("last in a list of one") << 1 << 0 << -1 << last << -1 << 0;
        QTest::newRow("first in an empty list") << 0 << 0 << -1 << first << -1 << 0;
        QTest::newRow("return in an empty list") << 0 << 0 << 0 << ret << -1 << 0;
    }
    void navigationMoves()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(int, previous);
        QFETCH(int, command);
        QFETCH(int, newCurrent);
        QFETCH(int, newPrevious);
        Session &s = *m_session;
        QVERIFY(s.archive().startNew(path("a.zip")));
        for (int i = 0; i < count; ++i)
            s.pages().append(QString("Page %1").arg(i), QString("page%1.htm").arg(i));
        s.setPageControlsEnabled(true);
        s.setPagePosition(current, previous);
        const NavigationButtons before{true, true, true, true, true};
        s.setNavigation(before);
        // The user's own selection: the entries 0 and 2 of three.
        for (int row : {0, 2}) {
            if (row < count)
                s.pageSelection().select(s.pages().index(row), QItemSelectionModel::Select);
        }
        const QList<int> selectedBefore = selectedRows();

        QVERIFY(runCommand(Command(command), *m_ctx));

        if (newCurrent < 0) {
            QCOMPARE(s.currentPage(), current);
            QCOMPARE(s.previousPage(), previous);
            QCOMPARE(s.navigation(), before);
            QVERIFY(m_view->calls.isEmpty());
            QCOMPARE(selectedRows(), selectedBefore);
            return;
        }
        QCOMPARE(s.currentPage(), newCurrent);
        QCOMPARE(s.previousPage(), newPrevious);
        QCOMPARE(m_view->calls.last(),
                 QString("navigate %1/page%2.htm").arg(work()).arg(newCurrent));
        // The button rule.
        QCOMPARE(s.navigation(),
                 NavigationButtons({newCurrent != 0, newCurrent != 0, true, newCurrent != count - 1,
                                    newCurrent != count - 1}));
        // The page left is deselected, the page shown selected, the rest kept.
        QList<int> expected = selectedBefore;
        expected.removeAll(newPrevious);
        if (!expected.contains(newCurrent))
            expected << newCurrent;
        std::sort(expected.begin(), expected.end());
        QCOMPARE(selectedRows(), expected);
    }

    // Next, next, return, return through a list of three.
    void returnGoesBackAndForth()
    {
        QVERIFY(makeArchive(path("a.zip"), {"One", "Two", "Three"}));
        catalogueOf({{"A", path("a.zip")}});
        open(1);
        QVERIFY(runCommand(Command::NextPage, *m_ctx));
        QCOMPARE(m_session->navigation(), NavigationButtons({true, true, true, true, true}));
        QVERIFY(runCommand(Command::NextPage, *m_ctx));
        QCOMPARE(m_session->navigation(), NavigationButtons({true, true, true, false, false}));
        QVERIFY(runCommand(Command::ReturnPage, *m_ctx));
        QCOMPARE(m_view->calls.last(), pageCall("Two"));
        QVERIFY(runCommand(Command::ReturnPage, *m_ctx));
        QCOMPARE(m_view->calls.last(), pageCall("Three"));
        QCOMPARE(m_session->currentPage(), 2);
        QCOMPARE(m_session->previousPage(), 1);
    }

    // Another command made or attached an archive: the window enters the same
    // state as after opening one.
    void enteringTheOpenStateForAnArchiveJustMade()
    {
        QVERIFY(makeArchive(path("a.zip"), {"One"}));
        catalogueOf({{"A", path("a.zip")}});
        open(1);
        const int node = catalogue().appendArchive("Made", path("made.zip"));
        Session &s = *m_session;
        s.archive().setChanged(false);
        QVERIFY(s.archive().close());
        QVERIFY(s.archive().startNew(path("made.zip")));
        TestFiles::write(work() + "/first.htm", "x");
        s.pages().append("First", "first.htm");
        s.pages().append("Second", "second.htm");
        select(node);
        m_view->calls.clear();

        Commands::enterOpenState(*m_ctx, node);

        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(catalogue().node(node).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(s.openNode(), node);
        QCOMPARE(s.statusText(), QString("Open Archive: Books\\Made"));
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/first.htm");
        QCOMPARE(selectedRows(), QList<int>{0});
        QCOMPARE(s.navigation(), NavigationButtons({false, false, false, true, true}));
        QVERIFY(s.pageControlsEnabled());
    }

    void hidingTheLists()
    {
        QVERIFY(!m_session->listsHidden());
        QVERIFY(runCommand(Command::ToggleLists, *m_ctx));
        QVERIFY(m_session->listsHidden());
        QVERIFY(runCommand(Command::ToggleLists, *m_ctx));
        QVERIFY(!m_session->listsHidden());
    }
};

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
