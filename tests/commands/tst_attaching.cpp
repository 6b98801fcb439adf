#include "catalogue/names.h"
#include "commandfixture.h"
#include "commands/archivecommands.h"
#include "commands/attaching.h"
#include "lang/messages.h"
#include "storage/pagenames.h"
#include "testfiles.h"
#include "testzips.h"
#include "zip/ziptestkit.h"

#include <QTest>

using namespace TestZips;

// Attaching zip files to a section, with a scripted user. After each attach
// the zips on disk are read back by Info-ZIP and the catalogue is written as
// shut-down writes it.
class TestAttaching : public QObject, CommandFixture {
    Q_OBJECT

    QByteArray m_home;
    QByteArray m_dataHome;

    QString arch(const QString &name) const { return path("arch/" + name); }
    QString trashed(const QString &name) const { return path("home/share/Trash/files/" + name); }
    QString pathOf(const QString &name) const
    {
        return m_session->catalogue().node(nodeNamed(name)).path;
    }
    QString openName() const
    {
        const int open = m_session->openNode();
        return open < 0 ? QString() : m_session->catalogue().node(open).name;
    }
    Files zipFiles(const QString &zip) { return unzipped(zip, path("scratch-out")); }
    bool makeZip(const QString &zip, const Files &files)
    {
        return zipTree(zip, files, path("scratch-in"));
    }

    // Books: books; Travel: maps. Travel is selected.
    void catalogueWithBooks()
    {
        catalogue().appendSection("Books");
        catalogue().appendArchive("books", arch("old-books.zip"));
        catalogue().appendSection("Travel");
        catalogue().appendArchive("maps", arch("maps.zip"));
        m_session->selectNode(0);
    }
    // Attaches these zips through the dialog.
    // Attaches these zips through the dialog; then the user is expected to
    // see what thenExpect scripts.
    void attach(const QStringList &zips, bool move = false,
                const std::function<void()> &thenExpect = {})
    {
        m_ui->expectAttach([zips, move](AttachValues &v) {
            v.zipFiles = zips;
            v.moveToArchiveFolder = move;
            return true;
        });
        if (thenExpect)
            thenExpect();
        Commands::attachArchive(*m_ctx);
    }
private Q_SLOTS:
    void initTestCase()
    {
        // The trash of a home inside the test folder.
        m_home = qgetenv("HOME");
        m_dataHome = qgetenv("XDG_DATA_HOME");
    }
    void init()
    {
        makeFolder();
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("home/share")));
        QVERIFY(QDir().mkpath(path("home/share")));
        QVERIFY(QDir().mkpath(path("arch")));
        makeSession(WorkFolders::under(path("data")));
        m_session->settings().defaultArchiveFolder = arch("");
        m_session->settings().checkArchivesAtStart = false;
    }
    void cleanup()
    {
        tearDown();
        qputenv("HOME", m_home);
        if (m_dataHome.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_dataHome);
    }

    // The catalogue name from a file name is the name as it is, never empty
    // and always storable.
    void displayNames_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "books.zip"
                               << "books";
        QTest::newRow("upper case") << "books.ZIP"
                                    << "books";
        QTest::newRow("mixed case") << "books.Zip"
                                    << "books";
        QTest::newRow("only the last .zip") << "books.zip.zip"
                                            << "books.zip";
        QTest::newRow("no .zip") << "abc"
                                 << "abc";
        QTest::newRow("short") << "ab"
                               << "ab";
        QTest::newRow(".zip alone") << ".zip"
                                    << "archive";
        QTest::newRow("blanks alone") << "  .zip"
                                      << "  ";
        QTest::newRow("blanks at the ends") << " my books .zip"
                                            << " my books ";
        QTest::newRow("with =") << "a=b.zip"
                                << "a=b";
        QTest::newRow("leading [") << "[old].zip"
                                   << "[old]";
        QTest::newRow("leading ;") << ";x.zip"
                                   << ";x";
        QTest::newRow("tab") << "a\tb.zip"
                             << "a_b";
        QTest::newRow("reserved") << "Section.zip"
                                  << "Section_";
        QTest::newRow("reserved, other case") << "SECTION.zip"
                                              << "SECTION_";
        QTest::newRow("cyrillic") << u"Книги.zip"_qs << u"Книги"_qs;
    }
    void displayNames()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, name);
        QCOMPARE(attachedArchiveName(fileName), name);
        QVERIFY(!Names::checkArchiveName(name));
    }

    // books is taken in Books (Books, or other letter case, does not count):
    // books1, books2; ".ZIP" goes in any letter case. Without moving, each zip
    // is rewritten where it is; the last one stays open.
    void uniqueNamesInTheSection()
    {
        catalogueWithBooks();
        catalogue().appendArchive("Notes", arch("notes.zip"));
        m_session->selectNode(1); // the archive books: its section
        const Files page{{"a.htm", "<p>a</p>"}};
        for (const char *zip : {"one/books.zip", "two/books.zip", "three/NOTES.ZIP"})
            QVERIFY(makeZip(path(zip), page));
        attach({path("one/books.zip"), path("two/books.zip"), path("three/NOTES.ZIP")});
        QVERIFY(m_ui->verify());

        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", "books", "books1", "books2",
                                                       "NOTES", "Travel", "maps", "Notes"}));
        QCOMPARE(pathOf("books1"), path("one/books.zip"));
        QCOMPARE(pathOf("books2"), path("two/books.zip"));
        QCOMPARE(pathOf("NOTES"), path("three/NOTES.ZIP"));
        for (const char *zip : {"one/books.zip", "two/books.zip", "three/NOTES.ZIP"})
            QCOMPARE(zipFiles(path(zip)),
                     (Files{{"a.htm", "<p>a</p>"}, {"listfile.txt", listFile("a=a.htm\r\n")}}));
        QCOMPARE(openName(), QString("NOTES"));
        QCOMPARE(m_session->archive().zipPath(), path("three/NOTES.ZIP"));
        QCOMPARE(catalogue().node(nodeNamed("NOTES")).picture,
                 int(CatalogueNode::OpenArchivePicture));
        for (const char *other : {"books", "books1", "books2"})
            QCOMPARE(catalogue().node(nodeNamed(other)).picture,
                     int(CatalogueNode::ArchivePicture));
        QCOMPARE(m_session->selectedNode(), nodeNamed("NOTES"));
        QCOMPARE(m_session->statusText(), QString("Open Archive: Books\\NOTES"));
        QCOMPARE(m_view->calls.last(), "navigate " + work() + "/a.htm");
        QVERIFY(m_session->pageControlsEnabled());
        QVERIFY(!m_session->archive().isChanged()); // its zip already holds the working copy
        QCOMPARE(writtenCatalogue(),
                 "[Archive files 1]\r\nSection=Books\r\nbooks=" + arch("old-books.zip") +
                     "\r\nbooks1=" + path("one/books.zip") + "\r\nbooks2=" + path("two/books.zip") +
                     "\r\nNOTES=" + path("three/NOTES.ZIP") +
                     "\r\n[Archive files 2]\r\nSection=Travel\r\nmaps=" + arch("maps.zip") +
                     "\r\nNotes=" + arch("notes.zip") + "\r\n");
    }

    // A file named ".zip" still gets a name, which the next start reads back.
    void aNameFromNothing()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("in/made.zip"), {{"a.htm", "a"}}));
        QVERIFY(QFile::rename(path("in/made.zip"), path("in/.zip")));
        attach({path("in/.zip")});
        QVERIFY(m_ui->verify());
        QCOMPARE(openName(), QString("archive"));
        QVERIFY(writtenCatalogue().contains("\r\narchive=" + path("in/.zip") + "\r\n"));
    }

    // Moving: the zip goes into the archive folder under a free name; the
    // original goes to the trash once the new zip is complete.
    void movingUnderAFreeName_data()
    {
        QTest::addColumn<QStringList>("inArchiveFolder");
        QTest::addColumn<bool>("nameTaken"); // Books already has an archive books
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("zipName");
        QTest::newRow("free") << QStringList{} << false << "books"
                              << "books.zip";
        QTest::newRow("file taken") << QStringList{"books.zip"} << false << "books"
                                    << "books1.zip";
        QTest::newRow("file and name taken") << QStringList{"books.zip"} << true << "books1"
                                             << "books2.zip";
        QTest::newRow("name taken only") << QStringList{} << true << "books1"
                                         << "books.zip";
        QTest::newRow("two files taken")
            << QStringList{"books.zip", "books1.zip"} << false << "books"
            << "books2.zip";
    }
    void movingUnderAFreeName()
    {
        QFETCH(QStringList, inArchiveFolder);
        QFETCH(bool, nameTaken);
        QFETCH(QString, name);
        QFETCH(QString, zipName);
        catalogue().appendSection("Books");
        if (nameTaken)
            catalogue().appendArchive("books", path("elsewhere/books.zip"));
        m_session->selectNode(0);
        for (const QString &taken : inArchiveFolder)
            QVERIFY(TestFiles::write(arch(taken), "someone else's " + taken.toUtf8()));
        const Files files{{"a.htm", "a"}, {"a_files/p.png", QByteArray(300, 'p')}};
        QVERIFY(makeZip(path("usb/books.zip"), files));
        const QByteArray original = TestFiles::read(path("usb/books.zip"));

        attach({path("usb/books.zip")}, true);
        QVERIFY(m_ui->verify());
        QCOMPARE(openName(), name);
        QCOMPARE(pathOf(name), arch(zipName));
        QCOMPARE(m_session->archive().zipPath(), arch(zipName));
        Files expected = files;
        expected.insert("listfile.txt", listFile("a=a.htm\r\n"));
        QCOMPARE(zipFiles(arch(zipName)), expected);
        for (const QString &taken : inArchiveFolder)
            QCOMPARE(TestFiles::read(arch(taken)), "someone else's " + taken.toUtf8());
        QVERIFY(!QFileInfo::exists(path("usb/books.zip")));
        QCOMPARE(TestFiles::read(trashed("books.zip")), original);
        QVERIFY(writtenCatalogue().contains("\r\n" + name + "=" + arch(zipName) + "\r\n"));
    }

    // Moved into the archive folder, the zip's new entry is in the settings
    // file at once, before shut-down: a program killed after its original
    // went to the trash still leads to the archive.
    void theMovedArchiveIsOnDiskAtOnce()
    {
        catalogueWithBooks();
        m_session->setProgramFiles(path("program") + "/", path("tomekeeper.ini"));
        m_session->setCatalogueSaved(); // as read at start-up
        QVERIFY(makeZip(path("usb/tales.zip"), {{"t.htm", "t"}}));
        attach({path("usb/tales.zip")}, true);
        QVERIFY(m_ui->verify());
        QVERIFY(QFileInfo::exists(trashed("tales.zip")));
        const QString onDisk = QString::fromUtf8(TestFiles::read(path("tomekeeper.ini")));
        QVERIFY2(onDisk.contains("\r\ntales=" + arch("tales.zip") + "\r\n"), qPrintable(onDisk));
    }

    // A zip another archive of the catalogue is kept in is copied, not moved.
    void movingAZipOfAnotherArchive()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("usb/maps.zip"), {{"m.htm", "m"}}));
        catalogue().setArchivePath(nodeNamed("maps"), path("usb/maps.zip"));
        attach({path("usb/maps.zip")}, true);
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "books", "maps", "Travel", "maps"}));
        QCOMPARE(catalogue().node(2).path, arch("maps.zip"));
        QCOMPARE(catalogue().node(4).path, path("usb/maps.zip"));
        QCOMPARE(zipFiles(path("usb/maps.zip")).keys(), (QStringList{"m.htm"}));
        QCOMPARE(zipFiles(arch("maps.zip")).keys(), (QStringList{"listfile.txt", "m.htm"}));
    }

    // A zip already in the archive folder is rewritten where it is, and kept.
    void movingAZipAlreadyThere()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(arch("mine.zip"), {{"a.htm", "a"}}));
        attach({arch("mine.zip")}, true);
        QVERIFY(m_ui->verify());
        QCOMPARE(pathOf("mine"), arch("mine.zip"));
        QCOMPARE(zipFiles(arch("mine.zip")).keys(), (QStringList{"a.htm", "listfile.txt"}));
        QVERIFY(!QFileInfo::exists(path("home/share/Trash/files")) ||
                QDir(path("home/share/Trash/files")).isEmpty());
        QCOMPARE(QDir(arch("")).entryList(QDir::Files), QStringList{"mine.zip"});
    }

    // Without a page list, the pages are the page files at the zip's top
    // level, titled by their names; every file of the zip is kept, byte for byte.
    void pagesFromTheTopLevel()
    {
        catalogueWithBooks();
        const Files files{{"b.htm", "<p>b</p>"},
                          {"a.html", "<p>a</p>"},
                          {"c.txt", "c"},
                          {"X.HTM", "not a page: the extension's case"},
                          {"a_files/s.css", "css"},
                          {"deeper/d.htm", "below the top"},
                          {"r=1.htm", "= in the name"}};
        QVERIFY(makeZip(path("in/site.zip"), files));
        attach({path("in/site.zip")});
        QVERIFY(m_ui->verify());

        QStringList titles = m_session->pages().titles();
        QStringList names = m_session->pages().fileNames();
        QCOMPARE(titles.size(), 3);
        for (int i = 0; i < titles.size(); ++i)
            QCOMPARE(
                titles.at(i) + "|" + names.at(i),
                PageNames::storable(PageNames::baseName(names.at(i))) +
                    "|" + names.at(i));
        names.sort();
        QCOMPARE(names, (QStringList{"a.html", "b.htm", "r=1.htm"}));
        QVERIFY(titles.contains("r-1"));
        const Files back = zipFiles(path("in/site.zip"));
        QVERIFY(back.contains("listfile.txt"));
        Files withoutList = back;
        withoutList.remove("listfile.txt");
        QCOMPARE(withoutList, files);
        QVERIFY(back.value("listfile.txt").contains("r-1=r=1.htm\r\n"));
    }

    // A zip with its pages only in a folder and without a page list is not
    // attached, and left as it was.
    void noPagesAtTheTopLevel()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("in/deep.zip"), {{"sub/a.htm", "a"}, {"b.txt", "b"}}));
        const QByteArray before = TestFiles::read(path("in/deep.zip"));
        attach({path("in/deep.zip")}, false,
               [&] { m_ui->expectMessage("In specified archive of the files HTML no!"); });
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", "books", "Travel", "maps"}));
        QCOMPARE(TestFiles::read(path("in/deep.zip")), before);
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(!m_session->archive().isOpen());
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!m_session->pageControlsEnabled());
    }

    // The second of three is damaged: the first and the third are attached,
    // the third is open, the damaged file is untouched.
    void theSecondOfThreeDamaged()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("in/first.zip"), {{"1.htm", "1"}}));
        QVERIFY(TestFiles::write(path("in/second.zip"), "PK\x03\x04 but nothing more"));
        QVERIFY(makeZip(path("in/third.zip"), {{"3.htm", "3"}}));
        attach({path("in/first.zip"), path("in/second.zip"), path("in/third.zip")}, false,
               [&] { m_ui->expectMessage(msg(MessageId::ArchiveDamaged)); });
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "books", "first", "third", "Travel", "maps"}));
        QCOMPARE(openName(), QString("third"));
        QCOMPARE(catalogue().node(nodeNamed("first")).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(TestFiles::read(path("in/second.zip")), QByteArray("PK\x03\x04 but nothing more"));
        QCOMPARE(zipFiles(path("in/first.zip")).keys(), (QStringList{"1.htm", "listfile.txt"}));
        QCOMPARE(m_session->pages().titles(), QStringList{"3"});
    }

    // The last one damaged: the ones before stay, nothing is open.
    void theLastDamaged()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("in/first.zip"), {{"1.htm", "1"}}));
        QVERIFY(TestFiles::write(path("in/last.zip"), "not a zip"));
        attach({path("in/first.zip"), path("in/last.zip")}, false,
               [&] { m_ui->expectMessage(msg(MessageId::ArchiveDamaged)); });
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(),
                 (QStringList{"Books", "books", "first", "Travel", "maps"}));
        QCOMPARE(m_session->openNode(), -1);
        QCOMPARE(catalogue().node(nodeNamed("first")).picture, int(CatalogueNode::ArchivePicture));
        QVERIFY(!m_session->pageControlsEnabled());
        QCOMPARE(m_view->calls.last(), QString("navigate about:blank"));
    }

    // A zip made the Windows way: names in code page 866 with "\" between
    // folders, and its own page list. Rewritten, Linux tools read the names.
    void aZipFromWindows()
    {
        catalogueWithBooks();
        const QByteArray page = QByteArray("\x8d\xae\xa2\xae\xe1\xe2\xa8") + ".htm";
        const QByteArray picture =
            QByteArray("\x8d\xae\xa2\xae\xe1\xe2\xa8") + "_files\\" + "\xe0\xa8\xe1" + ".gif";
        const QByteArray list = listFile(QByteArray("\xcd\xee\xe2\xee\xf1\xf2\xe8") + "=" +
                                         "\xcd\xee\xe2\xee\xf1\xf2\xe8" + ".htm\r\n"); // CP1251
        QVERIFY(ZipTestKit::writeFile(
            path("win/old.zip"),
            ZipTestKit::buildZip(
                {{page, "<p>news</p>"}, {picture, "GIF89a"}, {"listfile.txt", list}})));
        attach({path("win/old.zip")});
        QVERIFY(m_ui->verify());
        QCOMPARE(m_session->pages().titles(), QStringList{u"Новости"_qs});
        QCOMPARE(zipFiles(path("win/old.zip")), (Files{{u"Новости.htm"_qs, "<p>news</p>"},
                                                       {u"Новости_files/рис.gif"_qs, "GIF89a"},
                                                       {"listfile.txt", list}}));
        // Older copies of the program still find the names they wrote.
        QByteArray names;
        QCOMPARE(ZipTestKit::python("import zipfile,sys\n"
                                    "z = zipfile.ZipFile(sys.argv[1], metadata_encoding='cp866')\n"
                                    "print(sorted(i.filename for i in z.infolist()))",
                                    {path("win/old.zip")}, &names),
                 0);
        QCOMPARE(QString::fromUtf8(names).trimmed(),
                 u"['listfile.txt', 'Новости.htm', 'Новости_files/рис.gif']"_qs);
    }

    // A zip made on Linux with Cyrillic names in UTF-8 and no page list.
    void aZipFromLinux()
    {
        catalogueWithBooks();
        const Files files{{u"Книга.htm"_qs, "<p>book</p>"}, {u"Книга_files/рис.png"_qs, "PNG"}};
        QVERIFY(makeZip(path(u"in/Книги.zip"_qs), files));
        attach({path(u"in/Книги.zip"_qs)});
        QVERIFY(m_ui->verify());
        QCOMPARE(openName(), u"Книги"_qs);
        QCOMPARE(m_session->pages().titles(), QStringList{u"Книга"_qs});
        Files expected = files;
        expected.insert("listfile.txt",
                        listFile("\xca\xed\xe8\xe3\xe0=\xca\xed\xe8\xe3\xe0.htm\r\n"));
        QCOMPARE(zipFiles(path(u"in/Книги.zip"_qs)), expected);
    }

    // Cancel changes nothing, and the next opening shows the same files;
    // after an attach the list is empty again.
    void cancelKeepsTheList()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("in/a.zip"), {{"a.htm", "a"}}));
        const QStringList chosen{path("in/a.zip"), path("in/b.zip")};
        m_ui->expectAttach([&](AttachValues &v) {
            [&] {
                QCOMPARE(v.zipFiles, QStringList{});
                QVERIFY(!v.moveToArchiveFolder);
            }();
            v.zipFiles = chosen;
            v.moveToArchiveFolder = true;
            return false;
        });
        m_ui->expectAttach([&](AttachValues &v) {
            [&] {
                QCOMPARE(v.zipFiles, chosen);
                QVERIFY(!v.moveToArchiveFolder); // unchecked at every opening
            }();
            v.zipFiles = {path("in/a.zip")};
            return true;
        });
        m_ui->expectAttach([](AttachValues &v) {
            [&] { QCOMPARE(v.zipFiles, QStringList{}); }();
            return false;
        });
        Commands::attachArchive(*m_ctx);
        QCOMPARE(catalogue().nodeCount(), 4);
        Commands::attachArchive(*m_ctx);
        Commands::attachArchive(*m_ctx);
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", "books", "a", "Travel", "maps"}));
    }

    void needsASelectedNode()
    {
        catalogueWithBooks();
        m_session->selectNode(-1);
        m_ui->expectMessage("Choose section, in which You want to connect new archive!");
        Commands::attachArchive(*m_ctx);
        QVERIFY(m_ui->verify());
    }

    // The new zip cannot be written: the original stays as it was, untrashed,
    // the user is told and nothing is entered.
    void aRewriteThatFails()
    {
        catalogueWithBooks();
        QVERIFY(makeZip(path("ro/books.zip"), {{"a.htm", "a"}}));
        const QByteArray before = TestFiles::read(path("ro/books.zip"));
        if (!CommandFiles::lockFolder(path("ro"), true))
            QSKIP("a folder cannot be locked here");
        attach({path("ro/books.zip")}, false, [&] { m_ui->expectMessage(); });
        CommandFiles::lockFolder(path("ro"), false);
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(path("ro/books.zip")), before);
        QCOMPARE(QDir(path("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{"books.zip"});
        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", "books", "Travel", "maps"}));
        QCOMPARE(m_session->openNode(), -1);
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!QFileInfo::exists(path("home/share/Trash/files/books.zip")));
    }

    // Moving asked for: with no archive folder set the zip goes into the
    // folder the program was started from; a folder that cannot take it is
    // named, and the zip is attached where it is.
    void movingWhereTheArchiveFolderIs_data()
    {
        QTest::addColumn<QString>("folder"); // the archive folder set; "locked": arch/, locked
        QTest::addColumn<bool>("carried");
        QTest::newRow("none set: the program folder") << "" << true;
        QTest::newRow("missing") << "gone/" << false;
        QTest::newRow("not writable") << "locked" << false;
        QTest::newRow("a working folder") << "work" << false;
    }
    void movingWhereTheArchiveFolderIs()
    {
        QFETCH(QString, folder);
        QFETCH(bool, carried);
        catalogueWithBooks();
        m_session->setProgramFiles(path("program/"), path("program/tomekeeper.ini"));
        QVERIFY(QDir().mkpath(path("program")));
        QString archiveFolder = folder.isEmpty() ? path("program/") : path(folder);
        if (folder == "locked") {
            archiveFolder = arch("");
            if (!CommandFiles::lockFolder(archiveFolder, true))
                QSKIP("a folder cannot be locked here");
        } else if (folder == "work") {
            archiveFolder = m_session->archive().folders().moveTarget + "/";
            QVERIFY(QDir().mkpath(archiveFolder));
        }
        m_session->settings().defaultArchiveFolder = folder.isEmpty() ? QString() : archiveFolder;
        QVERIFY(makeZip(path("usb/books.zip"), {{"a.htm", "a"}}));

        attach({path("usb/books.zip")}, true, [&] {
            if (!carried)
                m_ui->expectWarning(msg(MessageId::AttachZipsNotCarried) + "\r\n" + archiveFolder);
        });
        CommandFiles::lockFolder(arch(""), false);
        QVERIFY(m_ui->verify());
        const QString zip = carried ? path("program/books.zip") : path("usb/books.zip");
        QCOMPARE(pathOf("books1"), zip);
        QCOMPARE(zipFiles(zip).keys(), (QStringList{"a.htm", "listfile.txt"}));
        QCOMPARE(QFileInfo::exists(path("usb/books.zip")), !carried);
        QCOMPARE(QFileInfo::exists(trashed("books.zip")), carried);
    }

    // The archive open before cannot be written back and the user cancels the
    // ways out: nothing is attached, its changes stay, the choice stays.
    void stopsWhenTheOpenArchiveCannotBeSaved()
    {
        catalogueWithBooks();
        QVERIFY(m_session->archive().startNew(path("lost/books.zip")));
        TestFiles::write(work() + "/old.htm", "old");
        m_session->pages().append("old", "old.htm");
        m_session->setOpenNode(1);
        catalogue().setPicture(1, CatalogueNode::OpenArchivePicture);
        QVERIFY(makeZip(path("in/a.zip"), {{"a.htm", "a"}}));
        attach({path("in/a.zip")}, false, [&] {
            m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"},
                               -1);
        });
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeNames(), (QStringList{"Books", "books", "Travel", "maps"}));
        QVERIFY(m_session->archive().isChanged());
        QCOMPARE(m_session->openNode(), 1);
        QCOMPARE(TestFiles::read(work() + "/old.htm"), QByteArray("old"));
        QCOMPARE(m_session->chosenZipFiles(), QStringList{path("in/a.zip")});
        QCOMPARE(zipFiles(path("in/a.zip")), (Files{{"a.htm", "a"}})); // not rewritten
    }

    // The archive open before is written back first, then closed.
    void theOpenArchiveIsWrittenBackFirst()
    {
        catalogueWithBooks();
        QVERIFY(m_session->archive().startNew(arch("old-books.zip")));
        TestFiles::write(work() + "/old.htm", "old");
        m_session->pages().append("old", "old.htm");
        m_session->setOpenNode(1);
        catalogue().setPicture(1, CatalogueNode::OpenArchivePicture);
        QVERIFY(makeZip(path("in/a.zip"), {{"a.htm", "a"}}));
        attach({path("in/a.zip")});
        QVERIFY(m_ui->verify());
        QCOMPARE(zipFiles(arch("old-books.zip")).keys(), (QStringList{"listfile.txt", "old.htm"}));
        QCOMPARE(catalogue().node(1).picture, int(CatalogueNode::ArchivePicture));
        QCOMPARE(openName(), QString("a"));
    }

    // A zip inside the program's own folders is not taken.
    void notFromTheWorkingFolders()
    {
        catalogueWithBooks();
        const QString inside = m_session->archive().folders().moveTarget + "/x.zip";
        QVERIFY(makeZip(inside, {{"a.htm", "a"}}));
        attach({inside}, false, [&] {
            m_ui->expectWarning(msg(MessageId::AddRefusedProgramFolder) + "\r\n" + inside);
        });
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().nodeCount(), 4);
    }
};

QTEST_GUILESS_MAIN(TestAttaching)
#include "tst_attaching.moc"
