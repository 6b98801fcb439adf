#pragma once

#include "search/indexstore.h"
#include "search/searchtypes.h"

#include <QString>
#include <atomic>

class QThreadPool;
class WorkPriority;

// Brings the index of one archive up to date with its zip, reading the zip in
// memory through the program's own zip reader. Only what changed is touched:
// a page whose entry has the same CRC and size as when it was indexed is left
// alone (a new title is only retitled), a renamed page keeps its text, a page
// found in another archive (moved) takes that text over, and only new or
// changed pages are read and parsed, on the thread pool.
class ArchiveIndexer {
public:
    // Page entries larger than this are not read (noted instead).
    static constexpr std::uint64_t kMaxEntryBytes = std::uint64_t(64) << 20;
    static constexpr std::uint64_t kMaxListFileBytes = std::uint64_t(16) << 20;

    enum class Outcome {
        Updated,   // the index now matches the zip (what could be read of it)
        Unchanged, // the zip's stamp is the one indexed, or the zip is not there
                   // (its pages stay indexed); nothing was read
        Stopped,   // stopped between pages; what was done is kept
        Failed,    // the index could not be written
    };

    ArchiveIndexer(IndexStore &store, QThreadPool *pool, WorkPriority &priority,
                   const std::atomic<bool> &stop, IndexingStats &stats);

    // force reads the zip's directory even when its stamp is unchanged. The
    // changes are left in the store's transaction (see IndexStore::commitIfDue).
    Outcome update(const IndexStore::Archive &archive, bool force);
    // What could not be indexed in the last update; empty when all was.
    QString note() const { return m_note; }

private:
    IndexStore &m_store;
    QThreadPool *m_pool;
    WorkPriority &m_priority;
    const std::atomic<bool> &m_stop;
    IndexingStats &m_stats;
    QString m_note;
};
