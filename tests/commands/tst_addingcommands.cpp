#include "commandfixture.h"
#include "commands/addingcommands.h"
#include "commands/archivecommands.h"
#include "commands/createarchivecheck.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QTest>

using TestZips::filesBelow;

// Adding pages, files and folders to the open archive, and creating an
// archive, with a scripted user.
class TestAddingCommands : public QObject, CommandFixture {
    Q_OBJECT

    QString src(const QString &relative = {}) const
    {
        return relative.isEmpty() ? path("src") : path("src/" + relative);
    }
    // Books: Novels (open), Poems; Travel: Maps. Novels is open, with no page yet.
    void openNovels()
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("Novels", path("arch/novels.zip"));
        catalogue().appendArchive("Poems", path("arch/poems.zip"));
        catalogue().appendSection("Travel");
        catalogue().appendArchive("Maps", path("arch/maps.zip"));
        QVERIFY(QDir().mkpath(path("arch")));
        QVERIFY(m_session->archive().startNew(path("arch/novels.zip")));
        m_session->archive().setChanged(false);
        m_session->setOpenNode(1);
        catalogue().setPicture(1, CatalogueNode::OpenArchivePicture);
        m_session->setPageControlsEnabled(true);
        select(1);
    }

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void nothingWithoutAnOpenArchive_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("refusal");
        QTest::newRow("pages") << 0 << int(MessageId::AddPagesNeedsArchive);
        QTest::newRow("search") << 1 << int(MessageId::AddFilesNeedsArchive);
        QTest::newRow("file") << 2 << int(MessageId::AddFilesNeedsArchive);
        QTest::newRow("folder") << 3 << int(MessageId::AddFolderNeedsArchive);
        QTest::newRow("drop") << 4 << int(MessageId::AddPagesNeedsArchive);
    }
    void nothingWithoutAnOpenArchive()
    {
        QFETCH(int, which);
        QFETCH(int, refusal);
        TestFiles::write(src("a.htm"), "a");
        m_ui->expectRefusal(msg(MessageId(refusal)));
        switch (which) {
        case 0:
            Commands::addPages(*m_ctx);
            break;
        case 1:
            Commands::searchFolder(*m_ctx);
            break;
        case 2:
            Commands::addFile(*m_ctx);
            break;
        case 3:
            Commands::addFolder(*m_ctx);
            break;
        default:
            Commands::addDroppedFiles(*m_ctx, {src("a.htm")});
            break;
        }
        QVERIFY(m_ui->verify());
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(!QFileInfo::exists(work()));
    }

    // Pages with their folders, a second news.htm beside the first, and a
    // name the list file cannot hold; the zip written back carries them all.
    void addPagesFromTheDialog()
    {
        openNovels();
        TestFiles::write(src("news.htm"), "<img src=\"news_files/a.png\">");
        TestFiles::write(src("news_files/a.png"), "first");
        TestFiles::write(src("news_files/sub/b.css"), "css");
        TestFiles::write(src("other/news.htm"), "<img src='news.files/a.png'>");
        TestFiles::write(src("other/news.files/a.png"), "second");
        TestFiles::write(src("other/news_files/a.png"), "ignored");
        TestFiles::write(src("Q=A.html"), "qa");
        TestFiles::write(src("Сказки.htm"), "сказки");
        TestFiles::write(src("日本.htm"), "nihon");
        m_ui->expectOpenFiles(
            {}, "Файлы HTML и Web-архивы (*.htm *.html *.shtml *.dhtml *.phtml *.mht)", true,
            {src("news.htm"), src("other/news.htm"), src("Q=A.html"), src("Сказки.htm"),
             src("日本.htm")});
        Commands::addPages(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(titles(), (QStringList{"news", "news_1", "Q-A", "Сказки", "日本"}));
        QCOMPARE(fileNames(),
                 (QStringList{"news.htm", "news_1.htm", "Q-A.html", "Сказки.htm", "日本.htm"}));
        QVERIFY(m_session->archive().isChanged());
        const auto files = filesBelow(work());
        QCOMPARE(files.value("news_files/a.png"), QByteArray("first"));
        QCOMPARE(files.value("news_files/sub/b.css"), QByteArray("css"));
        QCOMPARE(files.value("news_1.files/a.png"), QByteArray("second"));
        QCOMPARE(files.value("news_1.htm"), QByteArray("<img src='news_1.files/a.png'>"));
        QVERIFY(!files.contains("news_1_files/a.png"));
        QVERIFY(m_view->calls.isEmpty()); // the page shown stays

        QVERIFY(m_session->archive().writeBack(*m_ui));
        QCOMPARE(
            TestZips::names(path("arch/novels.zip")),
            (QStringList{"Q-A.html", "listfile.txt", "news.htm", "news_1.files/a.png", "news_1.htm",
                         "news_files/a.png", "news_files/sub/b.css", "Сказки.htm", "日本.htm"}));
        // Originals stay unless asked otherwise.
        QCOMPARE(filesBelow(src()).size(), 9);
    }

    void deleteOriginalsWaitsForTheWriteBack()
    {
        openNovels();
        m_session->settings().deleteOriginals = true;
        TestFiles::write(src("news.htm"), "news");
        TestFiles::write(src("news_files/a.png"), "a");
        m_ui->expectOpenFiles({}, {}, true, {src("news.htm")});
        Commands::addPages(*m_ctx);
        QVERIFY(QFileInfo::exists(src("news.htm")));
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QVERIFY(filesBelow(src()).isEmpty());
        QVERIFY(!QFileInfo::exists(src("news_files")));
    }

    void cancelledDialogsChangeNothing()
    {
        openNovels();
        m_ui->expectOpenFiles({}, {}, true, {});
        Commands::addPages(*m_ctx);
        m_ui->expectFolder({}, {}, {});
        Commands::searchFolder(*m_ctx);
        m_ui->expectOpenFiles({}, {}, false, {});
        Commands::addFile(*m_ctx);
        m_ui->expectFolder({}, path("arch"), {});
        Commands::addFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(!m_session->archive().isChanged());
        QVERIFY(filesBelow(work()).isEmpty());
    }

    // Nested folders, a link loop and the working folder inside the tree.
    void searchAFolder()
    {
        openNovels();
        TestFiles::write(src("a.htm"), "a");
        TestFiles::write(src("b.HTM"), "b");
        TestFiles::write(src("sub/c.html"), "c");
        QVERIFY(QFile::link(src(), src("sub/loop")));
        // A working folder below the searched one is skipped.
        m_session = nullptr;
        m_ctx = nullptr;
        m_session = std::make_unique<Session>(WorkFolders::under(src("data")));
        m_ctx = std::make_unique<CommandContext>(
            CommandContext{*m_session, m_session->archive(), *m_ui, *m_view});
        openNovels();
        TestFiles::write(work() + "/own.htm", "own");
        m_session->pages().append("own", "own.htm");

        m_ui->expectFolder({}, {}, src());
        Commands::searchFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QStringList added = fileNames();
        added.sort();
        QCOMPARE(added, (QStringList{"a.htm", "c.html", "own.htm"}));
        QVERIFY(m_session->archive().isChanged());

        // Searching the working folder itself is refused.
        m_ui->expectFolder({}, {}, work());
        m_ui->expectRefusal(msg(MessageId::AddRefusedProgramFolder) + "\r\n" + work());
        Commands::searchFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(fileNames().size(), 3);
    }

    void searchWithoutPagesStillMarksChanged()
    {
        openNovels();
        TestFiles::write(src("note.txt"), "n");
        m_ui->expectFolder({}, {}, src());
        Commands::searchFolder(*m_ctx);
        QVERIFY(fileNames().isEmpty());
        QVERIFY(m_session->archive().isChanged());
    }

    void addOneFile()
    {
        openNovels();
        m_session->settings().deleteOriginals = true;
        TestFiles::write(src("notes.txt"), "notes");
        TestFiles::write(work() + "/notes.txt", "old notes");
        m_ui->expectOpenFiles({}, "All Files (*)", false, {src("notes.txt")});
        m_ui->expectYesNo(msg(MessageId::ConfirmReplaceFile).arg("notes.txt"), false);
        Commands::addFile(*m_ctx);
        QCOMPARE(TestFiles::read(work() + "/notes.txt"), QByteArray("old notes"));
        QVERIFY(!m_session->archive().isChanged());

        m_ui->expectOpenFiles({}, {}, false, {src("notes.txt")});
        m_ui->expectYesNo(msg(MessageId::ConfirmReplaceFile).arg("notes.txt"), true);
        Commands::addFile(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(work() + "/notes.txt"), QByteArray("notes"));
        QVERIFY(fileNames().isEmpty());
        QVERIFY(m_session->archive().isChanged());
        QVERIFY(QFileInfo::exists(src("notes.txt"))); // until the write-back
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QVERIFY(!QFileInfo::exists(src("notes.txt")));
    }

    void aPageIsNeverReplacedByAFile()
    {
        openNovels();
        TestFiles::write(work() + "/news.htm", "page");
        m_session->pages().append("news", "news.htm");
        TestFiles::write(src("news.htm"), "plain");
        m_ui->expectOpenFiles({}, {}, false, {src("news.htm")});
        m_ui->expectRefusal(msg(MessageId::AddFileIsPage).arg("news.htm"));
        Commands::addFile(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(work() + "/news.htm"), QByteArray("page"));
    }

    // Archive Poems selected while Novels is open: asked first.
    void filesGoToTheOpenArchiveOnlyWhenConfirmed()
    {
        openNovels();
        select(2);
        TestFiles::write(src("notes.txt"), "notes");
        m_ui->expectYesNo(msg(MessageId::FilesGoToOpenArchive), false);
        Commands::addFile(*m_ctx);
        m_ui->expectYesNo(msg(MessageId::FolderGoesToOpenArchive), false);
        Commands::addFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(filesBelow(work()).isEmpty());

        m_ui->expectYesNo(msg(MessageId::FilesGoToOpenArchive), true);
        m_ui->expectOpenFiles({}, {}, false, {src("notes.txt")});
        Commands::addFile(*m_ctx);
        QCOMPARE(filesBelow(work()).keys(), QStringList{"notes.txt"});

        // With nothing selected there is nothing to ask.
        m_session->catalogueSelection().clear();
        m_session->catalogueSelection().setCurrentIndex({}, QItemSelectionModel::Clear);
        m_ui->expectOpenFiles({}, {}, false, {});
        Commands::addFile(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    // Names a zip would refuse or change ("\\" it reads as a folder, a drive
    // letter) are made storable when they come in, and the user is told; a
    // page whose folder holds such a name is refused. The archive can always
    // be written back.
    void namesAZipCannotKeep_data()
    {
        QTest::addColumn<int>("command"); // 0: Add File, 1: Add Pages, 2: Add Folder
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("stored");
        const auto renamed = [](const QString &from, const QString &to) {
            return msg(MessageId::NameMadeStorable).arg(from, to);
        };
        QTest::newRow("a file") << 0 << QStringList{"..\\notes.txt"} << "..\\notes.txt"
                                << renamed("..\\notes.txt", "..-notes.txt")
                                << QStringList{"..-notes.txt"};
        QTest::newRow("a page") << 1 << QStringList{"x\\y.htm"} << "x\\y.htm"
                                << renamed("x\\y.htm", "x-y.htm") << QStringList{"x-y.htm"};
        QTest::newRow("a page named like a drive")
            << 1 << QStringList{"C:news.htm"} << "C:news.htm" << renamed("C:news.htm", "C-news.htm")
            << QStringList{"C-news.htm", "listfile.txt"};
        QTest::newRow("a folder") << 2 << QStringList{"a\\b/c\\d.txt", "a\\b/c-d.txt"} << "a\\b"
                                  << renamed("a\\b", "a-b") + "\r\n\r\n" +
                                         renamed("c\\d.txt", "c-d_1.txt")
                                  << QStringList{"a-b/c-d.txt", "a-b/c-d_1.txt"};
        QTest::newRow("a page whose folder holds such a name")
            << 1 << QStringList{"page.htm", "page_files/p\\q.png"} << "page.htm"
            << msg(MessageId::NameNotStorable) + "\r\n<src>/page_files/p\\q.png" << QStringList{};
    }
    void namesAZipCannotKeep()
    {
        QFETCH(int, command);
        QFETCH(QStringList, sources);
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        QFETCH(QStringList, stored);
        openNovels();
        for (const QString &source : sources)
            QVERIFY(TestFiles::write(src(source), "<html>" + source.toUtf8() + "</html>"));
        if (command == 2)
            m_ui->expectFolder({}, {}, src(chosen));
        else
            m_ui->expectOpenFiles({}, {}, command == 1, {src(chosen)});
        m_ui->expectMessage(QString(message).replace("<src>", src()));
        if (command == 0)
            Commands::addFile(*m_ctx);
        else if (command == 1)
            Commands::addPages(*m_ctx);
        else
            Commands::addFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        if (stored.isEmpty()) {
            QVERIFY(filesBelow(work()).isEmpty());
            return;
        }
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QStringList names = TestZips::names(path("arch/novels.zip"));
        names.removeAll("listfile.txt");
        stored.removeAll("listfile.txt");
        QCOMPARE(names, stored);
    }

    // Only the files directly inside; a taken name gives Travel_1; never deleted.
    void addAFolder()
    {
        openNovels();
        m_session->settings().deleteOriginals = true;
        TestFiles::write(src("Travel/a.jpg"), "a");
        TestFiles::write(src("Travel/b.txt"), "b");
        TestFiles::write(src("Travel/sub/c.jpg"), "c");
        TestFiles::write(work() + "/Travel/old.jpg", "old");
        m_ui->expectFolder({}, path("arch"), src("Travel") + "/");
        Commands::addFolder(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(filesBelow(work()).keys(),
                 (QStringList{"Travel/old.jpg", "Travel_1/a.jpg", "Travel_1/b.txt"}));
        QVERIFY(m_session->archive().isChanged());
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QCOMPARE(filesBelow(src()).size(), 3);

        m_ui->expectFolder({}, {}, "/");
        m_ui->expectRefusal(msg(MessageId::AddFolderWithoutName));
        Commands::addFolder(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    // Several files and a folder, in the order given; the folder is skipped.
    void dropFiles()
    {
        openNovels();
        m_session->setPageControlsEnabled(false); // its last page was deleted
        TestFiles::write(src("b.htm"), "b");
        TestFiles::write(src("a.txt"), "a");
        TestFiles::write(src("folder/c.htm"), "c");
        Commands::addDroppedFiles(*m_ctx, {src("b.htm"), src("folder"), src("a.txt")});
        QVERIFY(m_ui->verify());
        QCOMPARE(fileNames(), (QStringList{"b.htm", "a.txt"}));
        QCOMPARE(titles(), (QStringList{"b", "a"}));
        QVERIFY(m_session->archive().isChanged());
        QVERIFY(m_session->pageControlsEnabled());
        QCOMPARE(m_session->navigation(), (NavigationButtons{false, false, false, true, true}));
    }

    void refusedPagesAreNamedTogether()
    {
        openNovels();
        TestFiles::write(work() + "/news.mht", "first");
        TestFiles::write(work() + "/news_files/a.png", "first");
        m_session->pages().append("news", "news.mht");
        TestFiles::write(src("news.mht"), "Content-Location: news_files/a.png");
        TestFiles::write(src("news_files/a.png"), "second");
        TestFiles::write(src("ok.htm"), "ok");
        m_ui->expectMessage(msg(MessageId::AddRefusedCannotRename) + "\r\n" + src("news.mht"));
        Commands::addDroppedFiles(*m_ctx, {src("news.mht"), src("ok.htm")});
        QVERIFY(m_ui->verify());
        QCOMPARE(fileNames(), (QStringList{"news.mht", "ok.htm"}));
    }

    void zipFileNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::newRow("books") << "books"
                               << "books.zip";
        QTest::newRow("books.zip") << "books.zip"
                                   << "books.zip";
        QTest::newRow("books.ZIP") << "books.ZIP"
                                   << "books.ZIP.zip";
        QTest::newRow("my.zip.old") << "my.zip.old"
                                    << "my.zip.old";
    }
    void zipFileNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QCOMPARE(zipFileNameFor(typed), name);
    }

    // The OK checks in order; each shows its text in the dialog's own language.
    void createChecks_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<bool>("files");
        QTest::addColumn<QStringList>("shown");
        for (const bool ru : {false, true}) {
            const CreateDialogOwnTexts t = CreateDialogOwnTexts::inLanguage(ru);
            const char *lang = ru ? "ru" : "en";
            QTest::addRow("%s all empty", lang) << ru << ""
                                                << ""
                                                << "" << false << QStringList{t.noFolder};
            QTest::addRow("%s no name", lang) << ru << "arch"
                                              << ""
                                              << "x" << true << QStringList{t.noArchiveName};
            QTest::addRow("%s no zip", lang) << ru << "arch"
                                             << "A"
                                             << "" << true << QStringList{t.noZipName};
            QTest::addRow("%s no files", lang) << ru << "arch"
                                               << "A"
                                               << "x" << false << QStringList{t.noFiles};
            QTest::addRow("%s zip exists", lang) << ru << "arch"
                                                 << "A"
                                                 << "old" << true << QStringList{t.zipFileTaken};
            QTest::addRow("%s zip exists, name taken", lang)
                << ru << "arch"
                << "Poems"
                << "old.zip" << true << QStringList{t.zipFileTaken, t.archiveNameTaken};
            QTest::addRow("%s name taken", lang)
                << ru << "arch"
                << "Poems"
                << "new" << true << QStringList{t.archiveNameTaken};
            QTest::addRow("%s other letter case", lang) << ru << "arch"
                                                        << "poems"
                                                        << "new" << true << QStringList{};
            QTest::addRow("%s slash", lang)
                << ru << "arch"
                << "A"
                << "a/b" << true << QStringList{Messages::english(MessageId::CreateZipNameSlash)};
            QTest::addRow("%s name with =", lang) << ru << "arch"
                                                  << "A=B"
                                                  << "new" << true << QStringList{};
            QTest::addRow("%s name with a line break", lang)
                << ru << "arch"
                << "A\nB"
                << "new" << true
                << QStringList{Messages::english(MessageId::NameControlCharacter).arg("U+000A")};
        }
    }
    void createChecks()
    {
        QFETCH(bool, russian);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, zip);
        QFETCH(bool, files);
        QFETCH(QStringList, shown);
        TestFiles::write(path("arch/old.zip"), "zip");
        CreateArchiveValues values;
        values.folder = folder.isEmpty() ? QString() : path(folder);
        values.archiveName = name;
        values.zipName = zip;
        if (files)
            values.pageFiles << src("a.htm");
        values.sectionArchiveNames = QStringList{"Novels", "Poems"};
        for (const QString &text : shown)
            m_ui->expectMessage(text);
        QCOMPARE(checkCreateArchive(values, CreateDialogOwnTexts::inLanguage(russian), *m_ui),
                 shown.isEmpty());
        QVERIFY(m_ui->verify());
    }

    void createChecksTheFolder()
    {
        CreateArchiveValues values{path("new/deeper"), "A", "a", {src("a.htm")}, false, {}, {}};
        const CreateDialogOwnTexts own = CreateDialogOwnTexts::inLanguage(false);
        Messages::useRussian();
        const QString question = msg(MessageId::CreateFolderMissing).arg(path("new/deeper"));
        m_ui->expectYesNo(question, false);
        QVERIFY(!checkCreateArchive(values, own, *m_ui));
        QVERIFY(!QFileInfo::exists(path("new")));
        m_ui->expectYesNo(question, true);
        QVERIFY(checkCreateArchive(values, own, *m_ui));
        QVERIFY(QFileInfo(path("new/deeper")).isDir());

        TestFiles::write(path("file"), "not a folder");
        values.folder = path("file");
        m_ui->expectError(msg(MessageId::CreateFolderNotWritable) + "\r\n" + path("file"));
        QVERIFY(!checkCreateArchive(values, own, *m_ui));
        QVERIFY(m_ui->verify());
    }

    void createNeedsASelectedNode()
    {
        catalogue().appendSection("Books");
        m_ui->expectRefusal(msg(MessageId::CreateNeedsSection));
        Commands::createArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeCount(), 1);
    }

    // Under a selected archive: the new archive ends that archive's section,
    // the changed archive open before is written back first.
    void createUnderASelectedArchive()
    {
        openNovels();
        TestFiles::write(work() + "/old.htm", "old");
        m_session->pages().append("old", "old.htm");
        m_session->archive().setChanged(true);
        m_session->settings().defaultArchiveFolder = path("arch") + "/";
        select(2);
        TestFiles::write(src("news.htm"), "news");
        TestFiles::write(src("news_files/a.png"), "a");
        m_ui->expectCreateArchive([this](CreateArchiveValues &v) {
            [&] {
                QCOMPARE(v.folder, path("arch") + "/");
                QCOMPARE(v.sectionArchiveNames, (QStringList{"Novels", "Poems"}));
                QVERIFY(v.protectedFolders.contains(work()));
            }();
            v.archiveName = "Fresh";
            v.zipName = "books.ZIP";
            v.pageFiles = {src("news.htm")};
            return true;
        });
        Commands::createArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestZips::names(path("arch/novels.zip")), (QStringList{"listfile.txt", "old.htm"}));
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "Novels", "Poems", "Fresh", "Travel", "Maps"}));
        QCOMPARE(catalogue().node(3).path, path("arch/books.ZIP.zip"));
        QCOMPARE(catalogue().node(3).picture, int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(m_session->openNode(), 3);
        QCOMPARE(catalogue().absoluteIndex(m_session->catalogueSelection().currentIndex()), 3);
        QCOMPARE(m_session->archive().zipPath(), path("arch/books.ZIP.zip"));
        QVERIFY(m_session->archive().isChanged());
        QCOMPARE(titles(), QStringList{"news"});
        QCOMPARE(filesBelow(work()).keys(), (QStringList{"news.htm", "news_files/a.png"}));
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/news.htm");
        QCOMPARE(m_session->statusText(), QString("Open Archive: Books\\Fresh"));
        QVERIFY(!QFileInfo::exists(path("arch/books.ZIP.zip"))); // until written back
    }

    void createUnderASelectedSection()
    {
        openNovels();
        select(3);
        m_ui->expectCreateArchive([this](CreateArchiveValues &v) {
            v = {path("arch"), "Atlas", "atlas.zip", {src("a.htm")}, false, {}, {}};
            return true;
        });
        TestFiles::write(src("a.htm"), "a");
        Commands::createArchive(*m_ctx);
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "Novels", "Poems", "Travel", "Maps", "Atlas"}));
        QCOMPARE(catalogue().node(5).path, path("arch/atlas.zip"));
        QVERIFY(m_session->archive().writeBack(*m_ui));
        QCOMPARE(TestZips::names(path("arch/atlas.zip")), (QStringList{"a.htm", "listfile.txt"}));
    }

    // Cancel: the archive open before is written back and closed.
    void cancelCreateClosesTheOpenArchive()
    {
        openNovels();
        TestFiles::write(work() + "/old.htm", "old");
        m_session->pages().append("old", "old.htm");
        m_session->archive().setChanged(true);
        m_ui->expectCreateArchive([](CreateArchiveValues &) { return false; });
        Commands::createArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestZips::names(path("arch/novels.zip")), (QStringList{"listfile.txt", "old.htm"}));
        QVERIFY(!m_session->archive().isOpen());
        QCOMPARE(m_session->openNode(), -1);
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QVERIFY(!QFileInfo::exists(work()));
        m_ui->expectRefusal(msg(MessageId::AddPagesNeedsArchive));
        Commands::addPages(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    // The archive open before cannot be written back: nothing else happens.
    void createStopsWhenTheOpenArchiveCannotBeSaved()
    {
        openNovels();
        TestFiles::write(work() + "/old.htm", "old");
        m_session->pages().append("old", "old.htm");
        m_session->archive().setChanged(true);
        QVERIFY(QDir(path("arch")).removeRecursively()); // its folder is gone
        // The ways out are offered; the user cancels them.
        m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"}, -1);
        Commands::createArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QVERIFY(m_session->archive().isChanged());
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(filesBelow(work()).value("old.htm"), QByteArray("old"));
        QCOMPARE(titles(), QStringList{"old"});
    }
};

QTEST_GUILESS_MAIN(TestAddingCommands)
#include "tst_addingcommands.moc"
