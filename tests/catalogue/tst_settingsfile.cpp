#include "catalogue/session.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "testfiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QByteArray kFirstStartFile =
    "[Parameters]\r\nDirArchive=\r\ndeloldfiles=0\r\nmemorysize=1\r\n"
    "offline=1\r\nexistingfiles=1\r\nlanguage=0\r\nwidth=732\r\n"
    "height=520\r\nleft=47\r\ntop=44\r\n";

} // namespace

// Start-up and shut-down of the core against real files in a temporary
// program folder: what is read from tomekeeper.ini and what is written back.
class TestSettingsFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<Session> m_session;

    QString programFolder() const { return m_dir->path() + "/program"; }
    QString iniPath() const { return programFolder() + "/tomekeeper.ini"; }
    QString path(const QString &name) const { return m_dir->path() + "/" + name; }

    Session &start(const QByteArray *iniBytes = nullptr)
    {
        if (iniBytes)
            TestFiles::write(iniPath(), *iniBytes);
        m_session->startUp(programFolder());
        return *m_session;
    }
    QByteArray closeAndRead()
    {
        m_session->shutDown();
        return TestFiles::read(iniPath());
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(programFolder());
        m_ui = std::make_unique<ScriptedInteraction>();
        m_view = std::make_unique<RecordingPageView>();
        WorkFolders folders{path("work/TEMP_ARCH"), path("work/TEMP_ARCH2")};
        m_session = std::make_unique<Session>(*m_ui, *m_view, folders);
    }
    void cleanup()
    {
        m_session.reset();
        m_ui.reset();
        m_view.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    void firstStartWritesTheDefaultFile()
    {
        QSignalSpy geometry(m_session.get(), &Session::geometryRequested);
        Session &s = start();
        QCOMPARE(s.settingsFilePath(), iniPath());
        QVERIFY(s.programFolder().endsWith('/'));
        QVERIFY(!s.settings().russianInterface);
        QVERIFY(s.settings().offline);
        QVERIFY(s.settings().defaultArchiveFolder.isEmpty());
        QCOMPARE(s.catalogue().nodeCount(), 0);
        QCOMPARE(s.unpack().nodeIndex, -1);
        QCOMPARE(s.statusText(), QString("Open Archive:  not open Archives."));
        QCOMPARE(geometry.size(), 1);
        QCOMPARE(s.windowGeometry(), (WindowGeometry{732, 520, 47, 44}));
        QCOMPARE(m_view->calls.first(), QString("navigate about:blank"));
        for (const char *name : {"ListBox1", "ToolBar2", "ToolBar5", "ToolButton14", "ToolButton15",
                                 "ToolButton16", "N18", "N48", "N24", "N31"})
            QVERIFY2(!s.isEnabled(name), name);
        QVERIFY(s.isEnabled("N43"));
        QCOMPARE(closeAndRead(), kFirstStartFile);
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

    void missingArchivesAreReportedOnce()
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
        QCOMPARE(s.catalogue().nodeNames(), QStringList({"A", "Here", "B"}));
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
        s.switchToEnglish();
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
        TestFiles::write(s.workFolders().archive + "/page.htm", "x");
        TestFiles::write(s.workFolders().moveTarget + "/sub/page.htm", "x");
        s.shutDown();
        QVERIFY(!QFileInfo::exists(s.workFolders().archive));
        QVERIFY(!QFileInfo::exists(s.workFolders().moveTarget));
        QVERIFY(m_view->offline());
        QVERIFY(TestFiles::read(iniPath()).contains("offline=0\r\n"));
    }

    void closingZipsBackAChangedArchiveFirst()
    {
        Session &s = start();
        const QString work = s.workFolders().archive;
        TestFiles::write(work + "/news.htm", "<html>news</html>");
        TestFiles::write(work + "/news_files/logo.gif", "GIF89a");
        s.pages().append("news", "news.htm");
        QDir().mkpath(path("archives"));
        s.unpack().zipFolder = path("archives/");
        s.unpack().zipFileName = "book.zip";
        s.unpack().changed = true;
        s.shutDown();
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(!s.unpack().changed);
        QVERIFY(QFileInfo::exists(iniPath()));
        QByteArray listing;
        QCOMPARE(TestFiles::run("unzip", {"-Z1", path("archives/book.zip")}, &listing), 0);
        QStringList names = QString::fromUtf8(listing).split('\n', Qt::SkipEmptyParts);
        names.sort();
        QCOMPARE(names, QStringList({"listfile.txt", "news.htm", "news_files/logo.gif"}));
    }

    void aFailedWriteBackKeepsTheWorkFolder()
    {
        Session &s = start();
        const QString work = s.workFolders().archive;
        TestFiles::write(work + "/news.htm", "<html>news</html>");
        s.pages().append("news", "news.htm");
        s.unpack().zipFolder = path("no-such-folder/");
        s.unpack().zipFileName = "book.zip";
        s.unpack().changed = true;
        m_ui->expectMessage(); // which files could not be saved
        m_ui->expectMessage("The changes of the archive stay in the folder:\r\n" + work);
        s.shutDown();
        QCOMPARE(TestFiles::read(work + "/news.htm"), QByteArray("<html>news</html>"));
        QVERIFY(QFileInfo::exists(iniPath()));
    }

    void leftoverWorkFolderIsMovedAsideNotLost()
    {
        const QString work = m_session->workFolders().archive;
        TestFiles::write(work + "/page.htm", "unsaved");
        m_ui->expectMessage();
        Session &s = start();
        QVERIFY(!QFileInfo::exists(work));
        QVERIFY(m_ui->log().first().contains("recovered-"));
        const QString kept = m_ui->log().first().section("\r\n", 1);
        QCOMPARE(TestFiles::read(kept + "/page.htm"), QByteArray("unsaved"));
        QVERIFY(s.isEnabled("N43"));
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
        s.editSettings();
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
        s.editSettings();
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
        s.editSettings();
        QCOMPARE(s.settings().defaultArchiveFolder, deep + "/");
        QVERIFY(!QFileInfo::exists(deep));
        QVERIFY(closeAndRead().startsWith("[Parameters]\r\nDirArchive=" + deep.toUtf8() +
                                          "/\r\ndeloldfiles=1\r\nmemorysize=0\r\n"));
    }

    void unwritableProgramFolderDoesNotCrash()
    {
        Session &s = start();
        QDir(programFolder()).removeRecursively();
        s.shutDown(); // nothing to write into; no crash, no message
        QVERIFY(!QFileInfo::exists(iniPath()));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
