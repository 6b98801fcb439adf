#include "storage/pagetransfer.h"

#include "lang/messages.h"
#include "storage/archivebudget.h"
#include "storage/archivestorage.h"
#include "storage/listfile.h"
#include "storage/pagecopy.h"
#include "zip/ziparchiver.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool PageTransfer::transfer(const QList<Page> &pages, const QString &targetZip)
{
    m_fileNames.clear();
    m_failure = {};
    const bool done = run(pages, targetZip);
    // The second working folder only ever holds a copy: the target's zip is
    // either complete with the pages or as it was.
    ZipArchiver zip;
    ArchiveStorage storage(zip, m_folders);
    const QFileInfo target(m_folders.moveTarget);
    if ((target.exists() || target.isSymLink()) && !storage.removeFolder(m_folders.moveTarget))
        qWarning("the second working folder could not be removed");
    return done;
}

bool PageTransfer::run(const QList<Page> &pages, const QString &targetZip)
{
    ZipArchiver zip;
    ArchiveStorage storage(zip, m_folders);
    const QString folder = m_folders.moveTarget;
    const QFileInfo old(folder);
    // Nothing of an earlier target may travel into this one.
    if ((old.exists() || old.isSymLink()) && !storage.removeFolder(folder)) {
        m_failure = storage.lastFailure();
        return false;
    }
    if (!QDir().mkpath(folder)) {
        m_failure = cannotCreateFailure(native(folder));
        return false;
    }
    if (!storage.unpack(targetZip, folder)) {
        m_failure = storage.lastFailure();
        return false;
    }

    // A page appended to an archive without a list would not be seen there,
    // and one appended to a damaged list could make the whole archive refused.
    QByteArray list;
    if (!readWholeFile(ListFile::path(folder), list)) {
        m_failure = {StorageFailure::Box::Message,
                     msg(MessageId::MoveTargetWithoutList) + kCrLf + native(targetZip)};
        return false;
    }
    QStringList titles;
    QStringList fileNames;
    const ListFileRead read = ListFile::parseChecked(list, titles, fileNames);
    if (read.status != ListFileRead::Status::Ok) {
        m_failure = {StorageFailure::Box::Message,
                     read.status == ListFileRead::Status::Damaged
                         ? msg(MessageId::ArchiveDamaged)
                         : msg(MessageId::MoveTargetWithoutList) + kCrLf + native(targetZip)};
        return false;
    }

    PageCopier copier(folder);
    ArchiveBudget budget;
    budget.measure(folder);
    copier.setBudget(&budget);
    QStringList copied;
    for (const Page &page : pages) {
        const QString source =
            m_folders.archive + u'/' + QString(page.fileName).replace(u'\\', u'/');
        switch (copier.copyPage(source)) {
        case PageCopier::Result::Copied:
            break;
        case PageCopier::Result::NotAFile:
            m_failure = {StorageFailure::Box::Error, cannotOpenText(native(source))};
            return false;
        case PageCopier::Result::Refused:
            m_failure = {StorageFailure::Box::Message, copier.message()};
            return false;
        case PageCopier::Result::Failed:
            m_failure = {StorageFailure::Box::Error, copier.message()};
            return false;
        }
        copied << copier.fileName();
        list = ListFile::appendEntry(list, page.title, copier.fileName());
    }
    // The list file is written once, with every page's line before its end marker.
    if (!saveWholeFile(ListFile::path(folder), list)) {
        m_failure = {StorageFailure::Box::Error,
                     cannotCreateFailure(native(ListFile::path(folder))).text};
        return false;
    }
    if (!storage.writeZipKeepingListFile(folder, targetZip)) {
        m_failure = storage.lastFailure();
        if (!m_failure.failed())
            m_failure = cannotCreateFailure(native(targetZip));
        return false;
    }
    m_fileNames = copied;
    return true;
}
