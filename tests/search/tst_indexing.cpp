// Keeping the index in step with the catalogue: what is read again after a
// change (only what changed), and an index that is damaged, a zip that is
// refused, a stop in the middle, two users of one index.

#include "search/indexdatabase.h"
#include "searchtestkit.h"
#include "zip/zipreader.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

using namespace SearchTestKit;

namespace {

Page page(const QString &file, const QString &title, const QString &body)
{
    return {file, title, body, QByteArray()};
}

QList<Page> pagesOf(const QString &stem, int count)
{
    QList<Page> pages;
    for (int i = 0; i < count; ++i)
        pages << page(QStringLiteral("%1%2.htm").arg(stem).arg(i),
                      QStringLiteral("Страница %1").arg(i),
                      QStringLiteral("Текст страницы %1%2 про архивы и поиск. ")
                          .arg(stem)
                          .arg(i)
                          .repeated(40));
    return pages;
}

} // namespace

class TestIndexing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resultsFollowTheArchives();
    void damagedIndexIsRebuilt_data();
    void damagedIndexIsRebuilt();
    void refusedZipIsSkippedAndNoted();
    void stopIsImmediateAndLosesNothing();
    void twoWritersShareTheIndex();
};

void TestIndexing::resultsFollowTheArchives()
{
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first.zip"));
    const QString second = dir.filePath(QStringLiteral("second.zip"));
    QList<Page> one = {
        page(QStringLiteral("a.htm"), QStringLiteral("Альфа"), QStringLiteral("альфа текст")),
        page(QStringLiteral("b.htm"), QStringLiteral("Бета"), QStringLiteral("бета текст")),
        page(QStringLiteral("c.htm"), QStringLiteral("Гамма"), QStringLiteral("гамма текст"))};
    QList<Page> two = {
        page(QStringLiteral("d.htm"), QStringLiteral("Дельта"), QStringLiteral("дельта текст"))};
    QVERIFY(writeArchive(first, one));
    QVERIFY(writeArchive(second, two, Tool::InfoZip));
    QList<CatalogueArchive> catalogue = {{first, QStringLiteral("Первый"), QStringLiteral("Р")},
                                         {second, QStringLiteral("Второй"), QStringLiteral("Р")}};
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(index, catalogue));
    QCOMPARE(index.stats().pagesRead, 4);
    QCOMPARE(found(index, QStringLiteral("бета")), QStringList{QStringLiteral("Первый/b.htm")});

    auto step = [&](const QString &zip) {
        const IndexingStats before = index.stats();
        index.archiveChanged(zip);
        if (!index.waitUntilIdle(60000))
            return IndexingStats();
        IndexingStats after = index.stats();
        after.pagesRead -= before.pagesRead;
        after.pagesChanged -= before.pagesChanged;
        return after;
    };

    // One page changed: only it is read.
    one[1].body = QStringLiteral("бета изменена");
    QVERIFY(writeArchive(first, one));
    IndexingStats delta = step(first);
    QCOMPARE(delta.pagesRead, 1);
    QCOMPARE(delta.pagesChanged, 1);
    QCOMPARE(found(index, QStringLiteral("изменена")), QStringList{QStringLiteral("Первый/b.htm")});

    // A page added.
    one.append(page(QStringLiteral("e.htm"), QStringLiteral("Эпсилон"), QStringLiteral("эпсилон")));
    QVERIFY(writeArchive(first, one));
    delta = step(first);
    QCOMPARE(delta.pagesRead, 1);
    QCOMPARE(found(index, QStringLiteral("эпсилон")), QStringList{QStringLiteral("Первый/e.htm")});

    // A page renamed, file and title: nothing to read again.
    one[0].file = QStringLiteral("alpha.htm");
    one[0].title = QStringLiteral("Альфа новая");
    one[0].html = pageBytes(page(QStringLiteral("a.htm"), QStringLiteral("Альфа"),
                                 QStringLiteral("альфа текст"))); // the bytes stay
    QVERIFY(writeArchive(first, one));
    delta = step(first);
    QCOMPARE(delta.pagesRead, 0);
    QCOMPARE(delta.pagesChanged, 1);
    const SearchHit renamed = index.search(QStringLiteral("альфа")).value(0);
    QCOMPARE(renamed.pageFile, QStringLiteral("alpha.htm"));
    QCOMPARE(renamed.pageTitle, QStringLiteral("Альфа новая"));
    QCOMPARE(found(index, QStringLiteral("новая")),
             QStringList{QStringLiteral("Первый/alpha.htm")});

    // A page deleted.
    one.removeAt(2);
    QVERIFY(writeArchive(first, one));
    delta = step(first);
    QCOMPARE(delta.pagesRead, 0);
    QCOMPARE(found(index, QStringLiteral("гамма")), QStringList());

    // A page moved into the other archive: its text goes with it, unread.
    const Page moved = one.takeAt(1);
    two.append(moved);
    QVERIFY(writeArchive(second, two, Tool::InfoZip));
    delta = step(second);
    QCOMPARE(delta.pagesRead, 0);
    QVERIFY(writeArchive(first, one));
    step(first);
    QCOMPARE(found(index, QStringLiteral("изменена")), QStringList{QStringLiteral("Второй/b.htm")});

    // Renamed and moved to another section in the catalogue: no page is read.
    catalogue[1].name = QStringLiteral("Второй новый");
    catalogue[1].section = QStringLiteral("Другой");
    const qint64 readBefore = index.stats().pagesRead;
    QVERIFY(indexAndWait(index, catalogue));
    QCOMPARE(index.stats().pagesRead, readBefore);
    const SearchHit hit = index.search(QStringLiteral("дельта")).value(0);
    QCOMPARE(hit.archiveName, QStringLiteral("Второй новый"));
    QCOMPARE(hit.section, QStringLiteral("Другой"));

    // Removed, then attached again.
    index.archiveRemoved(second);
    QVERIFY(index.waitUntilIdle(60000));
    QCOMPARE(found(index, QStringLiteral("дельта")), QStringList());
    catalogue.removeLast();
    const QString third = dir.filePath(QStringLiteral("третий.zip"));
    QVERIFY(writeArchive(
        third, {page(QStringLiteral("z.htm"), QStringLiteral("Зета"), QStringLiteral("зета"))}));
    catalogue.append({third, QStringLiteral("Третий"), QStringLiteral("Р")});
    QVERIFY(indexAndWait(index, catalogue));
    QCOMPARE(found(index, QStringLiteral("зета")), QStringList{QStringLiteral("Третий/z.htm")});

    // A zip not there (its drive not mounted) keeps its pages: its archive
    // stays in the catalogue, and nothing is read again when it is back.
    const QString away = third + QStringLiteral(".away");
    QVERIFY(QFile::rename(third, away));
    QSignalSpy notes(&index, &SearchIndex::archiveNotIndexed);
    QVERIFY(indexAndWait(index, catalogue));
    QCOMPARE(found(index, QStringLiteral("зета")), QStringList{QStringLiteral("Третий/z.htm")});
    QCOMPARE(notes.size(), 0);
    QVERIFY(QFile::rename(away, third));
    const qint64 readBeforeReturn = index.stats().pagesRead;
    QVERIFY(indexAndWait(index, catalogue));
    QCOMPARE(index.stats().pagesRead, readBeforeReturn);
    QCOMPARE(found(index, QStringLiteral("зета")), QStringList{QStringLiteral("Третий/z.htm")});

    // Started again on an unchanged catalogue: every zip is looked at, none read.
    SearchIndex again(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(again, catalogue));
    QCOMPARE(again.stats().archivesChecked, 2);
    QCOMPARE(again.stats().archivesRead, 0);
    QCOMPARE(found(again, QStringLiteral("эпсилон")), QStringList{QStringLiteral("Первый/e.htm")});
}

void TestIndexing::damagedIndexIsRebuilt_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("deleted") << QStringLiteral("delete");
    QTest::newRow("garbled from the start") << QStringLiteral("head");
    QTest::newRow("garbled in the middle") << QStringLiteral("middle");
    QTest::newRow("cut short") << QStringLiteral("truncate");
    QTest::newRow("another format version") << QStringLiteral("version");
    QTest::newRow("other word rules") << QStringLiteral("rules");
}

void TestIndexing::damagedIndexIsRebuilt()
{
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const QString zip = dir.filePath(QStringLiteral("a.zip"));
    QVERIFY(writeArchive(zip, pagesOf(QStringLiteral("p"), 30)));
    const QList<CatalogueArchive> catalogue = {{zip, QStringLiteral("A"), QString()}};
    const QString folder = dir.filePath(QStringLiteral("index"));
    const QString file = QDir(folder).filePath(IndexDatabase::fileName());
    {
        SearchIndex index(folder);
        QVERIFY(indexAndWait(index, catalogue));
        QCOMPARE(found(index, QStringLiteral("p7")), QStringList{QStringLiteral("A/p7.htm")});
    }
    QVERIFY(QFileInfo::exists(file));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")) ||
            QFileInfo(file + QStringLiteral("-wal")).size() == 0);
    if (damage == u"delete") {
        QVERIFY(QFile::remove(file));
    } else if (damage == u"head" || damage == u"middle" || damage == u"truncate") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 size = f.size();
        if (damage == u"truncate") {
            QVERIFY(f.resize(size / 2));
        } else {
            QVERIFY(f.seek(damage == u"head" ? 0 : size / 2));
            f.write(QByteArray(8192, '\xA5'));
        }
    } else {
        IndexDatabase db(folder);
        QVERIFY(db.open(false));
        QSqlQuery query(db.database());
        QVERIFY(
            query.exec(damage == u"version"
                           ? QStringLiteral("PRAGMA user_version = 99")
                           : QStringLiteral("UPDATE meta SET value = 'x' WHERE key = 'words'")));
    }

    // The reader alone never rebuilds; it finds nothing until the indexer has.
    SearchIndex index(folder);
    index.search(QStringLiteral("p7"));
    QVERIFY(indexAndWait(index, catalogue));
    // Damage found only while searching gets the index rebuilt as well.
    if (index.search(QStringLiteral("p7")).isEmpty())
        QVERIFY(index.waitUntilIdle(60000));
    QCOMPARE(found(index, QStringLiteral("p7")), QStringList{QStringLiteral("A/p7.htm")});
    QCOMPARE(found(index, QStringLiteral("p29")), QStringList{QStringLiteral("A/p29.htm")});

    IndexDatabase db(folder);
    QVERIFY(db.open(false));
    QSqlQuery check(db.database());
    QVERIFY2(
        check.exec(QStringLiteral("INSERT INTO page_words(page_words) VALUES('integrity-check')")),
        qPrintable(check.lastError().text()));
}

void TestIndexing::refusedZipIsSkippedAndNoted()
{
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.zip"));
    QVERIFY(writeArchive(good, pagesOf(QStringLiteral("g"), 3)));
    // An entry that would land outside the working folder: the program
    // refuses to open this archive, and so does the indexer.
    QTemporaryDir scratch;
    QVERIFY(TestFiles::write(scratch.filePath(QStringLiteral("inner/page.htm")),
                             "<p>опасная страница</p>"));
    const QString hostile = dir.filePath(QStringLiteral("hostile.zip"));
    QVERIFY(TestFiles::run(QStringLiteral("zip"),
                           {QStringLiteral("-q"), hostile, QStringLiteral("../inner/page.htm")},
                           nullptr, scratch.filePath(QStringLiteral("inner"))) == 0);
    const QString garbage = dir.filePath(QStringLiteral("garbage.zip"));
    QVERIFY(TestFiles::write(garbage, QByteArray("PK\x03\x04 not really a zip")));

    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QSignalSpy notes(&index, &SearchIndex::archiveNotIndexed);
    QVERIFY(indexAndWait(index, {{hostile, QStringLiteral("H"), QString()},
                                 {garbage, QStringLiteral("X"), QString()},
                                 {good, QStringLiteral("G"), QString()}}));
    QCOMPARE(found(index, QStringLiteral("g1")), QStringList{QStringLiteral("G/g1.htm")});
    QCOMPARE(found(index, QStringLiteral("опасная")), QStringList());
    QStringList noted;
    for (const QList<QVariant> &note : std::as_const(notes)) {
        noted << note.at(0).toString();
        QVERIFY(!note.at(1).toString().isEmpty());
    }
    noted.sort();
    QCOMPARE(noted, (QStringList{garbage, hostile}));

    // Noted once: an unchanged refused zip is not read again at every start.
    notes.clear();
    SearchIndex again(dir.filePath(QStringLiteral("index")));
    QSignalSpy againNotes(&again, &SearchIndex::archiveNotIndexed);
    QVERIFY(indexAndWait(again, {{hostile, QStringLiteral("H"), QString()},
                                 {garbage, QStringLiteral("X"), QString()},
                                 {good, QStringLiteral("G"), QString()}}));
    QCOMPARE(again.stats().archivesRead, 0);
    QCOMPARE(againNotes.size(), 0);
}

void TestIndexing::stopIsImmediateAndLosesNothing()
{
    QTemporaryDir dir;
    QList<CatalogueArchive> catalogue;
    const int archives = 30;
    const int pages = 20;
    for (int a = 0; a < archives; ++a) {
        const QString zip = dir.filePath(QStringLiteral("a%1.zip").arg(a));
        QVERIFY(writeArchive(zip, pagesOf(QStringLiteral("a%1p").arg(a), pages)));
        catalogue.append({zip, QStringLiteral("A%1").arg(a), QString()});
    }
    const QString folder = dir.filePath(QStringLiteral("index"));
    qint64 readBeforeStop = 0;
    {
        SearchIndex index(folder);
        index.setIndexingPriority(QThread::NormalPriority);
        QSignalSpy progress(&index, &SearchIndex::indexingProgress);
        index.catalogueChanged(catalogue);
        QVERIFY(progress.wait(30000));
        // Searches answer from what is indexed so far while indexing goes on.
        QVERIFY(index.isIndexing());
        QVERIFY(!found(index, QStringLiteral("a0p3")).isEmpty());
        QElapsedTimer timer;
        timer.start();
        index.stop();
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!index.isIndexing());
        readBeforeStop = index.stats().pagesRead;
    }
    QVERIFY(readBeforeStop < archives * pages);

    SearchIndex index(folder);
    QVERIFY(!found(index, QStringLiteral("a0p3")).isEmpty()); // kept over the stop
    QVERIFY(indexAndWait(index, catalogue));
    // Only what was not done before the stop is read now.
    QVERIFY(index.stats().pagesRead <= archives * pages - readBeforeStop + pages);
    for (int a = 0; a < archives; a += 7)
        QCOMPARE(found(index, QStringLiteral("a%1p%2").arg(a).arg(pages - 1)).size(), 1);
}

void TestIndexing::twoWritersShareTheIndex()
{
    // A second program is refused by the program's lock before it gets
    // here; if two indexers ever met in one index, SQLite's locking keeps it whole.
    QTemporaryDir dir;
    QList<CatalogueArchive> catalogue;
    for (int a = 0; a < 6; ++a) {
        const QString zip = dir.filePath(QStringLiteral("w%1.zip").arg(a));
        QVERIFY(writeArchive(zip, pagesOf(QStringLiteral("w%1p").arg(a), 15)));
        catalogue.append({zip, QStringLiteral("W%1").arg(a), QString()});
    }
    const QString folder = dir.filePath(QStringLiteral("index"));
    SearchIndex one(folder);
    SearchIndex two(folder);
    one.setIndexingPriority(QThread::NormalPriority);
    two.setIndexingPriority(QThread::NormalPriority);
    QSignalSpy failures(&one, &SearchIndex::indexingFailed);
    one.catalogueChanged(catalogue);
    two.catalogueChanged(catalogue);
    QVERIFY(one.waitUntilIdle(120000));
    QVERIFY(two.waitUntilIdle(120000));
    one.stop();
    two.stop();
    QCOMPARE(found(one, QStringLiteral("w5p14")), QStringList{QStringLiteral("W5/w5p14.htm")});
    QCOMPARE(found(two, QStringLiteral("w0p0")), QStringList{QStringLiteral("W0/w0p0.htm")});
    IndexDatabase db(folder);
    QVERIFY(db.open(false));
    QSqlQuery check(db.database());
    QVERIFY2(
        check.exec(QStringLiteral("INSERT INTO page_words(page_words) VALUES('integrity-check')")),
        qPrintable(check.lastError().text()));
    QVERIFY(check.exec(QStringLiteral("SELECT count(*) FROM pages")) && check.next());
    QCOMPARE(check.value(0).toInt(), 6 * 15);
}

QTEST_GUILESS_MAIN(TestIndexing)
#include "tst_indexing.moc"
