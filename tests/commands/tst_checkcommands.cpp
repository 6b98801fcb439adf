#include "checkcollection.h"
#include "commandfixture.h"
#include "commands/checkcommands.h"
#include "commands/navigationcommands.h"
#include "lang/messages.h"
#include "zip/zipreader.h"

#include <QRegularExpression>
#include <QTest>

using Kind = CheckProblem::Kind;

// What the user does from the report of the check: each fix through the
// commands the program has, with a scripted user; the zips are read back by
// Info-ZIP afterwards, and nothing that was in them is gone.
class TestCheckCommands : public QObject, CommandFixture {
    Q_OBJECT

    CheckCollection::Collection m_c;

    CheckProblem problem(Kind kind, const QString &section, const QString &name,
                         const QString &detail = {})
    {
        return {kind, section, name, m_c.zip(name.toLower()), detail};
    }
    QString peek() { return path("peek"); }
    // What opening Mixed says of its list, as opening it from the tree would.
    static QString refusedLines()
    {
        return msg(MessageId::ListFileLinesRefused) + "\r\n../evil.htm";
    }
    // The files of a zip, without the folder entries a writer may add or leave out.
    static QStringList filesOf(const QString &zip)
    {
        QStringList names = TestZips::names(zip);
        names.removeIf([](const QString &name) { return name.endsWith(u'/'); });
        return names;
    }

private Q_SLOTS:
    void init()
    {
        setUp();
        m_c = CheckCollection::make(path("c"));
        CheckCollection::fillCatalogue(catalogue(), m_c.archives);
    }
    void cleanup() { tearDown(); }

    void addsTheUnlistedPages_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("opening"); // what opening the archive says
        QTest::addColumn<QStringList>("list");
        QTest::newRow("a page not in the list")
            << "Other"
            << "Mixed" << int(Kind::PageUnlisted) << refusedLines()
            << QStringList{"Alpha=alpha.htm", "Lost=lost.htm", "extra=extra.htm"};
        QTest::newRow("no list at all")
            << "Books"
            << "NoList" << int(Kind::ListMissing) << msg(MessageId::ListFileMissing)
            << QStringList{"alpha=alpha.htm"};
    }
    void addsTheUnlistedPages()
    {
        QFETCH(QString, section);
        QFETCH(QString, archive);
        QFETCH(int, kind);
        QFETCH(QString, opening);
        QFETCH(QStringList, list);
        const QString zip = m_c.zip(archive.toLower());
        QStringList before = filesOf(zip);
        m_ui->expectMessage(opening);
        QVERIFY(Commands::applyCheckFix(*m_ctx, problem(Kind(kind), section, archive),
                                        CheckFix::AddPagesToList));
        QVERIFY(m_ui->verify());
        QCOMPARE(CommandFiles::checkedListOf(zip, peek()), list);
        QStringList after = filesOf(zip);
        after.removeAll("listfile.txt");
        before.removeAll("listfile.txt");
        QCOMPARE(after, before);
        QCOMPARE(titles(), QStringList(list).replaceInStrings(QRegularExpression("=.*"), ""));
    }

    void dropsTheEntriesWithoutFiles_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void dropsTheEntriesWithoutFiles()
    {
        QFETCH(bool, yes);
        const QString zip = m_c.zip("mixed");
        const QByteArray before = TestFiles::read(zip);
        m_ui->expectMessage(refusedLines());
        m_ui->expectYesNo(
            msg(MessageId::CheckDropQuestion).arg("Other\\Mixed") + "\r\nLost (lost.htm)", yes);
        QCOMPARE(Commands::applyCheckFix(*m_ctx, problem(Kind::PageMissing, "Other", "Mixed"),
                                         CheckFix::DropMissingPages),
                 yes);
        QVERIFY(m_ui->verify());
        if (!yes) {
            QCOMPARE(TestFiles::read(zip), before);
            return;
        }
        QCOMPARE(CommandFiles::checkedListOf(zip, peek()), QStringList{"Alpha=alpha.htm"});
        QCOMPARE(filesOf(zip),
                 (QStringList{"alpha.htm", "alpha_files/pic.png", "extra.htm", "listfile.txt",
                              "orphan_files/pic.png", "sub/inner.htm"}));
    }

    // Found by its name in a folder below the one given, or under another
    // name by the pages the search index remembers of it; the catalogue
    // entry then names it.
    void findsAMissingZip_data()
    {
        QTest::addColumn<QString>("copied");
        QTest::addColumn<QString>("as");
        QTest::addColumn<bool>("known");
        QTest::newRow("same name, deeper") << "clean"
                                           << "deep/gone.zip" << false;
        QTest::newRow("renamed, known by its pages") << "mixed"
                                                     << "renamed.zip" << true;
        QTest::newRow("nowhere") << ""
                                 << "" << false;
    }
    void findsAMissingZip()
    {
        QFETCH(QString, copied);
        QFETCH(QString, as);
        QFETCH(bool, known);
        KnownZip pages;
        if (known) {
            ZipReader reader;
            QVERIFY(reader.open(m_c.zip(copied)));
            for (const ZipReader::Entry &entry : reader.entries()) {
                if (entry.name.endsWith(".htm"))
                    pages.pages.append({entry.name, entry.crc, entry.size});
            }
        }
        // A zip holding one of those pages too: too few to be taken for it.
        QVERIFY(QDir().mkpath(path("elsewhere")));
        QVERIFY(QFile::copy(m_c.zip("nolist"), path("elsewhere/other.zip")));
        const QString found = path("elsewhere/" + as);
        if (!copied.isEmpty()) {
            QDir().mkpath(QFileInfo(found).absolutePath());
            QVERIFY(QFile::copy(m_c.zip(copied), found));
        }
        m_ui->expectFolder(msg(MessageId::CheckFindZipCaption), path("c/zips"), path("elsewhere"));
        if (copied.isEmpty())
            m_ui->expectMessage(msg(MessageId::CheckZipNotFound) + "\r\n" + path("elsewhere"));
        else
            m_ui->expectYesNo(msg(MessageId::CheckUseFoundZip).arg("Books\\Gone") + "\r\n" + found,
                              true);
        QCOMPARE(Commands::applyCheckFix(*m_ctx, problem(Kind::ZipMissing, "Books", "Gone"),
                                         CheckFix::FindZip, pages),
                 !copied.isEmpty());
        QVERIFY(m_ui->verify());
        QCOMPARE(catalogue().node(nodeNamed("Gone")).path,
                 copied.isEmpty() ? m_c.zip("gone") : found);
    }

    void removesAMissingArchive()
    {
        m_ui->expectYesNo(msg(MessageId::ConfirmRemoveArchive) + "\r\n\"Gone\"?", true);
        QVERIFY(Commands::applyCheckFix(*m_ctx, problem(Kind::ZipMissing, "Books", "Gone"),
                                        CheckFix::RemoveArchive));
        QVERIFY(m_ui->verify());
        QCOMPARE(nodeNamed("Gone"), -1);
        QCOMPARE(catalogue().nodeCount(), 10);
    }

    void showsAWorkingCopysFolder()
    {
        const QString folder = m_c.dataFolder + "/recovered-20260102-030405";
        CheckProblem copy = problem(Kind::RecoveredCopy, "Books", "Clean", folder);
        copy.folder = folder;
        m_ui->expectOpenWithDesktop(folder, false);
        m_ui->expectMessage(msg(MessageId::CheckFolderNotOpened) + "\r\n" + folder);
        QVERIFY(!Commands::applyCheckFix(*m_ctx, copy, CheckFix::OpenFolder));
        QVERIFY(m_ui->verify());
        QVERIFY(QFileInfo(folder + "/alpha.htm").isFile());
    }

    // The open archive's working copy is in use, not left behind.
    void theOpenArchiveIsNoLeftover()
    {
        QVERIFY(Commands::openArchiveAt(*m_ctx, nodeNamed("Clean")));
        QVERIFY(!Commands::collectionCheckInput(*m_ctx).idleWorkFolders.contains(work()));
        QVERIFY(archive().close());
        QVERIFY(Commands::collectionCheckInput(*m_ctx).idleWorkFolders.contains(work()));
    }

    void savesTheReport()
    {
        const QString file = path("report.txt");
        const QString filter = msg(MessageId::CheckReportFilter) + " (*.txt)";
        m_ui->expectSaveFile(filter, file);
        Commands::saveCheckReport(*m_ctx, "first\tline\n");
        m_ui->expectSaveFile(filter, file);
        m_ui->expectYesNo(msg(MessageId::SaveAsReplaceFile).arg(file), false);
        Commands::saveCheckReport(*m_ctx, "second\n");
        QVERIFY(m_ui->verify());
        QCOMPARE(TestFiles::read(file), QByteArray("first\tline\n"));
    }
};

QTEST_GUILESS_MAIN(TestCheckCommands)
#include "tst_checkcommands.moc"
