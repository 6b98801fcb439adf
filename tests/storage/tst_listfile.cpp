#include "storage/listfile.h"
#include "storage/pagelistmodel.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader("[This is list files by Tomekeeper]\r\n");
const QByteArray kBom("\xEF\xBB\xBF");

QByteArray cp1251(const char *hex)
{
    return QByteArray::fromHex(hex);
}

} // namespace

class TestListFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writtenBytes_data();
    void writtenBytes();
    void parsing_data();
    void parsing();
    void roundTripThroughFolder_data();
    void roundTripThroughFolder();
    void createInMissingFolder();
    void readListFileAppends();
    void addToTextFile_data();
    void addToTextFile();
    void addToTextFileMissing();
    void readAndSaveTextFile();
};

void TestListFile::writtenBytes_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << QStringList() << QStringList() << kHeader + "[end]";
    QTest::newRow("three pages")
        << QStringList{"News", "Weather today", "a"}
        << QStringList{"news.htm", "weather.html", "a=b.htm"}
        << kHeader + "News=news.htm\r\nWeather today=weather.html\r\na=a=b.htm\r\n[end]";
    // Cyrillic fits the code page: older Windows copies read it unchanged.
    QTest::newRow("cyrillic in 1251")
        << QStringList{u"Новости"_qs} << QStringList{u"новости.htm"_qs}
        << kHeader + cp1251("cdeee2eef1f2e8") + "=" + cp1251("edeee2eef1f2e8") + ".htm\r\n[end]";
    QTest::newRow("greek in utf-8")
        << QStringList{u"Ειδήσεις"_qs} << QStringList{"news.htm"}
        << kBom + kHeader + u"Ειδήσεις"_qs.toUtf8() + "=news.htm\r\n[end]";
    QTest::newRow("chinese file name in utf-8")
        << QStringList{"News"} << QStringList{u"新闻.htm"_qs}
        << kBom + kHeader + "News=" + u"新闻.htm"_qs.toUtf8() + "\r\n[end]";
    QTest::newRow("cyrillic and greek together")
        << QStringList{u"Новости"_qs, u"Ειδήσεις"_qs} << QStringList{"a.htm", "b.htm"}
        << kBom + kHeader + u"Новости=a.htm\r\nΕιδήσεις=b.htm\r\n[end]"_qs.toUtf8();
    // "Р«" is D0 AB in the code page, which is also UTF-8 for "Ы": it would
    // come back as another letter, so such a list goes out as UTF-8.
    QTest::newRow("1251 bytes that look like utf-8")
        << QStringList{u"Р«"_qs} << QStringList{"a.htm"}
        << kBom + kHeader + u"Р«=a.htm\r\n[end]"_qs.toUtf8();
}

void TestListFile::writtenBytes()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, files);
    QFETCH(QByteArray, expected);

    QTemporaryDir dir;
    PageListModel pages;
    for (qsizetype i = 0; i < titles.size(); ++i)
        pages.append(titles.at(i), files.at(i));
    QVERIFY(writeListFile(dir.path(), pages));
    QCOMPARE(TestFiles::read(dir.filePath("listfile.txt")), expected);

    // And what was written reads back the same.
    PageListModel back;
    QCOMPARE(readListFile(dir.filePath("listfile.txt"), back), !titles.isEmpty());
    QCOMPARE(back.titles(), titles);
    QCOMPARE(back.fileNames(), files);
}

void TestListFile::parsing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("files");

    const QStringList two{"A", "B"};
    const QStringList twoFiles{"a.htm", "b.htm"};
    QTest::newRow("end without line break")
        << kHeader + "A=a.htm\r\nB=b.htm\r\n[end]" << two << twoFiles;
    QTest::newRow("end with CR LF") << kHeader + "A=a.htm\r\nB=b.htm\r\n[end]\r\n"
                                    << two << twoFiles;
    QTest::newRow("CR without LF") << kHeader + "A=a.htm\rB=b.htm\r[end]" << two << twoFiles;
    QTest::newRow("no end at all") << kHeader + "A=a.htm\r\nB=b.htm\r\n" << two << twoFiles;
    QTest::newRow("only the first = separates")
        << kHeader + "T=a=b.htm\r\n[end]" << QStringList{"T"} << QStringList{"a=b.htm"};
    QTest::newRow("LF only") << QByteArray(
                                    "[This is list files by Tomekeeper]\nA=a.htm\nB=b.htm\n[end]")
                             << QStringList() << QStringList();
    QTest::newRow("no header") << QByteArray("A=a.htm\r\nB=b.htm\r\n[end]") << QStringList()
                               << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList();
    QTest::newRow("last entry without CR")
        << kHeader + "A=a.htm\r\nB=b.htm" << QStringList{"A"} << QStringList{"a.htm"};
    // Fewer than 7 bytes left: parsing ends, even on a short entry.
    QTest::newRow("short entry at the end") << kHeader + "A=a.htm\r\nB=b\r\n"
                                            << QStringList{"A"} << QStringList{"a.htm"};
    // A line without "=" is not skipped: it becomes part of the next title.
    QTest::newRow("blank line") << kHeader + "A=a.htm\r\n\r\nB=b.htm\r\n[end]"
                                << two.first(1) + QStringList{"\r\nB"} << twoFiles;
    QTest::newRow("empty title and file")
        << kHeader + "=\r\n[end]" << QStringList{""} << QStringList{""};
    QTest::newRow("old Windows file in 1251")
        << kHeader + cp1251("cdeee2eef1f2e8") + "=news.htm\r\n[end]" << QStringList{u"Новости"_qs}
        << QStringList{"news.htm"};
    QTest::newRow("utf-8 without BOM")
        << kHeader + u"Новости=новости.htm\r\n[end]"_qs.toUtf8() << QStringList{u"Новости"_qs}
        << QStringList{u"новости.htm"_qs};
    QTest::newRow("utf-8 with BOM") << kBom + kHeader + u"新闻=新闻.htm\r\n[end]"_qs.toUtf8()
                                    << QStringList{u"新闻"_qs} << QStringList{u"新闻.htm"_qs};
}

void TestListFile::parsing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, files);

    QTemporaryDir dir;
    const QString path = dir.filePath("listfile.txt");
    QVERIFY(TestFiles::write(path, bytes));
    PageListModel pages;
    QCOMPARE(readListFile(path, pages), !titles.isEmpty());
    QCOMPARE(pages.titles(), titles);
    QCOMPARE(pages.fileNames(), files);
}

void TestListFile::roundTripThroughFolder_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("three pages") << QStringList{"First", "Second page", "Third"}
                                 << QStringList{"first.htm", "second.mht", "third.html"};
    QTest::newRow("many scripts") << QStringList{u"Ёлка ё"_qs, u"Ειδήσεις"_qs, u"新闻 📰"_qs}
                                  << QStringList{u"ёлка.htm"_qs, "a=b.htm", u"新闻.htm"_qs};
}

void TestListFile::roundTripThroughFolder()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, files);

    QTemporaryDir dir;
    PageListModel pages;
    for (qsizetype i = 0; i < titles.size(); ++i)
        pages.append(titles.at(i), files.at(i));
    QVERIFY(writeListFile(dir.path(), pages));
    // Written again over the old file.
    QVERIFY(writeListFile(dir.path(), pages));
    PageListModel back;
    QVERIFY(readListFile(dir.filePath("listfile.txt"), back));
    QCOMPARE(back.titles(), titles);
    QCOMPARE(back.fileNames(), files);
}

void TestListFile::createInMissingFolder()
{
    QTemporaryDir dir;
    PageListModel pages;
    pages.append("A", "a.htm");
    QVERIFY(!writeListFile(dir.filePath("missing"), pages));
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    QVERIFY(!writeListFile(QString(), pages));
}

void TestListFile::readListFileAppends()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("listfile.txt");
    QVERIFY(TestFiles::write(path, kHeader + "[end]"));
    PageListModel pages;
    pages.append("Kept", "kept.htm");
    // An empty list adds nothing, but the model already holds a page.
    QVERIFY(readListFile(path, pages));
    QCOMPARE(pages.count(), 1);
    QVERIFY(TestFiles::write(path, kHeader + "B=b.htm\r\n[end]"));
    QVERIFY(readListFile(path, pages));
    QCOMPARE(pages.titles(), (QStringList{"Kept", "B"}));
    PageListModel none;
    QVERIFY(!readListFile(dir.filePath("missing.txt"), none));
}

void TestListFile::addToTextFile_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("two pages") << kHeader + "A=a.htm\r\nB=b.htm\r\n[end]"
                               << "C"
                               << "c.htm" << kHeader + "A=a.htm\r\nB=b.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("twice") << kHeader + "A=a.htm\r\n[end]\r\n"
                           << "C"
                           << "c.htm" << kHeader + "A=a.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("empty list") << kHeader + "[end]"
                                << "C"
                                << "c.htm" << kHeader + "C=c.htm\r\n[end]\r\n";
    // Whatever the list's last lines are, every page of it stays.
    QTest::newRow("no end marker")
        << kHeader + "A=a.htm\r\nB=b.htm\r\n"
        << "C"
        << "c.htm" << kHeader + "A=a.htm\r\nB=b.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("blank lines after the end marker")
        << kHeader + "A=a.htm\r\n[end]\r\n\r\n\r\n"
        << "C"
        << "c.htm" << kHeader + "A=a.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("line feeds only")
        << QByteArray("[This is list files by Tomekeeper]\nA=a.htm\nB=b.htm\n[end]\n") << "C"
        << "c.htm" << kHeader + "A=a.htm\r\nB=b.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("cyrillic stays 1251")
        << kHeader + cp1251("c0") + "=a.htm\r\n[end]" << u"Б"_qs << "b.htm"
        << kHeader + cp1251("c0") + "=a.htm\r\n" + cp1251("c1") + "=b.htm\r\n[end]\r\n";
    // The old Cyrillic entry must survive the change of encoding.
    QTest::newRow("greek turns the file into utf-8")
        << kHeader + cp1251("c0") + "=a.htm\r\n[end]" << u"Ω"_qs << "o.htm"
        << kBom + kHeader + u"А=a.htm\r\nΩ=o.htm\r\n[end]\r\n"_qs.toUtf8();
    // What another program wrote: every page read before is read after.
    QTest::newRow("last page without the end marker")
        << kHeader + "A=a.htm\r\nB=b.htm\r\n" << "C"
        << "c.htm" << kHeader + "A=a.htm\r\nB=b.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("a title with a line feed of its own")
        << kHeader + "A\nB=a.htm\r\n[end]" << "C"
        << "c.htm" << kHeader + "A\nB=a.htm\r\nC=c.htm\r\n[end]\r\n";
    QTest::newRow("the header without a line break")
        << QByteArray(ListFile::Header) << "C" << "c.htm" << kHeader + "C=c.htm\r\n[end]\r\n";
}

void TestListFile::addToTextFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath("listfile.txt");
    QVERIFY(TestFiles::write(path, before));
    QVERIFY(appendToListFile(dir.path(), title, file));
    QCOMPARE(TestFiles::read(path), after);

    PageListModel pages;
    QVERIFY(readListFile(path, pages));
    QCOMPARE(pages.titles().last(), title);
    QCOMPARE(pages.fileNames().last(), file);
}

void TestListFile::addToTextFileMissing()
{
    QTemporaryDir dir;
    QVERIFY(!appendToListFile(dir.filePath("missing"), "A", "a.htm"));
    QVERIFY(!appendToListFile(dir.path(), "A", "a.htm"));
    QVERIFY(!QFileInfo::exists(dir.filePath("listfile.txt")));
}

void TestListFile::readAndSaveTextFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.txt");
    QByteArray bytes("stale");
    QVERIFY(!readWholeFile(path, bytes));
    QCOMPARE(bytes, QByteArray("stale"));
    QVERIFY(!readWholeFile(dir.path(), bytes)); // a folder is no file

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(static_cast<char>(i));
    QVERIFY(TestFiles::write(path, "a much longer old content that must not survive"));
    QVERIFY(saveWholeFile(path, all));
    QVERIFY(readWholeFile(path, bytes));
    QCOMPARE(bytes, all);
    QVERIFY(!saveWholeFile(dir.filePath("missing/x.txt"), all));
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
