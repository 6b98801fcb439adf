#pragma once

#include "search/searchtypes.h"
#include "search/workpriority.h"

#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <memory>
#include <optional>

// The thread that keeps the index in step with the catalogue. Requests are
// queued from any thread and taken in between archives; the thread waits
// when there is nothing to do. Stopping takes effect between pages: the pages
// done so far are committed, and whatever was not finished is picked up at
// the next start (an archive is marked up to date only when it is).
class IndexerThread : public QThread {
    Q_OBJECT
public:
    explicit IndexerThread(const QString &indexFolder, QObject *parent = nullptr);
    ~IndexerThread() override;

    // Priority of this thread and of the page parsers; before start().
    void setWorkPriority(Priority priority);

    void setCatalogue(const QList<CatalogueArchive> &archives);
    void archiveChanged(const QString &zipPath);
    void archiveRemoved(const QString &zipPath);
    // Throws the index away and builds it again.
    void rebuildIndex();
    // Asks the thread to end; returns at once. wait() then returns within a page's time.
    void requestStop();

    bool isBusy() const;
    IndexingStats stats() const;

Q_SIGNALS:
    void progress(int archivesDone, int archivesTotal);
    void idle();
    void archiveNotIndexed(const QString &zipPath, const QString &why);
    void failed(const QString &why);

protected:
    void run() override;

private:
    struct Request {
        std::optional<QList<CatalogueArchive>> catalogue;
        QSet<QString> changed;
        QSet<QString> removed;
        bool rebuild = false;
        bool isEmpty() const
        {
            return !catalogue && changed.isEmpty() && removed.isEmpty() && !rebuild;
        }
    };
    class Work;
    bool takeRequest(Request &request);
    bool nextRequest(Work &work, Request &request);

    const QString m_folder;
    std::unique_ptr<WorkPriority> m_work;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_busy{false};
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    Request m_pending;
    IndexingStats m_stats; // guarded by m_mutex
};
