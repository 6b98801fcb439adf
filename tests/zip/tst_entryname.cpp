#include "zip/entryname.h"
#include "ziptestkit.h"

#include <QTest>

using ZipTestKit::crcOf;

namespace {

QByteArray unicodeField(const QByteArray &stored, const QByteArray &utf8, int version = 1,
                        quint32 crcAdjust = 0)
{
    QByteArray f;
    ZipTestKit::put16(f, 0x7075);
    ZipTestKit::put16(f, quint32(5 + utf8.size()));
    f.append(char(version));
    ZipTestKit::put32(f, crcOf(stored) + crcAdjust);
    return f + utf8;
}

} // namespace

class TestEntryName : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encode_data();
    void encode();
    void everyCyrillicLetterRoundTrips();
    void decode_data();
    void decode();
    void unsafe_data();
    void unsafe();
    void encodeRefuses_data();
    void encodeRefuses();
};

void TestEntryName::encode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("utf8Flag");

    QTest::newRow("ascii") << u"index.htm"_qs << QByteArray("index.htm") << false;
    QTest::newRow("backslash becomes slash")
        << u"page_files\\image1.gif"_qs << QByteArray("page_files/image1.gif") << false;
    QTest::newRow("cyrillic") << u"Страница.htm"_qs
                              << QByteArray::fromHex("91e2e0a0ada8e6a0") + ".htm" << false;
    // Valid UTF-8 as it stands (E1 A0 AF): it must still not get bit 11.
    QTest::newRow("cp866 that looks like utf-8")
        << u"сап.htm"_qs << QByteArray::fromHex("e1a0af") + ".htm" << false;
    QTest::newRow("first and last letters")
        << u"АЯая.txt"_qs << QByteArray::fromHex("809fa0ef") + ".txt" << false;
    QTest::newRow("cyrillic folder")
        << u"Папка_files\\рис.gif"_qs
        << QByteArray::fromHex("8fa0afaaa0") + "_files/" + QByteArray::fromHex("e0a8e1") + ".gif"
        << false;
    QTest::newRow("yo is not one of the 64") << u"Ёлка.htm"_qs << u"Ёлка.htm"_qs.toUtf8() << true;
    QTest::newRow("greek") << u"Ελληνικά.htm"_qs << u"Ελληνικά.htm"_qs.toUtf8() << true;
    QTest::newRow("chinese") << u"中文/页.htm"_qs << u"中文/页.htm"_qs.toUtf8() << true;
    QTest::newRow("latin accents") << u"café.htm"_qs << u"café.htm"_qs.toUtf8() << true;
}

void TestEntryName::encode()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, stored);
    QFETCH(bool, utf8Flag);

    const auto encoded = EntryName::encode(name);
    QVERIFY(encoded);
    SeedCorpus::keepEntryName(encoded->name, encoded->flags, encoded->extra, 0);
    QCOMPARE(encoded->name, stored);
    QCOMPARE(bool(encoded->flags & EntryName::kUtf8Flag), utf8Flag);
    QString normal = name;
    normal.replace(u'\\', u'/');
    if (stored == normal.toLatin1() && !utf8Flag) {
        QVERIFY(encoded->extra.isEmpty()); // plain ASCII carries nothing extra
    } else {
        QCOMPARE(encoded->extra, unicodeField(stored, normal.toUtf8()));
    }
    QCOMPARE(EntryName::decode(encoded->name, encoded->flags, encoded->extra), normal);
    // Older copies of this program ignore the extra field: the bytes alone must do.
    if (!utf8Flag)
        QCOMPARE(EntryName::decode(encoded->name, 0, {}), normal);
}

void TestEntryName::everyCyrillicLetterRoundTrips()
{
    QString all;
    for (char16_t u = 0x0410; u <= 0x044F; ++u)
        all.append(QChar(u));
    const auto encoded = EntryName::encode(all);
    QVERIFY(encoded);
    QCOMPARE(encoded->flags, 0);
    QCOMPARE(EntryName::decode(encoded->name, 0, {}), all);
    // Bytes that are not letters are stored as they are.
    QCOMPARE(EntryName::shiftToCp866(QByteArray::fromHex("a8b841")), QByteArray::fromHex("a8b841"));
}

void TestEntryName::decode_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("extra");
    QTest::addColumn<int>("madeBy");
    QTest::addColumn<QString>("expected");

    const QByteArray cp866 = QByteArray::fromHex("91e2e0a0ada8e6a0") + ".htm";
    QTest::newRow("cp866") << cp866 << 0 << QByteArray() << 0 << u"Страница.htm"_qs;
    QTest::newRow("cp866 valid as utf-8")
        << QByteArray::fromHex("e1a0af") + ".htm" << 0 << QByteArray() << 0 << u"сап.htm"_qs;
    QTest::newRow("bit 11") << u"中文.htm"_qs.toUtf8() << 0x800 << QByteArray() << 0
                            << u"中文.htm"_qs;
    QTest::newRow("bit 11 on bytes that are not utf-8")
        << cp866 << 0x800 << QByteArray() << 0 << u"Страница.htm"_qs;
    QTest::newRow("unicode path field wins")
        << QByteArray("x.htm") << 0 << unicodeField("x.htm", u"Ёлка.htm"_qs.toUtf8()) << 0
        << u"Ёлка.htm"_qs;
    QTest::newRow("field with a stale crc is ignored")
        << cp866 << 0 << unicodeField(cp866, "other.htm", 1, 1) << 0 << u"Страница.htm"_qs;
    QTest::newRow("field of another version is ignored")
        << cp866 << 0 << unicodeField(cp866, "other.htm", 2) << 0 << u"Страница.htm"_qs;
    QTest::newRow("field after another field")
        << QByteArray("a.htm") << 0
        << QByteArray::fromHex("5554050003e0b4176b") + unicodeField("a.htm", u"б.htm"_qs.toUtf8())
        << 0 << u"б.htm"_qs;
    QTest::newRow("two-byte utf-8 without flag")
        << u"Страница.htm"_qs.toUtf8() << 0 << QByteArray() << 0 << u"Страница.htm"_qs;
    QTest::newRow("utf-8 from a unix host without flag")
        << u"中文.htm"_qs.toUtf8() << 0 << QByteArray() << 0x031E << u"中文.htm"_qs;
    QTest::newRow("backslashes separate folders")
        << QByteArray("page_files\\img\\a.gif") << 0 << QByteArray() << 0
        << u"page_files/img/a.gif"_qs;
}

void TestEntryName::decode()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, flags);
    QFETCH(QByteArray, extra);
    QFETCH(int, madeBy);
    QFETCH(QString, expected);
    SeedCorpus::keepEntryName(raw, quint16(flags), extra, quint16(madeBy));
    QCOMPARE(EntryName::decode(raw, quint16(flags), extra, quint16(madeBy)), expected);
}

void TestEntryName::unsafe_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");

    QTest::newRow("plain") << u"a/b.htm"_qs << true;
    QTest::newRow("folder entry") << u"a/b/"_qs << true;
    QTest::newRow("dots in a name") << u"..a/b..c/...."_qs << true;
    QTest::newRow("colon later on") << u"ab:c.htm"_qs << true;
    QTest::newRow("255-byte part") << QString(255, u'a') << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("parent") << u"../x"_qs << false;
    QTest::newRow("parent inside") << u"a/../../x"_qs << false;
    QTest::newRow("parent at the end") << u"a/.."_qs << false;
    QTest::newRow("current") << u"./a"_qs << false;
    QTest::newRow("current inside") << u"a/./b"_qs << false;
    QTest::newRow("absolute") << u"/etc/x"_qs << false;
    QTest::newRow("network path") << u"//srv/x"_qs << false;
    QTest::newRow("drive letter") << u"C:x"_qs << false;
    QTest::newRow("drive root") << u"C:/x"_qs << false;
    QTest::newRow("tab") << u"a\tb"_qs << false;
    QTest::newRow("zero byte") << (u"a"_qs + QChar(0) + u"b"_qs) << false;
    QTest::newRow("delete") << u"a\x7F"_qs << false;
    QTest::newRow("c1 control") << u"a\u0085b"_qs << false;
    QTest::newRow("256-byte part") << u"a/"_qs + QString(256, u'b') << false;
    QTest::newRow("part over 255 bytes in utf-8") << QString(128, u'ж') << false;
}

void TestEntryName::unsafe()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(EntryName::unsafeReason(name).isEmpty(), safe);
}

void TestEntryName::encodeRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("parent with backslashes") << u"..\\..\\x"_qs;
    QTest::newRow("folder") << u"a/"_qs;
    QTest::newRow("longer than the format") << (QString(200, u'a') + u'/').repeated(330);
}

void TestEntryName::encodeRefuses()
{
    QFETCH(QString, name);
    QString why;
    QVERIFY(!EntryName::encode(name, &why));
    QVERIFY(!why.isEmpty());
}

QTEST_GUILESS_MAIN(TestEntryName)
#include "tst_entryname.moc"
