// Searching a catalogue: which pages are found for what is typed, in which
// order, and what the results show.

#include "searchtestkit.h"
#include "testzips.h"
#include "zip/ziptestkit.h"

using namespace SearchTestKit;

class TestSearch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void finds_data();
    void finds();
    void titlesCountMore();
    void snippetsMarkTheWordsFound();
    void everyFormFoundIsReported();
    void whatIsIndexed();
    void commonWordsStayFast();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SearchIndex> m_index;
};

void TestSearch::initTestCase()
{
    const QList<Page> news = {
        {QStringLiteral("bank.htm"), QStringLiteral("Отчёт правления"),
         QStringLiteral("Правление банка сообщило о новых условиях кредитования.")},
        {QStringLiteral("elka.htm"), QStringLiteral("Праздник"),
         QStringLiteral("Ёлки в лесу подешевели ещё сильнее.")},
        {QStringLiteral("other.htm"), QStringLiteral("Разное"),
         QStringLiteral("Правильный выбор банковских услуг.")},
    };
    const QList<Page> sport = {
        {QStringLiteral("run.htm"), QStringLiteral("Sports"),
         QStringLiteral("The runners were running along the river. Happiness! Café au lait.")},
        {QStringLiteral("страница.html"), QStringLiteral("Погода"),
         QStringLiteral("Сегодня в Москве &laquo;солнечно&raquo;, ветер северный.")},
    };
    QVERIFY(writeArchive(m_dir.filePath(QStringLiteral("news.zip")), news));
    QVERIFY(writeArchive(m_dir.filePath(QStringLiteral("sport.zip")), sport, Tool::InfoZip));
    m_index = std::make_unique<SearchIndex>(m_dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(*m_index, {{m_dir.filePath(QStringLiteral("news.zip")),
                                     QStringLiteral("Новости"), QStringLiteral("Пресса")},
                                    {m_dir.filePath(QStringLiteral("sport.zip")),
                                     QStringLiteral("Спорт"), QStringLiteral("Разное")}}));
}

void TestSearch::finds_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("pages");
    auto row = [](const char *name, const char16_t *query, QStringList pages) {
        QTest::newRow(name) << QString::fromUtf16(query) << pages;
    };
    row("a word", u"правление", {"Новости/bank.htm"});
    row("in capitals, another form", u"ПРАВЛЕНИЯ", {"Новости/bank.htm"});
    row("another form", u"правлением", {"Новости/bank.htm"});
    row("a word's beginning", u"прав", {"Новости/bank.htm", "Новости/other.htm"});
    row("yo typed as ye", u"елки", {"Новости/elka.htm"});
    row("ye typed as yo, another form", u"ёлка", {"Новости/elka.htm"});
    row("english forms", u"run", {"Спорт/run.htm"});
    row("english forms, not a prefix", u"happy", {"Спорт/run.htm"});
    row("accents do not matter", u"cafe", {"Спорт/run.htm"});
    row("every word must be there", u"банк правление", {"Новости/bank.htm"});
    row("a phrase", u"\"банка сообщило\"", {"Новости/bank.htm"});
    row("a phrase in another order", u"\"сообщило банка\"", {});
    row("a phrase in word forms", u"\"правлением банков\"", {"Новости/bank.htm"});
    row("a page with a Cyrillic name zipped by zip -r", u"москва", {"Спорт/страница.html"});
    row("entities are text", u"солнечно", {"Спорт/страница.html"});
    row("not on any page", u"зебра", {});
    row("scripts are not text", u"скрытыйскрипт", {});
    row("pictures are not text", u"png", {});
    row("nothing typed", u"  ", {});
}

void TestSearch::finds()
{
    QFETCH(QString, query);
    QFETCH(QStringList, pages);
    QStringList result = found(*m_index, query);
    result.sort();
    pages.sort();
    QCOMPARE(result, pages);
}

void TestSearch::titlesCountMore()
{
    QTemporaryDir dir;
    const QString filler = QStringLiteral("Погода, цены и новости города. ").repeated(20);
    QList<Page> pages;
    for (int i = 0; i < 10; ++i)
        pages.append({QStringLiteral("other%1.htm").arg(i), QStringLiteral("Прочее"), filler});
    pages.append({QStringLiteral("body.htm"), QStringLiteral("Заметки"),
                  filler + QStringLiteral("Вклад, вклад и ещё раз вклад.")});
    pages.append({QStringLiteral("title.htm"), QStringLiteral("Вклад"), filler});
    QVERIFY(writeArchive(dir.filePath(QStringLiteral("a.zip")), pages));
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(
        index, {{dir.filePath(QStringLiteral("a.zip")), QStringLiteral("A"), QString()}}));
    QCOMPARE(found(index, QStringLiteral("вклад")),
             (QStringList{QStringLiteral("A/title.htm"), QStringLiteral("A/body.htm")}));
}

void TestSearch::snippetsMarkTheWordsFound()
{
    const QList<SearchHit> hits = m_index->search(QStringLiteral("правлением \"условиях\""));
    QCOMPARE(hits.size(), 1);
    const SearchHit &hit = hits.first();
    QCOMPARE(hit.pageTitle, QStringLiteral("Отчёт правления"));
    QCOMPARE(hit.archiveName, QStringLiteral("Новости"));
    QCOMPARE(hit.section, QStringLiteral("Пресса"));
    QCOMPARE(hit.zipPath, m_dir.filePath(QStringLiteral("news.zip")));
    QCOMPARE(hit.pageFile, QStringLiteral("bank.htm"));
    QCOMPARE(hit.snippet,
             QStringLiteral("Правление банка сообщило о новых условиях кредитования."));
    QStringList marked;
    for (const TextMark &mark : hit.snippetMarks)
        marked << hit.snippet.mid(mark.start, mark.length);
    QCOMPARE(marked, (QStringList{QStringLiteral("Правление"), QStringLiteral("условиях")}));
    QCOMPARE(hit.titleMarks.size(), 1);
    QCOMPARE(hit.pageTitle.mid(hit.titleMarks[0].start, hit.titleMarks[0].length),
             QStringLiteral("правления"));
    // What the page view's find should look for: the words as the page has them.
    QCOMPARE(hit.highlightWords,
             (QStringList{QStringLiteral("Правление"), QStringLiteral("условиях")}));
    // A word that two items of the query find is marked where it stands.
    const QList<SearchHit> twice =
        m_index->search(QStringLiteral("правления \"отчёт правления\""));
    QCOMPARE(twice.size(), 1);
    QCOMPARE(twice.first().titleMarks, (QList<TextMark>{{0, 15}}));

    // A long text is cut around the words, with marks still on them.
    QTemporaryDir dir;
    const QString filler = QStringLiteral("слово ").repeated(300);
    QVERIFY(writeArchive(dir.filePath(QStringLiteral("long.zip")),
                         {{QStringLiteral("long.htm"), QStringLiteral("Длинная"),
                           filler + QStringLiteral("ёлочная игрушка ") + filler}}));
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(
        index, {{dir.filePath(QStringLiteral("long.zip")), QStringLiteral("L"), QString()}}));
    const SearchHit longHit = index.search(QStringLiteral("елочная")).value(0);
    QVERIFY(longHit.snippet.startsWith(QStringLiteral("…слово")));
    QVERIFY(longHit.snippet.endsWith(QStringLiteral("слово…")));
    QVERIFY(longHit.snippet.size() < 260);
    QCOMPARE(longHit.snippetMarks.size(), 1);
    QCOMPARE(longHit.snippet.mid(longHit.snippetMarks[0].start, longHit.snippetMarks[0].length),
             QStringLiteral("ёлочная"));

    // Every form of the word the snippet shows is marked, not only the first.
    QVERIFY(writeArchive(dir.filePath(QStringLiteral("again.zip")),
                         {{QStringLiteral("again.htm"), QStringLiteral("Снова"),
                           QStringLiteral("Вклад принят. Проценты по вкладу растут, "
                                          "а вклады в рублях надёжны.")}}));
    QVERIFY(indexAndWait(
        index, {{dir.filePath(QStringLiteral("again.zip")), QStringLiteral("G"), QString()}}));
    const SearchHit again = index.search(QStringLiteral("вклад")).value(0);
    QStringList forms;
    for (const TextMark &mark : again.snippetMarks)
        forms << again.snippet.mid(mark.start, mark.length);
    QCOMPARE(forms, (QStringList{QStringLiteral("Вклад"), QStringLiteral("вкладу"),
                                 QStringLiteral("вклады")}));
}

// The page view highlights the words as the page writes them: every form the
// query matched (its stem, its beginning, "ё" as "е"), each once whatever its
// case, and no word that only contains the query's letters.
void TestSearch::everyFormFoundIsReported()
{
    QTemporaryDir dir;
    QVERIFY(writeArchive(dir.filePath(QStringLiteral("a.zip")),
                         {{QStringLiteral("forms.htm"), QStringLiteral("Формы"),
                           QStringLiteral("Правление собралось. Решение правления принято, письмо "
                                          "правлению. ПРАВЛЕНИЕ. Управление не то. Ёлки и ёлка "
                                          "в лесу.")}}));
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(
        index, {{dir.filePath(QStringLiteral("a.zip")), QStringLiteral("A"), QString()}}));
    auto forms = [&index](const QString &query) {
        const QList<SearchHit> hits = index.search(query);
        return hits.size() == 1 ? hits.first().highlightWords : QStringList{QStringLiteral("?")};
    };
    const QStringList board{QStringLiteral("Правление"), QStringLiteral("правления"),
                            QStringLiteral("правлению")};
    QCOMPARE(forms(QStringLiteral("правление")), board);
    QCOMPARE(forms(QStringLiteral("прав")), board);
    QCOMPARE(forms(QStringLiteral("елка")),
             (QStringList{QStringLiteral("Ёлки"), QStringLiteral("ёлка")}));
    // A phrase is highlighted as it stands on the page.
    QCOMPARE(forms(QStringLiteral("\"решение правления\"")),
             QStringList{QStringLiteral("Решение правления")});
}

void TestSearch::whatIsIndexed()
{
    QTemporaryDir dir;
    // Without a list file: the page files at the top of the archive, not
    // pages inside companion folders.
    QVERIFY(writeArchive(
        dir.filePath(QStringLiteral("nolist.zip")),
        {{QStringLiteral("top.htm"), QStringLiteral("Верх"), QStringLiteral("верхняя")},
         {QStringLiteral("top_files/frame.htm"), QString(), QStringLiteral("вложенная")}},
        Tool::InfoZip, false));
    // With one: only what it lists, found also where its case differs from the zip's.
    QVERIFY(writeArchive(
        dir.filePath(QStringLiteral("list.zip")),
        {{QStringLiteral("Listed.htm"), QStringLiteral("Указанная"), QStringLiteral("указанная")},
         {QStringLiteral("unlisted.htm"), QString(), QStringLiteral("забытая")}}));
    {
        // The list names only the first page, in another case.
        QTemporaryDir scratch;
        QVERIFY(TestZips::unpack(dir.filePath(QStringLiteral("list.zip")), scratch.path()));
        QVERIFY(TestFiles::write(
            ListFile::path(scratch.path()),
            ListFile::compose({QStringLiteral("Указанная")}, {QStringLiteral("listed.HTM")})));
        QFile::remove(dir.filePath(QStringLiteral("list.zip")));
        QVERIFY(TestFiles::run(QStringLiteral("zip"),
                               {QStringLiteral("-r"), QStringLiteral("-q"),
                                dir.filePath(QStringLiteral("list.zip")), QStringLiteral(".")},
                               nullptr, scratch.path()) == 0);
    }
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    QVERIFY(indexAndWait(
        index, {{dir.filePath(QStringLiteral("nolist.zip")), QStringLiteral("N"), QString()},
                {dir.filePath(QStringLiteral("list.zip")), QStringLiteral("L"), QString()}}));
    QCOMPARE(found(index, QStringLiteral("верхняя")), QStringList{QStringLiteral("N/top.htm")});
    QCOMPARE(found(index, QStringLiteral("вложенная")), QStringList());
    QCOMPARE(found(index, QStringLiteral("указанная")),
             QStringList{QStringLiteral("L/Listed.htm")});
    QCOMPARE(found(index, QStringLiteral("забытая")), QStringList());
    // A page without a title in a list shows its own title.
    QCOMPARE(index.search(QStringLiteral("верхняя")).value(0).pageTitle, QStringLiteral("Верх"));
}

void TestSearch::commonWordsStayFast()
{
    // A word on every page, many times over, in many pages: still answered,
    // title hits first.
    QTemporaryDir dir;
    QList<CatalogueArchive> catalogue;
    const QString body = QStringLiteral("и в на и в на ").repeated(200);
    for (int a = 0; a < 3; ++a) {
        // Made in memory: thousands of files on disk would take longer than the search.
        QList<ZipTestKit::RawEntry> entries;
        QStringList titles;
        QStringList files;
        for (int p = 0; p < SearchIndex::kMaxRanked / 2; ++p) {
            const Page page{
                QStringLiteral("p%1.htm").arg(p),
                a == 2 && p == 7 ? QStringLiteral("и в заголовке") : QStringLiteral("Т"), body};
            entries.append(ZipTestKit::RawEntry(page.file.toLatin1(), pageBytes(page)));
            titles << page.title;
            files << page.file;
        }
        entries.append(ZipTestKit::RawEntry("listfile.txt", ListFile::compose(titles, files)));
        const QString zip = dir.filePath(QStringLiteral("c%1.zip").arg(a));
        QVERIFY(TestFiles::write(zip, ZipTestKit::buildZip(entries)));
        catalogue.append({zip, QStringLiteral("C%1").arg(a), QString()});
    }
    SearchIndex index(dir.filePath(QStringLiteral("index")));
    index.setIndexingPriority(QThread::NormalPriority);
    QVERIFY(indexAndWait(index, catalogue));
    QElapsedTimer timer;
    timer.start();
    const QList<SearchHit> hits = index.search(QStringLiteral("и"), 20);
    QCOMPARE(hits.size(), 20);
    QCOMPARE(hits.first().pageFile, QStringLiteral("p7.htm"));
    QCOMPARE(hits.first().archiveName, QStringLiteral("C2"));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
