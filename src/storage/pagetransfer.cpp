#include "storage/pagetransfer.h"

#include "storage/archivebudget.h"
#include "storage/folderremoval.h"
#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "storage/pagecopy.h"
#include "zip/zipreader.h"
#include "zip/zipwriter.h"

#include <QDir>

namespace {

StorageFailure failure(StorageFailure::Kind kind, const QString &path, const QString &detail)
{
    return {kind, path, 0, {}, detail};
}

// The target unpacked into folder, nothing of an earlier target left there.
Expected<void, StorageFailure> unpackTarget(const QString &folder, const QString &targetZip)
{
    if (auto removed = FolderRemoval::remove(folder); !removed)
        return removed;
    if (!QDir().mkpath(folder))
        return failure(StorageFailure::Kind::NotCreated, folder,
                       QStringLiteral("the second working folder cannot be made"));
    if (auto unpacked = ZipReader::extract(targetZip, folder); !unpacked)
        return failure(StorageFailure::Kind::ArchiveDamaged, targetZip, unpacked.failure().detail);
    return {};
}

// The target's list file. A page appended to an archive without a list would
// not be seen there, and one appended to a damaged list could make the whole
// archive refused.
Expected<QByteArray, StorageFailure> targetList(const QString &folder, const QString &targetZip)
{
    QByteArray list;
    if (!readWholeFile(ListFile::path(folder), list))
        return failure(StorageFailure::Kind::NoPageList, targetZip, QStringLiteral("no list file"));
    QStringList titles;
    QStringList fileNames;
    const ListFileRead read = ListFile::parseChecked(list, titles, fileNames);
    if (read.status == ListFileRead::Status::Damaged)
        return failure(StorageFailure::Kind::ArchiveDamaged, targetZip,
                       QStringLiteral("its list file is damaged"));
    if (read.status != ListFileRead::Status::Ok)
        return failure(StorageFailure::Kind::NoPageList, targetZip,
                       QStringLiteral("its list file cannot be read"));
    return list;
}

// Copies the pages into folder and appends their lines to list.
Expected<QStringList, StorageFailure> copyPages(const WorkFolders &folders,
                                                const QList<PageTransfer::Page> &pages,
                                                const QString &folder, QByteArray &list)
{
    PageCopier copier(folder);
    ArchiveBudget budget;
    budget.measure(folder);
    copier.setBudget(&budget);
    QStringList copied;
    for (const PageTransfer::Page &page : pages) {
        const QString source =
            folders.archive + u'/' + QString(page.fileName).replace(u'\\', u'/');
        const PageCopier::Result result = copier.copyPage(source);
        if (result == PageCopier::Result::NotAFile)
            return failure(StorageFailure::Kind::NotRead, source,
                           QStringLiteral("the page's file is missing"));
        if (result != PageCopier::Result::Copied)
            return copier.failure();
        copied << copier.fileName();
        list = ListFile::appendEntry(list, page.title, copier.fileName());
    }
    return copied;
}

Expected<QStringList, StorageFailure> run(const WorkFolders &folders,
                                          const QList<PageTransfer::Page> &pages,
                                          const QString &targetZip)
{
    const QString folder = folders.moveTarget;
    if (auto unpacked = unpackTarget(folder, targetZip); !unpacked)
        return unpacked.failure();
    auto list = targetList(folder, targetZip);
    if (!list)
        return list.failure();
    auto copied = copyPages(folders, pages, folder, *list);
    if (!copied)
        return copied;
    // The list file is written once, with every page's line before its end marker.
    if (!saveWholeFile(ListFile::path(folder), *list))
        return failure(StorageFailure::Kind::NotCreated, ListFile::path(folder),
                       QStringLiteral("the list file cannot be written"));
    ZipWriter writer;
    auto written = FolderZip::write(folder, targetZip, writer);
    if (!written) {
        // Nothing to write is the zip not made.
        if (written.failure().kind == StorageFailure::Kind::NothingToSave)
            return failure(StorageFailure::Kind::NotCreated, targetZip, written.failure().detail);
        return written.failure();
    }
    return copied;
}

} // namespace

namespace PageTransfer {

Expected<QStringList, StorageFailure> transfer(const WorkFolders &folders,
                                               const QList<Page> &pages,
                                               const QString &targetZip)
{
    auto moved = run(folders, pages, targetZip);
    // The second working folder only ever holds a copy: the target's zip is
    // either complete with the pages or as it was.
    if (!FolderRemoval::remove(folders.moveTarget))
        qWarning("the second working folder could not be removed");
    return moved;
}

} // namespace PageTransfer
