#include "catalogue/session.h"
#include "commands/addingcommands.h"
#include "commands/appcommands.h"
#include "commands/archivecommands.h"
#include "commands/attaching.h"
#include "commands/maintenancecommands.h"
#include "commands/createarchivecheck.h"
#include "commands/navigationcommands.h"
#include "commands/openstate.h"
#include "commands/pagecommands.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "storage/pagesearch.h"
#include "testfiles.h"
#include "testzips.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// Behaviour users meet in everyday work, checked against the commands as a
// whole: what the catalogue keeps, what the user is told, what stays enabled.
class TestWrittenBehaviour : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<CommandContext> m_ctx;
    QString m_startFolder;

    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    CatalogueModel &catalogue() { return m_session->catalogue(); }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ui = std::make_unique<ScriptedInteraction>();
        m_view = std::make_unique<RecordingPageView>();
        m_session = std::make_unique<Session>(WorkFolders::under(path("data")));
        m_ctx = std::make_unique<CommandContext>(
            CommandContext{*m_session, m_session->archive(), *m_ui, *m_view});
        Messages::useEnglish();
        // The program runs in the folder it was started from.
        m_startFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }
    void cleanup()
    {
        QDir::setCurrent(m_startFolder);
        m_ctx.reset();
        m_session.reset();
        m_view.reset();
        m_ui.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    // A folder typed relative to the start-up folder is kept as the place it
    // names: started from elsewhere next time, the program must still find
    // the archives made there, not drop them from the catalogue as missing.
    void typedRelativeFoldersAreKeptWhole()
    {
        m_ui->expectSettings([](SettingsDialogValues &v) {
            v.folder = "archives";
            return true;
        });
        Commands::editSettings(*m_ctx);
        const QString archives = QDir(m_dir->path()).absoluteFilePath("archives");
        QCOMPARE(m_session->settings().defaultArchiveFolder, archives + "/");
        QVERIFY(QFileInfo(archives).isDir());

        catalogue().appendSection("Books");
        m_session->selectNode(0);
        QVERIFY(TestFiles::write(path("saved/a.htm"), "a"));
        QVERIFY(QDir().mkpath(path("made")));
        m_ui->expectCreateArchive([this](CreateArchiveValues &v) {
            v.folder = "archives/../made";
            v.archiveName = "Atlas";
            v.zipName = "atlas";
            v.pageFiles = {path("saved/a.htm")};
            return true;
        });
        Commands::createArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeCount(), 2);
        QCOMPARE(catalogue().node(1).path, QDir(m_dir->path()).absoluteFilePath("made/atlas.zip"));
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QVERIFY(QFileInfo(path("made/atlas.zip")).isFile());

        // The dialog's checks look at the same place: the zip is there now.
        CreateArchiveValues again{"made", "Atlas 2", "atlas", {path("saved/a.htm")}, false, {}, {}};
        const CreateDialogOwnTexts texts = CreateDialogOwnTexts::inLanguage(false);
        m_ui->expectMessage(texts.zipFileTaken);
        QVERIFY(!checkCreateArchive(again, texts, *m_ui));
        QVERIFY(m_ui->verify());

        // "~" is the home folder, as everywhere else on the desktop.
        QCOMPARE(typedFolder("~"), QDir::homePath());
        QCOMPARE(typedFolder("~/Archives/"), QDir::homePath() + "/Archives");
        QCOMPARE(typedFolder("a~/b"), QDir(m_dir->path()).absoluteFilePath("a~/b"));
    }

    // The program's working folders are emptied whenever another archive is
    // opened: no zip is ever made or moved into them.
    void noArchiveIntoTheWorkingFolders()
    {
        const QString work = m_session->archive().folders().archive;
        const QString inside = work + "/kept";

        // The settings keep the folder they had.
        m_ui->expectSettings([&](SettingsDialogValues &v) {
            v.folder = path("archives");
            return true;
        });
        Commands::editSettings(*m_ctx);
        m_ui->expectSettings([&](SettingsDialogValues &v) {
            v.folder = inside;
            v.deleteOriginals = true;
            return true;
        });
        m_ui->expectRefusal(msg(MessageId::SaveOutIntoWorkFolder));
        Commands::editSettings(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(m_session->settings().defaultArchiveFolder, path("archives") + "/");
        QVERIFY(!QFileInfo::exists(inside));

        // The create dialog does not close on such a folder.
        QVERIFY(TestFiles::write(path("saved/a.htm"), "a"));
        CreateArchiveValues values{inside, "Atlas", "atlas", {path("saved/a.htm")}, false, {}, {}};
        values.protectedFolders = m_session->archive().folders().protectedFolders();
        const CreateDialogOwnTexts texts = CreateDialogOwnTexts::inLanguage(false);
        m_ui->expectMessage(msg(MessageId::SaveAsInProgramFolder));
        QVERIFY(!checkCreateArchive(values, texts, *m_ui));
        QVERIFY(m_ui->verify());
        QVERIFY(!QFileInfo::exists(inside));

        // A settings file edited by hand may name one: attaching with moving
        // then leaves the zip where it is, and says so.
        catalogue().appendSection("Books");
        m_session->selectNode(0);
        m_session->settings().defaultArchiveFolder = work + "/";
        QVERIFY(TestZips::zipTree(path("usb/books.zip"), {{"a.htm", "a"}}, path("scratch")));
        m_ui->expectAttach([this](AttachValues &v) {
            v.zipFiles = {path("usb/books.zip")};
            v.moveToArchiveFolder = true;
            return true;
        });
        m_ui->expectWarning(msg(MessageId::AttachZipsNotCarried) + "\r\n" + work + "/");
        Commands::attachArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeCount(), 2);
        QCOMPARE(catalogue().node(1).path, path("usb/books.zip"));
        QCOMPARE(m_session->archive().zipPath(), path("usb/books.zip"));
        QVERIFY(QFileInfo(path("usb/books.zip")).isFile());
        QVERIFY(!QFileInfo::exists(work + "/books.zip"));
    }

    // A new page list shows its first page; the navigation goes on from the
    // page on screen, not from where the old list stood.
    void aNewListNavigatesFromThePageShown()
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        TestZips::Files files;
        QByteArray lines;
        for (const char *name : {"a", "b", "c", "d"}) {
            files.insert(QString::fromLatin1(name) + ".htm", name);
            lines += QByteArray(name).toUpper() + "=" + name + ".htm\r\n";
        }
        files.insert("listfile.txt", TestZips::listFile(lines));
        QVERIFY(TestZips::zipTree(path("arch/novels.zip"), files, path("scratch")));
        QCOMPARE(m_session->archive().open(path("arch/novels.zip"), *m_ui),
                 OpenArchive::OpenStatus::Opened);
        m_session->selectNode(1);
        Commands::enterOpenState(*m_ctx, 1);
        QVERIFY(Commands::wholeCopyReady(*m_ctx)); // as runCommand sees to
        Commands::showNextPage(*m_ctx);
        Commands::showNextPage(*m_ctx);
        QCOMPARE(m_session->currentPage(), 2);

        Commands::newPageList(*m_ctx);
        const QStringList found = m_session->pages().fileNames();
        QCOMPARE(found.size(), 4);
        const QString work = m_session->archive().workFolder();
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/" + found.first());
        QCOMPARE(m_session->currentPage(), 0);
        QCOMPARE(m_session->previousPage(), 1);
        QCOMPARE(m_session->navigation(), (NavigationButtons{false, false, true, true, true}));

        Commands::showNextPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/" + found.at(1));
        Commands::showPreviousPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/" + found.first());
        QCOMPARE(m_session->navigation(), (NavigationButtons{false, false, true, true, true}));
    }

    // Pages that come into an emptied list leave the blank view as it is;
    // the buttons then lead to each of them, the first one included.
    void pagesIntoAnEmptiedList()
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        const TestZips::Files files{{"a.htm", "a"},
                                    {"listfile.txt", TestZips::listFile("A=a.htm\r\n")}};
        QVERIFY(TestZips::zipTree(path("arch/novels.zip"), files, path("scratch")));
        QCOMPARE(m_session->archive().open(path("arch/novels.zip"), *m_ui),
                 OpenArchive::OpenStatus::Opened);
        m_session->selectNode(1);
        Commands::enterOpenState(*m_ctx, 1);
        QVERIFY(Commands::wholeCopyReady(*m_ctx)); // as runCommand sees to
        m_ui->expectYesNo({}, true);
        Commands::deletePage(*m_ctx);
        QVERIFY(!m_session->pageControlsEnabled());

        const QString work = m_session->archive().workFolder();
        for (const char *name : {"x", "y"}) {
            QVERIFY(TestFiles::write(path("saved/%1.htm").arg(name), name));
            m_view->calls.clear();
            Commands::addDroppedFiles(*m_ctx, {path("saved/%1.htm").arg(name)});
            QVERIFY(m_view->calls.isEmpty()); // the page shown (none) stays
        }
        QVERIFY(m_ui->verify());
        QVERIFY(m_session->pageControlsEnabled());
        QCOMPARE(m_session->navigation(), (NavigationButtons{false, false, false, true, true}));
        Commands::showNextPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/x.htm");
        QCOMPARE(m_session->navigation(), (NavigationButtons{false, false, true, true, true}));
        Commands::showNextPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/y.htm");
        Commands::returnToPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/x.htm");

        // One page into an emptied list: the buttons reach it too.
        for (int i = 0; i < 2; ++i) {
            m_session->pageSelection().setCurrentIndex(m_session->pages().index(0),
                                                       QItemSelectionModel::ClearAndSelect);
            m_ui->expectYesNo({}, true);
            Commands::deletePage(*m_ctx);
        }
        QVERIFY(!m_session->pageControlsEnabled());
        QVERIFY(TestFiles::write(path("saved/z.htm"), "z"));
        Commands::addDroppedFiles(*m_ctx, {path("saved/z.htm")});
        Commands::showLastPage(*m_ctx);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/z.htm");
        QCOMPARE(m_session->navigation(), NavigationButtons{});
        QVERIFY(m_ui->verify());
    }
};

QTEST_GUILESS_MAIN(TestWrittenBehaviour)
#include "tst_writtenbehaviour.moc"
