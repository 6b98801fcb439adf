#include "storage/openarchive.h"

#include "storage/folderremoval.h"
#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "storage/longwork.h"
#include "storage/unpacking.h"
#include "storage/zipstamp.h"
#include "zip/zipextraction.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray hashOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash sum(QCryptographicHash::Sha256);
    if (!sum.addData(&file))
        return {};
    return sum.result();
}

// Runs once the zip holding the copies was written and synced.
void deleteSafeOriginals(const QString &workFolder, const QList<TakenFile> &files,
                         const QStringList &folders)
{
    const QString inside = workFolder + u'/';
    for (const TakenFile &file : files) {
        const QFileInfo copy(file.copy);
        if (!file.copy.startsWith(inside) || !copy.isFile() || copy.isSymLink())
            continue;
        if (hashOfFile(file.copy) != file.copyHash || hashOfFile(file.source) != file.sourceHash)
            continue;
        QFile::remove(file.source);
    }
    for (const QString &folder : folders)
        QDir().rmdir(folder); // stays when anything is left in it
}

bool isFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

StorageFailure failure(StorageFailure::Kind kind, const QString &path, const QString &detail)
{
    return {kind, path, 0, {}, detail};
}

// What a list file read from a working copy holds, beyond its pages.
struct ListFileState {
    bool unreadable = false;
    QStringList keptLines;
    QStringList refusedFileNames;
};

ListFileState stateOf(const QByteArray &bytes, const ListFileRead &read, qsizetype pagesRead)
{
    return {ListFile::isUnreadable(bytes, read, pagesRead), read.refusedLines,
            read.refusedFileNames};
}

// What opening found, made on the worker thread from copies only.
struct Unpacked {
    OpenArchive::OpenStatus status = OpenArchive::OpenStatus::Failed;
    StorageFailure failure;
    QStringList titles;
    QStringList fileNames;
    ListFileState list;
};

// Reads the page list of a working copy; a list cut short would lose
// the other titles at the next write-back, so a damaged one fails.
void readPages(const QString &folder, Unpacked &unpacked)
{
    QByteArray list;
    if (!readWholeFile(ListFile::path(folder), list)) {
        unpacked.status = OpenArchive::OpenStatus::ListFileMissing;
        return;
    }
    const ListFileRead read = ListFile::parseChecked(list, unpacked.titles, unpacked.fileNames);
    if (read.status == ListFileRead::Status::Damaged) {
        unpacked.failure = failure(StorageFailure::Kind::ArchiveDamaged, ListFile::path(folder),
                                   QStringLiteral("the list file is damaged"));
        unpacked.titles.clear();
        unpacked.fileNames.clear();
        return;
    }
    unpacked.list = stateOf(list, read, unpacked.titles.size());
    unpacked.status = OpenArchive::OpenStatus::Opened;
}

// Empties folder, opens the zip for unpacking into it (the whole zip is
// checked first) and unpacks its list file to read the pages, and what the
// first of them needs to be shown. Half an archive
// must never be taken for the whole one (a later write-back would replace the
// good zip with it): whatever fails leaves no folder.
Unpacked startUnpacking(const QString &zipPath, const QString &folder,
                        std::shared_ptr<Unpacking> &unpacking)
{
    Unpacked unpacked;
    if (auto removed = FolderRemoval::remove(folder); !removed) {
        unpacked.failure = removed.failure();
        return unpacked;
    }
    if (!QDir().mkpath(folder)) {
        unpacked.failure = failure(StorageFailure::Kind::NotCreated, folder,
                                   QStringLiteral("the working folder cannot be made"));
        return unpacked;
    }
    auto opened = Unpacking::open(zipPath, folder);
    const auto damaged = [&](const QString &detail) {
        unpacked.status = OpenArchive::OpenStatus::Failed;
        unpacked.failure = failure(StorageFailure::Kind::ArchiveDamaged, zipPath, detail);
    };
    const auto unpackedBy = [&](Unpacking &from, const QStringList &names) {
        if (from.unpackNow(names))
            return true;
        const auto result = from.result();
        damaged(result ? QString() : result.failure().detail);
        return false;
    };
    if (!opened) {
        damaged(opened.failure().detail);
    } else if (unpackedBy(**opened, {QString::fromLatin1(ListFile::FileName)})) {
        readPages(folder, unpacked);
        // The page shown first: the first of the list.
        const QString first = unpacked.fileNames.value(0).replace(u'\\', u'/');
        if (first.isEmpty() || unpackedBy(**opened, (*opened)->entriesOfPage(first)))
            unpacking = std::move(*opened);
    }
    if (unpacked.status == OpenArchive::OpenStatus::Failed) {
        unpacking.reset();
        if (!FolderRemoval::remove(folder))
            qWarning("a working folder unpacked in part could not be removed");
    }
    return unpacked;
}

} // namespace

OpenArchive::OpenArchive(const WorkFolders &folders)
    : m_folders(folders), m_removal(folders.beingRemoved(), folders.renameFolder),
      m_pageSelection(&m_pages)
{
    // A list with pages always has a focused page, the one the page commands
    // act on: pages that come into an empty list (added, found, dropped)
    // bring it with the first of them, as a click would.
    const auto keepFocus = [this] {
        if (m_pages.count() > 0 && !m_pageSelection.currentIndex().isValid())
            m_pageSelection.setCurrentIndex(m_pages.index(0), QItemSelectionModel::ClearAndSelect);
    };
    QObject::connect(&m_pages, &QAbstractItemModel::rowsInserted, &m_pages, keepFocus);
    QObject::connect(&m_pages, &QAbstractItemModel::modelReset, &m_pages, keepFocus);
}

bool OpenArchive::fail(const StorageFailure &failure)
{
    m_failure = failure;
    return false;
}

OpenArchive::~OpenArchive()
{
    setUnpacking(nullptr);
}

void OpenArchive::forgetArchive()
{
    setUnpacking(nullptr);
    m_originals.clear();
    m_originalFolders.clear();
    m_listFileUnreadable = false;
    m_keptListLines.clear();
    m_refusedFileNames.clear();
    m_pages.clear();
    m_zipPath.clear();
    m_unpacked.clear();
    m_record = {};
}

OpenArchive::OpenStatus OpenArchive::open(const QString &zipPath, LongWork &work)
{
    if (m_changed || refuseWhileHeld())
        return OpenStatus::Refused;
    forgetArchive();
    m_failure = {};
    // The record goes first: a folder half emptied or half unpacked must never
    // pass for the archive's working copy after a crash.
    if (!WorkRecord::remove(m_folders.archive)) {
        fail(failure(StorageFailure::Kind::NotDeleted, WorkRecord::pathFor(m_folders.archive),
                     QStringLiteral("the working folder's record cannot be removed")));
        return OpenStatus::Failed;
    }
    // Whatever is still there goes aside at once; the unpacking removes what
    // cannot be moved.
    m_removal.moveAside(m_folders.archive);
    // Taken first: a zip replaced while it is unpacked shows as changed. The
    // record says the copy is being made before anything is in it, so that
    // a copy cut short by a crash is never taken for one with changes.
    const ZipStamp stamp = ZipStamp::of(zipPath);
    WorkRecord record{zipPath, {}, {}, stamp, false, true};
    if (!QDir().mkpath(QFileInfo(m_folders.archive).absolutePath()) ||
        !record.write(m_folders.archive)) {
        fail(failure(StorageFailure::Kind::NotCreated, WorkRecord::pathFor(m_folders.archive),
                     QStringLiteral("the working folder's record cannot be written")));
        return OpenStatus::Failed;
    }
    std::shared_ptr<Unpacking> unpacking;
    Unpacked unpacked = work.run(MessageId::ProgressUnpacking,
                                 [&unpacking, zipPath, folder = m_folders.archive](WorkProgress &) {
                                     return startUnpacking(zipPath, folder, unpacking);
                                 });
    if (unpacked.status == OpenStatus::Failed) {
        if (!WorkRecord::remove(m_folders.archive))
            qWarning("the record of the working folder could not be removed");
        fail(unpacked.failure);
        return unpacked.status;
    }
    m_zipPath = zipPath;
    m_pages.reset(unpacked.titles, unpacked.fileNames);
    m_listFileUnreadable = unpacked.list.unreadable;
    m_keptListLines = unpacked.list.keptLines;
    m_refusedFileNames = unpacked.list.refusedFileNames;
    m_record = record;
    setUnpacking(unpacking);
    // The rest follows on the worker; what it ends with is taken on this thread.
    unpacking->startWorker([this, weak = std::weak_ptr(unpacking)] {
        QMetaObject::invokeMethod(
            &m_pages, [this, weak] { unpackingOver(weak); }, Qt::QueuedConnection);
    });
    return unpacked.status;
}

std::shared_ptr<Unpacking> OpenArchive::unpacking() const
{
    const std::lock_guard lock(m_unpackingLock);
    return m_unpacking;
}

void OpenArchive::setUnpacking(std::shared_ptr<Unpacking> unpacking)
{
    std::shared_ptr<Unpacking> old;
    {
        const std::lock_guard lock(m_unpackingLock);
        old = std::exchange(m_unpacking, std::move(unpacking));
    }
    if (old)
        old->stop();
}

void OpenArchive::unpackingOver(const std::weak_ptr<Unpacking> &which)
{
    const std::shared_ptr<Unpacking> over = which.lock();
    // Whoever waits for the unpacking in the foreground takes its end.
    if (!over || over != unpacking() || m_waitingForCopy > 0)
        return;
    if (!takeUnpacked() && m_failedLate)
        m_failedLate();
}

bool OpenArchive::takeUnpacked()
{
    const std::shared_ptr<Unpacking> current = unpacking();
    if (!current || !current->isOver())
        return true;
    auto result = current->result();
    setUnpacking(nullptr);
    if (result) {
        m_unpacked = std::move(*result);
        m_record.beingMade = false;
        saveRecord();
        return true;
    }
    // Damage found after the first page was shown ends as an opening that
    // failed: nothing open, no working copy, the zip as it was.
    const StorageFailure damaged =
        failure(StorageFailure::Kind::ArchiveDamaged, m_zipPath, result.failure().detail);
    forgetArchive();
    removeWorkingCopy();
    m_failure = damaged;
    return false;
}

bool OpenArchive::preparePage(const QString &fileName, LongWork &work)
{
    const std::shared_ptr<Unpacking> current = unpacking();
    if (!current)
        return true;
    const QStringList names = current->entriesOfPage(fileName);
    if (!current->areUnpacked(names)) {
        ++m_waitingForCopy;
        work.run(MessageId::ProgressUnpacking,
                 [current, names](WorkProgress &) { current->unpackNow(names); });
        --m_waitingForCopy;
    }
    return takeUnpacked();
}

bool OpenArchive::completeCopy(LongWork &work)
{
    const std::shared_ptr<Unpacking> current = unpacking();
    if (!current)
        return true;
    ++m_waitingForCopy;
    work.run(MessageId::ProgressUnpacking,
             [current](WorkProgress &progress) { (void)current->unpackRest(&progress); });
    --m_waitingForCopy;
    return takeUnpacked();
}

void OpenArchive::unpackBeforeReading(const QString &path) const
{
    const std::shared_ptr<Unpacking> current = unpacking();
    const QString inside = m_folders.archive + u'/';
    if (!current || !path.startsWith(inside))
        return;
    // Bounded: a command may be unpacking the rest on another thread.
    constexpr std::chrono::seconds kPatience{5};
    current->unpackNow(current->entriesForPath(path.mid(inside.size())), kPatience);
}

void OpenArchive::setCatalogueEntry(const QString &section, const QString &archive)
{
    if (!isOpen())
        return;
    m_record.section = section;
    m_record.archive = archive;
    saveRecord();
}

void OpenArchive::saveRecord()
{
    if (!m_record.write(m_folders.archive))
        qWarning("the record of the working folder could not be written");
}

void OpenArchive::setChanged(bool changed)
{
    if (m_changed == changed)
        return;
    // Changes are made to a whole copy only: the commands wait for it.
    if (changed && unpacking()) {
        qWarning("a change was made before the working copy was complete");
        InlineWork work;
        if (!completeCopy(work))
            return;
    }
    m_changed = changed;
    if (!isOpen())
        return;
    m_record.holdsChanges = changed;
    saveRecord();
}

void OpenArchive::recordWrittenZip()
{
    m_record.zipStamp = ZipStamp::of(m_zipPath);
    m_record.holdsChanges = false;
    saveRecord();
}

bool OpenArchive::refuseWhileHeld()
{
    if (!m_holdingLeftover)
        return false;
    fail(failure(StorageFailure::Kind::CopyHeld, m_folders.archive,
                 QStringLiteral("the working folder holds a copy left by a crash")));
    return true;
}

bool OpenArchive::keepUnreadableListFile()
{
    if (!m_listFileUnreadable || !QFileInfo::exists(ListFile::path(m_folders.archive)))
        return true;
    if (ListFile::keepAside(m_folders.archive).isEmpty())
        return fail(failure(StorageFailure::Kind::NotCreated, ListFile::path(m_folders.archive),
                            QStringLiteral("the unreadable list file cannot be kept aside")));
    m_listFileUnreadable = false;
    return true;
}

bool OpenArchive::adoptLeftover(const WorkRecord &record)
{
    if (isOpen() || m_changed || !isFolder(m_folders.archive))
        return false;
    QStringList titles;
    QStringList fileNames;
    QByteArray list;
    ListFileState state;
    if (readWholeFile(ListFile::path(m_folders.archive), list)) {
        const ListFileRead read = ListFile::parseChecked(list, titles, fileNames);
        if (read.status == ListFileRead::Status::Damaged)
            return false;
        state = stateOf(list, read, titles.size());
    }
    m_failure = {};
    m_zipPath = record.zipPath;
    m_record = record;
    m_record.holdsChanges = true;
    m_pages.reset(titles, fileNames);
    m_listFileUnreadable = state.unreadable;
    m_keptListLines = state.keptLines;
    m_refusedFileNames = state.refusedFileNames;
    m_changed = true;
    return true;
}

bool OpenArchive::saveListFile()
{
    if (!isOpen() || !m_changed || !isFolder(m_folders.archive))
        return true;
    return keepUnreadableListFile() &&
           saveWholeFile(ListFile::path(m_folders.archive),
                         ListFile::compose(m_pages.titles(), m_pages.fileNames(), m_keptListLines));
}

bool OpenArchive::startNew(const QString &zipPath)
{
    if (!leave())
        return false;
    if (!QDir().mkpath(m_folders.archive))
        return fail(failure(StorageFailure::Kind::NotCreated, m_folders.archive,
                            QStringLiteral("the working folder cannot be made")));
    m_zipPath = zipPath;
    m_changed = true;
    // A zip that appears there before the first write-back is someone else's.
    m_record = {zipPath, {}, {}, ZipStamp::of(zipPath), true};
    saveRecord();
    return true;
}

bool OpenArchive::writeBack(LongWork &work, IfZipChanged ifZipChanged)
{
    m_failure = {};
    m_zipChanged = false;
    if (!isFolder(m_folders.archive)) {
        m_changed = false;
        return true;
    }
    if (ifZipChanged == IfZipChanged::Keep && m_record.zipStamp &&
        m_record.zipStamp->replacedBy(ZipStamp::of(m_zipPath))) {
        m_zipChanged = true;
        return fail(failure(StorageFailure::Kind::ZipChanged, m_zipPath,
                            QStringLiteral("the zip changed since it was unpacked")));
    }
    if (!writeTo(m_zipPath, work, true))
        return false;
    m_changed = false;
    recordWrittenZip();
    if (m_writtenBack)
        m_writtenBack(m_zipPath);
    return true;
}

bool OpenArchive::writeCopy(const QString &zipPath, LongWork &work)
{
    m_failure = {};
    if (!isFolder(m_folders.archive))
        return fail(failure(StorageFailure::Kind::NotCreated, zipPath,
                            QStringLiteral("there is no working copy to write")));
    return writeTo(zipPath, work, false);
}

bool OpenArchive::writeBackTo(const QString &zipPath, LongWork &work)
{
    m_failure = {};
    if (!isOpen() || !isFolder(m_folders.archive))
        return fail(failure(StorageFailure::Kind::NotCreated, zipPath,
                            QStringLiteral("there is no working copy to write")));
    if (!writeTo(zipPath, work, true))
        return false;
    m_zipPath = zipPath;
    m_record.zipPath = zipPath;
    m_changed = false;
    recordWrittenZip();
    if (m_writtenBack)
        m_writtenBack(m_zipPath);
    return true;
}

bool OpenArchive::writeTo(const QString &zipPath, LongWork &work, bool keepRecord)
{
    if (!completeCopy(work))
        return false;
    if (!keepUnreadableListFile())
        return false;
    const QString folder = m_folders.archive;
    const QByteArray list =
        ListFile::compose(m_pages.titles(), m_pages.fileNames(), m_keptListLines);
    auto written = work.run(
        MessageId::ProgressWritingBack,
        [&writer = m_writer, folder, zipPath, list, record = m_unpacked,
         originals = m_originals,
         originalFolders = m_originalFolders](WorkProgress &progress) -> Expected<UnpackRecord, StorageFailure> {
            // The list file may be new.
            progress.setTotal(int(FolderZip::filesBelow(folder).valueOr({}).size()) + 1);
            const QString listFile = ListFile::path(folder);
            if (!saveWholeFile(listFile, list))
                return failure(StorageFailure::Kind::NotCreated, listFile,
                               QStringLiteral("the list file cannot be written"));
            auto zipped = FolderZip::write(folder, zipPath, writer, &record,
                                           [&progress](const QString &, qint64 bytes) {
                                               if (bytes == 0)
                                                   progress.advance();
                                           });
            if (zipped)
                deleteSafeOriginals(folder, originals, originalFolders);
            return zipped;
        });
    if (!written)
        return fail(written.failure());
    m_originals.clear();
    m_originalFolders.clear();
    // A failed write-back left the old zip, and the record of it, as they were;
    // a copy written elsewhere says nothing about the archive's own zip.
    if (keepRecord)
        m_unpacked = std::move(*written);
    return true;
}

bool OpenArchive::close()
{
    return leave();
}

bool OpenArchive::leave()
{
    if (m_changed)
        return false;
    m_failure = {};
    if (refuseWhileHeld())
        return false;
    forgetArchive();
    return removeWorkingCopy();
}

bool OpenArchive::removeWorkingCopy()
{
    // Moved aside, the copy is no longer where it could be taken for one; its
    // record, saying it holds no changes, goes right after.
    if (m_removal.moveAside(m_folders.archive)) {
        if (!WorkRecord::remove(m_folders.archive))
            return fail(failure(StorageFailure::Kind::NotDeleted,
                                WorkRecord::pathFor(m_folders.archive),
                                QStringLiteral("the working folder's record cannot be removed")));
        return true;
    }
    // Removed where it is, the record first: what a failed removal leaves is
    // no working copy.
    if (!WorkRecord::remove(m_folders.archive))
        return fail(failure(StorageFailure::Kind::NotDeleted, WorkRecord::pathFor(m_folders.archive),
                            QStringLiteral("the working folder's record cannot be removed")));
    if (auto removed = FolderRemoval::remove(m_folders.archive); !removed)
        return fail(removed.failure());
    return true;
}

std::optional<QString> OpenArchive::setAside()
{
    QString kept;
    if (isFolder(m_folders.archive)) {
        kept = moveToRecovered(m_folders);
        if (kept == m_folders.archive)
            return std::nullopt;
    }
    forgetArchive();
    m_changed = false;
    // Set aside, the copy belongs to no archive: nothing writes it back by itself.
    if (!WorkRecord::remove(m_folders.archive))
        qWarning("the record of the working folder could not be removed");
    return kept;
}

void OpenArchive::deleteAfterWriteBack(const QList<TakenFile> &files, const QStringList &folders)
{
    m_originals += files;
    m_originalFolders += folders;
}
