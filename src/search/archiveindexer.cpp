#include "search/archiveindexer.h"

#include "search/pageextractor.h"
#include "search/wordtokenizer.h"
#include "search/workpriority.h"
#include "storage/listfile.h"
#include "zip/zipreader.h"

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
QList<Wanted> wantedPages(const QList<ZipReader::Entry> &entries, const QStringList &titles,
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

bool sameContent(const IndexStore::Page &page, const ZipReader::Entry &entry)
{
    return page.crc == entry.crc && page.size == entry.size;
}

// One archive's update: what the index holds of it, what its zip holds now,
// and what has been done so far.
class Update {
public:
    using Outcome = ArchiveIndexer::Outcome;

    Update(IndexStore &store, QThreadPool *pool, WorkPriority &priority,
           const std::atomic<bool> &stop, IndexingStats &stats,
           const IndexStore::Archive &archive)
        : m_store(store), m_pool(pool), m_priority(priority), m_stop(stop), m_stats(stats),
          m_archive(archive)
    {
    }

    Outcome run(bool force);
    QString note() const { return m_notes.join(QStringLiteral("; ")); }

private:
    struct Rename {
        const IndexStore::Page *page;
        Wanted wanted;
    };
    struct Pending {
        Wanted wanted;
        QFuture<Extracted> future;
    };

    void addNote(const QString &note);
    // A changed page is taken out and put back: one page touched, not two.
    void touch(const QString &file);
    Outcome finish(const std::optional<ZipReader::FileStamp> &stamp);
    Outcome stopped() { return m_store.commit() ? Outcome::Stopped : Outcome::Failed; }
    Outcome removeAll(const ZipReader::FileStamp &stamp, const QString &why);
    QList<Wanted> readWanted();
    bool keepUnchanged(const QList<Wanted> &wanted, QList<Wanted> &needText);
    void findRenames(const QList<Wanted> &needText, QList<Rename> &renames,
                     QList<Wanted> &toRead);
    bool removeGone();
    bool applyRenames(const QList<Rename> &renames);
    bool readNew(const QList<Wanted> &toRead);
    bool addKnownText(const Wanted &w, const IndexStore::Text &text);
    bool finishOldest(std::deque<Pending> &inFlight);

    IndexStore &m_store;
    QThreadPool *m_pool;
    WorkPriority &m_priority;
    const std::atomic<bool> &m_stop;
    IndexingStats &m_stats;
    const IndexStore::Archive &m_archive;
    QList<IndexStore::Page> m_stored;
    ZipReader m_reader;
    QStringList m_notes;
    QSet<QString> m_touched;
    QSet<qint64> m_kept;
};

void Update::addNote(const QString &note)
{
    if (m_notes.join(QStringLiteral("; ")).size() < kMaxNoteLength)
        m_notes << note;
}

void Update::touch(const QString &file)
{
    if (!m_touched.contains(file)) {
        m_touched.insert(file);
        ++m_stats.pagesChanged;
    }
}

Update::Outcome Update::finish(const std::optional<ZipReader::FileStamp> &stamp)
{
    if (!m_store.setArchiveState(m_archive.id, stamp, note()) || !m_store.commitIfDue())
        return Outcome::Failed;
    return Outcome::Updated;
}

Update::Outcome Update::run(bool force)
{
    ++m_stats.archivesChecked;
    ZipReader::FileStamp now;
    // A zip that is not there (its drive not mounted) keeps its pages in the
    // index: its archive stays in the catalogue, and when the zip is back
    // unchanged nothing needs reading again.
    if (!ZipReader::stampOf(m_archive.zipPath, now))
        return Outcome::Unchanged;
    if (!force && m_archive.stamp && *m_archive.stamp == now)
        return Outcome::Unchanged;

    const auto stored = m_store.pages(m_archive.id);
    if (!stored || !m_store.begin())
        return Outcome::Failed;
    m_stored = *stored;
    // A zip that the program would refuse to open has no pages anyone can
    // be shown.
    ++m_stats.archivesRead;
    if (auto opened = m_reader.open(m_archive.zipPath); !opened)
        return removeAll(now, opened.failure().detail);

    QList<Wanted> needText;
    QList<Rename> renames;
    QList<Wanted> toRead;
    if (!keepUnchanged(readWanted(), needText))
        return Outcome::Failed;
    findRenames(needText, renames, toRead);
    if (!removeGone())
        return Outcome::Failed;
    if (m_stop.load())
        return stopped();
    if (!applyRenames(renames) || !readNew(toRead))
        return Outcome::Failed;
    if (m_stop.load())
        return stopped();
    return finish(m_reader.stamp());
}

Update::Outcome Update::removeAll(const ZipReader::FileStamp &stamp, const QString &why)
{
    for (const IndexStore::Page &page : std::as_const(m_stored)) {
        if (!m_store.removePage(page.id))
            return Outcome::Failed;
        touch(page.file);
    }
    addNote(why);
    return finish(stamp);
}

// The pages the archive's list file names, or its top-level pages without one.
QList<Wanted> Update::readWanted()
{
    const QList<ZipReader::Entry> &entries = m_reader.entries();
    QStringList titles;
    QStringList files;
    bool haveList = false;
    for (qsizetype i = 0; i < entries.size() && !haveList; ++i) {
        if (entries[i].name.compare(QLatin1String(ListFile::FileName), Qt::CaseInsensitive) != 0)
            continue;
        const auto bytes = m_reader.read(i, ArchiveIndexer::kMaxListFileBytes);
        if (!bytes)
            addNote(bytes.failure().detail);
        else
            haveList = ListFile::parse(*bytes, titles, files);
    }
    return wantedPages(entries, titles, files, haveList);
}

// Pages whose entry did not change keep their words; a new title is all
// that may need writing. The others need their text.
bool Update::keepUnchanged(const QList<Wanted> &wanted, QList<Wanted> &needText)
{
    QHash<QString, const IndexStore::Page *> storedByFile;
    for (const IndexStore::Page &page : std::as_const(m_stored))
        storedByFile.insert(page.file, &page);
    for (const Wanted &w : wanted) {
        const IndexStore::Page *page = storedByFile.value(w.file);
        if (!page || !sameContent(*page, m_reader.entries()[w.entry])) {
            needText << w;
            continue;
        }
        m_kept.insert(page->id);
        if (page->title != w.title) {
            if (!m_store.retitlePage(page->id, w.title))
                return false;
            touch(w.file);
        }
    }
    return true;
}

// A page renamed in the archive keeps its text under its new name.
void Update::findRenames(const QList<Wanted> &needText, QList<Rename> &renames,
                         QList<Wanted> &toRead)
{
    for (const Wanted &w : needText) {
        const IndexStore::Page *donor = nullptr;
        for (const IndexStore::Page &page : std::as_const(m_stored)) {
            if (!m_kept.contains(page.id) && sameContent(page, m_reader.entries()[w.entry])) {
                donor = &page;
                break;
            }
        }
        if (donor) {
            m_kept.insert(donor->id);
            renames.append({donor, w});
        } else {
            toRead << w;
        }
    }
}

// Pages gone from the archive, and the old words of changed ones.
bool Update::removeGone()
{
    for (const IndexStore::Page &page : std::as_const(m_stored)) {
        if (m_kept.contains(page.id))
            continue;
        if (!m_store.removePage(page.id))
            return false;
        touch(page.file);
        if (m_stop.load())
            return true;
    }
    return true;
}

// Through names of their own, so that pages that swapped names never hold
// the same name at once.
bool Update::applyRenames(const QList<Rename> &renames)
{
    for (const Rename &r : renames) {
        if (!m_store.renamePage(r.page->id, QStringLiteral("\x01%1").arg(r.page->id)))
            return false;
    }
    for (const Rename &r : renames) {
        if (!m_store.renamePage(r.page->id, r.wanted.file))
            return false;
        if (r.page->title != r.wanted.title) {
            if (!m_store.retitlePage(r.page->id, r.wanted.title))
                return false;
            touch(r.wanted.file);
        }
    }
    return true;
}

// The page with the text of the same page elsewhere (moved from another archive).
bool Update::addKnownText(const Wanted &w, const IndexStore::Text &text)
{
    const ZipReader::Entry &entry = m_reader.entries()[w.entry];
    IndexStore::Page page;
    page.file = w.file;
    page.title = w.title;
    page.crc = entry.crc;
    page.size = entry.size;
    if (!m_store.addPage(m_archive.id, page, text) || !m_store.commitIfDue())
        return false;
    touch(w.file);
    return true;
}

// The oldest page in flight, parsed, goes into the index.
bool Update::finishOldest(std::deque<Pending> &inFlight)
{
    Pending pending = std::move(inFlight.front());
    inFlight.pop_front();
    Extracted extracted = pending.future.result();
    if (extracted.skipped)
        return true;
    const ZipReader::Entry &entry = m_reader.entries()[pending.wanted.entry];
    IndexStore::Page page;
    page.file = pending.wanted.file;
    page.title = pending.wanted.title;
    page.pageTitle = extracted.page.title;
    page.crc = entry.crc;
    page.size = entry.size;
    if (extracted.page.cut)
        addNote(QStringLiteral("\"%1\" is indexed only in part: it is too long").arg(page.file));
    m_stats.textBytes += extracted.prepared.text.size();
    touch(page.file);
    return m_store.addPage(m_archive.id, page, extracted.prepared) && m_store.commitIfDue();
}

// New and changed pages: the text of the same page elsewhere, else the page
// read and parsed on the pool, a few at a time.
bool Update::readNew(const QList<Wanted> &toRead)
{
    std::deque<Pending> inFlight;
    const std::size_t maxInFlight = std::size_t(qMax(2, m_pool->maxThreadCount() * 2));
    bool ok = true;
    for (const Wanted &w : toRead) {
        if (m_stop.load() || !ok)
            break;
        const ZipReader::Entry &entry = m_reader.entries()[w.entry];
        if (const auto text = m_store.textOf(entry.crc, entry.size)) {
            ok = addKnownText(w, *text);
            continue;
        }
        auto bytes = m_reader.read(w.entry, ArchiveIndexer::kMaxEntryBytes);
        if (!bytes) {
            addNote(bytes.failure().detail);
            continue;
        }
        ++m_stats.pagesRead;
        m_stats.htmlBytes += bytes->size();
        const QString file = w.file;
        const std::atomic<bool> *stop = &m_stop;
        WorkPriority *work = &m_priority;
        inFlight.push_back(
            {w, QtConcurrent::run(m_pool, [bytes = std::move(*bytes), file, stop,
                                           work]() -> Extracted {
                 const WorkPriority::Scope priority(*work);
                 if (stop->load())
                     return {{}, {}, true};
                 return extract(bytes, file);
             })});
        while (ok && inFlight.size() >= maxInFlight)
            ok = finishOldest(inFlight);
    }
    // What is in flight is waited for even after a failure.
    while (!inFlight.empty()) {
        if (ok) {
            ok = finishOldest(inFlight);
        } else {
            inFlight.front().future.waitForFinished();
            inFlight.pop_front();
        }
    }
    return ok;
}

} // namespace

ArchiveIndexer::ArchiveIndexer(IndexStore &store, QThreadPool *pool, WorkPriority &priority,
                               const std::atomic<bool> &stop, IndexingStats &stats)
    : m_store(store), m_pool(pool), m_priority(priority), m_stop(stop), m_stats(stats)
{
}

ArchiveIndexer::Outcome ArchiveIndexer::update(const IndexStore::Archive &archive, bool force)
{
    Update update(m_store, m_pool, m_priority, m_stop, m_stats, archive);
    const Outcome outcome = update.run(force);
    m_note = update.note();
    return outcome;
}
