// Hostile and damaged zips: each is refused, writes nothing outside the
// destination and leaves no file behind in it.

#include "zip/zipguard.h"
#include "zip/zipreader.h"
#include "ziptestkit.h"

#include <QTemporaryDir>
#include <QTest>

using namespace ZipTestKit;

namespace {

// A unique name, so that a file that escapes can be looked for in /tmp and /etc.
QByteArray token()
{
    static const QByteArray t =
        "tomekeeper-escape-" + QByteArray::number(QCoreApplication::applicationPid());
    return t;
}

RawEntry withFlags(RawEntry e, quint16 flags)
{
    e.flags = flags;
    return e;
}

RawEntry declared(RawEntry e, qint64 size, qint64 packed = -1)
{
    e.declaredSize = size;
    e.declaredCompressed = packed;
    return e;
}

RawEntry at(RawEntry e, qint64 offset)
{
    e.directoryOffset = offset;
    return e;
}

QByteArray flipByte(QByteArray zip, qsizetype at)
{
    zip[at] = char(zip[at] ^ 0x55);
    return zip;
}

} // namespace

class TestZipSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refused_data();
    void refused();
    void refusedBeforeUnzipOpens_data();
    void refusedBeforeUnzipOpens();
    void sharedFoldersUnpack();
    void additionLimits_data();
    void additionLimits();
};

void TestZipSafety::refused_data()
{
    QTest::addColumn<QByteArray>("zip");
    QTest::addColumn<QString>("reason"); // part of lastError()

    const QByteArray text = QByteArray("a line of a saved web page\n").repeated(400);
    const RawEntry good("good.txt", "good");
    const QByteArray escape = "tmp/" + token() + ".txt";

    QTest::newRow("parents up to /tmp")
        << buildZip({good, {QByteArray("../").repeated(20) + escape, "evil"}}) << u"\"..\""_qs;
    QTest::newRow("parents with backslashes")
        << buildZip({good, {QByteArray("..\\").repeated(20) + "tmp\\" + token() + ".txt", "evil"}})
        << u"\"..\""_qs;
    QTest::newRow("one level up") << buildZip({{"../outside.txt", "evil"}}) << u"\"..\""_qs;
    QTest::newRow("parents inside") << buildZip({{"a/../../x", "evil"}}) << u"\"..\""_qs;
    QTest::newRow("current folder") << buildZip({{"./a.txt", "evil"}}) << u"\".\""_qs;
    QTest::newRow("absolute") << buildZip({{"/etc/" + token(), "evil"}}) << u"absolute"_qs;
    QTest::newRow("network path") << buildZip({{"//srv/x", "evil"}}) << u"absolute"_qs;
    QTest::newRow("drive and root") << buildZip({{"C:\\x", "evil"}}) << u"drive"_qs;
    QTest::newRow("drive alone") << buildZip({{"C:x", "evil"}}) << u"drive"_qs;
    QTest::newRow("control character") << buildZip({{"a\x01.txt", "evil"}}) << u"control"_qs;
    QTest::newRow("empty name") << buildZip({good, {"", "evil"}}) << u"empty"_qs;

    RawEntry link("link", "..");
    link.versionMadeBy = 0x0314; // made on Unix
    link.externalAttributes = 0120777u << 16;
    QTest::newRow("symlink then a file through it")
        << buildZip({link, {"link/" + token() + ".txt", "evil"}}) << u"symbolic link"_qs;

    QTest::newRow("encrypted") << buildZip({good, withFlags({"secret.txt", "x"}, 1)})
                               << u"encrypted"_qs;

    // Many entries over one block of compressed data: the classic way to
    // multiply a small zip into a huge unpacked size.
    QList<RawEntry> shared{{"0.txt", text}};
    for (int i = 1; i < 100; ++i)
        shared.append(at({QByteArray::number(i) + ".txt", text}, 0));
    QTest::newRow("entries sharing data") << buildZip(shared) << u"overlaps"_qs;

    // An entry whose data quotes the next entry's header and data.
    const RawEntry inner("inner.txt", text);
    const RawEntry outer("outer.txt", inner.localRecord(), false);
    QTest::newRow("entry inside another")
        << buildZip({outer, at(inner, 30 + outer.name.size())}) << u"overlaps"_qs;

    QTest::newRow("ratio beyond deflate")
        << buildZip({declared({"bomb.txt", QByteArray(1000, 'x')}, 100 << 20)}) << u"deflate"_qs;
    QTest::newRow("inflates past its declared size")
        << buildZip({declared({"bomb.txt", QByteArray(1 << 20, '\0')}, 1024)}) << u"bomb.txt"_qs;
    QTest::newRow("entry over 1 GiB")
        << buildZip({declared({"big.bin", "x"}, (qint64(1) << 30) + 1, 4 << 20)}) << u"1 GiB"_qs;
    QList<RawEntry> large;
    for (int i = 0; i < 5; ++i)
        large.append(declared({QByteArray::number(i), "x"}, qint64(1) << 30, 2 << 20));
    QTest::newRow("total over 4 GiB") << buildZip(large) << u"4 GiB"_qs;
    QList<RawEntry> many;
    for (int i = 0; i < 20001; ++i)
        many.append({QByteArray::number(i), {}, false});
    QTest::newRow("20,001 entries") << buildZip(many) << u"entries"_qs;

    // Two entries landing in one place: unpacking would stop half-way, or the
    // later would replace the earlier, whose data the next write-back drops.
    QTest::newRow("file, then a folder of its name")
        << buildZip({good, {"a", "file"}, {"a/", {}}}) << u"a file and a folder"_qs;
    QTest::newRow("folder, then a file of its name")
        << buildZip({good, {"a/", {}}, {"a", "file"}}) << u"a file and a folder"_qs;
    QTest::newRow("file, then a file below it")
        << buildZip({good, {"a", "file"}, {"a/b", "below"}}) << u"which is a file"_qs;
    QTest::newRow("file below, then the file")
        << buildZip({good, {"a/b/c", "below"}, {"a/b", "file"}}) << u"\"a/b\", which is a file"_qs;
    QTest::newRow("file, then a file below it with a backslash")
        << buildZip({good, {"a", "file"}, {"a\\b", "below"}}) << u"which is a file"_qs;
    QTest::newRow("one name with either separator")
        << buildZip({good, {"a\\b.htm", "one"}, {"a/b.htm", "two"}}) << u"same name"_qs;
    QTest::newRow("one name twice") << buildZip({good, {"page.htm", "one"}, {"page.htm", "two"}})
                                    << u"two entries have the same name"_qs;
    QTest::newRow("doubled separator")
        << buildZip({good, {"a//b", "one"}, {"a/b", "two"}}) << u"same name"_qs;

    const QByteArray whole = buildZip({good, {"page.htm", text}});
    QTest::newRow("truncated") << whole.left(whole.size() / 2) << u"zip"_qs;
    QTest::newRow("end record cut") << whole.left(whole.size() - 5) << u"zip"_qs;
    const qsizetype data = whole.indexOf("page.htm") + 8; // the second entry's data
    QTest::newRow("flipped byte in deflated data") << flipByte(whole, data + 20) << u"page.htm"_qs;
    const QByteArray stored = buildZip({{"page.htm", text, false}});
    QTest::newRow("flipped byte in stored data")
        << flipByte(stored, stored.indexOf("page.htm") + 8 + 100) << u"CRC"_qs;
    QTest::newRow("local header missing")
        << buildZip({at({"a.txt", "x"}, 5000)}) << u"local header"_qs;

    // The name length field holds at most 65,535 bytes: one longer name cannot
    // be written, so a maximal name and a length running past the directory stand in.
    QTest::newRow("65,535-byte name") << buildZip({{QByteArray(65535, 'a'), "x"}}) << u"255"_qs;
    RawEntry lying("short", "x");
    lying.nameLengthField = 65535;
    QTest::newRow("name length past the directory") << buildZip({lying}) << u"damaged"_qs;
    QTest::newRow("text file") << QByteArray("This is not a zip file.\n").repeated(10) << u"zip"_qs;
    QTest::newRow("empty file") << QByteArray() << u"zip"_qs;
}

void TestZipSafety::refused()
{
    QFETCH(QByteArray, zip);
    QFETCH(QString, reason);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    // The destination sits a few levels down, so that "../" has somewhere to go.
    const QString dest = tmp.filePath(u"a/b/c/dest"_qs);
    QVERIFY(QDir().mkpath(dest));
    QVERIFY(writeFile(tmp.filePath(u"a/b/keep.txt"_qs), "keep"));
    QVERIFY(writeFile(tmp.filePath(u"evil.zip"_qs), zip));
    const QStringList before = tree(tmp.path());

    const auto extracted = ZipReader::extract(tmp.filePath(u"evil.zip"_qs), dest);
    QVERIFY(!extracted);
    QVERIFY2(extracted.failure().detail.contains(reason), qPrintable(extracted.failure().detail));

    QStringList written = tree(dest);
    written.removeIf([](const QString &p) { return p.endsWith(u'/'); });
    QVERIFY2(written.isEmpty() || written == QStringList{u"good.txt"_qs},
             qPrintable(written.join(u' ')));
    QStringList after = tree(tmp.path());
    after.removeIf(
        [](const QString &p) { return p.startsWith(u"a/b/c/dest/"_qs) && p.size() > 11; });
    QCOMPARE(after, before);
    QCOMPARE(readFile(tmp.filePath(u"a/b/keep.txt"_qs)), QByteArray("keep"));
    QVERIFY(!QFile::exists(u"/tmp/"_qs + QString::fromLatin1(token()) + u".txt"_qs));
    QVERIFY(!QFile::exists(u"/etc/"_qs + QString::fromLatin1(token())));
}

// The checks run before anything is unpacked: a refused archive leaves the
// destination exactly as it was, even its folders.
void TestZipSafety::refusedBeforeUnzipOpens_data()
{
    QTest::addColumn<QByteArray>("zip");
    const RawEntry good("good/file.txt", "good");
    QTest::newRow("bad name last") << buildZip({good, {"x/../../y", "evil"}});
    RawEntry link("good/link", "/");
    link.versionMadeBy = 0x0314;
    link.externalAttributes = 0120777u << 16;
    QTest::newRow("symlink last") << buildZip({good, link});
    QTest::newRow("shared data last") << buildZip({good, at({"again.txt", "good"}, 0)});
    QTest::newRow("file where a folder is") << buildZip({good, {"good", "file"}});
    QTest::newRow("same file twice") << buildZip({good, {"good\\file.txt", "again"}});
}

void TestZipSafety::refusedBeforeUnzipOpens()
{
    QFETCH(QByteArray, zip);
    QTemporaryDir tmp;
    QVERIFY(writeFile(tmp.filePath(u"evil.zip"_qs), zip));
    QVERIFY(!ZipReader::extract(tmp.filePath(u"evil.zip"_qs), tmp.filePath(u"dest"_qs)));
    QVERIFY(!QFileInfo::exists(tmp.filePath(u"dest"_qs)));
}

// Folders named more than once, by folder entries or by the files in them,
// are one folder: nothing is lost, and the archive unpacks.
void TestZipSafety::sharedFoldersUnpack()
{
    QTemporaryDir tmp;
    QVERIFY(writeFile(tmp.filePath(u"shared.zip"_qs), buildZip({{"a/", {}},
                                                                {"a/", {}},
                                                                {"a/b", "one"},
                                                                {"a\\c", "two"},
                                                                {"a/d/", {}},
                                                                {"a/d/e", "three"},
                                                                {"ab", "four"}})));
    const auto extracted =
        ZipReader::extract(tmp.filePath(u"shared.zip"_qs), tmp.filePath(u"dest"_qs));
    QVERIFY2(extracted, qPrintable(extracted ? QString() : extracted.failure().detail));
    QCOMPARE(readFile(tmp.filePath(u"dest/a/b"_qs)), QByteArray("one"));
    QCOMPARE(readFile(tmp.filePath(u"dest/a/c"_qs)), QByteArray("two"));
    QCOMPARE(readFile(tmp.filePath(u"dest/a/d/e"_qs)), QByteArray("three"));
    QCOMPARE(readFile(tmp.filePath(u"dest/ab"_qs)), QByteArray("four"));
}

void TestZipSafety::additionLimits_data()
{
    QTest::addColumn<quint64>("entries");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<quint64>("zipBytes");
    QTest::addColumn<quint64>("size");
    QTest::addColumn<bool>("allowed");

    const quint64 GiB = quint64(1) << 30;
    QTest::newRow("empty zip") << quint64(0) << quint64(0) << quint64(0) << quint64(1000) << true;
    QTest::newRow("entry of exactly 1 GiB")
        << quint64(0) << quint64(0) << quint64(0) << GiB << true;
    QTest::newRow("20,000th entry")
        << quint64(19999) << quint64(0) << quint64(0) << quint64(1) << true;
    QTest::newRow("20,001st entry")
        << quint64(20000) << quint64(0) << quint64(0) << quint64(1) << false;
    QTest::newRow("total just under 4 GiB")
        << quint64(3) << 3 * GiB << 3 * GiB / 2 << GiB - 1000000 << true;
    QTest::newRow("total over 4 GiB") << quint64(4) << 3 * GiB + 1 << GiB << GiB << false;
    // Little compression so far: the zip file itself would pass 4 GiB.
    QTest::newRow("zip file over 4 GiB")
        << quint64(4) << 3 * GiB << 4 * GiB - 4096 << GiB / 2 << false;
}

// What may still be added to a zip keeps it inside what unpacking accepts.
void TestZipSafety::additionLimits()
{
    QFETCH(quint64, entries);
    QFETCH(quint64, total);
    QFETCH(quint64, zipBytes);
    QFETCH(quint64, size);
    QFETCH(bool, allowed);
    QCOMPARE(ZipGuard::additionProblem(entries, total, zipBytes, size, 100).isEmpty(), allowed);
}

QTEST_GUILESS_MAIN(TestZipSafety)
#include "tst_zipsafety.moc"
