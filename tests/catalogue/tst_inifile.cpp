#include "catalogue/inifile.h"
#include "seedcorpus.h"

#include <QTest>

class TestIniFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sectionsAndKeysMatchWithoutCase()
    {
        const IniFile ini = IniFile::fromBytes("[Parameters]\r\nDirArchive=/data/\r\n"
                                               "[archive FILES 1]\r\nSection=Books\r\n"
                                               "Novels=/a/novels.zip\r\n");
        QVERIFY(ini.sectionExists("parameters"));
        QCOMPARE(ini.readString("PARAMETERS", "dirarchive", "x"), QString("/data/"));
        QVERIFY(ini.sectionExists("Archive files 1"));
        QCOMPARE(ini.keys("Archive Files 1"), QStringList({"Section", "Novels"}));
        QCOMPARE(ini.readString("Archive files 1", "NOVELS", {}), QString("/a/novels.zip"));
        QCOMPARE(ini.readString("Archive files 1", "Poems", "none"), QString("none"));
    }

    void aSectionWithoutKeysDoesNotExist()
    {
        const IniFile ini = IniFile::fromBytes("[Empty]\r\n[Full]\r\nk=v\r\n");
        QVERIFY(!ini.sectionExists("Empty"));
        QVERIFY(ini.sectionExists("Full"));
        QVERIFY(!ini.sectionExists("Missing"));
    }

    void integers_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << "732" << 732;
        QTest::newRow("blanks") << "  12 " << 12;
        QTest::newRow("negative") << "-5" << -5;
        QTest::newRow("hex lower") << "0x1f" << 31;
        QTest::newRow("hex upper prefix") << "0X10" << 16;
        QTest::newRow("hex wraps") << "0xFFFFFFFF" << -1;
        QTest::newRow("empty") << "" << 99;
        QTest::newRow("trailing text") << "12abc" << 99;
        QTest::newRow("bare prefix") << "0x" << 99;
        QTest::newRow("float") << "1.5" << 99;
        QTest::newRow("too big") << "99999999999" << 99;
        QTest::newRow("arabic digits") << QString::fromUtf16(u"١٢") << 99;
    }
    void integers()
    {
        QFETCH(QString, value);
        QFETCH(int, expected);
        const IniFile ini = IniFile::fromBytes("[P]\r\nk=" + value.toUtf8() + "\r\n");
        QCOMPARE(ini.readInteger("P", "k", 99), expected);
    }

    void garbageIsSkippedAndNothingBreaks()
    {
        QByteArray bytes = "orphan=1\r\n\x01\x02 junk\r\n[P\r\nk=1\r\n;comment=2\r\n"
                           "=novalue\r\n[Q]\nx = y \n\r\n[q]\nz=w";
        bytes.append(QByteArray(100000, 'a')); // a huge value, no line end
        SeedCorpus::keep("settings", bytes);
        const IniFile ini = IniFile::fromBytes(bytes);
        QCOMPARE(ini.readString("P", "k", {}), QString("1"));
        QCOMPARE(ini.readString("P", "orphan", "none"), QString("none"));
        QCOMPARE(ini.keys("P"), QStringList({"k"}));
        QCOMPARE(ini.readString("Q", "x", {}), QString("y"));
        // The repeated section continues the first one.
        QCOMPARE(ini.keys("Q"), QStringList({"x", "z"}));
        QCOMPARE(ini.readString("Q", "z", {}).size(), 100001);
    }

    void firstOfEqualKeysWins()
    {
        const IniFile ini = IniFile::fromBytes("[S]\r\nName=one\r\nNAME=two\r\n");
        QCOMPARE(ini.readString("S", "name", {}), QString("one"));
        QCOMPARE(ini.keys("S"), QStringList({"Name", "NAME"}));
    }

    // Neither the number and length of keys nor the length of a value cuts
    // anything off: every archive line of a large section is seen whole.
    void noLengthLimits()
    {
        QByteArray bytes = "[S]\r\n";
        for (int i = 0; i < 1000; ++i)
            bytes += QByteArray("key") + QByteArray::number(i).rightJustified(16, '0') + "=v\r\n";
        bytes += QByteArray(20000, 'k') + "=" + QByteArray(5000, 'v') + "\r\nlast=1\r\n";
        const IniFile ini = IniFile::fromBytes(bytes);
        const auto entries = ini.entries("S");
        QCOMPARE(entries.size(), 1002);
        QCOMPARE(entries.at(1000).first, QString(20000, 'k'));
        QCOMPARE(entries.at(1000).second, QString(5000, 'v'));
        QCOMPARE(ini.readString("S", QString(20000, 'k'), {}).size(), 5000);
        QCOMPARE(entries.last().first, QString("last"));
    }

    // Each line is UTF-8 when it is valid UTF-8 and Windows-1251 otherwise, so
    // one stray byte does not turn the other lines into other letters.
    void encodingIsChosenLineByLine()
    {
        const QByteArray bytes = "[Archive files 1]\r\n; \xEA\xEE\xEC\xEC\xE5\xED\xF2\r\n"
                                 "Section=" +
                                 QString::fromUtf16(u"Книги").toUtf8() +
                                 "\rOld=\xD1\xF2\xE0\xF0\xFB\xE5\n" +
                                 QString::fromUtf16(u"Новые=/архив.zip").toUtf8() + "\r\n";
        const IniFile ini = IniFile::fromBytes(bytes);
        const QList<std::pair<QString, QString>> expected{
            {"Section", QString::fromUtf16(u"Книги")},
            {"Old", QString::fromUtf16(u"Старые")},
            {QString::fromUtf16(u"Новые"), QString::fromUtf16(u"/архив.zip")}};
        QCOMPARE(ini.entries("Archive files 1"), expected);
    }

    void notUtf8IsReadAsWindows1251()
    {
        const IniFile ini =
            IniFile::fromBytes("[Archive files 1]\r\nSection=\xCA\xED\xE8\xE3\xE8\r\n");
        QCOMPARE(ini.readString("Archive files 1", "Section", {}), QString::fromUtf16(u"Книги"));
        const IniFile utf8 = IniFile::fromBytes(QByteArray("\xEF\xBB\xBF[A]\r\nSection=") +
                                                QString::fromUtf16(u"Книги").toUtf8());
        QCOMPARE(utf8.readString("A", "Section", {}), QString::fromUtf16(u"Книги"));
    }

    void writingKeepsOrderAndReplacesKeysWithoutCase()
    {
        IniFile ini;
        ini.writeString("Parameters", "DirArchive", "/x/");
        ini.writeBool("Parameters", "deloldfiles", false);
        ini.writeString("Archive files 1", "Section", "Books");
        ini.writeString("Archive files 1", "Novels", "/a.zip");
        ini.writeString("Archive files 1", "novels", "/b.zip");
        ini.writeString("archive files 1", "Line\nbreak", "a\r\nb");
        QCOMPARE(ini.toBytes(), QByteArray("[Parameters]\r\nDirArchive=/x/\r\ndeloldfiles=0\r\n"
                                           "[Archive files 1]\r\nSection=Books\r\n"
                                           "Novels=/b.zip\r\nLine break=a  b\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
