#include "search/archiveindexer.h"

#include "search/pageextractor.h"
#include "search/wordtokenizer.h"
#include "search/workpriority.h"
#include "storage/listfile.h"
#include "zip/zipentryreader.h"

#include <QHash>
#include <QSet>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <deque>

namespace {

constexpr qsizetype kMaxNoteLength = 2000;

struct Wanted {
    QString file;
    QString title;
    qsizetype entry = -1;
};

struct Extracted {
    PageExtractor::PageText page;
    IndexStore::PreparedText prepared;
    bool skipped = false; // the indexer was stopped before this page was parsed
};

// Runs on the pool: everything a page needs before the writer takes it.
Extracted extract(const QByteArray &bytes, const QString &file)
{
    // Each pool thread folds and stems with its own tokenizer (stemmers are not shared).
    thread_local WordTokenizer words;
    Extracted extracted;
    extracted.page = PageExtractor::extract(bytes, file);
    extracted.prepared = IndexStore::prepare(extracted.page.text, words);
    extracted.page.text.clear();
    return extracted;
}

// The entries an archive's page list names, in its order; without a list, the
// page files at the top of the archive.
QList<Wanted> wantedPages(const QList<ZipEntryReader::Entry> &entries, const QStringList &titles,
                          const QStringList &files, bool haveList)
{
    QHash<QString, qsizetype> byName;
    QHash<QString, qsizetype> byFoldedName;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        byName.insert(entries[i].name, i);
        // Archives made on Windows may spell a name in the list in another case.
        byFoldedName.insert(entries[i].name.toCaseFolded(), i);
    }
    QList<Wanted> wanted;
    QSet<QString> seen;
    auto want = [&](qsizetype entry, const QString &title) {
        const QString &name = entries[entry].name;
        if (!PageExtractor::isPageFileName(name) || seen.contains(name))
            return;
        seen.insert(name);
        wanted.append({name, title, entry});
    };
    if (haveList) {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QString file = files[i];
            file.replace(u'\\', u'/');
            qsizetype entry = byName.value(file, -1);
            if (entry < 0)
                entry = byFoldedName.value(file.toCaseFolded(), -1);
            if (entry >= 0)
                want(entry, titles[i]);
        }
    } else {
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (!entries[i].name.contains(u'/'))
                want(i, QString());
        }
    }
    return wanted;
}

bool sameContent(const IndexStore::Page &page, const ZipEntryReader::Entry &entry)
{
    return page.crc == entry.crc && page.size == entry.size;
}

} // namespace

ArchiveIndexer::ArchiveIndexer(IndexStore &store, QThreadPool *pool, WorkPriority &priority,
                               const std::atomic<bool> &stop, IndexingStats &stats)
    : m_store(store), m_pool(pool), m_priority(priority), m_stop(stop), m_stats(stats)
{
}

ArchiveIndexer::Outcome ArchiveIndexer::update(const IndexStore::Archive &archive, bool force)
{
    m_note.clear();
    QStringList notes;
    auto addNote = [&](const QString &note) {
        if (notes.join(QStringLiteral("; ")).size() < kMaxNoteLength)
            notes << note;
    };
    ++m_stats.archivesChecked;
    // A changed page is taken out and put back: one page touched, not two.
    QSet<QString> touched;
    auto touch = [&](const QString &file) {
        if (!touched.contains(file)) {
            touched.insert(file);
            ++m_stats.pagesChanged;
        }
    };

    ZipEntryReader::FileStamp now;
    // A zip that is not there (its drive not mounted) keeps its pages in the
    // index: its archive stays in the catalogue, and when the zip is back
    // unchanged nothing needs reading again.
    if (!ZipEntryReader::stampOf(archive.zipPath, now))
        return Outcome::Unchanged;
    if (!force && archive.stamp && *archive.stamp == now)
        return Outcome::Unchanged;

    const auto stored = m_store.pages(archive.id);
    if (!stored || !m_store.begin())
        return Outcome::Failed;
    auto finish = [&](const std::optional<ZipEntryReader::FileStamp> &stamp) {
        m_note = notes.join(QStringLiteral("; "));
        if (!m_store.setArchiveState(archive.id, stamp, m_note) || !m_store.commitIfDue())
            return Outcome::Failed;
        return Outcome::Updated;
    };
    auto stopped = [&] { return m_store.commit() ? Outcome::Stopped : Outcome::Failed; };

    // A zip that the program would refuse to open has no pages anyone can
    // be shown.
    ZipEntryReader reader;
    const bool readable = reader.open(archive.zipPath);
    ++m_stats.archivesRead;
    if (!readable) {
        for (const IndexStore::Page &page : *stored) {
            if (!m_store.removePage(page.id))
                return Outcome::Failed;
            touch(page.file);
        }
        addNote(reader.error());
        return finish(now);
    }
    const QList<ZipEntryReader::Entry> &entries = reader.entries();

    QStringList titles;
    QStringList files;
    bool haveList = false;
    for (qsizetype i = 0; i < entries.size() && !haveList; ++i) {
        if (entries[i].name.compare(QLatin1String(ListFile::FileName), Qt::CaseInsensitive) != 0)
            continue;
        QByteArray bytes;
        if (!reader.read(i, bytes, kMaxListFileBytes))
            addNote(reader.error());
        else
            haveList = ListFile::parse(bytes, titles, files);
    }
    const QList<Wanted> wanted = wantedPages(entries, titles, files, haveList);

    // Pages whose entry did not change keep their words; a new title is all
    // that may need writing.
    QHash<QString, const IndexStore::Page *> storedByFile;
    for (const IndexStore::Page &page : *stored)
        storedByFile.insert(page.file, &page);
    QSet<qint64> kept;
    QList<Wanted> needText;
    for (const Wanted &w : wanted) {
        const IndexStore::Page *page = storedByFile.value(w.file);
        if (page && sameContent(*page, entries[w.entry])) {
            kept.insert(page->id);
            if (page->title != w.title) {
                if (!m_store.retitlePage(page->id, w.title))
                    return Outcome::Failed;
                touch(w.file);
            }
        } else {
            needText << w;
        }
    }

    // A page renamed in the archive keeps its text under its new name.
    struct Rename {
        const IndexStore::Page *page;
        Wanted wanted;
    };
    QList<Rename> renames;
    QList<Wanted> toRead;
    for (const Wanted &w : std::as_const(needText)) {
        const IndexStore::Page *donor = nullptr;
        for (const IndexStore::Page &page : *stored) {
            if (!kept.contains(page.id) && sameContent(page, entries[w.entry])) {
                donor = &page;
                break;
            }
        }
        if (donor) {
            kept.insert(donor->id);
            renames.append({donor, w});
        } else {
            toRead << w;
        }
    }
    // Pages gone from the archive, and the old words of changed ones.
    for (const IndexStore::Page &page : *stored) {
        if (kept.contains(page.id))
            continue;
        if (!m_store.removePage(page.id))
            return Outcome::Failed;
        touch(page.file);
        if (m_stop.load())
            return stopped();
    }
    // Through names of their own, so that pages that swapped names never
    // hold the same name at once.
    for (const Rename &r : std::as_const(renames)) {
        if (!m_store.renamePage(r.page->id, QStringLiteral("\x01%1").arg(r.page->id)))
            return Outcome::Failed;
    }
    for (const Rename &r : std::as_const(renames)) {
        if (!m_store.renamePage(r.page->id, r.wanted.file))
            return Outcome::Failed;
        if (r.page->title != r.wanted.title) {
            if (!m_store.retitlePage(r.page->id, r.wanted.title))
                return Outcome::Failed;
            touch(r.wanted.file);
        }
    }

    // New and changed pages: the text of the same page elsewhere (moved from
    // another archive), else the page read and parsed on the pool.
    struct Pending {
        Wanted wanted;
        QFuture<Extracted> future;
    };
    std::deque<Pending> inFlight;
    const std::size_t maxInFlight = std::size_t(qMax(2, m_pool->maxThreadCount() * 2));
    bool failed = false;
    auto finishOldest = [&] {
        Pending pending = std::move(inFlight.front());
        inFlight.pop_front();
        Extracted extracted = pending.future.result();
        if (extracted.skipped || failed)
            return;
        const ZipEntryReader::Entry &entry = entries[pending.wanted.entry];
        IndexStore::Page page;
        page.file = pending.wanted.file;
        page.title = pending.wanted.title;
        page.pageTitle = extracted.page.title;
        page.crc = entry.crc;
        page.size = entry.size;
        if (extracted.page.cut)
            addNote(
                QStringLiteral("\"%1\" is indexed only in part: it is too long").arg(page.file));
        m_stats.textBytes += extracted.prepared.text.size();
        if (!m_store.addPage(archive.id, page, extracted.prepared) || !m_store.commitIfDue())
            failed = true;
        touch(page.file);
    };
    for (const Wanted &w : std::as_const(toRead)) {
        if (m_stop.load() || failed)
            break;
        const ZipEntryReader::Entry &entry = entries[w.entry];
        if (const auto text = m_store.textOf(entry.crc, entry.size)) {
            IndexStore::Page page;
            page.file = w.file;
            page.title = w.title;
            page.crc = entry.crc;
            page.size = entry.size;
            if (!m_store.addPage(archive.id, page, *text) || !m_store.commitIfDue()) {
                failed = true;
                break;
            }
            touch(w.file);
            continue;
        }
        QByteArray bytes;
        if (!reader.read(w.entry, bytes, kMaxEntryBytes)) {
            addNote(reader.error());
            continue;
        }
        ++m_stats.pagesRead;
        m_stats.htmlBytes += bytes.size();
        const QString file = w.file;
        const std::atomic<bool> *stop = &m_stop;
        WorkPriority *work = &m_priority;
        inFlight.push_back(
            {w,
             QtConcurrent::run(m_pool, [bytes = std::move(bytes), file, stop, work]() -> Extracted {
                 const WorkPriority::Scope priority(*work);
                 if (stop->load())
                     return {{}, {}, true};
                 return extract(bytes, file);
             })});
        while (inFlight.size() >= maxInFlight)
            finishOldest();
    }
    while (!inFlight.empty())
        finishOldest();
    if (failed)
        return Outcome::Failed;
    if (m_stop.load())
        return stopped();
    return finish(reader.stamp());
}
