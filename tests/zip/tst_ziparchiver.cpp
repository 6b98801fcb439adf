#include "zip/ziparchiver.h"
#include "zip/zipguard.h"
#include "ziptestkit.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZipTestKit;

namespace {

struct Progress {
    ProgressKind type;
    QString file;
    qint64 size;
};

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

// Zips every file below root, the way the working folder is zipped back.
bool zipTree(ZipArchiver &zip, const QString &root, const QString &zipPath,
             bool backslashes = false)
{
    zip.setZipFileName(zipPath);
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    bool ok = true;
    while (it.hasNext()) {
        const QString path = it.next();
        QString name = QDir(root).relativeFilePath(path);
        if (backslashes)
            name.replace(u'/', u'\\');
        ok = zip.addFile(path, name) == 0 && ok;
    }
    return zip.setZipFileName(QString()) && ok;
}

} // namespace

class TestZipArchiver : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void zipFileNameSameValueKeepsZipOpen();
    void zipFileNameOtherValueFinishesZip();
    void addFileRefusals_data();
    void addFileRefusals();
    void zipInMissingFolder();
    void largeFilesRefusedUpFront_data();
    void largeFilesRefusedUpFront();
    void additionLimits_data();
    void additionLimits();
    void progressReports();
    void unzipFileEvent();
    void overwriteFalseStopsAtExistingFile();
    void overwriteReplacesFile();
    void withoutPath();
    void folderEntriesAndEmptyFiles();
    void unwritableEntryFailsExtraction();
    void linksInDestinationAreNotFollowed();
    void openHandleIsReused();
    void emptyZip();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString path(const QString &rel) const { return m_tmp->filePath(rel); }
};

void TestZipArchiver::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestZipArchiver::roundTrip_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("backslashes");

    QTest::newRow("page with companion folder")
        << QStringList{u"index.htm"_qs, u"index_files/style.css"_qs, u"index_files/img/a.gif"_qs}
        << true;
    QTest::newRow("cyrillic") << QStringList{u"Страница.htm"_qs, u"Страница_files/рис.gif"_qs,
                                             u"сап.htm"_qs, u"АБВ абв ЭЮЯ эюя.htm"_qs}
                              << true;
    QTest::newRow("utf-8 only") << QStringList{u"Ελληνικά.htm"_qs, u"中文.htm"_qs,
                                               u"中文_files/页.png"_qs, u"Ёлка.htm"_qs,
                                               u"Mixed Ж и ü.htm"_qs}
                                << false;
    QTest::newRow("path over 256 bytes")
        << QStringList{QString(120, u'a') + u'/' + QString(120, u'b') + u"/c_"_qs +
                       QString(60, u'd')}
        << false;
}

void TestZipArchiver::roundTrip()
{
    QFETCH(QStringList, names);
    QFETCH(bool, backslashes);

    const QString src = path(u"src"_qs);
    QDateTime when(QDate(2019, 6, 15), QTime(13, 37, 43));
    auto *rng = QRandomGenerator::global();
    for (int i = 0; i < names.size(); ++i) {
        QByteArray content;
        if (i == 1) { // incompressible and several blocks long
            content.resize(50000);
            rng->fillRange(reinterpret_cast<quint32 *>(content.data()), content.size() / 4);
        } else if (i == 2) {
            content = QByteArray("compressible ").repeated(20000);
        } else {
            content = names[i].toUtf8();
        }
        QVERIFY(writeFile(src + u'/' + names[i], content));
        setMTime(src + u'/' + names[i], when.addSecs(3600 * i + i));
    }

    ZipArchiver zip;
    QVERIFY(zipTree(zip, src, path(u"a.zip"_qs), backslashes));
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY2(zip.extractAll(path(u"out"_qs)), qPrintable(zip.lastError()));
    QVERIFY(zip.lastError().isEmpty());

    QCOMPARE(tree(path(u"out"_qs)), tree(src));
    for (const QString &name : names) {
        QCOMPARE(readFile(path(u"out/"_qs) + name), readFile(src + u'/' + name));
        const qint64 drift = mtime(src + u'/' + name).secsTo(mtime(path(u"out/"_qs) + name));
        QVERIFY2(drift <= 0 && drift > -2, qPrintable(name + u": "_qs + QString::number(drift)));
    }
}

void TestZipArchiver::zipFileNameSameValueKeepsZipOpen()
{
    QVERIFY(writeFile(path(u"one.txt"_qs), "1"));
    QVERIFY(writeFile(path(u"two.txt"_qs), "2"));
    ZipArchiver zip;
    QVERIFY(zip.setZipFileName(path(u"a.zip"_qs)));
    QVERIFY(!QFile::exists(path(u"a.zip"_qs))); // opened lazily
    QCOMPARE(zip.addFile(path(u"one.txt"_qs), u"one.txt"_qs), 0);
    QVERIFY(zip.setZipFileName(path(u"a.zip"_qs))); // the same name: nothing happens
    QCOMPARE(zip.addFile(path(u"two.txt"_qs), u"two.txt"_qs), 0);
    QVERIFY(zip.setZipFileName(QString()));

    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
    QCOMPARE(tree(path(u"out"_qs)), (QStringList{u"one.txt"_qs, u"two.txt"_qs}));
}

void TestZipArchiver::zipFileNameOtherValueFinishesZip()
{
    QVERIFY(writeFile(path(u"one.txt"_qs), "1"));
    auto zip = std::make_unique<ZipArchiver>();
    zip->setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip->addFile(path(u"one.txt"_qs), u"one.txt"_qs), 0);
    QVERIFY(zip->setZipFileName(path(u"b.zip"_qs)));
    QCOMPARE(zip->zipFileName(), path(u"b.zip"_qs));
    QCOMPARE(run(u"unzip"_qs, {u"-tq"_qs, path(u"a.zip"_qs)}), 0); // finished and whole
    QVERIFY(!QFile::exists(path(u"b.zip"_qs)));
    QCOMPARE(zip->addFile(path(u"one.txt"_qs), u"x/one.txt"_qs), 0);
    zip.reset(); // destruction finishes the zip being written as well
    QCOMPARE(run(u"unzip"_qs, {u"-tq"_qs, path(u"b.zip"_qs)}), 0);
}

void TestZipArchiver::addFileRefusals_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("entryName");

    QTest::newRow("missing source") << u"missing.txt"_qs << u"missing.txt"_qs;
    QTest::newRow("empty source") << QString() << u"x.txt"_qs;
    QTest::newRow("folder as source") << u"folder"_qs << u"folder"_qs;
    QTest::newRow("empty entry name") << u"file.txt"_qs << QString();
    QTest::newRow("parent in entry name") << u"file.txt"_qs << u"..\\file.txt"_qs;
    QTest::newRow("absolute entry name") << u"file.txt"_qs << u"/file.txt"_qs;
}

// A refused file adds nothing, but the zip itself is there and stays whole.
void TestZipArchiver::addFileRefusals()
{
    QFETCH(QString, source);
    QFETCH(QString, entryName);
    QVERIFY(writeFile(path(u"file.txt"_qs), "data"));
    QVERIFY(QDir().mkpath(path(u"folder"_qs)));

    ZipArchiver zip;
    zip.setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip.addFile(source.isEmpty() ? source : path(source), entryName), -1);
    QVERIFY(!zip.lastError().isEmpty());
    QVERIFY(QFile::exists(path(u"a.zip"_qs)));
    QCOMPARE(zip.addFile(path(u"file.txt"_qs), u"file.txt"_qs), 0);
    QVERIFY(zip.setZipFileName(QString()));

    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
    QCOMPARE(tree(path(u"out"_qs)), QStringList{u"file.txt"_qs});
}

void TestZipArchiver::zipInMissingFolder()
{
    QVERIFY(writeFile(path(u"file.txt"_qs), "data"));
    ZipArchiver zip;
    zip.setZipFileName(path(u"no/such/folder/a.zip"_qs));
    QCOMPARE(zip.addFile(path(u"file.txt"_qs), u"file.txt"_qs), -1);
    QCOMPARE(zip.addFile(path(u"file.txt"_qs), u"file.txt"_qs), -1);
    QVERIFY(!QFile::exists(path(u"no/such/folder/a.zip"_qs)));
}

void TestZipArchiver::largeFilesRefusedUpFront_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("4 GiB and one byte") << (qint64(4) << 30) + 1;
    QTest::newRow("1 GiB and one byte") << (qint64(1) << 30) + 1;
}

// Sparse files: nothing of this size is ever read.
void TestZipArchiver::largeFilesRefusedUpFront()
{
    QFETCH(qint64, size);
    QVERIFY(writeFile(path(u"small.txt"_qs), "small"));
    QFile big(path(u"big.bin"_qs));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(size));
    big.close();

    ZipArchiver zip;
    zip.setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip.addFile(path(u"small.txt"_qs), u"small.txt"_qs), 0);
    QCOMPARE(zip.addFile(path(u"big.bin"_qs), u"big.bin"_qs), -1);
    QVERIFY2(zip.lastError().contains(u"GiB"_qs), qPrintable(zip.lastError()));
    QVERIFY(zip.setZipFileName(QString())); // what was added before is intact
    QCOMPARE(run(u"unzip"_qs, {u"-tq"_qs, path(u"a.zip"_qs)}), 0);
}

void TestZipArchiver::additionLimits_data()
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

void TestZipArchiver::additionLimits()
{
    QFETCH(quint64, entries);
    QFETCH(quint64, total);
    QFETCH(quint64, zipBytes);
    QFETCH(quint64, size);
    QFETCH(bool, allowed);
    QCOMPARE(ZipGuard::additionProblem(entries, total, zipBytes, size, 100).isEmpty(), allowed);
}

void TestZipArchiver::progressReports()
{
    const QByteArray content(20000, 'x');
    QVERIFY(writeFile(path(u"f.txt"_qs), content));
    ZipArchiver zip;
    QList<Progress> events;
    zip.onProgress = [&](ZipArchiver *sender, ProgressKind type, const QString &file, qint64 size) {
        QCOMPARE(sender, &zip);
        events.append({type, file, size});
    };
    zip.setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip.addFile(path(u"f.txt"_qs), u"f.txt"_qs), 0);
    zip.setZipFileName(QString());

    QVERIFY(events.size() >= 4);
    QCOMPARE(events[0].type, ProgressKind::AddStart);
    QCOMPARE(events[0].size, content.size());
    qint64 sum = 0;
    for (qsizetype i = 1; i < events.size(); ++i) {
        QCOMPARE(events[i].type, ProgressKind::AddBlock);
        QCOMPARE(events[i].file, path(u"f.txt"_qs));
        QVERIFY(events[i].size <= 8192);
        sum += events[i].size;
    }
    QCOMPARE(sum, content.size());

    events.clear();
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
    sum = 0;
    for (const Progress &p : events) {
        QCOMPARE(p.type, ProgressKind::ExtractBlock);
        QCOMPARE(p.file, path(u"out/f.txt"_qs));
        QVERIFY(p.size <= 8192);
        sum += p.size;
    }
    QCOMPARE(sum, content.size());
}

void TestZipArchiver::unzipFileEvent()
{
    QVERIFY(writeFile(path(u"src/keep.txt"_qs), "new keep"));
    QVERIFY(writeFile(path(u"src/other.txt"_qs), "new other"));
    const QDateTime when(QDate(2021, 3, 4), QTime(5, 6, 8));
    setMTime(path(u"src/keep.txt"_qs), when);
    ZipArchiver zip;
    zip.setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip.addFile(path(u"src/other.txt"_qs), u"other.txt"_qs), 0);
    QCOMPARE(zip.addFile(path(u"src/keep.txt"_qs), u"keep.txt"_qs), 0);
    zip.setZipFileName(QString());

    QVERIFY(writeFile(path(u"out/keep.txt"_qs), "old keep"));
    QStringList seen;
    zip.onExtractEntry = [&](ZipArchiver *, const QDateTime &date, qint64 size, qint64 packed,
                             const QString &dest, bool &canOverwrite) {
        QVERIFY(canOverwrite); // comes in as overwriteOnExtract
        QVERIFY(packed > 0);
        seen.append(dest);
        if (dest.endsWith(u"keep.txt"_qs)) {
            QCOMPARE(date, when);
            QCOMPARE(size, 8);
            canOverwrite = false;
        }
    };
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(!zip.extractAll(path(u"out"_qs)));
    QCOMPARE(seen, (QStringList{path(u"out/other.txt"_qs), path(u"out/keep.txt"_qs)}));
    QCOMPARE(readFile(path(u"out/keep.txt"_qs)), QByteArray("old keep"));
    QCOMPARE(readFile(path(u"out/other.txt"_qs)), QByteArray("new other"));
    QVERIFY(zip.lastError().contains(u"keep.txt"_qs));
}

void TestZipArchiver::overwriteFalseStopsAtExistingFile()
{
    QList<RawEntry> entries;
    for (const char *n : {"a.txt", "b.txt", "c.txt"})
        entries.append({n, QByteArray("new ") + n});
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip(entries)));
    QVERIFY(writeFile(path(u"out/b.txt"_qs), "old b"));

    ZipArchiver zip;
    zip.overwriteOnExtract = false;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(!zip.extractAll(path(u"out"_qs)));
    QVERIFY(zip.lastError().contains(u"b.txt"_qs));
    QCOMPARE(tree(path(u"out"_qs)), (QStringList{u"a.txt"_qs, u"b.txt"_qs}));
    QCOMPARE(readFile(path(u"out/b.txt"_qs)), QByteArray("old b"));
}

void TestZipArchiver::overwriteReplacesFile()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"b.txt", "new b"}})));
    QVERIFY(writeFile(path(u"out/b.txt"_qs), "an older and longer b"));
    ZipArchiver zip;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
    QCOMPARE(readFile(path(u"out/b.txt"_qs)), QByteArray("new b"));
}

void TestZipArchiver::withoutPath()
{
    QVERIFY(
        writeFile(path(u"a.zip"_qs),
                  buildZip({{"x/", ""}, {"x/a.txt", "a"}, {"y\\z\\b.txt", "b"}, {"c.txt", "c"}})));
    ZipArchiver zip;
    zip.extractWithoutFolders = true;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
    QCOMPARE(tree(path(u"out"_qs)), (QStringList{u"a.txt"_qs, u"b.txt"_qs, u"c.txt"_qs}));
}

void TestZipArchiver::folderEntriesAndEmptyFiles()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"empty/", ""},
                                                   {"deep/er/", ""},
                                                   {"deep/er/zero.txt", ""},
                                                   {"stored.txt", "stored", false},
                                                   {"zero.txt", "", false}})));
    ZipArchiver zip;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY2(zip.extractAll(path(u"out"_qs)), qPrintable(zip.lastError()));
    QCOMPARE(tree(path(u"out"_qs)),
             (QStringList{u"deep/"_qs, u"deep/er/"_qs, u"deep/er/zero.txt"_qs, u"empty/"_qs,
                          u"stored.txt"_qs, u"zero.txt"_qs}));
    QCOMPARE(QFileInfo(path(u"out/zero.txt"_qs)).size(), 0);
    QCOMPARE(readFile(path(u"out/stored.txt"_qs)), QByteArray("stored"));
}

// Skipping such an entry silently would leave the file out of the archive at
// the next write-back.
void TestZipArchiver::unwritableEntryFailsExtraction()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"a", "file"}, {"a/b.txt", "under a file"}})));
    ZipArchiver zip;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(!zip.extractAll(path(u"out"_qs)));
    QVERIFY2(zip.lastError().contains(u"a/b.txt"_qs), qPrintable(zip.lastError()));
}

void TestZipArchiver::linksInDestinationAreNotFollowed()
{
    QVERIFY(writeFile(path(u"outside/target.txt"_qs), "outside"));
    QVERIFY(QDir().mkpath(path(u"out"_qs)));
    QVERIFY(QFile::link(path(u"outside"_qs), path(u"out/dir"_qs)));
    QVERIFY(QFile::link(path(u"outside/target.txt"_qs), path(u"out/file.txt"_qs)));

    ZipArchiver zip;
    QVERIFY(writeFile(path(u"file.zip"_qs), buildZip({{"file.txt", "inside"}})));
    zip.setUnzipFileName(path(u"file.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs))); // the link is replaced by a real file
    QVERIFY(!QFileInfo(path(u"out/file.txt"_qs)).isSymLink());
    QCOMPARE(readFile(path(u"out/file.txt"_qs)), QByteArray("inside"));

    QVERIFY(writeFile(path(u"dir.zip"_qs), buildZip({{"dir/new.txt", "inside"}})));
    zip.setUnzipFileName(path(u"dir.zip"_qs));
    QVERIFY(!zip.extractAll(path(u"out"_qs)));
    QVERIFY(zip.lastError().contains(u"dir/new.txt"_qs));
    QCOMPARE(tree(path(u"outside"_qs)), QStringList{u"target.txt"_qs});
    QCOMPARE(readFile(path(u"outside/target.txt"_qs)), QByteArray("outside"));
}

void TestZipArchiver::openHandleIsReused()
{
    QVERIFY(writeFile(path(u"a.zip"_qs), buildZip({{"a.txt", "a"}})));
    QVERIFY(writeFile(path(u"b.zip"_qs), buildZip({{"b.txt", "b"}})));
    ZipArchiver zip;
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"one"_qs)));
    // The open handle still reads the file that was opened, even once it is gone.
    QVERIFY(QFile::remove(path(u"a.zip"_qs)));
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"two"_qs)));
    QCOMPARE(tree(path(u"two"_qs)), QStringList{u"a.txt"_qs});
    // Another name closes it.
    zip.setUnzipFileName(path(u"b.zip"_qs));
    QVERIFY(zip.extractAll(path(u"three"_qs)));
    QCOMPARE(tree(path(u"three"_qs)), QStringList{u"b.txt"_qs});
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(!zip.extractAll(path(u"four"_qs)));
}

void TestZipArchiver::emptyZip()
{
    ZipArchiver zip;
    zip.setZipFileName(path(u"a.zip"_qs));
    QCOMPARE(zip.addFile(path(u"missing"_qs), u"missing"_qs), -1);
    QVERIFY(zip.setZipFileName(QString()));
    zip.setUnzipFileName(path(u"a.zip"_qs));
    QVERIFY(zip.extractAll(path(u"out"_qs)));
}

QTEST_GUILESS_MAIN(TestZipArchiver)
#include "tst_ziparchiver.moc"
