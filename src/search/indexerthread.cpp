#include "search/indexerthread.h"

#include "search/archiveindexer.h"
#include "search/indexdatabase.h"
#include "search/indexstore.h"

#include <QDir>
#include <QHash>
#include <QThreadPool>
#include <memory>

namespace {

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(path);
}

} // namespace

IndexerThread::IndexerThread(const QString &indexFolder, QObject *parent)
    : QThread(parent), m_folder(indexFolder), m_work(std::make_unique<WorkPriority>(IdlePriority))
{
}

void IndexerThread::setWorkPriority(Priority priority)
{
    m_work = std::make_unique<WorkPriority>(priority);
}

IndexerThread::~IndexerThread()
{
    requestStop();
    wait();
}

void IndexerThread::setCatalogue(const QList<CatalogueArchive> &archives)
{
    QMutexLocker lock(&m_mutex);
    QList<CatalogueArchive> cleaned = archives;
    for (CatalogueArchive &archive : cleaned)
        archive.zipPath = cleanPath(archive.zipPath);
    m_pending.catalogue = cleaned;
    m_busy = true;
    m_wake.wakeAll();
}

void IndexerThread::archiveChanged(const QString &zipPath)
{
    QMutexLocker lock(&m_mutex);
    m_pending.changed.insert(cleanPath(zipPath));
    m_pending.removed.remove(cleanPath(zipPath));
    m_busy = true;
    m_wake.wakeAll();
}

void IndexerThread::archiveRemoved(const QString &zipPath)
{
    QMutexLocker lock(&m_mutex);
    m_pending.removed.insert(cleanPath(zipPath));
    m_pending.changed.remove(cleanPath(zipPath));
    m_busy = true;
    m_wake.wakeAll();
}

void IndexerThread::rebuildIndex()
{
    QMutexLocker lock(&m_mutex);
    m_pending.rebuild = true;
    m_busy = true;
    m_wake.wakeAll();
}

void IndexerThread::requestStop()
{
    QMutexLocker lock(&m_mutex);
    m_stop = true;
    m_wake.wakeAll();
    m_work->raise(); // so that the stop is reached soon on a busy machine
}

bool IndexerThread::isBusy() const
{
    return m_busy.load();
}

IndexingStats IndexerThread::stats() const
{
    QMutexLocker lock(&m_mutex);
    return m_stats;
}

// Takes what was asked for so far; false when the thread is to stop.
bool IndexerThread::takeRequest(Request &request)
{
    QMutexLocker lock(&m_mutex);
    if (m_stop)
        return false;
    // Member by member: a whole Request temporary trips a false "may be used
    // uninitialized" in GCC's sanitizer builds.
    request.catalogue = std::exchange(m_pending.catalogue, std::nullopt);
    request.changed = std::exchange(m_pending.changed, {});
    request.removed = std::exchange(m_pending.removed, {});
    request.rebuild = std::exchange(m_pending.rebuild, false);
    return true;
}

// What the thread holds while it runs: the index, the catalogue it follows
// and the archives still to look at.
class IndexerThread::Work {
public:
    explicit Work(IndexerThread &thread) : m_thread(thread), db(thread.m_folder)
    {
        pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
        usable = connect(false);
        if (!usable)
            Q_EMIT m_thread.failed(db.error());
    }

    // Opens the index, thrown away and made anew when rebuild.
    bool connect(bool rebuild)
    {
        indexer.reset();
        store.reset();
        const bool ok = rebuild ? db.rebuild() : db.open(true);
        if (!ok)
            return false;
        store = std::make_unique<IndexStore>(db);
        indexer = std::make_unique<ArchiveIndexer>(*store, &pool, *m_thread.m_work,
                                                   m_thread.m_stop, stats);
        return true;
    }

    // An index asked to be rebuilt, or one that could not be opened before,
    // is opened anew and every archive queued again. False when it cannot be.
    bool reopen(Request &request)
    {
        if (usable && !request.rebuild)
            return true;
        usable = connect(request.rebuild || !usable);
        if (!usable) {
            Q_EMIT m_thread.failed(db.error());
            return false;
        }
        queue.clear();
        if (haveCatalogue && !request.catalogue) {
            request.catalogue.emplace();
            for (const QString &path : std::as_const(catalogueOrder))
                request.catalogue->append(catalogue[path]);
        }
        return true;
    }

    // Takes in what the request asks: a new catalogue, archives removed, and
    // archives changed, which come first. False when the index could not be
    // written.
    bool apply(const Request &request)
    {
        bool ok = true;
        if (request.catalogue)
            ok = takeCatalogue(*request.catalogue);
        for (const QString &path : std::as_const(request.removed)) {
            catalogue.remove(path);
            catalogueOrder.removeAll(path);
            queue.removeAll(path);
            if (const auto row = store->archive(path))
                ok = ok && store->begin() && store->removeArchive(row->id) && store->commit();
        }
        for (const QString &path : std::as_const(request.changed)) {
            if (!catalogue.contains(path))
                continue;
            force.insert(path);
            queue.removeAll(path);
            queue.prepend(path); // what the user just changed comes first
        }
        return ok;
    }

    bool takeCatalogue(const QList<CatalogueArchive> &archives)
    {
        catalogue.clear();
        catalogueOrder.clear();
        for (const CatalogueArchive &archive : archives) {
            if (!catalogue.contains(archive.zipPath))
                catalogueOrder << archive.zipPath;
            catalogue.insert(archive.zipPath, archive);
        }
        haveCatalogue = true;
        return syncCatalogue();
    }

    // Makes the archives table match the catalogue and queues every archive.
    bool syncCatalogue()
    {
        const auto rows = store->archives();
        if (!rows)
            return false;
        QSet<QString> known;
        for (const IndexStore::Archive &row : *rows) {
            known.insert(row.zipPath);
            const auto it = catalogue.constFind(row.zipPath);
            if (it == catalogue.constEnd()) {
                if (!store->begin() || !store->removeArchive(row.id) || !store->commit())
                    return false;
            } else if (it->name != row.name || it->section != row.section) {
                if (!store->setArchiveNames(row.id, it->name, it->section))
                    return false;
            }
        }
        for (const QString &path : std::as_const(catalogueOrder)) {
            const CatalogueArchive &archive = catalogue[path];
            if (!known.contains(archive.zipPath) &&
                !store->addArchive(archive.zipPath, archive.name, archive.section))
                return false;
            if (!queue.contains(archive.zipPath))
                queue << archive.zipPath;
        }
        return true;
    }

    // Brings the next queued archive up to date. False when the index could
    // not be written.
    bool indexNext()
    {
        if (queue.isEmpty())
            return true;
        const QString path = queue.takeFirst();
        const auto row = store->archive(path);
        if (!row)
            return false;
        const ArchiveIndexer::Outcome outcome = indexer->update(*row, force.remove(path));
        if (outcome == ArchiveIndexer::Outcome::Failed)
            return false;
        if (outcome == ArchiveIndexer::Outcome::Stopped)
            return true; // the stop is seen when the next request is taken
        ++done;
        // The first archive of a round is searchable at once; later ones go
        // in with the next periodic commit.
        const bool ok = done > 1 || store->commit();
        if (outcome == ArchiveIndexer::Outcome::Updated && !indexer->note().isEmpty())
            Q_EMIT m_thread.archiveNotIndexed(path, indexer->note());
        Q_EMIT m_thread.progress(done, done + int(queue.size()));
        return ok;
    }

    // After the index could not be written: a damaged index is thrown away
    // and built again from the archives; anything else (a full disk, say) is
    // not retried until the next request.
    void recover()
    {
        store->rollback();
        queue.clear();
        if (!db.sawDamage()) {
            Q_EMIT m_thread.failed(db.error());
            return;
        }
        usable = connect(true);
        if (usable && haveCatalogue)
            usable = syncCatalogue();
        if (!usable)
            Q_EMIT m_thread.failed(db.error());
    }

    IndexerThread &m_thread;
    QThreadPool pool;
    IndexDatabase db;
    IndexingStats stats;
    std::unique_ptr<IndexStore> store;
    std::unique_ptr<ArchiveIndexer> indexer;
    bool usable = false;
    QHash<QString, CatalogueArchive> catalogue;
    QStringList catalogueOrder; // archives are indexed in the catalogue's order
    bool haveCatalogue = false;
    QStringList queue;   // zip paths still to check, in order
    QSet<QString> force; // to be read even with an unchanged stamp
    int done = 0;        // archives checked since the thread last caught up
};

// Waits until there is something to do, committing and saying it is idle
// when it has caught up; then takes the request. False when the thread is
// to stop.
bool IndexerThread::nextRequest(Work &work, Request &request)
{
    for (;;) {
        QMutexLocker lock(&m_mutex);
        m_stats = work.stats;
        if (m_stop || !m_pending.isEmpty() || (!work.queue.isEmpty() && work.usable))
            break;
        work.done = 0;
        if (work.store && work.store->inTransaction()) {
            lock.unlock();
            work.store->commit(); // caught up: everything is searchable
            continue;
        }
        if (m_busy.exchange(false)) {
            lock.unlock();
            Q_EMIT idle();
            continue; // a request may have come in meanwhile
        }
        m_wake.wait(&m_mutex);
        break;
    }
    return takeRequest(request);
}

void IndexerThread::run()
{
    const WorkPriority::Scope priority(*m_work);
    Work work(*this);
    for (;;) {
        Request request;
        if (!nextRequest(work, request))
            break;
        if (!work.reopen(request))
            continue;
        if (!(work.apply(request) && work.indexNext()))
            work.recover();
    }
    if (work.store)
        work.store->commit(); // what was done before the stop is kept
    QMutexLocker lock(&m_mutex);
    m_stats = work.stats;
    m_busy = false;
}
