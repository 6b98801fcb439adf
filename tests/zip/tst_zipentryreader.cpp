// Reading a zip's entries in memory: the same refusals as unpacking, and
// every entry checked against its size and CRC.

#include "zip/ziparchiver.h"
#include "zip/zipentryreader.h"
#include "ziptestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ZipTestKit;

class TestZipEntryReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsWhatTheWriterWrote();
    void refusesWhatUnpackingRefuses_data();
    void refusesWhatUnpackingRefuses();
    void damagedEntries_data();
    void damagedEntries();
    void emptyZipHasNoEntries();
};

void TestZipEntryReader::readsWhatTheWriterWrote()
{
    QTemporaryDir dir;
    const QString zipPath = dir.filePath(QStringLiteral("a.zip"));
    const QByteArray page = "<html><body>" + QByteArray(50000, 'x') + "</body></html>";
    QVERIFY(writeFile(dir.filePath(QStringLiteral("src/страница.htm")), page));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("src/page_files/a.css")), "body{}"));
    {
        ZipArchiver zip;
        zip.setZipFileName(zipPath);
        QCOMPARE(zip.addFile(dir.filePath(QStringLiteral("src/страница.htm")),
                             QStringLiteral("страница.htm")),
                 0);
        QCOMPARE(zip.addFile(dir.filePath(QStringLiteral("src/page_files/a.css")),
                             QStringLiteral("page_files/a.css")),
                 0);
        QVERIFY(zip.setZipFileName(QString()));
    }

    ZipEntryReader reader;
    QVERIFY2(reader.open(zipPath), qPrintable(reader.error()));
    QCOMPARE(reader.entries().size(), 2);
    QCOMPARE(reader.entries()[0].name, QStringLiteral("страница.htm")); // CP866 name decoded
    QCOMPARE(reader.entries()[1].name, QStringLiteral("page_files/a.css"));
    QCOMPARE(reader.entries()[0].size, std::uint64_t(page.size()));
    QCOMPARE(reader.entries()[0].crc, crcOf(page));
    QByteArray contents;
    QVERIFY(reader.read(0, contents, 1 << 20));
    QCOMPARE(contents, page);
    QVERIFY(reader.read(1, contents, 1 << 20));
    QCOMPARE(contents, QByteArray("body{}"));
    // Larger than the caller takes: refused before anything is inflated.
    QVERIFY(!reader.read(0, contents, 1000));
    QVERIFY(contents.isEmpty());
    QVERIFY(reader.error().contains(QStringLiteral("more than")));

    ZipEntryReader::FileStamp stamp;
    QVERIFY(ZipEntryReader::stampOf(zipPath, stamp));
    QVERIFY(stamp == reader.stamp());
    QVERIFY(!ZipEntryReader::stampOf(dir.filePath(QStringLiteral("missing.zip")), stamp));
}

void TestZipEntryReader::refusesWhatUnpackingRefuses_data()
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

void TestZipEntryReader::refusesWhatUnpackingRefuses()
{
    QFETCH(QByteArray, zip);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hostile.zip"));
    QVERIFY(writeFile(path, zip));
    ZipEntryReader reader;
    QVERIFY(!reader.open(path));
    QVERIFY(!reader.error().isEmpty());
    QVERIFY(reader.entries().isEmpty());
}

void TestZipEntryReader::damagedEntries_data()
{
    QTest::addColumn<QByteArray>("zip");
    QTest::addColumn<QString>("why");
    const QByteArray text = QByteArray("<p>some text of a page</p>").repeated(100);
    QByteArray zip = buildZip({RawEntry("page.htm", text, false)});
    zip[40] = char(zip[40] ^ 0x20); // a byte of the stored data
    QTest::newRow("stored data changed") << zip << QStringLiteral("CRC");
    auto longer = RawEntry("page.htm", text, false);
    longer.declaredSize = text.size() - 10;
    longer.declaredCompressed = text.size() - 10;
    QTest::newRow("stored, shorter than declared") << buildZip({longer}) << QStringLiteral("CRC");
}

void TestZipEntryReader::damagedEntries()
{
    QFETCH(QByteArray, zip);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.zip"));
    QVERIFY(writeFile(path, zip));
    ZipEntryReader reader;
    QVERIFY2(reader.open(path), qPrintable(reader.error()));
    QByteArray contents;
    QVERIFY(!reader.read(0, contents, 1 << 20));
    QVERIFY(contents.isEmpty());
    QVERIFY2(reader.error().contains(why), qPrintable(reader.error()));
}

void TestZipEntryReader::emptyZipHasNoEntries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.zip"));
    // Behind other bytes (a self-extractor's stub) minizip opens an empty zip
    // but finds no first entry in it; unpacking takes it as empty all the same.
    for (const QByteArray &zip : {buildZip({}), QByteArray("stub") + buildZip({})}) {
        QVERIFY(writeFile(path, zip));
        ZipEntryReader reader;
        QVERIFY2(reader.open(path), qPrintable(reader.error()));
        QVERIFY(reader.entries().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestZipEntryReader)
#include "tst_zipentryreader.moc"
