#include "catalogue/programpaths.h"
#include "commandfixture.h"
#include "commands/appcommands.h"
#include "commands/availability.h"
#include "commands/lifecycle.h"
#include "commands/navigationcommands.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "storage/workrecord.h"
#include "storage/zipstamp.h"
#include "testfiles.h"
#include "testzips.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

namespace {

const QByteArray kFirstStartFile =
    "[Parameters]\r\nDirArchive=\r\ndeloldfiles=0\r\nmemorysize=1\r\n"
    "offline=1\r\nexistingfiles=1\r\nlanguage=0\r\nwidth=732\r\n"
    "height=520\r\nleft=47\r\ntop=44\r\n";

// A folder in which no file can be created or replaced, even by root; false
// where that cannot be arranged.
bool lockFolder(const QString &path, bool lock)
{
    if (TestFiles::runningAsRoot())
        return TestFiles::run("chattr", {lock ? "+i" : "-i", path}) == 0;
    return QFile::setPermissions(path,
                                 lock ? QFile::ReadOwner | QFile::ExeOwner
                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

// Start-up and shut-down against real files in a temporary home: what is read
// from tomekeeper.ini, what is written back, and what happens to the open
// archive's working copy.
class TestLifecycle : public QObject, CommandFixture {
    Q_OBJECT

    QString programFolder() const { return m_dir->path() + "/program"; }
    QString iniInProgramFolder() const { return programFolder() + "/tomekeeper.ini"; }
    QString iniInConfigFolder() const { return m_dir->path() + "/config/tomekeeper.ini"; }
    ProgramPaths paths() const { return ProgramPaths::under(programFolder(), m_dir->path()); }

    Session &start(const QByteArray *iniBytes = nullptr)
    {
        if (iniBytes)
            TestFiles::write(iniInProgramFolder(), *iniBytes);
        Commands::startUp(*m_ctx, paths());
        return *m_session;
    }
    QByteArray closeAndRead()
    {
        Commands::shutDown(*m_ctx);
        return TestFiles::read(m_session->settingsFilePath());
    }
    // An archive that exists only as its working copy, with one page.
    void openNewArchive(const QString &zipPath)
    {
        OpenArchive &archive = m_session->archive();
        QVERIFY(archive.startNew(zipPath));
        TestFiles::write(work() + "/news.htm", "<html>news</html>");
        TestFiles::write(work() + "/news_files/logo.gif", "GIF89a");
        archive.pages().append("news", "news.htm");
    }
    QStringList recoveredFolders() const
    {
        return QDir(m_session->archive().folders().base())
            .entryList({"recovered-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void init()
    {
        makeFolder();
        QDir().mkpath(programFolder());
        makeSession(paths().work);
    }
    void cleanup() { tearDown(); }

    void firstStartWritesTheDefaultFile()
    {
        QSignalSpy geometry(m_session.get(), &Session::geometryRequested);
        Session &s = start();
        // No file in the program folder: the one in the configuration folder,
        // which comes with the first write.
        QCOMPARE(s.settingsFilePath(), iniInConfigFolder());
        QVERIFY(!QFileInfo::exists(path("config")));
        QCOMPARE(s.programFolder(), programFolder() + "/");
        QVERIFY(!s.settings().russianInterface);
        QVERIFY(s.settings().offline);
        QVERIFY(s.settings().defaultArchiveFolder.isEmpty());
        QCOMPARE(s.catalogue().nodeCount(), 0);
        QCOMPARE(s.openNode(), -1);
        QVERIFY(!s.archive().isOpen());
        QCOMPARE(s.statusText(), QString("Open Archive:  not open Archives."));
        QCOMPARE(geometry.size(), 1);
        QCOMPARE(s.windowGeometry(), (WindowGeometry{732, 520, 47, 44}));
        QCOMPARE(m_view->calls.first(), QString("navigate about:blank"));
        for (Command c : {Command::ShowFocusedPage, Command::AddPages, Command::NextPage,
                          Command::Find, Command::UpdateArchive, Command::NewPageList})
            QVERIFY(!isAvailable(c, s));
        QVERIFY(isAvailable(Command::CreateArchive, s));
        QCOMPARE(closeAndRead(), kFirstStartFile);
        QVERIFY(!QFileInfo::exists(iniInProgramFolder()));
    }

    // The file in the folder current at start-up wins; otherwise the one in
    // the configuration folder, wherever the program is started from.
    void settingsFileLocation_data()
    {
        QTest::addColumn<bool>("inProgramFolder");
        QTest::addColumn<bool>("inConfigFolder");
        QTest::addColumn<bool>("programFolderWins");
        QTest::newRow("in both") << true << true << true;
        QTest::newRow("only in the program folder") << true << false << true;
        QTest::newRow("only in the configuration folder") << false << true << false;
        QTest::newRow("in neither") << false << false << false;
    }
    void settingsFileLocation()
    {
        QFETCH(bool, inProgramFolder);
        QFETCH(bool, inConfigFolder);
        QFETCH(bool, programFolderWins);
        const QByteArray here =
            "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\nSection=Here\r\n";
        const QByteArray there =
            "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\nSection=There\r\n";
        if (inProgramFolder)
            TestFiles::write(iniInProgramFolder(), here);
        if (inConfigFolder)
            TestFiles::write(iniInConfigFolder(), there);
        const QString expected = programFolderWins ? iniInProgramFolder() : iniInConfigFolder();
        QCOMPARE(ProgramPaths::settingsFileFor(programFolder(), path("config")), expected);

        Session &s = start();
        QCOMPARE(s.settingsFilePath(), expected);
        const QStringList nodes = s.catalogue().nodeNames();
        QCOMPARE(nodes, programFolderWins ? QStringList{"Here"}
                        : inConfigFolder  ? QStringList{"There"}
                                          : QStringList{});
        // Written back where it was read, the other one left alone.
        s.catalogue().appendSection("New");
        QVERIFY(closeAndRead().endsWith("[Archive files 2]\r\nSection=New\r\n") ==
                !nodes.isEmpty());
        if (programFolderWins && inConfigFolder)
            QCOMPARE(TestFiles::read(iniInConfigFolder()), there);
    }

    void catalogueRoundTripsByteForByte()
    {
        QDir().mkpath(path("archives"));
        TestFiles::write(path("archives/novels.zip"), "x");
        TestFiles::write(path("archives/poems.zip"), "x");
        const QByteArray file = "[Parameters]\r\nDirArchive=" + path("archives/").toUtf8() +
                                "\r\ndeloldfiles=1\r\nmemorysize=1\r\noffline=0\r\n"
                                "existingfiles=1\r\nlanguage=0\r\nwidth=800\r\nheight=600\r\n"
                                "left=10\r\ntop=20\r\n[Archive files 1]\r\nSection=Books\r\n"
                                "Novels=" +
                                path("archives/novels.zip").toUtf8() +
                                "\r\nPoems=" + path("archives/poems.zip").toUtf8() +
                                "\r\n[Archive files 2]\r\nSection=Misc\r\n";
        Session &s = start(&file);
        QCOMPARE(s.settingsFilePath(), iniInProgramFolder());
        QCOMPARE(s.catalogue().nodeNames(), QStringList({"Books", "Novels", "Poems", "Misc"}));
        QCOMPARE(s.catalogue().archivePaths().at(0), QString(" "));
        QVERIFY(s.settings().deleteOriginals);
        QVERIFY(!s.settings().offline);
        QCOMPARE(s.windowGeometry(), (WindowGeometry{800, 600, 10, 20}));
        QCOMPARE(closeAndRead(), file);
    }

    void readingOddFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QByteArray>("catalogueWritten");
        QTest::newRow("gap in numbering") << QByteArray("[Archive files 1]\r\nSection=A\r\n"
                                                        "[Archive files 2]\r\nSection=B\r\n"
                                                        "[Archive files 4]\r\nSection=D\r\n")
                                          << QStringList({"A", "B"})
                                          << QByteArray("[Archive files 1]\r\nSection=A\r\n"
                                                        "[Archive files 2]\r\nSection=B\r\n");
        QTest::newRow("case and hex") << QByteArray("[PARAMETERS]\r\nWIDTH=0x300\r\n"
                                                    "existingfiles=0\r\n"
                                                    "[archive files 1]\r\nSection=A\r\n"
                                                    "x=/nowhere/x.zip\r\n")
                                      << QStringList({"A", "x"})
                                      << QByteArray("[Archive files 1]\r\nSection=A\r\n"
                                                    "x=/nowhere/x.zip\r\n");
        QTest::newRow("key spelt differently is an archive")
            << QByteArray("[Parameters]\r\nexistingfiles=0\r\n"
                          "[Archive files 1]\r\nSection=A\r\nSECTION=/s.zip\r\n")
            << QStringList({"A", "SECTION"})
            << QByteArray("[Archive files 1]\r\nSection=A\r\nSECTION=/s.zip\r\n");
        QTest::newRow("archive before any section")
            << QByteArray("[Parameters]\r\nexistingfiles=0\r\n"
                          "[Archive files 1]\r\nLost=/l.zip\r\nSection=A\r\n")
            << QStringList({"", "Lost", "A"})
            << QByteArray("[Archive files 1]\r\nSection=\r\nLost=/l.zip\r\n"
                          "[Archive files 2]\r\nSection=A\r\n");
        QTest::newRow("garbage") << QByteArray("\x00\xff\xfe garbage\n[\n=\n[Archive files 1\n"
                                               "Section=A\nno equals sign\n",
                                               52)
                                 << QStringList({"A"})
                                 << QByteArray("[Archive files 1]\r\nSection=A\r\n");
        QTest::newRow("truncated") << QByteArray("[Parameters]\r\nlanguage=0\r\n[Archive fi")
                                   << QStringList() << QByteArray();
        QTest::newRow("empty") << QByteArray() << QStringList() << QByteArray();
    }
    void readingOddFiles()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, nodes);
        QFETCH(QByteArray, catalogueWritten);
        Session &s = start(&file);
        QCOMPARE(s.catalogue().nodeNames(), nodes);
        const QByteArray written = closeAndRead();
        QVERIFY(written.startsWith("[Parameters]\r\nDirArchive="));
        const qsizetype catalogueStart = written.indexOf("[Archive files");
        QCOMPARE(catalogueStart < 0 ? QByteArray() : written.mid(catalogueStart), catalogueWritten);
    }

    void thousandsOfSectionsAndHugeValues()
    {
        QByteArray file =
            "[Parameters]\r\nexistingfiles=0\r\nDirArchive=" + QByteArray(100000, 'd') + "\r\n";
        for (int i = 1; i <= 3000; ++i)
            file += "[Archive files " + QByteArray::number(i) + "]\r\nSection=S" +
                    QByteArray::number(i) + "\r\nA=/a" + QByteArray::number(i) + ".zip\r\n";
        Session &s = start(&file);
        QCOMPARE(s.catalogue().nodeCount(), 6000);
        QCOMPARE(s.settings().defaultArchiveFolder, s.programFolder());
        const QByteArray written = closeAndRead();
        QVERIFY(written.contains("[Archive files 3000]\r\nSection=S3000\r\nA=/a3000.zip\r\n"));
    }

    // Archives whose zips are not found (a drive not mounted) are reported
    // once, in one box that holds their list apart; they stay in the
    // catalogue, marked, and the close writes them back as they were.
    void missingArchivesAreReportedAndKept()
    {
        auto catalogue = [this] {
            TestFiles::write(path("here.zip"), "x");
            return "[Archive files 1]\r\nSection=A\r\nGone1=/nowhere/one.zip\r\nHere=" +
                   path("here.zip").toUtf8() +
                   "\r\n[Archive files 2]\r\nSection=B\r\nGone2=/nowhere/two.zip\r\n";
        };
        const QByteArray file = catalogue();
        m_ui->expectYesNo("Archives are absent on disk:\r\n\r\n/nowhere/one.zip\r\n"
                          "/nowhere/two.zip\r\n\r\n"
                          "Possible they were renamed, carry or removed.\r\n"
                          "For recovering their it is necessary to find and connect.",
                          false);
        Session &s = start(&file);
        QCOMPARE(s.catalogue().nodeNames(), QStringList({"A", "Gone1", "Here", "B", "Gone2"}));
        QCOMPARE(m_ui->lists(), (QList<QStringList>{{"/nowhere/one.zip", "/nowhere/two.zip"}}));
        for (int node : {1, 4})
            QVERIFY(s.catalogue().isZipMissing(node));
        QVERIFY(!s.catalogue().isZipMissing(2));
        const QByteArray written = closeAndRead();
        QCOMPARE(written.mid(written.indexOf("[Archive files 1]")), file);
        m_ui->verify();
        // The warning comes in the language of the file.
        cleanup();
        init();
        const QByteArray russian = "[Parameters]\r\nlanguage=1\r\n" + catalogue();
        m_ui->expectYesNo(QString::fromUtf16(u"На диске отсутствуют архивы:\r\n\r\n"
                                             u"/nowhere/one.zip\r\n/nowhere/two.zip\r\n\r\n"
                                             u"Возможно они были переименованы, перенесены или "
                                             u"удалены.\r\nДля восстановления их нужно найти и "
                                             u"подключить."),
                          true);
        start(&russian);
    }

    void missingArchivesStayWithTheCheckOff()
    {
        const QByteArray file = "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                                "Section=A\r\nGone1=/nowhere/one.zip\r\nGone2=/nowhere/two.zip\r\n";
        Session &s = start(&file);
        QCOMPARE(s.catalogue().nodeNames(), QStringList({"A", "Gone1", "Gone2"}));
    }

    void windowNotRememberedUsesFixedValues()
    {
        const QByteArray file = "[Parameters]\r\nmemorysize=0\r\nwidth=900\r\nheight=700\r\n";
        QSignalSpy geometry(m_session.get(), &Session::geometryRequested);
        Session &s = start(&file);
        QCOMPARE(geometry.size(), 1); // only the start-up size
        s.setWindowGeometry({1000, 800, 5, 6});
        const QByteArray written = closeAndRead();
        QVERIFY(written.contains("memorysize=0\r\noffline=1\r\nexistingfiles=1\r\nlanguage=0\r\n"
                                 "width=664\r\nheight=459\r\nleft=100\r\ntop=100\r\n"));
    }

    void defaultsWhenKeysAreMissing()
    {
        const QByteArray file = "[Parameters]\r\nlanguage=junk\r\nDirArchive=/no/such/folder\r\n";
        Session &s = start(&file);
        QCOMPARE(s.settings().defaultArchiveFolder, s.programFolder());
        QVERIFY(!s.settings().russianInterface);
        QCOMPARE(s.windowGeometry(), (WindowGeometry{664, 460, 200, 200}));
    }

    void russianFromTheFile()
    {
        const QByteArray file = "[Parameters]\r\nlanguage=1\r\n";
        QSignalSpy language(m_session.get(), &Session::languageChanged);
        Session &s = start(&file);
        QVERIFY(s.settings().russianInterface);
        QVERIFY(language.size() >= 2); // English first, then Russian from the file
        QCOMPARE(s.statusText(), QString::fromUtf16(u"Открыт архив:  нет открытого архива."));
        // The status text keeps its language until something rebuilds it.
        Commands::switchToEnglish(*m_ctx);
        QVERIFY(!s.settings().russianInterface);
        QCOMPARE(s.statusText(), QString::fromUtf16(u"Открыт архив:  нет открытого архива."));
        QVERIFY(closeAndRead().contains("language=0\r\n"));
    }

    void namesDifferingInCaseAreKeptApart()
    {
        const QByteArray file = "[Parameters]\r\nexistingfiles=0\r\n";
        Session &s = start(&file);
        const int section = s.catalogue().appendSection("Books");
        s.catalogue().appendArchive("Novels", "/one.zip");
        s.catalogue().appendArchive("novels", "/two.zip");
        s.catalogue().appendArchive("SECTION", "/three.zip");
        s.catalogueSelection().setCurrentIndex(s.catalogue().modelIndex(section),
                                               QItemSelectionModel::ClearAndSelect);
        QVERIFY(s.sectionHasArchive("Novels"));
        QVERIFY(s.sectionHasArchive("novels"));
        QVERIFY(!s.sectionHasArchive("NOVELS"));
        QVERIFY(s.sectionHasArchive("novels", 1)); // from an archive node: its section
        QVERIFY(!s.sectionHasArchive("Novels", -1));
        const QByteArray written = closeAndRead();
        QVERIFY(written.endsWith("[Archive files 1]\r\nSection=Books\r\nNovels=/one.zip\r\n"
                                 "novels=/two.zip\r\nSECTION=/three.zip\r\n"));
        // ...and come back as three archives with their own paths.
        cleanup();
        init();
        Session &again = start(&written);
        QCOMPARE(again.catalogue().nodeNames(),
                 QStringList({"Books", "Novels", "novels", "SECTION"}));
        QCOMPARE(again.catalogue().archivePaths(),
                 QStringList({" ", "/one.zip", "/two.zip", "/three.zip"}));
    }

    void shutDownRemovesWorkFoldersAndRestoresOffline()
    {
        m_view->m_offline = true;
        Session &s = start();
        s.setOffline(false);
        TestFiles::write(work() + "/page.htm", "x");
        TestFiles::write(s.archive().folders().moveTarget + "/sub/page.htm", "x");
        Commands::shutDown(*m_ctx);
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!QFileInfo::exists(s.archive().folders().moveTarget));
        QVERIFY(m_view->offline());
        QVERIFY(TestFiles::read(s.settingsFilePath()).contains("offline=0\r\n"));
    }

    void closingZipsBackAChangedArchiveFirst()
    {
        Session &s = start();
        QDir().mkpath(path("archives"));
        openNewArchive(path("archives/book.zip"));
        QVERIFY(s.archive().isChanged());
        const QByteArray ini = closeAndRead();
        QVERIFY(!ini.isEmpty());
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!s.archive().isChanged());
        QVERIFY(recoveredFolders().isEmpty());
        QCOMPARE(m_ui->workCount(), 1); // written back as long work
        QCOMPARE(TestZips::names(path("archives/book.zip")),
                 QStringList({"listfile.txt", "news.htm", "news_files/logo.gif"}));
    }

    // The working copy is the only copy of the changes: a write-back that
    // fails at the end moves it where nothing deletes it, names the place in
    // the user's language, and the program still ends normally.
    void aFailedWriteBackIsSetAside_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("keptText");
        QTest::newRow("English") << false
                                 << "The archive could not be saved. Its changes are kept in the "
                                    "folder:\r\n";
        QTest::newRow("Russian") << true
                                 << QString::fromUtf16(u"Архив не удалось сохранить. Его изменения "
                                                       u"сохранены в папке:\r\n");
    }
    void aFailedWriteBackIsSetAside()
    {
        QFETCH(bool, russian);
        QFETCH(QString, keptText);
        const QByteArray ini = russian ? "[Parameters]\r\nlanguage=1\r\n" : "[Parameters]\r\n";
        Session &s = start(&ini);
        openNewArchive(path("no-such-folder/book.zip"));
        m_ui->expectMessage(); // which files could not be saved
        m_ui->expectMessage();
        const QByteArray written = closeAndRead();

        QCOMPARE(recoveredFolders().size(), 1);
        const QString kept = s.archive().folders().base() + "/" + recoveredFolders().first();
        QCOMPARE(m_ui->log().last(), "message: " + keptText + kept);
        QVERIFY(m_ui->log()
                    .at(m_ui->log().size() - 2)
                    .startsWith("message: " + Messages::text(MessageId::SaveFailedHead)));
        QCOMPARE(TestFiles::read(kept + "/news.htm"), QByteArray("<html>news</html>"));
        QCOMPARE(TestFiles::read(kept + "/news_files/logo.gif"), QByteArray("GIF89a"));
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(!QFileInfo::exists(path("no-such-folder")));
        QVERIFY(!s.archive().isOpen());
        QVERIFY(written.startsWith("[Parameters]\r\n")); // shut-down went on

        // The next start leaves the recovered folder alone.
        m_ui->verify();
        Commands::startUp(*m_ctx, paths());
        QCOMPARE(TestFiles::read(kept + "/news.htm"), QByteArray("<html>news</html>"));
    }

    // Neither written back nor movable into a recovered folder: the working
    // copy stays where it is, the user learns so, and the next start finds it.
    void aWorkingCopyThatCannotBeSetAsideStays()
    {
        Session &s = start();
        openNewArchive(path("no-such-folder/book.zip"));
        // A moved folder needs write access to it only as root's immutable
        // flag; otherwise its parent is locked.
        const QString locked = TestFiles::runningAsRoot() ? work() : s.archive().folders().base();
        if (!lockFolder(locked, true))
            QSKIP("cannot lock a folder against changes here");
        if (TestFiles::runningAsRoot())
            m_ui->expectError(); // the list file cannot be written
        else
            m_ui->expectMessage(); // the zip cannot be written
        m_ui->expectMessage();
        closeAndRead();
        QVERIFY(lockFolder(locked, false));

        QVERIFY(m_ui->verify());
        QCOMPARE(m_ui->log().last(),
                 "message: " + Messages::text(MessageId::SetAsideFailed) + "\r\n" + work());
        QVERIFY(recoveredFolders().isEmpty());
        QCOMPARE(TestFiles::read(work() + "/news.htm"), QByteArray("<html>news</html>"));
        QCOMPARE(TestFiles::read(work() + "/news_files/logo.gif"), QByteArray("GIF89a"));

        // The next start finds it and keeps it aside.
        m_ui->expectMessage();
        Commands::startUp(*m_ctx, paths());
        QCOMPARE(recoveredFolders().size(), 1);
        const QString kept = s.archive().folders().base() + "/" + recoveredFolders().first();
        QCOMPARE(TestFiles::read(kept + "/news.htm"), QByteArray("<html>news</html>"));
    }

    // A working copy whose record names no archive it can go back to is kept
    // aside without a question: its zip is gone, or the catalogue has no such
    // archive. With both there, the user is asked; a write-back that then fails
    // and is cancelled still keeps the work aside.
    void leftoverWorkWithoutItsArchive_data()
    {
        QTest::addColumn<QString>("recordedZip"); // relative to the temporary home
        QTest::addColumn<bool>("zipThere");
        QTest::addColumn<bool>("asked");
        QTest::newRow("zip gone") << "books/novels.zip" << false << false;
        QTest::newRow("not in the catalogue") << "books/other.zip" << true << false;
        QTest::newRow("write-back fails") << "books/novels.zip" << true << true;
    }
    void leftoverWorkWithoutItsArchive()
    {
        QFETCH(QString, recordedZip);
        QFETCH(bool, zipThere);
        QFETCH(bool, asked);
        const QString zip = path(recordedZip);
        if (zipThere)
            QVERIFY(TestFiles::write(zip, "PK\x05\x06" + QByteArray(18, '\0')));
        TestFiles::write(iniInProgramFolder(), "[Parameters]\r\nexistingfiles=0\r\n"
                                               "[Archive files 1]\r\nSection=Books\r\nNovels=" +
                                                   path("books/novels.zip").toUtf8() + "\r\n");
        const WorkFolders folders = paths().work;
        TestFiles::write(folders.archive + "/page.htm", "unsaved");
        QVERIFY((WorkRecord{zip, "Books", "Novels"}.write(folders.archive)));
        if (asked) {
            // The zip's folder cannot take a new zip: the write-back fails.
            QVERIFY(lockFolder(path("books"), true));
            m_ui->expectYesNo({}, true);
            m_ui->expectChoice({}, {"Try again", "Save as new archive...", "Set aside and go on"},
                               -1);
        }
        m_ui->expectMessage();
        Session &s = start();
        if (asked)
            QVERIFY(lockFolder(path("books"), false));

        QVERIFY(m_ui->verify());
        QCOMPARE(recoveredFolders().size(), 1);
        const QString kept = folders.base() + "/" + recoveredFolders().first();
        QVERIFY(m_ui->log().last().endsWith(kept));
        QCOMPARE(TestFiles::read(kept + "/page.htm"), QByteArray("unsaved"));
        QVERIFY(!QFileInfo::exists(folders.archive));
        QVERIFY(!QFileInfo::exists(WorkRecord::pathFor(folders.archive)));
        QVERIFY(!s.archive().isOpen());
        QVERIFY(!s.archive().isChanged());
    }

    void leftoverWorkFolderIsMovedAsideNotLost()
    {
        TestFiles::write(work() + "/page.htm", "unsaved");
        m_ui->expectMessage();
        Session &s = start();
        QVERIFY(!QFileInfo::exists(work()));
        const QString text = m_ui->log().first();
        QVERIFY2(text.startsWith("message: Unsaved changes of the archive open last time were "
                                 "found. They are kept in the folder:\r\n"),
                 qPrintable(text));
        const QString kept = text.section("\r\n", 1);
        QCOMPARE(kept, s.archive().folders().base() + "/" + recoveredFolders().value(0));
        QCOMPARE(TestFiles::read(kept + "/page.htm"), QByteArray("unsaved"));
        QVERIFY(isAvailable(Command::CreateArchive, s));

        // An empty one is simply removed.
        cleanup();
        init();
        QVERIFY(QDir().mkpath(work()));
        start();
        QVERIFY(!QFileInfo::exists(work()));
        QVERIFY(recoveredFolders().isEmpty());
    }

    // A working copy left by a crash that cannot be moved into a recovered
    // folder (a full disk, another file system) stays where it is for the
    // whole session: no command empties the working folder, and the next
    // start offers it again.
    void aLeftoverThatCannotBeSetAsideIsNeverEmptied_data()
    {
        QTest::addColumn<bool>("zipThere"); // else its zip is gone: kept aside without asking
        QTest::newRow("its zip is gone") << false;
        QTest::newRow("kept aside by the user") << true;
    }
    void aLeftoverThatCannotBeSetAsideIsNeverEmptied()
    {
        QFETCH(bool, zipThere);
        const QStringList pages{"Map=map.htm"};
        QVERIFY(CommandFiles::writeZip(path("books/atlas.zip"), {{"map.htm", "map"}}, &pages,
                                       path("stage")));
        const QString zip = path("books/novels.zip");
        if (zipThere)
            QVERIFY(CommandFiles::writeZip(zip, {{"news.htm", "news"}}, &pages, path("stage")));
        const QByteArray ini = "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                               "Section=Books\r\nNovels=" +
                               zip.toUtf8() + "\r\nAtlas=" + path("books/atlas.zip").toUtf8() +
                               "\r\n";
        WorkFolders folders = paths().work;
        TestFiles::write(folders.archive + "/page.htm", "unsaved");
        QVERIFY((WorkRecord{zip, "Books", "Novels"}.write(folders.archive)));
        folders.renameFolder = [](const QString &, const QString &) { return false; };
        makeSession(folders);

        const QString held =
            "message: " + Messages::text(MessageId::SetAsideFailed) + "\r\n" + folders.archive;
        if (zipThere)
            m_ui->expectYesNo({}, false);
        m_ui->expectMessage();
        start(&ini);
        QVERIFY(m_ui->verify());
        QCOMPARE(m_ui->log().last(), held);

        // Opening, creating and closing leave it alone, saying why.
        m_ui->expectMessage();
        QVERIFY(!Commands::openArchiveAt(*m_ctx, nodeNamed("Atlas")));
        select(nodeNamed("Atlas"));
        m_ui->expectMessage();
        QVERIFY(runCommand(Command::CreateArchive, *m_ctx));
        closeAndRead();
        QVERIFY(m_ui->verify());
        QCOMPARE(m_ui->log().mid(m_ui->log().size() - 2), (QStringList{held, held}));
        QCOMPARE(TestFiles::read(folders.archive + "/page.htm"), QByteArray("unsaved"));
        QVERIFY(WorkRecord::read(folders.archive));

        // The next start, able to move it, offers it again.
        makeSession(paths().work);
        if (zipThere)
            m_ui->expectYesNo({}, false);
        else
            m_ui->expectMessage();
        start();
        QVERIFY(m_ui->verify());
        QCOMPARE(recoveredFolders().size(), 1);
        QCOMPARE(TestFiles::read(folders.base() + "/" + recoveredFolders().first() + "/page.htm"),
                 QByteArray("unsaved"));
    }

    // A removal cut short by a killed program is finished at the next start
    // without a word; recovered folders beside it, and anything moved there
    // whose record says it holds changes, stay.
    void aRemovalLeftByAKilledProgramIsFinished()
    {
        const WorkFolders folders = paths().work;
        const QString aside = folders.beingRemoved();
        TestFiles::write(aside + "/TEMP_ARCH/news_files/logo.gif", "GIF89a");
        TestFiles::write(aside + "/TEMP_ARCH-2/news.htm", "news");
        TestFiles::write(aside + "/copy/page.htm", "unsaved");
        QVERIFY((WorkRecord{path("books/novels.zip"), "Books", "Novels"}.write(aside + "/copy")));
        TestFiles::write(folders.base() + "/recovered-20250101-120000/page.htm", "kept");
        start();
        archive().removal().waitForDone();
        QVERIFY(m_ui->verify());
        QVERIFY(m_ui->log().isEmpty());
        QCOMPARE(QDir(aside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"copy", "copy.record"}));
        QCOMPARE(TestFiles::read(folders.base() + "/recovered-20250101-120000/page.htm"),
                 QByteArray("kept"));
    }

    // The record of a working copy says whether it holds changes. Left by a
    // crash without changes, while its zip is still the one it was made
    // from or while it was still being unpacked (killed half-way, whatever
    // the zip is now), it is removed without a question; otherwise the user is asked,
    // and a write-back into a zip that changed since does not overwrite it.
    void leftoverWorkOfAnArchiveWithoutChanges_data()
    {
        QTest::addColumn<int>("holdsChanges"); // -1: a record without the flag (older program)
        QTest::addColumn<bool>("zipChanged");
        QTest::addColumn<int>("answer"); // -1: not asked; 0: No; 1: Yes
        QTest::addColumn<bool>("beingMade");
        QTest::newRow("no changes") << 0 << false << -1 << false;
        QTest::newRow("no changes, but the zip changed since") << 0 << true << 0 << false;
        QTest::newRow("still being unpacked, the zip changed since") << 0 << true << -1 << true;
        QTest::newRow("a record of an older program") << -1 << false << 0 << false;
        QTest::newRow("changes, written into a zip that changed since") << 1 << true << 1 << false;
    }
    void leftoverWorkOfAnArchiveWithoutChanges()
    {
        QFETCH(int, holdsChanges);
        QFETCH(bool, zipChanged);
        QFETCH(int, answer);
        QFETCH(bool, beingMade);
        const QString zip = path("books/novels.zip");
        const QStringList pages{"News=news.htm"};
        QVERIFY(CommandFiles::writeZip(zip, {{"news.htm", "news"}}, &pages, path("stage")));
        const WorkFolders folders = paths().work;
        TestFiles::write(folders.archive + "/news.htm", "news");
        TestFiles::write(folders.archive + "/listfile.txt",
                         TestZips::listFile("News=news.htm\r\n"));
        WorkRecord record{zip, "Books", "Novels", ZipStamp::of(zip), holdsChanges == 1, beingMade};
        if (holdsChanges < 0)
            QVERIFY(TestFiles::write(WorkRecord::pathFor(folders.archive),
                                     "{\"zip\": \"" + zip.toUtf8() +
                                         "\", \"section\": \"Books\", \"archive\": \"Novels\"}"));
        else
            QVERIFY(record.write(folders.archive));
        if (zipChanged) {
            const QStringList more{"News=news.htm", "Synced=synced.htm"};
            QVERIFY(CommandFiles::writeZip(zip, {{"news.htm", "news"}, {"synced.htm", "s"}}, &more,
                                           path("stage")));
        }
        const QByteArray zipBefore = TestFiles::read(zip);
        const QByteArray ini = "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                               "Section=Books\r\nNovels=" +
                               zip.toUtf8() + "\r\n";
        if (answer >= 0)
            m_ui->expectYesNo({}, answer == 1);
        if (answer == 1) {
            m_ui->expectChoice(
                {}, {"Save as new archive...", "Set aside and go on", "Replace the newer zip-file"},
                -1);
            m_ui->expectMessage();
        }
        start(&ini);

        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(zip), zipBefore);
        QVERIFY(!QFileInfo::exists(folders.archive));
        QVERIFY(!QFileInfo::exists(WorkRecord::pathFor(folders.archive)));
        QCOMPARE(recoveredFolders().size(), answer < 0 ? 0 : 1);
        if (answer == 1)
            QVERIFY(
                m_ui->log().value(1).contains(Messages::text(MessageId::ZipChangedSinceOpened)));
    }

    void settingsDialog()
    {
        Session &s = start();
        // Cancelled: nothing changes, whatever the boxes said.
        m_ui->expectSettings([](SettingsDialogValues &v) {
            v.checkArchives = false;
            v.folder = "/elsewhere";
            return false;
        });
        Commands::editSettings(*m_ctx);
        QVERIFY(s.settings().checkArchivesAtStart);
        QVERIFY(s.settings().defaultArchiveFolder.isEmpty());

        // Accepted with a folder to create.
        const QString folder = path("new-archives");
        m_ui->expectSettings([&](SettingsDialogValues &v) {
            v.folder = folder;
            v.checkArchives = false;
            v.rememberWindow = false;
            v.deleteOriginals = true;
            return true;
        });
        Commands::editSettings(*m_ctx);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(s.settings().defaultArchiveFolder, folder + "/");
        QVERIFY(!s.settings().checkArchivesAtStart);
        QVERIFY(!s.settings().rememberWindow);
        QVERIFY(s.settings().deleteOriginals);

        // The dialog shows what is set, and a missing parent is an error.
        const QString deep = path("no/such/parent");
        m_ui->expectSettings([&](SettingsDialogValues &v) {
            if (v.folder != folder + "/" || v.checkArchives || !v.deleteOriginals)
                return false;
            v.folder = deep;
            return true;
        });
        m_ui->expectError(QString::fromUtf16(
            u"Невозможно создать папку!\r\nПроверьте правильность заданного пути!"));
        Commands::editSettings(*m_ctx);
        QCOMPARE(s.settings().defaultArchiveFolder, deep + "/");
        QVERIFY(!QFileInfo::exists(deep));
        QVERIFY(closeAndRead().startsWith("[Parameters]\r\nDirArchive=" + deep.toUtf8() +
                                          "/\r\ndeloldfiles=1\r\nmemorysize=0\r\n"));
    }

    // A settings file that cannot be written is never lost in silence: the
    // user is told, in the active language, and the old file stays.
    void settingsWriteFailureIsShown_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<bool>("oldFileInLockedFolder");
        QTest::addColumn<QString>("head");
        const QString english = "The settings and the catalogue could not be saved in the file:";
        const QString russian =
            QString::fromUtf16(u"Не удалось сохранить установки и каталог в файл:");
        QTest::newRow("a folder in the way, English") << false << false << english;
        QTest::newRow("a folder in the way, Russian") << true << false << russian;
        QTest::newRow("old file in a locked folder") << false << true << english;
    }
    void settingsWriteFailureIsShown()
    {
        QFETCH(bool, russian);
        QFETCH(bool, oldFileInLockedFolder);
        QFETCH(QString, head);
        QString target;
        QByteArray old;
        if (oldFileInLockedFolder) {
            old = "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\nSection=Old\r\n";
            start(&old);
            target = iniInProgramFolder();
            if (!lockFolder(programFolder(), true))
                QSKIP("cannot lock a folder against changes here");
        } else {
            // Where the file's folder should be there is a file.
            QVERIFY(TestFiles::write(path("config"), "not a folder"));
            start();
            target = iniInConfigFolder();
            if (russian)
                Commands::switchToRussian(*m_ctx);
        }
        m_session->catalogue().appendSection("New");
        m_ui->expectError();
        Commands::shutDown(*m_ctx);
        if (oldFileInLockedFolder)
            lockFolder(programFolder(), false);

        const QString shown = m_ui->log().value(0);
        QVERIFY2(shown.startsWith("error: " + head + "\r\n" + target + "\r\n"), qPrintable(shown));
        QVERIFY(shown.size() > QString("error: " + head + "\r\n" + target + "\r\n").size());
        if (oldFileInLockedFolder)
            QCOMPARE(TestFiles::read(target), old);
        else
            QCOMPARE(TestFiles::read(path("config")), QByteArray("not a folder"));
    }

    // A settings file that is there but cannot be read is never written
    // over: the user learns which and why, and what this session keeps goes
    // into a new file beside it, named in the message.
    void anUnreadableSettingsFileIsKept_data()
    {
        QTest::addColumn<bool>("folder"); // a folder in its place; else a file no one may read
        QTest::newRow("a folder in its place") << true;
        QTest::newRow("a file without read permission") << false;
    }
    void anUnreadableSettingsFileIsKept()
    {
        QFETCH(bool, folder);
        const QString unreadable = folder ? iniInConfigFolder() : iniInProgramFolder();
        const QByteArray old =
            "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\nSection=Old\r\n";
        if (folder) {
            QVERIFY(TestFiles::write(unreadable + "/inside.txt", "kept"));
        } else {
            if (TestFiles::runningAsRoot())
                QSKIP("root reads every file");
            QVERIFY(TestFiles::write(unreadable, old));
            QVERIFY(QFile::setPermissions(unreadable, QFile::WriteOwner));
        }
        m_ui->expectError();
        Session &s = start();
        const QString instead = QFileInfo(unreadable).absolutePath() + "/tomekeeper-1.ini";
        QCOMPARE(s.settingsFilePath(), instead);
        const QString shown = m_ui->log().value(0);
        QVERIFY2(
            shown.startsWith("error: " +
                             Messages::text(MessageId::SettingsUnreadable).section("\r\n", 0, 0)),
            qPrintable(shown));
        QVERIFY(shown.contains(unreadable + "\r\n"));
        QVERIFY(shown.endsWith("\r\n" + instead));

        s.catalogue().appendSection("This session");
        QVERIFY(closeAndRead().endsWith("[Archive files 1]\r\nSection=This session\r\n"));
        QVERIFY(m_ui->verify());
        if (folder) {
            QCOMPARE(TestFiles::read(unreadable + "/inside.txt"), QByteArray("kept"));
        } else {
            QVERIFY(QFile::setPermissions(unreadable, QFile::ReadOwner | QFile::WriteOwner));
            QCOMPARE(TestFiles::read(unreadable), old);
        }
    }

    // A program folder that went away while the program ran gets its
    // catalogue back rather than losing it.
    void removedProgramFolderIsWrittenAgain()
    {
        const QByteArray file =
            "[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\nSection=A\r\n";
        Session &s = start(&file);
        QDir(programFolder()).removeRecursively();
        QVERIFY(closeAndRead().endsWith("[Archive files 1]\r\nSection=A\r\n"));
        QCOMPARE(s.settingsFilePath(), iniInProgramFolder());
    }
};

QTEST_GUILESS_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
