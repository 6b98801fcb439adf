#include "storage/openarchive.h"

#include "lang/messages.h"
#include "storage/archivestorage.h"
#include "storage/listfile.h"
#include "storage/longwork.h"
#include "storage/zipstamp.h"
#include "zip/ziparchiver.h"

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

// Removes what is at folder (a folder, or a link standing in its place).
bool removeAny(ArchiveStorage &storage, const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists() && !info.isSymLink())
        return true;
    return storage.removeFolder(folder);
}

const QString kCrLf = QStringLiteral("\r\n");

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

} // namespace

OpenArchive::OpenArchive(const WorkFolders &folders) : m_folders(folders), m_pageSelection(&m_pages)
{
}

OpenArchive::OpenStatus OpenArchive::open(const QString &zipPath, LongWork &work)
{
    if (m_changed || refuseWhileHeld())
        return OpenStatus::Refused;
    forgetOriginals();
    forgetListFile();
    m_pages.clear();
    m_zipPath.clear();
    m_unpacked.clear();
    m_failure = {};
    // The record goes first: a folder half emptied or half unpacked must never
    // pass for the archive's working copy after a crash.
    m_record = {};
    if (!WorkRecord::remove(m_folders.archive)) {
        m_failure = {StorageFailure::Box::Message,
                     msg(MessageId::CannotDeleteFile) +
                         QDir::toNativeSeparators(WorkRecord::pathFor(m_folders.archive))};
        return OpenStatus::Failed;
    }

    // Filled on the worker thread from copies only; read once the work is done.
    struct Unpacked {
        OpenStatus status = OpenStatus::Failed;
        StorageFailure failure;
        QStringList titles;
        QStringList fileNames;
        UnpackRecord record;
        ZipStamp stamp;
        ListFileState list;
    } unpacked;
    const WorkFolders folders = m_folders;
    work.run(msg(MessageId::ProgressUnpacking), [&unpacked, folders, zipPath](WorkProgress &) {
        ZipArchiver zip;
        ArchiveStorage storage(zip, folders);
        const QString folder = folders.archive;
        // Taken first: a zip replaced while it is unpacked shows as changed.
        unpacked.stamp = ZipStamp::of(zipPath);
        if (!removeAny(storage, folder)) {
            unpacked.failure = storage.lastFailure();
            return;
        }
        if (!QDir().mkpath(folder)) {
            unpacked.failure = cannotCreateFailure(QDir::toNativeSeparators(folder));
            return;
        }
        if (!storage.unpack(zipPath, folder)) {
            unpacked.failure = storage.lastFailure();
            // Half an archive must never be taken for the whole one: a later
            // write-back would replace the good zip with it.
            removeAny(storage, folder);
            return;
        }
        unpacked.record = storage.record();
        QByteArray list;
        if (!readWholeFile(ListFile::path(folder), list)) {
            unpacked.status = OpenStatus::ListFileMissing;
            return;
        }
        const ListFileRead read = ListFile::parseChecked(list, unpacked.titles, unpacked.fileNames);
        if (read.status == ListFileRead::Status::Damaged) {
            // A list cut short would lose the other titles at the next write-back.
            unpacked.failure = {StorageFailure::Box::Message, msg(MessageId::ArchiveDamaged)};
            unpacked.titles.clear();
            unpacked.fileNames.clear();
            removeAny(storage, folder);
            return;
        }
        unpacked.list = stateOf(list, read, unpacked.titles.size());
        unpacked.status = OpenStatus::Opened;
    });

    if (unpacked.status == OpenStatus::Failed) {
        m_failure = unpacked.failure;
        return unpacked.status;
    }
    m_zipPath = zipPath;
    m_unpacked = std::move(unpacked.record);
    m_pages.reset(unpacked.titles, unpacked.fileNames);
    m_listFileUnreadable = unpacked.list.unreadable;
    m_keptListLines = unpacked.list.keptLines;
    m_refusedFileNames = unpacked.list.refusedFileNames;
    m_record = {zipPath, {}, {}, unpacked.stamp, false};
    if (!writeRecord())
        qWarning("the record of the working folder could not be written");
    return unpacked.status;
}

void OpenArchive::setCatalogueEntry(const QString &section, const QString &archive)
{
    if (!isOpen())
        return;
    m_record.section = section;
    m_record.archive = archive;
    if (!writeRecord())
        qWarning("the record of the working folder could not be written");
}

bool OpenArchive::writeRecord()
{
    return m_record.write(m_folders.archive);
}

void OpenArchive::setChanged(bool changed)
{
    if (m_changed == changed)
        return;
    m_changed = changed;
    if (!isOpen())
        return;
    m_record.holdsChanges = changed;
    if (!writeRecord())
        qWarning("the record of the working folder could not be written");
}

void OpenArchive::recordWrittenZip()
{
    m_record.zipStamp = ZipStamp::of(m_zipPath);
    m_record.holdsChanges = false;
    if (!writeRecord())
        qWarning("the record of the working folder could not be written");
}

bool OpenArchive::refuseWhileHeld()
{
    if (!m_holdingLeftover)
        return false;
    m_failure = {StorageFailure::Box::Message, msg(MessageId::SetAsideFailed) + kCrLf +
                                                   QDir::toNativeSeparators(m_folders.archive)};
    return true;
}

void OpenArchive::forgetListFile()
{
    m_listFileUnreadable = false;
    m_keptListLines.clear();
    m_refusedFileNames.clear();
}

bool OpenArchive::keepUnreadableListFile()
{
    if (!m_listFileUnreadable || !QFileInfo::exists(ListFile::path(m_folders.archive)))
        return true;
    if (ListFile::keepAside(m_folders.archive).isEmpty()) {
        m_failure =
            cannotCreateFailure(QDir::toNativeSeparators(ListFile::path(m_folders.archive)));
        return false;
    }
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
    if (m_changed)
        return false;
    m_failure = {};
    if (refuseWhileHeld())
        return false;
    forgetOriginals();
    forgetListFile();
    m_record = {};
    if (!removeWorkingCopy())
        return false;
    if (!QDir().mkpath(m_folders.archive)) {
        m_failure = cannotCreateFailure(QDir::toNativeSeparators(m_folders.archive));
        return false;
    }
    m_pages.clear();
    m_zipPath = zipPath;
    m_unpacked.clear();
    m_changed = true;
    // A zip that appears there before the first write-back is someone else's.
    m_record = {zipPath, {}, {}, ZipStamp::of(zipPath), true};
    if (!writeRecord())
        qWarning("the record of the working folder could not be written");
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
        m_failure = {StorageFailure::Box::Message, msg(MessageId::ZipChangedSinceOpened) + kCrLf +
                                                       QDir::toNativeSeparators(m_zipPath)};
        return false;
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
    if (!isFolder(m_folders.archive)) {
        m_failure = cannotCreateFailure(QDir::toNativeSeparators(zipPath));
        return false;
    }
    return writeTo(zipPath, work, false);
}

bool OpenArchive::writeBackTo(const QString &zipPath, LongWork &work)
{
    m_failure = {};
    if (!isOpen() || !isFolder(m_folders.archive)) {
        m_failure = cannotCreateFailure(QDir::toNativeSeparators(zipPath));
        return false;
    }
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
    if (!keepUnreadableListFile())
        return false;
    struct Written {
        bool ok = false;
        StorageFailure failure;
        UnpackRecord record;
    } written;
    const WorkFolders folders = m_folders;
    const QStringList titles = m_pages.titles();
    const QStringList fileNames = m_pages.fileNames();
    const QStringList keptLines = m_keptListLines;
    const QList<TakenFile> originals = m_originals;
    const QStringList originalFolders = m_originalFolders;
    const UnpackRecord record = m_unpacked;
    work.run(msg(MessageId::ProgressWritingBack), [&written, folders, zipPath, titles, fileNames,
                                                   keptLines, originals, originalFolders,
                                                   record](WorkProgress &progress) {
        ZipArchiver zip;
        ArchiveStorage storage(zip, folders);
        storage.setRecord(record);
        QStringList files;
        storage.listFilesBelow(folders.archive, files);
        progress.setTotal(int(files.size()) + 1); // the list file may be new
        zip.onProgress = [&progress](ZipArchiver *, ProgressKind kind, const QString &, qint64) {
            if (kind == ProgressKind::AddStart)
                progress.advance();
        };
        const QString listFile = ListFile::path(folders.archive);
        if (!saveWholeFile(listFile, ListFile::compose(titles, fileNames, keptLines))) {
            written.failure = cannotCreateFailure(QDir::toNativeSeparators(listFile));
            return;
        }
        written.ok = storage.writeZipKeepingListFile(folders.archive, zipPath);
        written.failure = storage.lastFailure();
        if (written.ok) {
            written.record = storage.record();
            deleteSafeOriginals(folders.archive, originals, originalFolders);
        }
    });
    if (!written.ok) {
        m_failure = written.failure;
        if (!m_failure.failed())
            m_failure = {StorageFailure::Box::Message, msg(MessageId::SaveFailedHead) +
                                                           QStringLiteral("\r\n") +
                                                           QDir::toNativeSeparators(zipPath)};
        return false;
    }
    forgetOriginals();
    // A failed write-back left the old zip, and the record of it, as they were;
    // a copy written elsewhere says nothing about the archive's own zip.
    if (keepRecord)
        m_unpacked = std::move(written.record);
    return true;
}

bool OpenArchive::close()
{
    if (m_changed)
        return false;
    m_failure = {};
    if (refuseWhileHeld())
        return false;
    forgetOriginals();
    forgetListFile();
    m_pages.clear();
    m_zipPath.clear();
    m_unpacked.clear();
    m_record = {};
    return removeWorkingCopy();
}

bool OpenArchive::removeWorkingCopy()
{
    // The record first: what a failed removal leaves is no working copy.
    if (!WorkRecord::remove(m_folders.archive)) {
        m_failure = {StorageFailure::Box::Message,
                     msg(MessageId::CannotDeleteFile) +
                         QDir::toNativeSeparators(WorkRecord::pathFor(m_folders.archive))};
        return false;
    }
    ZipArchiver zip;
    ArchiveStorage storage(zip, m_folders);
    if (!removeAny(storage, m_folders.archive)) {
        m_failure = storage.lastFailure();
        return false;
    }
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
    forgetOriginals();
    forgetListFile();
    m_pages.clear();
    m_zipPath.clear();
    m_unpacked.clear();
    m_changed = false;
    m_record = {};
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

void OpenArchive::forgetOriginals()
{
    m_originals.clear();
    m_originalFolders.clear();
}
