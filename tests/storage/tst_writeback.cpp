// Writing an unpacked archive back: what may go in (only regular files, read
// while they hold still) and the update that copies what did not change.

#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "storage/pagecopy.h"
#include "storage/pagelistmodel.h"
#include "storage/pagenames.h"
#include "storage/workfolders.h"
#include "support/testfiles.h"
#include "support/testzips.h"
#include "zip/entryname.h"
#include "zip/zipreader.h"
#include "zip/ziptestkit.h"
#include "zip/zipwriter.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A working folder and what the write-back keeps between two writes: the
// record of the zip the folder was unpacked from or last written to.
struct Env {
    QTemporaryDir tmp;
    WorkFolders folders = WorkFolders::under(tmp.path() + QStringLiteral("/cache"));
    ZipWriter writer;
    PageListModel pages;
    UnpackRecord record;
    std::optional<StorageFailure> failure;
    FolderZip::Progress progress;

    QString path(const QString &relative) const { return tmp.filePath(relative); }
    QString work(const QString &relative = {}) const
    {
        return relative.isEmpty() ? folders.archive : folders.archive + u'/' + relative;
    }
    // The working folder, with a list file of the pages, into zipPath.
    bool writeBack(const QString &zipPath)
    {
        failure.reset();
        if (!writeListFile(work(), pages))
            return false;
        auto written = FolderZip::write(work(), zipPath, writer, &record, progress);
        if (!written) {
            failure = written.failure();
            return false;
        }
        record = *written;
        return true;
    }
    bool unpack(const QString &zipPath)
    {
        auto unpacked = ZipReader::extract(zipPath, work());
        if (unpacked)
            record = *unpacked;
        return unpacked.hasValue();
    }
};

QByteArray noise(quint32 seed, qsizetype size)
{
    QRandomGenerator rng(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(rng.generate());
    return bytes;
}

// Why the write-back failed: the files it names.
QStringList failedFiles(const Env &env)
{
    if (!env.failure || env.failure->kind != StorageFailure::Kind::NotSaved)
        return {QStringLiteral("<no failure with files>")};
    return env.failure->files;
}

void setMTime(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// Three pages with companion folders, one name in code page 866 and one only
// UTF-8 can hold, as an archive's working folder holds them.
void fillPages(const QString &folder, PageListModel &pages)
{
    const QList<std::pair<QString, QString>> list{
        {QStringLiteral("News"), QStringLiteral("news.htm")},
        {QStringLiteral("Новости"), QStringLiteral("Новости.htm")},
        {QStringLiteral("Ёлка"), QStringLiteral("Ёлка 中文.html")}};
    quint32 seed = 1;
    for (const auto &[title, file] : list) {
        const QString base = PageNames::baseName(file);
        TestFiles::write(folder + u'/' + file,
                         (u"<html>"_qs + title + u"</html>\n"_qs).toUtf8().repeated(400));
        TestFiles::write(folder + u'/' + base + u"_files/pic.jpg"_qs, noise(seed++, 40000));
        TestFiles::write(folder + u'/' + base + u"_files/style.css"_qs,
                         QByteArray("p { margin: 0 }\n").repeated(50));
        pages.append(title, file);
    }
    QVERIFY(writeListFile(folder, pages));
}

// A zip as an older copy of the program wrote it on Windows: names in code
// page 866 with "\" between levels, no extra fields, deflate level 9.
QByteArray windowsZip(const QList<std::pair<QByteArray, QByteArray>> &files)
{
    QList<ZipTestKit::RawEntry> entries;
    for (const auto &[name, content] : files) {
        entries.append(ZipTestKit::RawEntry(name, content));
        entries.last().flags = 2; // level 9
        entries.last().versionMadeBy = 0;
    }
    return ZipTestKit::buildZip(entries);
}

} // namespace

class TestWriteBack : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void linksAreNeverFollowed_data();
    void linksAreNeverFollowed();
    void fileChangingWhileSavedFails_data();
    void fileChangingWhileSavedFails();
    void updateCopiesWhatDidNotChange_data();
    void updateCopiesWhatDidNotChange();
};

void TestWriteBack::linksAreNeverFollowed_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::newRow("link to a file") << u"stolen.htm"_qs << u"outside/passwd"_qs;
    QTest::newRow("link to a folder") << u"news_files"_qs << u"outside"_qs;
    QTest::newRow("dangling link") << u"gone.htm"_qs << u"outside/missing"_qs;
}

// A link's target never enters the zip, and the link is not quietly dropped
// either: the write-back fails naming it, and the old zip and the working
// folder stay as they were.
void TestWriteBack::linksAreNeverFollowed()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    Env env;
    const QByteArray secret = "root:x:0:0:root:/root:/bin/bash\n";
    TestFiles::write(env.path("outside/passwd"), secret);
    TestFiles::write(env.work("news.htm"), "<html>news</html>");
    TestFiles::write(env.work("news_files/a.gif"), "gif");
    env.pages.append("News", "news.htm");
    const QString zipPath = env.path("archive.zip");
    TestFiles::write(zipPath, windowsZip({{"old.htm", "old"}}));
    const QByteArray old = TestFiles::read(zipPath);
    if (link == u"news_files"_qs)
        QVERIFY(QDir(env.work(link)).removeRecursively());
    QVERIFY(QFile::link(env.path(target), env.work(link)));

    QVERIFY(!env.writeBack(zipPath));
    QCOMPARE(failedFiles(env), QStringList{link});
    QCOMPARE(TestFiles::read(zipPath), old);
    QVERIFY(QFileInfo(env.work(link)).isSymLink());
    QCOMPARE(TestFiles::read(env.path("outside/passwd")), secret);
    QCOMPARE(QDir(env.tmp.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});
}

void TestWriteBack::fileChangingWhileSavedFails_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("shrinks") << u"shrink"_qs;
    QTest::newRow("grows") << u"grow"_qs;
    QTest::newRow("rewritten, same size") << u"rewrite"_qs;
}

// An entry holding part of the old and part of the new content would be a
// damaged page reported as saved.
void TestWriteBack::fileChangingWhileSavedFails()
{
    QFETCH(QString, change);
    Env env;
    const QString victim = env.work("news_files/movie.jpg");
    TestFiles::write(victim, noise(5, 3 << 20));
    TestFiles::write(env.work("news.htm"), "<html>news</html>");
    env.pages.append("News", "news.htm");
    const QString zipPath = env.path("archive.zip");
    TestFiles::write(zipPath, windowsZip({{"old.htm", "old"}}));
    const QByteArray old = TestFiles::read(zipPath);

    bool changed = false;
    env.progress = [&](const QString &file, qint64 bytes) {
        if (bytes == 0 || env.work(file) != victim || changed)
            return;
        changed = true;
        const int fd = ::open(QFile::encodeName(victim).constData(), O_WRONLY);
        if (change == u"shrink"_qs)
            changed = ::ftruncate(fd, 1000) == 0;
        else if (change == u"grow"_qs)
            changed = ::pwrite(fd, "more", 4, 3 << 20) == 4;
        else
            changed = ::pwrite(fd, "edit", 4, 100) == 4;
        ::close(fd);
    };
    QVERIFY(!env.writeBack(zipPath));
    QVERIFY(changed);
    QCOMPARE(failedFiles(env), QStringList{"news_files/movie.jpg"});
    QCOMPARE(TestFiles::read(zipPath), old);
    QVERIFY(QFileInfo::exists(victim));
}

void TestWriteBack::updateCopiesWhatDidNotChange_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("copied");     // entries copied from the old zip
    QTest::addColumn<bool>("identical"); // byte for byte a full rewrite of the folder

    // 10 files: the list file and three pages of three files each.
    QTest::newRow("page added") << u"add"_qs << 9 << true;
    QTest::newRow("page removed") << u"remove"_qs << 6 << true;
    QTest::newRow("title renamed") << u"rename"_qs << 9 << true;
    // touch -r sets the time back, not the change time: the page is compressed again.
    QTest::newRow("same size, time set back") << u"touch"_qs << 8 << true;
    QTest::newRow("zip replaced behind our back") << u"replace zip"_qs << 0 << true;
    QTest::newRow("zip damaged after unpacking") << u"damage zip"_qs << 0 << true;
    QTest::newRow("written on Windows") << u"windows"_qs << 3 << true;
}

// Whatever happened to the folder or the zip since the unpacking, the zip
// written holds exactly the folder's files, readable by every peer, and only
// entries known to be unchanged were copied.
void TestWriteBack::updateCopiesWhatDidNotChange()
{
    QFETCH(QString, scenario);
    QFETCH(int, copied);
    QFETCH(bool, identical);
    Env env;
    const QString zipPath = env.path("zips/archive.zip");
    if (scenario == u"windows"_qs) {
        // "Страница" in Windows-1251 in the list file, in code page 866 in the zip.
        const QByteArray title = "\xD1\xF2\xF0\xE0\xED\xE8\xF6\xE0";
        const QByteArray list =
            "[This is list files by Tomekeeper]\r\n" + title + "=" + title + ".htm\r\n[end]";
        const QByteArray page = EntryName::shiftToCp866(title);
        QVERIFY(TestFiles::write(zipPath, windowsZip({{"listfile.txt", list},
                                                      {page + ".htm", noise(1, 5000)},
                                                      {page + "_files\\a.gif", noise(2, 300)},
                                                      {page + "_files\\b.gif", noise(3, 900)}})));
    } else {
        PageListModel pages;
        fillPages(env.path("original"), pages);
        ZipWriter writer;
        const auto files = FolderZip::filesBelow(env.path("original"));
        QVERIFY(files);
        QVERIFY(QDir().mkpath(env.path("zips")));
        QVERIFY(writer.write(env.path("original"), *files, zipPath, nullptr));
    }
    QVERIFY(env.unpack(zipPath));
    QVERIFY(readListFile(ListFile::path(env.work()), env.pages));

    if (scenario == u"add"_qs) {
        TestFiles::write(env.path("incoming/added.htm"), "<html>added</html>");
        TestFiles::write(env.path("incoming/added_files/x.png"), noise(9, 2000));
        PageCopier copier(env.work());
        QCOMPARE(copier.copyPage(env.path("incoming/added.htm")), PageCopier::Result::Copied);
        env.pages.append(PageNames::baseName(copier.fileName()), copier.fileName());
    } else if (scenario == u"remove"_qs) {
        QVERIFY(QFile::remove(env.work("Новости.htm")));
        QVERIFY(QDir(env.work("Новости_files")).removeRecursively());
        env.pages.removeAt(1);
    } else if (scenario == u"rename"_qs) {
        env.pages.setTitle(0, "Breaking news");
    } else if (scenario == u"touch"_qs) {
        const QString page = env.work("news.htm");
        QByteArray bytes = TestFiles::read(page);
        const QDateTime when = QFileInfo(page).lastModified();
        bytes.replace("News", "Olds");
        QVERIFY(TestFiles::write(page, bytes));
        setMTime(page, when);
        QCOMPARE(QFileInfo(page).size(), qint64(bytes.size()));
    } else if (scenario == u"replace zip"_qs) {
        // The same name, another file (here even with the same bytes).
        QVERIFY(QFile::copy(zipPath, zipPath + ".copy"));
        QVERIFY(::rename(QFile::encodeName(zipPath + ".copy").constData(),
                         QFile::encodeName(zipPath).constData()) == 0);
    } else if (scenario == u"damage zip"_qs) {
        // Bytes of the first entry's data overwritten in place, the time set back.
        const QDateTime when = QFileInfo(zipPath).lastModified();
        const int fd = ::open(QFile::encodeName(zipPath).constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        QVERIFY(::pwrite(fd, "\xFF\xFF\xFF\xFF", 4, 60) == 4);
        ::close(fd);
        setMTime(zipPath, when);
    }

    QVERIFY(env.writeBack(zipPath));
    QCOMPARE(env.writer.copiedEntries(), copied);
    const auto expected = TestZips::filesBelow(env.work());
    QCOMPARE(TestZips::contents(zipPath), expected);
    QVERIFY(TestZips::passesTest(zipPath));
    QCOMPARE(QDir(env.path("zips")).entryList(QDir::Files | QDir::Hidden),
             QStringList{"archive.zip"});

    const auto files = FolderZip::filesBelow(env.work());
    QVERIFY(files);
    ZipWriter full;
    QVERIFY(full.write(env.work(), *files, env.path("full.zip"), nullptr));
    if (identical)
        QCOMPARE(TestFiles::read(zipPath), TestFiles::read(env.path("full.zip")));

    // The zip just written serves the next write-back in turn: only the list
    // file, written afresh every time, is compressed again.
    QVERIFY(env.writeBack(zipPath));
    QCOMPARE(env.writer.copiedEntries(), expected.size() - 1);
    QCOMPARE(TestZips::contents(zipPath), expected);
}

QTEST_GUILESS_MAIN(TestWriteBack)
#include "tst_writeback.moc"
