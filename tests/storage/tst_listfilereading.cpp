// What reading a list file refuses, and what it tells the caller: a list file
// comes from inside a zip, so it is as hostile as the zip.

#include "storage/listfile.h"
#include "storage/pagelistmodel.h"
#include "support/testfiles.h"
#include "zip/zipguard.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kHeader("[This is list files by Tomekeeper]\r\n");

QByteArray listOf(const QByteArrayList &lines)
{
    QByteArray bytes = kHeader;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes + "[end]";
}

QByteArray pages(qsizetype count)
{
    QByteArray bytes = kHeader;
    bytes.reserve(count * 16);
    for (qsizetype i = 0; i < count; ++i)
        bytes += "P" + QByteArray::number(i) + "=p.htm\r\n";
    return bytes + "[end]";
}

} // namespace

class TestListFileReading : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A file name that leads outside the archive's folder is left out; the
    // pages around it are read as before.
    void fileNamesMustStayInside_data()
    {
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<bool>("kept");
        QTest::newRow("parents") << QByteArray("../../etc/passwd") << false;
        QTest::newRow("absolute") << QByteArray("/etc/shadow") << false;
        QTest::newRow("parents with backslashes") << QByteArray("..\\..\\etc\\passwd") << false;
        QTest::newRow("network path") << QByteArray("\\\\srv\\share\\x.htm") << false;
        QTest::newRow("root with a backslash") << QByteArray("\\etc\\passwd") << false;
        QTest::newRow("drive") << QByteArray("C:\\Windows\\win.ini") << false;
        QTest::newRow("drive without a root") << QByteArray("C:page.htm") << false;
        QTest::newRow("parents inside") << QByteArray("sub/../../x.htm") << false;
        QTest::newRow("only parents") << QByteArray("..") << false;
        QTest::newRow("current folder") << QByteArray("./page.htm") << false;
        QTest::newRow("tab") << QByteArray("a\tb.htm") << false;
        QTest::newRow("escape") << QByteArray("a\x1b[2Jb.htm") << false;
        QTest::newRow("line feed") << QByteArray("a\nb.htm") << false;
        QTest::newRow("subfolder") << QByteArray("sub/page.htm") << true;
        QTest::newRow("subfolder with a backslash") << QByteArray("sub\\page.htm") << true;
        QTest::newRow("dots in a name") << QByteArray("..page..htm") << true;
        QTest::newRow("equals sign") << QByteArray("a=b.htm") << true;
        QTest::newRow("blanks") << QByteArray(" page .htm ") << true;
        QTest::newRow("empty") << QByteArray() << true;
    }
    void fileNamesMustStayInside()
    {
        QFETCH(QByteArray, fileName);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath("listfile.txt");
        QVERIFY(TestFiles::write(
            path, listOf({"Before=before.htm", "Evil=" + fileName, "After=after.htm"})));
        PageListModel pages;
        const ListFileRead result = readListFileChecked(path, pages);
        QCOMPARE(result.status, ListFileRead::Status::Ok);
        const QString name = QString::fromUtf8(fileName);
        if (kept) {
            QCOMPARE(pages.fileNames(), QStringList({"before.htm", name, "after.htm"}));
            QCOMPARE(result.refusedFileNames, QStringList());
        } else {
            QCOMPARE(pages.titles(), QStringList({"Before", "After"}));
            QCOMPARE(pages.fileNames(), QStringList({"before.htm", "after.htm"}));
            QCOMPARE(result.refusedFileNames, QStringList{name});
        }
    }

    // More pages than an archive can hold entries: the list cannot be the
    // archive's own, and cutting it short would lose titles at the next
    // write-back. Nothing is read; the caller refuses the archive.
    void tooManyPagesIsDamaged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("listfile.txt");
        const qsizetype limit = qsizetype(ZipLimits::kMaxEntries);

        QVERIFY(TestFiles::write(path, pages(limit)));
        PageListModel full;
        QVERIFY(readListFileChecked(path, full).ok());
        QCOMPARE(full.count(), limit);

        for (const qsizetype count : {limit + 1, qsizetype(1000000)}) {
            QVERIFY(TestFiles::write(path, pages(count)));
            PageListModel model;
            model.append("Kept", "kept.htm");
            const ListFileRead result = readListFileChecked(path, model);
            QCOMPARE(result.status, ListFileRead::Status::Damaged);
            QVERIFY2(result.reason.contains("20000"), qPrintable(result.reason));
            QCOMPARE(model.titles(), QStringList{"Kept"});
            // The older call adds nothing either.
            PageListModel empty;
            QVERIFY(!readListFile(path, empty));
            QCOMPARE(empty.count(), 0);
        }
    }

    void statusOfEachKindOfFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("listfile.txt");
        PageListModel model;
        QCOMPARE(readListFileChecked(path, model).status, ListFileRead::Status::Missing);
        QCOMPARE(readListFileChecked(dir.path(), model).status, ListFileRead::Status::Missing);
        QVERIFY(TestFiles::write(path, "A=a.htm\r\n[end]"));
        QCOMPARE(readListFileChecked(path, model).status, ListFileRead::Status::NoHeader);
        QVERIFY(TestFiles::write(path, kHeader + "[end]"));
        QCOMPARE(readListFileChecked(path, model).status, ListFileRead::Status::Ok);
        QCOMPARE(model.count(), 0);
    }

    // A title with "=" would come back cut, taking the rest as its file name:
    // the page would lose its file. Such a title is written with "-".
    void titlesWithTheSeparatorKeepTheirPage()
    {
        QTemporaryDir dir;
        PageListModel model;
        model.append("Q&A = answers", "qa.htm");
        model.append("a==b", "a=b.htm");
        QVERIFY(writeListFile(dir.path(), model));
        PageListModel back;
        QVERIFY(readListFileChecked(ListFile::path(dir.path()), back).ok());
        QCOMPARE(back.titles(), QStringList({"Q&A - answers", "a--b"}));
        QCOMPARE(back.fileNames(), QStringList({"qa.htm", "a=b.htm"}));

        QVERIFY(appendToListFile(dir.path(), "x = y", "x.htm"));
        PageListModel appended;
        QVERIFY(readListFileChecked(ListFile::path(dir.path()), appended).ok());
        QCOMPARE(appended.titles().last(), QString("x - y"));
        QCOMPARE(appended.fileNames().last(), QString("x.htm"));
    }
};

QTEST_GUILESS_MAIN(TestListFileReading)
#include "tst_listfilereading.moc"
