#include "search/searchindex.h"

#include "search/indexdatabase.h"
#include "search/indexerthread.h"
#include "search/searchquery.h"
#include "search/snippetmaker.h"
#include "search/storedtext.h"
#include "search/wordtokenizer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSqlError>
#include <QSqlQuery>

SearchIndex::SearchIndex(const QString &indexFolder, QObject *parent)
    : QObject(parent), m_folder(indexFolder), m_words(std::make_unique<WordTokenizer>())
{
    qRegisterMetaType<CatalogueArchive>();
}

SearchIndex::~SearchIndex()
{
    stop();
}

void SearchIndex::setIndexingPriority(QThread::Priority priority)
{
    m_priority = priority;
}

IndexerThread *SearchIndex::indexer()
{
    if (!m_indexer) {
        m_indexer = std::make_unique<IndexerThread>(m_folder);
        m_indexer->setWorkPriority(m_priority);
        connect(m_indexer.get(), &IndexerThread::progress, this, &SearchIndex::indexingProgress);
        connect(m_indexer.get(), &IndexerThread::idle, this, &SearchIndex::indexingFinished);
        connect(m_indexer.get(), &IndexerThread::archiveNotIndexed, this,
                &SearchIndex::archiveNotIndexed);
        connect(m_indexer.get(), &IndexerThread::failed, this, &SearchIndex::indexingFailed);
        m_indexer->start();
    }
    return m_indexer.get();
}

void SearchIndex::catalogueChanged(const QList<CatalogueArchive> &archives)
{
    indexer()->setCatalogue(archives);
}

void SearchIndex::archiveChanged(const QString &zipPath)
{
    indexer()->archiveChanged(zipPath);
}

void SearchIndex::archiveRemoved(const QString &zipPath)
{
    indexer()->archiveRemoved(zipPath);
}

void SearchIndex::stop()
{
    if (!m_indexer)
        return;
    m_indexer->requestStop();
    m_indexer->wait();
    m_indexer.reset();
}

bool SearchIndex::isIndexing() const
{
    return m_indexer && m_indexer->isBusy();
}

IndexingStats SearchIndex::stats() const
{
    return m_indexer ? m_indexer->stats() : IndexingStats();
}

bool SearchIndex::waitUntilIdle(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const bool busy = isIndexing();
        QCoreApplication::sendPostedEvents(this);
        if (!busy)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
}

bool SearchIndex::openReader()
{
    if (m_reader && m_reader->isOpen() && !m_reader->isStale())
        return true;
    if (!m_reader)
        m_reader = std::make_unique<IndexDatabase>(m_folder);
    // The reader never rebuilds: the indexer owns the file's life.
    return m_reader->open(false);
}

int SearchIndex::countUpTo(const QString &expression, int most)
{
    QSqlQuery sql(m_reader->database());
    sql.prepare(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM page_words "
                               "WHERE page_words MATCH ? LIMIT ?)"));
    sql.addBindValue(expression);
    sql.addBindValue(most);
    if (!sql.exec() || !sql.next()) {
        m_damaged = m_damaged || IndexDatabase::isDamage(sql.lastError());
        return -1;
    }
    return sql.value(0).toInt();
}

QList<SearchHit> SearchIndex::search(const QString &text, int limit)
{
    SearchQuery query = SearchQuery::parse(text, *m_words);
    if (query.isEmpty() || limit <= 0 || !openReader())
        return {};

    // Ranking reads every hit of every matching page, and the words that are
    // on most pages have the most hits: a query made only of such words
    // (more than kMaxRanked pages each) is ordered by whether its words are
    // in the title instead, and such words are not looked up by their
    // beginnings. Counting stops at kMaxRanked, so it costs little.
    m_damaged = false;
    bool broad = true;
    for (std::size_t i = 0; i < query.items().size(); ++i) {
        if (countUpTo(query.stemExpression(i), kMaxRanked + 1) > kMaxRanked)
            query.dropPrefix(i);
        else
            broad = false;
    }

    QSqlQuery sql(m_reader->database());
    sql.prepare(
        QStringLiteral(
            "SELECT p.file, p.title, p.page_title, p.body, a.name, a.section, a.zip_path, m.score "
            "FROM (SELECT rowid AS id, %1 AS score FROM page_words WHERE page_words MATCH ? "
            "      ORDER BY score LIMIT ?) AS m "
            "JOIN pages AS p ON p.id = m.id JOIN archives AS a ON a.id = p.archive_id "
            "ORDER BY m.score")
            .arg(broad ? QStringLiteral("titlefirst(page_words)") : QStringLiteral("rank")));
    sql.addBindValue(query.expression());
    sql.addBindValue(limit);
    if (!sql.exec() || m_damaged) {
        if (m_damaged || IndexDatabase::isDamage(sql.lastError())) {
            m_reader->close();
            indexer()->rebuildIndex();
        }
        return {};
    }

    QList<SearchHit> hits;
    while (sql.next()) {
        SearchHit hit;
        hit.pageFile = sql.value(0).toString();
        hit.pageTitle = sql.value(1).toString();
        const QString ownTitle = QString::fromUtf8(sql.value(2).toByteArray());
        if (hit.pageTitle.trimmed().isEmpty())
            hit.pageTitle = ownTitle.isEmpty() ? hit.pageFile : ownTitle;
        hit.archiveName = sql.value(4).toString();
        hit.section = sql.value(5).toString();
        hit.zipPath = sql.value(6).toString();
        hit.score = sql.value(7).toDouble();

        SnippetMaker maker(query, *m_words);
        const auto body = StoredText::unpack(sql.value(3).toByteArray());
        if (body) {
            const SnippetMaker::Snippet snippet = maker.snippet(*body);
            hit.snippet = snippet.text;
            hit.snippetMarks = snippet.marks;
        }
        hit.titleMarks = maker.marksIn(hit.pageTitle);
        hit.highlightWords = maker.highlightWords();
        hits << hit;
    }
    return hits;
}
