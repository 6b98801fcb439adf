#include "lang/messages.h"
#include "storage/archivebudget.h"
#include "storage/pagenames.h"
#include "storage/listfile.h"
#include "storage/longwork.h"
#include "storage/openarchive.h"
#include "storage/pagecopy.h"
#include "storage/pagelistmodel.h"
#include "storage/pagesearch.h"
#include "support/childprocess.h"
#include "support/testfiles.h"
#include "zip/zipguard.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>
#include <QTextStream>
#include <sys/stat.h>

namespace {

// Every file below folder with its bytes, by relative path.
QMap<QString, QByteArray> tree(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), TestFiles::read(path));
    }
    return files;
}

QByteArray page(const QString &folderReference)
{
    return "<html><head><meta charset=\"utf-8\"></head><body><img src=\"" +
           folderReference.toUtf8() + "/a.png\"></body></html>";
}

QString relativeAll(const QStringList &paths, const QString &base)
{
    QStringList out;
    for (const QString &p : paths)
        out << QDir(base).relativeFilePath(p);
    return out.join(u',');
}

// A folder in which nothing can be created, even by root; false where that
// cannot be arranged.
bool lockFolder(const QString &path, bool lock)
{
    if (TestFiles::runningAsRoot())
        return TestFiles::run("chattr", {lock ? "+i" : "-i", path}) == 0;
    return ::chmod(QFile::encodeName(path).constData(), lock ? 0555 : 0755) == 0;
}

} // namespace

// Finding pages on disk and copying one page with its companion folder.
class TestPageCopy : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString src() const { return path("src"); }
    QString work() const { return path("data/TEMP_ARCH"); }

private Q_SLOTS:
    void initTestCase() { Messages::useEnglish(); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(work()));
    }

    void pageFileExtensions()
    {
        for (const char *name :
             {"a.htm", "a.html", "a.shtml", "a.dhtml", "a.phtml", "a.mht", "x.y.htm"})
            QVERIFY2(PageSearch::isPageFile(name), name);
        for (const char *name : {"b.HTM", "a.htm.txt", "htm", "a.xhtml", "a.mhtml", ""})
            QVERIFY2(!PageSearch::isPageFile(name), name);
    }

    // Depth first, as the folders list them; b.HTM is not a page.
    void searchFindsNestedPages()
    {
        TestFiles::write(src() + "/a.htm", "a");
        TestFiles::write(src() + "/b.HTM", "b");
        TestFiles::write(src() + "/sub/c.html", "c");
        TestFiles::write(src() + "/sub/deeper/d.mht", "d");
        TestFiles::write(src() + "/sub/note.txt", "n");
        QStringList found;
        PageSearch::findPages(src(), true, {}, found);
        QStringList sorted = found;
        sorted.sort();
        QCOMPARE(relativeAll(sorted, src()), QString("a.htm,sub/c.html,sub/deeper/d.mht"));
        // A folder's pages all come before the next entry of its parent.
        const qsizetype c = found.indexOf(src() + "/sub/c.html");
        const qsizetype d = found.indexOf(src() + "/sub/deeper/d.mht");
        QVERIFY(qAbs(c - d) == 1);

        QStringList top;
        PageSearch::findPages(src(), false, {}, top);
        QCOMPARE(relativeAll(top, src()), QString("a.htm"));
    }

    void searchNeverFollowsLinksNorEntersProgramFolders()
    {
        TestFiles::write(src() + "/a.htm", "a");
        TestFiles::write(src() + "/sub/c.htm", "c");
        QVERIFY(QFile::link(src(), src() + "/sub/loop")); // leads back up
        TestFiles::write(src() + "/data/TEMP_ARCH/own.htm", "own");
        TestFiles::write(src() + "/data/recovered-20260101-000000/kept.htm", "kept");
        TestFiles::write(src() + "/data/being-removed/TEMP_ARCH/gone.htm", "gone");
        TestFiles::write(src() + "/data/other/found.htm", "found");
        const WorkFolders folders = WorkFolders::under(src() + "/data");
        const QStringList guarded = folders.protectedFolders();
        QStringList found;
        PageSearch::findPages(src(), true, guarded, found);
        found.sort();
        QCOMPARE(relativeAll(found, src()), QString("a.htm,data/other/found.htm,sub/c.htm"));

        QVERIFY(PageSearch::isInside(src() + "/data/TEMP_ARCH/own.htm", folders.archive));
        QVERIFY(PageSearch::isInside(folders.archive, folders.archive));
        QVERIFY(!PageSearch::isInside(src() + "/data/TEMP_ARCHIVE", folders.archive));
        // Through a link, the place on disk counts.
        QVERIFY(QFile::link(folders.archive, src() + "/alias"));
        QCOMPARE(PageSearch::protectedFolderOf(src() + "/alias/own.htm", guarded), folders.archive);
        QVERIFY(PageSearch::protectedFolderOf(src() + "/a.htm", guarded).isEmpty());
    }

    // The companion folder comes whole; ".files" wins over "_files".
    void copiesThePageWithItsWholeFolder_data()
    {
        QTest::addColumn<QStringList>("sourceFiles");
        QTest::addColumn<QStringList>("copied");
        QTest::newRow("_files") << QStringList{"news.htm", "news_files/a.png",
                                               "news_files/sub/b.css"}
                                << QStringList{"news.htm", "news_files/a.png",
                                               "news_files/sub/b.css"};
        QTest::newRow(".files") << QStringList{"news.html", "news.files/a.png"}
                                << QStringList{"news.files/a.png", "news.html"};
        QTest::newRow("both") << QStringList{"news.htm", "news.files/a.png", "news_files/x.png"}
                              << QStringList{"news.files/a.png", "news.htm"};
        QTest::newRow("none") << QStringList{"news.htm", "other_files/a.png"}
                              << QStringList{"news.htm"};
        QTest::newRow("Cyrillic") << QStringList{"Новости.htm", "Новости_files/рис.png"}
                                  << QStringList{"Новости.htm", "Новости_files/рис.png"};
        QTest::newRow("UTF-8 only") << QStringList{"日本.htm", "日本_files/图.png"}
                                    << QStringList{"日本.htm", "日本_files/图.png"};
    }
    void copiesThePageWithItsWholeFolder()
    {
        QFETCH(QStringList, sourceFiles);
        QFETCH(QStringList, copied);
        for (const QString &f : sourceFiles)
            TestFiles::write(src() + "/" + f, f.toUtf8());
        PageCopier copier(work());
        QCOMPARE(copier.copyPage(src() + "/" + sourceFiles.first()), PageCopier::Result::Copied);
        QCOMPARE(copier.fileName(), sourceFiles.first());
        const auto files = tree(work());
        QCOMPARE(files.keys(), copied);
        for (const QString &f : copied)
            QCOMPARE(files.value(f), f.toUtf8()); // byte for byte, nothing rewritten
        QCOMPARE(copier.taken().size(), copied.size());
        // Sources stay: deleting is the archive's business after a write-back.
        QCOMPARE(tree(src()).size(), sourceFiles.size());
    }

    void skipsWhatIsNotAFile()
    {
        QVERIFY(QDir().mkpath(src() + "/folder.htm"));
        PageCopier copier(work());
        QCOMPARE(copier.copyPage(src() + "/folder.htm"), PageCopier::Result::NotAFile);
        QCOMPARE(copier.copyPage(src() + "/missing.htm"), PageCopier::Result::NotAFile);
        QVERIFY(tree(work()).isEmpty());
    }

    // A second news.htm never takes the first one's folder: both get new
    // names and the HTML follows.
    void clashingPageTakesAFreeNameWithItsFolder()
    {
        TestFiles::write(work() + "/news.htm", page("news_files"));
        TestFiles::write(work() + "/news_files/a.png", "first");
        TestFiles::write(work() + "/news_1_files/x.png", "orphan folder"); // name in use
        TestFiles::write(src() + "/news.htm", page("news_files") +
                                                  "<a href='./news_files%2Fb.htm'>" +
                                                  "<img src=\"othernews_files/z.png\">");
        TestFiles::write(src() + "/news_files/a.png", "second");
        PageCopier copier(work());
        QCOMPARE(copier.copyPage(src() + "/news.htm"), PageCopier::Result::Copied);
        QCOMPARE(copier.fileName(), QString("news_2.htm"));
        QCOMPARE(TestFiles::read(work() + "/news_2.htm"),
                 page("news_2_files") + "<a href='./news_2_files%2Fb.htm'>" +
                     "<img src=\"othernews_files/z.png\">");
        QCOMPARE(TestFiles::read(work() + "/news_2_files/a.png"), QByteArray("second"));
        QCOMPARE(TestFiles::read(work() + "/news_files/a.png"), QByteArray("first"));
        QCOMPARE(TestFiles::read(work() + "/news.htm"), page("news_files"));
        // The page's copy is not its source's bytes: both are remembered.
        QVERIFY(copier.taken().first().copyHash != copier.taken().first().sourceHash);
    }

    void rewritingReferences_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QByteArray>("expected"); // empty: refused
        QTest::newRow("raw and percent-encoded, ASCII")
            << QByteArray("<img src=\"my page_files/a.png\"><img src=my%20page_files/b.png>")
            << "my page.htm"
            << "my page_files"
            << "my page_1_files"
            << QByteArray("<img src=\"my page_1_files/a.png\"><img src=my%20page_1_files/b.png>");
        QTest::newRow("UTF-8 page, Cyrillic, raw and encoded")
            << QByteArray("<meta charset=utf-8><img src=\"") +
                   QString("Мир_files/a.png\">").toUtf8() +
                   "<img src=\"%D0%9C%D0%B8%D1%80_files/b.png\">"
            << "Мир.htm"
            << "Мир_files"
            << "Мир_1_files"
            << QByteArray("<meta charset=utf-8><img src=\"") +
                   QString("Мир_1_files/a.png\">").toUtf8() +
                   "<img src=\"%D0%9C%D0%B8%D1%80_1_files/b.png\">";
        QTest::newRow("Windows-1251 page")
            << QByteArray(
                   "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1251\">"
                   "<img src=\"\xCC\xE8\xF0_files/a.png\">")
            << "Мир.htm"
            << "Мир_files"
            << "Мир_1_files"
            << QByteArray(
                   "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1251\">"
                   "<img src=\"\xCC\xE8\xF0_1_files/a.png\">");
        QTest::newRow("unknown encoding, Cyrillic name")
            << QByteArray("<meta charset=koi8-r><img src=\"\xED\xC9\xD2_files/a.png\">")
            << "Мир.htm"
            << "Мир_files"
            << "Мир_1_files" << QByteArray();
        QTest::newRow("no reference found")
            << QByteArray("<img src=\"pictures/a.png\">") << "news.htm"
            << "news_files"
            << "news_1_files" << QByteArray();
        QTest::newRow("web archive")
            << QByteArray("Content-Location: news_files/a.png") << "news.mht"
            << "news_files"
            << "news_1_files" << QByteArray();
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFEn\0") << "news.htm"
                                << "news_files"
                                << "news_1_files" << QByteArray();
        QTest::newRow("new name already referred to")
            << QByteArray("<img src=news_files/a.png><img src=news_1_files/b.png>") << "news.htm"
            << "news_files"
            << "news_1_files" << QByteArray();
        QTest::newRow("tail of a longer name left alone")
            << QByteArray("<img src=news_files/a.png><img src=oldnews_files/b.png>") << "news.htm"
            << "news_files"
            << "news_1_files"
            << QByteArray("<img src=news_1_files/a.png><img src=oldnews_files/b.png>");
    }
    void rewritingReferences()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, page);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QByteArray, expected);
        QByteArray out = html;
        const bool rewritten = PageCopier::rewriteFolderReferences(out, page, from, to);
        QCOMPARE(rewritten, !expected.isEmpty());
        QCOMPARE(out, rewritten ? expected : html);
    }

    // A Linux file name may hold "=" and line breaks, which the list file
    // cannot: the page and its folder both take "-", and the HTML follows.
    void unstorableNameRenamesTheFolderToo_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("stored");
        QTest::newRow("equals sign") << "a=b"
                                     << "a-b";
        QTest::newRow("title with equals sign") << "Q&A = answers"
                                                << "Q&A - answers";
        QTest::newRow("line feed") << "one\ntwo"
                                   << "one-two";
        QTest::newRow("CR LF") << "one\r\ntwo"
                               << "one--two";
        QTest::newRow("tab") << "one\ttwo"
                             << "one-two";
    }
    void unstorableNameRenamesTheFolderToo()
    {
        QFETCH(QString, base);
        QFETCH(QString, stored);
        TestFiles::write(src() + "/" + base + ".htm", page(base + "_files"));
        TestFiles::write(src() + "/" + base + "_files/a.png", "png");
        PageCopier copier(work());
        QCOMPARE(copier.copyPage(src() + "/" + base + ".htm"), PageCopier::Result::Copied);
        QCOMPARE(copier.fileName(), stored + ".htm");
        QCOMPARE(TestFiles::read(work() + "/" + stored + ".htm"), page(stored + "_files"));
        QCOMPARE(tree(work()).keys(), (QStringList{stored + ".htm", stored + "_files/a.png"}));
        // The title comes from the stored name; the list file carries the page whole.
        PageListModel pages;
        pages.append(PageNames::baseName(copier.fileName()), copier.fileName());
        QVERIFY(writeListFile(work(), pages));
        PageListModel back;
        QVERIFY(readListFile(ListFile::path(work()), back));
        QCOMPARE(back.titles(), QStringList{stored});
        QCOMPARE(back.fileNames(), QStringList{stored + ".htm"});
    }

    void freeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("expected");

        QStringList nine{"news.htm"};
        for (int i = 1; i <= 9; ++i)
            nine << QStringLiteral("news_%1.htm").arg(i);
        QStringList nineteen = nine;
        for (int i = 10; i <= 19; ++i)
            nineteen << QStringLiteral("news_%1.htm").arg(i);

        QTest::newRow("first") << "news.htm" << QStringList{"news.htm"} << "news_1.htm";
        QTest::newRow("second") << "news.htm" << QStringList{"news.htm", "news_1.htm"}
                                << "news_2.htm";
        QTest::newRow("after 9") << "news.htm" << nine << "news_10.htm";
        QTest::newRow("after 19: only the last digit counts")
            << "news.htm" << nineteen << "news_110.htm";
        QTest::newRow("trailing digit") << "report2.htm" << QStringList{"report2.htm"}
                                        << "report3.htm";
        QTest::newRow("no extension") << "readme" << QStringList{"readme"} << "readme_1";
        QTest::newRow("extension twice") << "x.htm.htm" << QStringList{"x.htm.htm"} << "x_1.htm";
        QTest::newRow("equals sign") << "a=b.htm" << QStringList{} << "a-b.htm";
        QTest::newRow("equals sign, dash name taken")
            << "a=b.htm" << QStringList{"a=b.htm", "a-b.htm"} << "a-b_1.htm";
        QTest::newRow("line feed") << "a\nb.htm" << QStringList{} << "a-b.htm";
        QTest::newRow("carriage return and equals sign")
            << "a\r=b.htm" << QStringList{} << "a--b.htm";
        QTest::newRow("a folder takes the name")
            << "page.htm" << QStringList{"page.htm", "page_1.htm/"} << "page_2.htm";
    }
    void freeNames()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QVERIFY(QDir().mkpath(work()));
        for (const QString &e : existing) {
            if (e.endsWith(u'/'))
                QVERIFY(QDir().mkpath(work() + "/" + e));
            else
                QVERIFY(TestFiles::write(work() + "/" + e, "x"));
        }
        QCOMPARE(PageNames::firstFree(
                     name, [this](const QString &n) { return PageNames::isTaken(work(), n); }),
                 expected);
    }

    void pageBaseName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("base");
        QTest::newRow("plain") << "news.htm"
                               << "news";
        QTest::newRow("dots inside") << "v1.2 notes.html"
                                     << "v1.2 notes";
        QTest::newRow("up to the first occurrence") << "page.htm.htm"
                                                    << "page";
        QTest::newRow("no extension") << "README"
                                      << "README";
    }
    void pageBaseName()
    {
        QFETCH(QString, file);
        QFETCH(QString, base);
        QCOMPARE(PageNames::baseName(file), base);
    }

    void refusedPagesLeaveNothing()
    {
        TestFiles::write(work() + "/news.mht", "first");
        TestFiles::write(work() + "/news_files/a.png", "first");
        TestFiles::write(src() + "/news.mht", "Content-Location: news_files/a.png");
        TestFiles::write(src() + "/news_files/a.png", "second");
        const auto before = tree(work());
        PageCopier copier(work());
        QCOMPARE(copier.copyPage(src() + "/news.mht"), PageCopier::Result::Refused);
        QCOMPARE(copier.failure().kind, StorageFailure::Kind::NotRenamable);
        QCOMPARE(copier.failure().path, src() + "/news.mht");
        QCOMPARE(tree(work()), before);

        // From the program's own folders nothing is taken.
        copier.setProtectedFolders({work()});
        QCOMPARE(copier.copyPage(work() + "/news.mht"), PageCopier::Result::Refused);
        QCOMPARE(copier.failure().kind, StorageFailure::Kind::InProgramFolder);
        QCOMPARE(tree(work()), before);
    }

    // A file of the page's folder this user cannot read: the copy fails with
    // the file named, nothing of the page stays, and the sources are all
    // still there. Root reads every file, so root runs the copy as another user.
    void failedCopyLeavesNothingOfThePage()
    {
        TestFiles::write(src() + "/news.htm", "news");
        TestFiles::write(src() + "/news_files/a.png", "a");
        TestFiles::write(src() + "/news_files/sub/secret.png", "secret");
        const QString secret = src() + "/news_files/sub/secret.png";
        if (TestFiles::runningAsRoot()) {
            if (QStandardPaths::findExecutable("setpriv").isEmpty())
                QSKIP("setpriv is not installed");
            ChildProcess::openToEveryone(m_dir->path());
            QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
            const ChildProcess::Report report =
                ChildProcess::runAsNobody({"copy", work(), src() + "/news.htm"});
            QVERIFY2(report.exitCode == 0, report.raw.constData());
            QVERIFY(!report.result);
            QCOMPARE(report.failures, QStringList{"NotRead:" + secret});
        } else {
            QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0) == 0);
            PageCopier copier(work());
            const PageCopier::Result result = copier.copyPage(src() + "/news.htm");
            ::chmod(QFile::encodeName(secret).constData(), 0644);
            QCOMPARE(result, PageCopier::Result::Failed);
            QCOMPARE(copier.failure().kind, StorageFailure::Kind::NotRead);
            QCOMPARE(copier.failure().path, secret);
        }
        QVERIFY(QDir(work()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(tree(src()).size(), 3);
    }

    // A working folder no file can be created in: the copy fails naming the
    // page's copy, and the source stays as it was.
    void unwritableTargetFails()
    {
        TestFiles::write(src() + "/two.htm", "two");
        TestFiles::write(src() + "/two_files/b.png", "b");
        if (!lockFolder(work(), true))
            QSKIP("cannot make a folder unchangeable here (chattr)");
        PageCopier copier(work());
        const PageCopier::Result result = copier.copyPage(src() + "/two.htm");
        lockFolder(work(), false);
        QCOMPARE(result, PageCopier::Result::Failed);
        QCOMPARE(copier.failure().kind, StorageFailure::Kind::NotCreated);
        QCOMPARE(copier.failure().path, work() + "/two.htm");
        QVERIFY(QDir(work()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(tree(src()),
                 (QMap<QString, QByteArray>{{"two.htm", "two"}, {"two_files/b.png", "b"}}));
    }

    void budgetRefusesWhatTheWriteBackWould()
    {
        using namespace ZipLimits;
        TestFiles::write(work() + "/a.htm", QByteArray(1000, 'a'));
        ArchiveBudget budget;
        budget.measure(work());
        QCOMPARE(budget.check(1, 10, 10, 5), ArchiveBudget::Verdict::Fits);
        QCOMPARE(budget.check(1, kMaxEntrySize + 1, kMaxEntrySize + 1, 5),
                 ArchiveBudget::Verdict::FileTooBig);
        // a.htm and the list file are two entries already.
        QCOMPARE(budget.check(kMaxEntries - 2, 0, 0, 5), ArchiveBudget::Verdict::Fits);
        QCOMPARE(budget.check(kMaxEntries - 1, 0, 0, 5), ArchiveBudget::Verdict::TooManyFiles);
        QCOMPARE(budget.check(5, kMaxTotalSize - 999, kMaxEntrySize, 5),
                 ArchiveBudget::Verdict::TooBig);
        budget.take(4, kMaxTotalSize - 1000, 20); // full now
        QCOMPARE(budget.check(1, kMaxEntrySize, kMaxEntrySize, 5), ArchiveBudget::Verdict::TooBig);
        const StorageFailure refusal =
            ArchiveBudget::refusal(ArchiveBudget::Verdict::TooManyFiles, "/x/y.htm");
        QCOMPARE(refusal.kind, StorageFailure::Kind::TooManyFiles);
        QCOMPARE(refusal.path, QString("/x/y.htm"));

        // A page that would not fit is refused before anything is copied.
        TestFiles::write(src() + "/big.htm", "big");
        PageCopier copier(work());
        copier.setBudget(&budget);
        QCOMPARE(copier.copyPage(src() + "/big.htm"), PageCopier::Result::Refused);
        QCOMPARE(copier.failure().kind, StorageFailure::Kind::ArchiveTooBig);
        QVERIFY(!QFileInfo::exists(work() + "/big.htm"));
    }

    // Sources go only once a zip holding the same bytes was written back.
    void originalsWaitForTheWriteBack()
    {
        const WorkFolders folders = WorkFolders::under(path("data"));
        OpenArchive archive(folders);
        QVERIFY(archive.startNew(path("arch/books.zip")));
        for (const char *name : {"one", "two", "three"}) {
            TestFiles::write(src() + "/" + name + ".htm", name);
            TestFiles::write(src() + "/" + name + "_files/sub/a.png", name);
        }
        PageCopier copier(archive.workFolder());
        for (const char *name : {"one", "two", "three"}) {
            QCOMPARE(copier.copyPage(src() + "/" + name + ".htm"), PageCopier::Result::Copied);
            archive.pages().append(name, copier.fileName());
            archive.deleteAfterWriteBack(copier.taken(), copier.takenFolders());
        }
        // Page two removed before the write-back, three's source changed since.
        archive.pages().removeAt(1);
        QVERIFY(QFile::remove(archive.workFolder() + "/two.htm"));
        QVERIFY(QDir(archive.workFolder() + "/two_files").removeRecursively());
        TestFiles::write(src() + "/three.htm", "three, edited");

        // The zip's folder is missing: the write-back fails, every source stays.
        InlineWork work;
        QVERIFY(!archive.writeBack(work));
        QCOMPARE(tree(src()).size(), 6);

        QVERIFY(QDir().mkpath(path("arch")));
        QVERIFY(archive.writeBack(work));
        QCOMPARE(tree(src()).keys(), (QStringList{"three.htm", "two.htm", "two_files/sub/a.png"}));
        QVERIFY(!QFileInfo::exists(src() + "/one_files")); // emptied folders go
        QVERIFY(!QFileInfo::exists(src() + "/three_files"));
        QCOMPARE(archive.originalsWaiting(), 0);
    }

    // Closing or setting aside forgets them: the sources stay.
    void originalsStayWhenTheArchiveIsSetAside()
    {
        OpenArchive archive(WorkFolders::under(path("data")));
        QVERIFY(archive.startNew(path("books.zip")));
        TestFiles::write(src() + "/one.htm", "one");
        PageCopier copier(archive.workFolder());
        QCOMPARE(copier.copyPage(src() + "/one.htm"), PageCopier::Result::Copied);
        archive.pages().append("one", "one.htm");
        archive.deleteAfterWriteBack(copier.taken(), copier.takenFolders());
        QVERIFY(!archive.setAside().value_or(QString()).isEmpty());
        QCOMPARE(archive.originalsWaiting(), 0);
        QVERIFY(QFileInfo::exists(src() + "/one.htm"));
    }
};

namespace {

// --child copy <work folder> <source>: takes the page at source into the work
// folder as adding pages does.
int runChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || args.at(2) != QLatin1String("copy"))
        return 2;
    PageCopier copier(args.at(3));
    const bool copied = copier.copyPage(args.at(4)) == PageCopier::Result::Copied;
    QTextStream out(stdout);
    out << "result=" << int(copied) << '\n';
    if (!copied && copier.failure().kind == StorageFailure::Kind::NotRead)
        out << "failure=" << ChildProcess::escapeLine("NotRead:" + copier.failure().path) << '\n';
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestPageCopy test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pagecopy.moc"
