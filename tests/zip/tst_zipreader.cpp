// Reading zips: unpacking into a folder, in any order, and reading entries
// into memory; every entry checked against its declared size and CRC, the
// same refusals either way.

#include "zip/zipextraction.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"
#include "ziptestkit.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipTestKit;

namespace {

void setMTime(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

QDateTime mtime(const QString &path)
{
    return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

// Zips every file below root, as the working folder is written back.
bool zipTree(const QString &root, const QString &zipPath)
{
    QStringList files = tree(root);
    files.removeIf([](const QString &name) { return name.endsWith(u'/'); });
    ZipWriter writer;
    return writer.write(root, files, zipPath, nullptr);
}

QString detail(const Expected<UnpackRecord, ZipFailure> &result)
{
    return result ? QString() : result.failure().detail;
}

} // namespace

class TestZipReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void anyOrderGivesTheSameRecord();
    void stoppedUnpackingFails();
    void existingFileIsReplaced();
    void folderEntriesAndEmptyFiles();
    void unwritableEntryFailsExtraction();
    void linksInDestinationAreNotFollowed();
    void emptyZip();
    void readsEntriesIntoMemory();
    void refusesWhatUnpackingRefuses_data();
    void refusesWhatUnpackingRefuses();
    void damagedEntries_data();
    void damagedEntries();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString path(const QString &rel) const { return m_tmp->filePath(rel); }
};

void TestZipReader::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestZipReader::roundTrip_data()
{
    QTest::addColumn<QStringList>("names");

    QTest::newRow("page with companion folder")
        << QStringList{u"index.htm"_qs, u"index_files/style.css"_qs, u"index_files/img/a.gif"_qs};
    QTest::newRow("cyrillic") << QStringList{u"Страница.htm"_qs, u"Страница_files/рис.gif"_qs,
                                             u"сап.htm"_qs, u"АБВ абв ЭЮЯ эюя.htm"_qs};
    QTest::newRow("utf-8 only") << QStringList{u"Ελληνικά.htm"_qs, u"中文.htm"_qs,
                                               u"中文_files/页.png"_qs, u"Ёлка.htm"_qs,
                                               u"Mixed Ж и ü.htm"_qs};
    QTest::newRow("path over 256 bytes") << QStringList{
        QString(120, u'a') + u'/' + QString(120, u'b') + u"/c_"_qs + QString(60, u'd')};
}

void TestZipReader::roundTrip()
{
    QFETCH(QStringList, names);

    const QString src = path(u"src"_qs);
    QDateTime when(QDate(2019, 6, 15), QTime(13, 37, 43));
    auto *rng = QRandomGenerator::global();
    for (int i = 0; i < names.size(); ++i) {
        QByteArray content;
        if (i == 1) { // incompressible and several blocks long
            content.resize(150000);
            rng->fillRange(reinterpret_cast<quint32 *>(content.data()), content.size() / 4);
        } else if (i == 2) {
            content = QByteArray("compressible ").repeated(20000);
        } else {
            content = names[i].toUtf8();
        }
        QVERIFY(writeFile(src + u'/' + names[i], content));
        setMTime(src + u'/' + names[i], when.addSecs(3600 * i + i));
    }

    QVERIFY(zipTree(src, path(u"a.zip"_qs)));
    const auto extracted = ZipReader::extract(path(u"a.zip"_qs), path(u"out"_qs));
    QVERIFY2(extracted, qPrintable(detail(extracted)));
    QCOMPARE(extracted->count(), names.size());

    QCOMPARE(tree(path(u"out"_qs)), tree(src));
    for (const QString &name : names) {
        QCOMPARE(readFile(path(u"out/"_qs) + name), readFile(src + u'/' + name));
        const qint64 drift = mtime(src + u'/' + name).secsTo(mtime(path(u"out/"_qs) + name));
        QVERIFY2(drift <= 0 && drift > -2, qPrintable(name + u": "_qs + QString::number(drift)));
    }
}

// Entries brought to the front come first; whatever the order, the record
// is the one an unpacking in the zip's own order leaves.
void TestZipReader::anyOrderGivesTheSameRecord()
{
    QList<RawEntry> entries;
    for (const char *n : {"a.htm", "a_files/1.gif", "b.htm", "b_files/2.gif", "c.htm"})
        entries.append({n, QByteArray("content of ") + n});
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip(entries)));
    const auto inOrder = ZipReader::extract(path(u"a.zip"_qs), path(u"in-order"_qs));
    QVERIFY2(inOrder, qPrintable(detail(inOrder)));

    ZipReader reader;
    QVERIFY(reader.open(path(u"a.zip"_qs), path(u"out"_qs)));
    ZipExtraction extraction(reader, path(u"out"_qs));
    extraction.prioritise({u"c.htm"_qs, u"b_files/2.gif"_qs});
    QVERIFY(extraction.step());
    QVERIFY(extraction.step());
    QCOMPARE(tree(path(u"out"_qs)), (QStringList{u"b_files/"_qs, u"b_files/2.gif"_qs, u"c.htm"_qs}));
    extraction.prioritise({u"c.htm"_qs, u"b.htm"_qs}); // c.htm is in already
    QVERIFY(extraction.step());
    QVERIFY(QFile::exists(path(u"out/b.htm"_qs)));
    const auto record = extraction.run();
    QVERIFY2(record, qPrintable(detail(record)));
    QCOMPARE(tree(path(u"out"_qs)), tree(path(u"in-order"_qs)));
    QVERIFY(record->isValid());
    QCOMPARE(record->count(), inOrder->count());
    for (const RawEntry &entry : entries) {
        const RecordedEntry *ours = record->find(QString::fromLatin1(entry.name));
        const RecordedEntry *theirs = inOrder->find(QString::fromLatin1(entry.name));
        QVERIFY(ours && theirs);
        QCOMPARE(ours->dataOffset, theirs->dataOffset);
        QCOMPARE(ours->crc, theirs->crc);
        QCOMPARE(ours->file.size, theirs->file.size);
    }
}

void TestZipReader::stoppedUnpackingFails()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"a.txt", "a"}, {"b.txt", "b"}})));
    ZipReader reader;
    QVERIFY(reader.open(path(u"a.zip"_qs), path(u"out"_qs)));
    ZipExtraction extraction(reader, path(u"out"_qs));
    QVERIFY(extraction.step());
    extraction.cancel();
    QVERIFY(!extraction.step());
    const auto result = extraction.result();
    QVERIFY(!result);
    QCOMPARE(result.failure().kind, ZipFailure::Kind::Cancelled);
}

void TestZipReader::existingFileIsReplaced()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"b.txt", "new b"}})));
    QVERIFY(writeFile(path(u"out/b.txt"_qs), "an older and longer b"));
    QVERIFY(ZipReader::extract(path(u"a.zip"_qs), path(u"out"_qs)));
    QCOMPARE(readFile(path(u"out/b.txt"_qs)), QByteArray("new b"));
}

void TestZipReader::folderEntriesAndEmptyFiles()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"empty/", ""},
                                                   {"deep/er/", ""},
                                                   {"deep/er/zero.txt", ""},
                                                   {"stored.txt", "stored", false},
                                                   {"zero.txt", "", false}})));
    const auto extracted = ZipReader::extract(path(u"a.zip"_qs), path(u"out"_qs));
    QVERIFY2(extracted, qPrintable(detail(extracted)));
    QCOMPARE(tree(path(u"out"_qs)),
             (QStringList{u"deep/"_qs, u"deep/er/"_qs, u"deep/er/zero.txt"_qs, u"empty/"_qs,
                          u"stored.txt"_qs, u"zero.txt"_qs}));
    QCOMPARE(QFileInfo(path(u"out/zero.txt"_qs)).size(), 0);
    QCOMPARE(readFile(path(u"out/stored.txt"_qs)), QByteArray("stored"));
}

// Skipping such an entry silently would leave the file out of the archive at
// the next write-back.
void TestZipReader::unwritableEntryFailsExtraction()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"a", "file"}, {"a/b.txt", "under a file"}})));
    const auto extracted = ZipReader::extract(path(u"a.zip"_qs), path(u"out"_qs));
    QVERIFY(!extracted);
    QVERIFY2(extracted.failure().detail.contains(u"a/b.txt"_qs), qPrintable(detail(extracted)));
}

void TestZipReader::linksInDestinationAreNotFollowed()
{
    QVERIFY(writeFile(path(u"outside/target.txt"_qs), "outside"));
    QVERIFY(QDir().mkpath(path(u"out"_qs)));
    QVERIFY(QFile::link(path(u"outside"_qs), path(u"out/dir"_qs)));
    QVERIFY(QFile::link(path(u"outside/target.txt"_qs), path(u"out/file.txt"_qs)));

    QVERIFY(writeFile(path(u"file.zip"_qs), buildZip({{"file.txt", "inside"}})));
    // The link is replaced by a real file.
    QVERIFY(ZipReader::extract(path(u"file.zip"_qs), path(u"out"_qs)));
    QVERIFY(!QFileInfo(path(u"out/file.txt"_qs)).isSymLink());
    QCOMPARE(readFile(path(u"out/file.txt"_qs)), QByteArray("inside"));

    QVERIFY(writeFile(path(u"dir.zip"_qs), buildZip({{"dir/new.txt", "inside"}})));
    const auto extracted = ZipReader::extract(path(u"dir.zip"_qs), path(u"out"_qs));
    QVERIFY(!extracted);
    QVERIFY(extracted.failure().detail.contains(u"dir/new.txt"_qs));
    QCOMPARE(tree(path(u"outside"_qs)), QStringList{u"target.txt"_qs});
    QCOMPARE(readFile(path(u"outside/target.txt"_qs)), QByteArray("outside"));
}

void TestZipReader::emptyZip()
{
    ZipWriter writer;
    QVERIFY(QDir().mkpath(path(u"empty"_qs)));
    QVERIFY(writer.write(path(u"empty"_qs), {}, path(u"a.zip"_qs), nullptr));
    const auto extracted = ZipReader::extract(path(u"a.zip"_qs), path(u"out"_qs));
    QVERIFY2(extracted, qPrintable(detail(extracted)));
    QCOMPARE(extracted->count(), 0);
    // Behind other bytes (a self-extractor's stub) minizip finds no first
    // entry in an empty directory; such a zip is as empty all the same.
    QVERIFY(writeFile(path(u"stub.zip"_qs), "stub" + readFile(path(u"a.zip"_qs))));
    for (const QString &zip : {path(u"a.zip"_qs), path(u"stub.zip"_qs)}) {
        ZipReader reader;
        QVERIFY(reader.open(zip));
        QVERIFY(reader.entries().isEmpty());
    }
    const auto behindStub = ZipReader::extract(path(u"stub.zip"_qs), path(u"out2"_qs));
    QVERIFY2(behindStub, qPrintable(detail(behindStub)));
    QCOMPARE(behindStub->count(), 0);
}

void TestZipReader::readsEntriesIntoMemory()
{
    const QString zipPath = path(u"a.zip"_qs);
    const QByteArray page = "<html><body>" + QByteArray(50000, 'x') + "</body></html>";
    QVERIFY(writeFile(path(u"src/страница.htm"_qs), page));
    QVERIFY(writeFile(path(u"src/page_files/a.css"_qs), "body{}"));
    ZipWriter writer;
    QVERIFY(writer.write(path(u"src"_qs), {u"страница.htm"_qs, u"page_files/a.css"_qs}, zipPath,
                         nullptr));

    ZipReader reader;
    QVERIFY(reader.open(zipPath));
    QCOMPARE(reader.entries().size(), 2);
    QCOMPARE(reader.entries()[0].name, u"страница.htm"_qs); // CP866 name decoded
    QCOMPARE(reader.entries()[1].name, u"page_files/a.css"_qs);
    QCOMPARE(reader.entries()[0].size, std::uint64_t(page.size()));
    QCOMPARE(reader.entries()[0].crc, crcOf(page));
    auto contents = reader.read(0, 1 << 20);
    QVERIFY(contents);
    QCOMPARE(*contents, page);
    contents = reader.read(1, 1 << 20);
    QVERIFY(contents);
    QCOMPARE(*contents, QByteArray("body{}"));
    // Larger than the caller takes: refused before anything is inflated.
    contents = reader.read(0, 1000);
    QVERIFY(!contents);
    QCOMPARE(contents.failure().kind, ZipFailure::Kind::TooLarge);

    ZipReader::FileStamp stamp;
    QVERIFY(ZipReader::stampOf(zipPath, stamp));
    QVERIFY(stamp == reader.stamp());
    QVERIFY(!ZipReader::stampOf(path(u"missing.zip"_qs), stamp));
}

void TestZipReader::refusesWhatUnpackingRefuses_data()
{
    QTest::addColumn<QByteArray>("zip");
    auto link = RawEntry("link.htm", "/etc/passwd");
    link.versionMadeBy = 0x031E; // Unix
    link.externalAttributes = 0120777u << 16;
    auto encrypted = RawEntry("page.htm", "text");
    encrypted.flags = 1;
    auto bomb = RawEntry("page.htm", "text");
    bomb.declaredSize = 100000000;
    QTest::newRow("parent folder") << buildZip({RawEntry("../page.htm", "text")});
    QTest::newRow("absolute") << buildZip({RawEntry("/tmp/page.htm", "text")});
    QTest::newRow("symbolic link") << buildZip({link});
    QTest::newRow("encrypted") << buildZip({encrypted});
    QTest::newRow("claims to unpack too much") << buildZip({bomb});
    QTest::newRow("not a zip") << QByteArray("<html>not a zip</html>");
    QTest::newRow("cut short") << buildZip({RawEntry("page.htm", QByteArray(5000, 'a'))}).left(60);
}

void TestZipReader::refusesWhatUnpackingRefuses()
{
    QFETCH(QByteArray, zip);
    const QString hostile = path(u"hostile.zip"_qs);
    QVERIFY(writeFile(hostile, zip));
    ZipReader reader;
    const auto opened = reader.open(hostile);
    QVERIFY(!opened);
    QVERIFY(!opened.failure().detail.isEmpty());
    QVERIFY(reader.entries().isEmpty());
}

void TestZipReader::damagedEntries_data()
{
    QTest::addColumn<QByteArray>("zip");
    QTest::addColumn<QString>("why");
    const QByteArray text = QByteArray("<p>some text of a page</p>").repeated(100);
    QByteArray zip = buildZip({RawEntry("page.htm", text, false)});
    zip[40] = char(zip[40] ^ 0x20); // a byte of the stored data
    QTest::newRow("stored data changed") << zip << u"CRC"_qs;
    auto longer = RawEntry("page.htm", text, false);
    longer.declaredSize = text.size() - 10;
    longer.declaredCompressed = text.size() - 10;
    QTest::newRow("stored, shorter than declared") << buildZip({longer}) << u"CRC"_qs;
}

// In memory or unpacked, a damaged entry fails, and leaves no file behind.
void TestZipReader::damagedEntries()
{
    QFETCH(QByteArray, zip);
    QFETCH(QString, why);
    const QString damaged = path(u"damaged.zip"_qs);
    QVERIFY(writeFile(damaged, zip));
    ZipReader reader;
    QVERIFY(reader.open(damaged));
    const auto contents = reader.read(0, 1 << 20);
    QVERIFY(!contents);
    QCOMPARE(contents.failure().kind, ZipFailure::Kind::EntryDamaged);
    QVERIFY2(contents.failure().detail.contains(why), qPrintable(contents.failure().detail));

    const auto extracted = ZipReader::extract(damaged, path(u"out"_qs));
    QVERIFY(!extracted);
    QVERIFY2(extracted.failure().detail.contains(why), qPrintable(detail(extracted)));
    QCOMPARE(tree(path(u"out"_qs)), QStringList());
}

QTEST_GUILESS_MAIN(TestZipReader)
#include "tst_zipreader.moc"
