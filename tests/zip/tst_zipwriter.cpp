#include "zip/entryname.h"
#include "zip/zipformat.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"
#include "ziptestkit.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <minizip/zip.h>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipTestKit;

namespace {

QByteArray noise(quint32 seed, qsizetype size)
{
    QRandomGenerator rng(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(rng.generate());
    return bytes;
}

// Files in the order the writer gets them.
QStringList listed(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    return files;
}

// A working folder as the program keeps them: pages, companion folders,
// names in every encoding, an empty file, files over one output block.
void makeFolder(const QString &root)
{
    QVERIFY(writeFile(root + u"/listfile.txt"_qs, "[This is list files by Tomekeeper]\r\n[end]"));
    QVERIFY(writeFile(root + u"/index.htm"_qs, QByteArray("<p>index</p>\n").repeated(3000)));
    QVERIFY(writeFile(root + u"/index_files/pic.jpg"_qs, noise(1, 700 * 1024)));
    QVERIFY(writeFile(root + u"/index_files/empty.gif"_qs, QByteArray()));
    QVERIFY(writeFile(root + u"/Страница.htm"_qs, u"страница "_qs.toUtf8().repeated(500)));
    QVERIFY(writeFile(root + u"/Страница_files/рис.png"_qs, noise(2, 9000)));
    QVERIFY(writeFile(root + u"/Ёлка 中文.htm"_qs, QByteArray("utf-8 only")));
    QByteArray text;
    for (int i = 0; i < 60000; ++i)
        text += "line " + QByteArray::number(i * 7919 % 10007) + '\n';
    QVERIFY(writeFile(root + u"/long.htm"_qs, text)); // several blocks of output
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 8));
    for (const QString &file : listed(root)) {
        QFile f(root + u'/' + file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    }
}

// The same folder through minizip, entry by entry, with the same names,
// times and level: what every older copy of the program wrote.
QByteArray minizipBytes(const QString &root, const QStringList &files, const QString &zipPath)
{
    zipFile zip = zipOpen64(QFile::encodeName(zipPath).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return {};
    bool ok = true;
    for (const QString &file : files) {
        const auto name = EntryName::encode(file);
        const QByteArray bytes = readFile(root + u'/' + file);
        zip_fileinfo info{};
        info.dosDate = ZipFormat::toDosDate(QFileInfo(root + u'/' + file).lastModified().toSecsSinceEpoch());
        const auto extraSize = uInt(name ? name->extra.size() : 0);
        const char *extra = extraSize ? name->extra.constData() : nullptr;
        ok = ok && name &&
             zipOpenNewFileInZip4(zip, name->name.constData(), &info, extra, extraSize, extra,
                                  extraSize, nullptr, Z_DEFLATED, ZipFormat::kCompressionLevel, 0,
                                  -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                  name->flags) == ZIP_OK;
        // In the blocks those copies read files in.
        for (qsizetype at = 0; ok && at < bytes.size(); at += 8192)
            ok = zipWriteInFileInZip(zip, bytes.constData() + at,
                                     unsigned(std::min<qsizetype>(8192, bytes.size() - at))) ==
                 ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    return ok ? readFile(zipPath) : QByteArray();
}

} // namespace

class TestZipWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void sameBytesAsEntryByEntryWriter_data();
    void sameBytesAsEntryByEntryWriter();
    void refusedFiles_data();
    void refusedFiles();
    void changedWhileRead_data();
    void changedWhileRead();
    void copiesOnlyUnchangedEntries_data();
    void copiesOnlyUnchangedEntries();
    void outputWaitingIsBounded();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString path(const QString &rel) const { return m_tmp->filePath(rel); }
};

void TestZipWriter::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestZipWriter::sameBytesAsEntryByEntryWriter_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<qint64>("budget");
    QTest::newRow("one thread") << 1 << qint64(8 << 20);
    QTest::newRow("every core") << 0 << qint64(8 << 20);
    // Later entries wait for their turn block by block; the header of an entry
    // still being compressed is filled in afterwards.
    QTest::newRow("four threads, no budget") << 4 << qint64(1);
}

// Peers see what they saw before: names, flags, extra fields, dates and data
// are those of the minizip writer, whatever the number of threads.
void TestZipWriter::sameBytesAsEntryByEntryWriter()
{
    QFETCH(int, threads);
    QFETCH(qint64, budget);
    const QString src = path(u"src"_qs);
    makeFolder(src);
    const QStringList files = listed(src);
    const QByteArray reference = minizipBytes(src, files, path(u"minizip.zip"_qs));
    QVERIFY(!reference.isEmpty());

    ZipWriter writer;
    writer.setThreadCount(threads);
    writer.setBufferBudget(std::uint64_t(budget));
    QVERIFY2(writer.write(src, files, path(u"ours.zip"_qs), nullptr), qPrintable(writer.error()));
    QVERIFY(writer.failedFiles().isEmpty());
    QCOMPARE(writer.copiedEntries(), 0);
    QCOMPARE(readFile(path(u"ours.zip"_qs)), reference);
    QCOMPARE(run(u"unzip"_qs, {u"-tq"_qs, path(u"ours.zip"_qs)}), 0);
}

void TestZipWriter::refusedFiles_data()
{
    QTest::addColumn<QString>("victim");
    QTest::addColumn<QString>("linkTarget"); // empty: a named pipe; "=": a file of its own
    QTest::newRow("link to a file outside") << u"page.htm"_qs << u"outside/secret.txt"_qs;
    QTest::newRow("link to a folder on the way") << u"page_files/secret.txt"_qs << u"outside"_qs;
    QTest::newRow("named pipe") << u"pipe.htm"_qs << QString();
    // Stored as "x/y.htm" it would be another file, or clash with a folder x.
    QTest::newRow("a name a zip reads as a folder") << u"x\\y.htm"_qs << u"="_qs;
}

// Only regular files are read, never through a link, and only under names
// a zip keeps as they are: the write fails and names the file, and no byte
// of what a link points to is written.
void TestZipWriter::refusedFiles()
{
    QFETCH(QString, victim);
    QFETCH(QString, linkTarget);
    const QString src = path(u"src"_qs);
    const QByteArray secret = "root:x:0:0:the secret bytes";
    QVERIFY(writeFile(path(u"outside/secret.txt"_qs), secret));
    QVERIFY(writeFile(src + u"/a.htm"_qs, "a"));
    QVERIFY(writeFile(src + u"/z.htm"_qs, "z"));
    const QString file = src + u'/' + victim;
    if (linkTarget.isEmpty()) {
        QVERIFY(::mkfifo(QFile::encodeName(file).constData(), 0644) == 0);
    } else if (linkTarget == u"=") {
        QVERIFY(writeFile(file, "a page"));
    } else {
        const QString link = src + u'/' + victim.section(u'/', 0, 0);
        QVERIFY(QFile::link(path(linkTarget), link));
    }

    ZipWriter writer;
    const QString zipPath = path(u"out.zip"_qs);
    QVERIFY(!writer.write(src, {u"a.htm"_qs, victim, u"z.htm"_qs}, zipPath, nullptr));
    QCOMPARE(writer.failedFiles(), QStringList{victim});
    QVERIFY2(writer.error().contains(victim), qPrintable(writer.error()));
    QVERIFY(!readFile(zipPath).contains(secret));
    QVERIFY(!readFile(zipPath).contains(ZipTestKit::deflateRaw(secret)));
}

void TestZipWriter::changedWhileRead_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("shrinks") << u"shrink"_qs;
    QTest::newRow("grows") << u"grow"_qs;
    QTest::newRow("rewritten, same size") << u"rewrite"_qs;
}

// A file must hold still while it is read; otherwise its entry would be
// neither the old nor the new content.
void TestZipWriter::changedWhileRead()
{
    QFETCH(QString, change);
    const QString src = path(u"src"_qs);
    const QString victim = src + u"/big.jpg"_qs;
    QVERIFY(writeFile(victim, noise(3, 2 << 20)));
    QVERIFY(writeFile(src + u"/small.htm"_qs, "small"));

    ZipWriter writer;
    std::atomic<bool> changed = false;
    std::atomic<bool> changedOk = false;
    writer.onProgress = [&](const QString &file, qint64 bytes) {
        if (file != u"big.jpg"_qs || bytes == 0 || changed.exchange(true))
            return;
        // On a compressing thread: no test macros here.
        const int fd = ::open(QFile::encodeName(victim).constData(), O_WRONLY);
        if (change == u"shrink"_qs)
            changedOk = ::ftruncate(fd, 1000) == 0;
        else if (change == u"grow"_qs)
            changedOk = ::pwrite(fd, "more", 4, 2 << 20) == 4;
        else
            changedOk = ::pwrite(fd, "edit", 4, 100) == 4;
        ::close(fd);
    };
    QVERIFY(!writer.write(src, {u"small.htm"_qs, u"big.jpg"_qs}, path(u"out.zip"_qs), nullptr));
    QVERIFY(changedOk);
    QCOMPARE(writer.failedFiles(), QStringList{u"big.jpg"_qs});
}

void TestZipWriter::copiesOnlyUnchangedEntries_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("copied"); // of the 8 files
    QTest::newRow("nothing") << u"none"_qs << 8;
    QTest::newRow("same size, time set back") << u"touch -r"_qs << 7;
    QTest::newRow("file replaced by a copy") << u"replace"_qs << 7;
    // A write in the same clock tick as the unpacking leaves even the change
    // time as recorded: only the content can tell.
    QTest::newRow("written within the recorded tick") << u"tick"_qs << 7;
    QTest::newRow("zip replaced") << u"zip"_qs << 0;
    QTest::newRow("other folder") << u"folder"_qs << 0;
}

// What an unpacking recorded lets the writer copy entries, and only those it
// can be sure of; the zip is the same as one written from scratch.
void TestZipWriter::copiesOnlyUnchangedEntries()
{
    QFETCH(QString, change);
    QFETCH(int, copied);
    const QString src = path(u"src"_qs);
    makeFolder(src);
    const QString oldZip = path(u"old.zip"_qs);
    ZipWriter writer;
    QVERIFY(writer.write(src, listed(src), oldZip, nullptr));

    const QString work = path(u"work"_qs);
    const auto unpacked = ZipReader::extract(oldZip, work);
    QVERIFY(unpacked);
    UnpackRecord record = *unpacked;
    QVERIFY(record.isValid());
    QCOMPARE(record.count(), 8);

    const QString page = work + u"/index.htm"_qs;
    if (change == u"touch -r"_qs) {
        QByteArray bytes = readFile(page);
        bytes[5] = 'X';
        QVERIFY(writeFile(page, bytes));
        QCOMPARE(run(u"touch"_qs, {u"-r"_qs, src + u"/index.htm"_qs, page}), 0);
        QCOMPARE(QFileInfo(page).lastModified(), QFileInfo(src + u"/index.htm"_qs).lastModified());
    } else if (change == u"tick"_qs) {
        const int fd = ::open(QFile::encodeName(page).constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, "X", 1, 5), ssize_t(1));
        ::close(fd);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(page).constData(), &st), 0);
        RecordedEntry entry = *record.find(u"index.htm"_qs);
        entry.file = FileIdentity::of(st);
        record.add(entry);
    } else if (change == u"replace"_qs) {
        QVERIFY(QFile::copy(page, page + u".new"_qs));
        QCOMPARE(run(u"touch"_qs, {u"-r"_qs, page, page + u".new"_qs}), 0);
        QVERIFY(::rename(QFile::encodeName(page + u".new"_qs).constData(),
                         QFile::encodeName(page).constData()) == 0);
    } else if (change == u"zip"_qs) {
        // The same bytes under the same name, but not the file that was read.
        QVERIFY(QFile::copy(oldZip, oldZip + u".new"_qs));
        QVERIFY(::rename(QFile::encodeName(oldZip + u".new"_qs).constData(),
                         QFile::encodeName(oldZip).constData()) == 0);
    } else if (change == u"folder"_qs) {
        record.setFolder(src);
    }

    const QStringList files = listed(work);
    QVERIFY2(writer.write(work, files, path(u"new.zip"_qs), &record), qPrintable(writer.error()));
    QCOMPARE(writer.copiedEntries(), copied);
    ZipWriter full;
    QVERIFY(full.write(work, files, path(u"full.zip"_qs), nullptr));
    QCOMPARE(readFile(path(u"new.zip"_qs)), readFile(path(u"full.zip"_qs)));

    // What the write leaves is a record for the next one.
    UnpackRecord next = writer.written();
    next.setZip(path(u"new.zip"_qs), [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path(u"new.zip"_qs)).constData(), &st);
        return FileIdentity::of(st);
    }());
    QVERIFY(writer.write(work, files, path(u"again.zip"_qs), &next));
    QCOMPARE(writer.copiedEntries(), 8);
    QCOMPARE(readFile(path(u"again.zip"_qs)), readFile(path(u"full.zip"_qs)));
}

// Memory stays flat however big the archive: later entries wait for their turn
// once the budget is spent.
void TestZipWriter::outputWaitingIsBounded()
{
    const QString src = path(u"src"_qs);
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        files << QStringLiteral("pic%1.jpg").arg(i);
        QVERIFY(writeFile(src + u'/' + files.last(), noise(10 + i, 3 << 20)));
    }
    ZipWriter writer;
    writer.setThreadCount(4);
    writer.setBufferBudget(1 << 20);
    QVERIFY(writer.write(src, files, path(u"out.zip"_qs), nullptr));
    // The budget, plus what the entry being written may have ahead of the file.
    QVERIFY2(writer.peakBuffered() <= (2u << 20) + (256u << 10),
             qPrintable(QString::number(writer.peakBuffered())));
    QCOMPARE(run(u"unzip"_qs, {u"-tq"_qs, path(u"out.zip"_qs)}), 0);
}

QTEST_GUILESS_MAIN(TestZipWriter)
#include "tst_zipwriter.moc"
