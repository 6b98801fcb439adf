#include "storage/openarchive.h"

#include "lang/messages.h"
#include "storage/archivestorage.h"
#include "storage/listfile.h"
#include "storage/longwork.h"
#include "zip/ziparchiver.h"

#include <QDir>
#include <QFileInfo>

namespace {

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

} // namespace

OpenArchive::OpenArchive(const WorkFolders &folders) : m_folders(folders), m_pageSelection(&m_pages)
{
}

OpenArchive::OpenStatus OpenArchive::open(const QString &zipPath, LongWork &work)
{
    if (m_changed)
        return OpenStatus::Refused;
    m_pages.clear();
    m_zipPath.clear();
    m_failure = {};

    // Filled on the worker thread from copies only; read once the work is done.
    struct Unpacked {
        OpenStatus status = OpenStatus::Failed;
        StorageFailure failure;
        QStringList titles;
        QStringList fileNames;
    } unpacked;
    const WorkFolders folders = m_folders;
    work.run(msg(MessageId::ProgressUnpacking), [&unpacked, folders, zipPath](WorkProgress &) {
        ZipArchiver zip;
        ArchiveStorage storage(zip, folders);
        const QString folder = folders.archive;
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
        QByteArray list;
        if (!readWholeFile(ListFile::path(folder), list)) {
            unpacked.status = OpenStatus::ListFileMissing;
            return;
        }
        ListFile::parse(list, unpacked.titles, unpacked.fileNames);
        unpacked.status = OpenStatus::Opened;
    });

    if (unpacked.status == OpenStatus::Failed) {
        m_failure = unpacked.failure;
        return unpacked.status;
    }
    m_zipPath = zipPath;
    m_pages.reset(unpacked.titles, unpacked.fileNames);
    return unpacked.status;
}

bool OpenArchive::startNew(const QString &zipPath)
{
    if (m_changed)
        return false;
    m_failure = {};
    ZipArchiver zip;
    ArchiveStorage storage(zip, m_folders);
    if (!removeAny(storage, m_folders.archive)) {
        m_failure = storage.lastFailure();
        return false;
    }
    if (!QDir().mkpath(m_folders.archive)) {
        m_failure = cannotCreateFailure(QDir::toNativeSeparators(m_folders.archive));
        return false;
    }
    m_pages.clear();
    m_zipPath = zipPath;
    m_changed = true;
    return true;
}

bool OpenArchive::writeBack(LongWork &work)
{
    m_failure = {};
    const QString folder = m_folders.archive;
    if (!isFolder(folder)) {
        m_changed = false;
        return true;
    }
    struct Written {
        bool ok = false;
        StorageFailure failure;
    } written;
    const WorkFolders folders = m_folders;
    const QString zipPath = m_zipPath;
    const QStringList titles = m_pages.titles();
    const QStringList fileNames = m_pages.fileNames();
    work.run(msg(MessageId::ProgressWritingBack), [&written, folders, zipPath, titles,
                                                   fileNames](WorkProgress &progress) {
        ZipArchiver zip;
        ArchiveStorage storage(zip, folders);
        QStringList files;
        storage.listFilesBelow(folders.archive, files);
        progress.setTotal(int(files.size()) + 1); // the list file may be new
        zip.onProgress = [&progress](ZipArchiver *, ProgressKind kind, const QString &, qint64) {
            if (kind == ProgressKind::AddStart)
                progress.advance();
        };
        written.ok = storage.writeZip(folders.archive, zipPath, titles, fileNames);
        written.failure = storage.lastFailure();
    });
    if (!written.ok) {
        m_failure = written.failure;
        if (!m_failure.failed())
            m_failure = {StorageFailure::Box::Message, msg(MessageId::SaveFailedHead) +
                                                           QStringLiteral("\r\n") +
                                                           QDir::toNativeSeparators(m_zipPath)};
        return false;
    }
    m_changed = false;
    if (m_writtenBack)
        m_writtenBack(m_zipPath);
    return true;
}

bool OpenArchive::close()
{
    if (m_changed)
        return false;
    m_failure = {};
    m_pages.clear();
    m_zipPath.clear();
    ZipArchiver zip;
    ArchiveStorage storage(zip, m_folders);
    if (!removeAny(storage, m_folders.archive)) {
        m_failure = storage.lastFailure();
        return false;
    }
    return true;
}

QString OpenArchive::setAside()
{
    m_pages.clear();
    m_zipPath.clear();
    m_changed = false;
    if (!isFolder(m_folders.archive))
        return {};
    return moveToRecovered(m_folders.archive, m_folders.base());
}
