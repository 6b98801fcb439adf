#pragma once

#include "search/searchtypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

class IndexDatabase;
class IndexerThread;
class WordTokenizer;

// Full-text search over every page of every archive in the catalogue.
//
// The index lives in a folder of its own (the cache folder): a missing,
// damaged or old index is rebuilt from the archives without a word to the
// user. It is brought up to date in the background at a low priority; an
// archive whose zip did not change since it was indexed (size, modification
// time, file) costs one stat, and a changed one costs only its changed pages.
// Searches answer from what is indexed so far, also while indexing runs.
//
// Tell it about the catalogue once at start-up (catalogueChanged) and after
// every change the program makes: a write-back, attach, create, save-as,
// rename or move of an archive (catalogueChanged with the new list, or
// archiveChanged for one zip written), a removal (archiveRemoved).
// Destroying it stops indexing at once; nothing done so far is lost.
class SearchIndex : public QObject {
    Q_OBJECT
public:
    // Queries that match more pages than this are not ranked by bm25.
    static constexpr int kMaxRanked = 2000;

    explicit SearchIndex(const QString &indexFolder, QObject *parent = nullptr);
    ~SearchIndex() override;

    // The priority indexing runs at; idle unless set before the first update.
    void setIndexingPriority(QThread::Priority priority);

    // The whole catalogue: archives not in it are dropped, new ones indexed,
    // changed names and sections taken over, every zip checked.
    void catalogueChanged(const QList<CatalogueArchive> &archives);
    // A zip of the catalogue was written: its pages are brought up to date first.
    void archiveChanged(const QString &zipPath);
    void archiveRemoved(const QString &zipPath);

    // The pages that hold every word and phrase of query, best first: words in
    // the title count more. Runs on the calling thread.
    QList<SearchHit> search(const QString &query, int limit = 50);

    // Stops indexing; returns when the indexer has stopped (within a page's time).
    void stop();
    bool isIndexing() const;
    IndexingStats stats() const;
    // For tests and the benchmark: waits until indexing has caught up,
    // delivering this object's signals meanwhile.
    bool waitUntilIdle(int timeoutMs);

Q_SIGNALS:
    // For the status bar: archives checked so far in this round, of how many.
    void indexingProgress(int archivesDone, int archivesTotal);
    void indexingFinished();
    // An archive, or some of its pages, could not be indexed; why is for a log or tooltip.
    void archiveNotIndexed(const QString &zipPath, const QString &why);
    // The index cannot be written (no space left, say); indexing waits for the next change.
    void indexingFailed(const QString &why);

private:
    IndexerThread *indexer();
    bool openReader();
    // How many pages match, counting no further than most; -1 on failure.
    int countUpTo(const QString &expression, int most);

    QString m_folder;
    QThread::Priority m_priority = QThread::IdlePriority;
    std::unique_ptr<IndexerThread> m_indexer;
    std::unique_ptr<IndexDatabase> m_reader;
    std::unique_ptr<WordTokenizer> m_words;
    bool m_damaged = false;
};
