#include "storage/folderremoval.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <optional>

namespace {

QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

void makeWritable(const QString &path, bool folder)
{
    QFileDevice::Permissions need = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (folder)
        need |= QFileDevice::ExeOwner;
    const QFileDevice::Permissions has = QFile::permissions(path);
    if ((has & need) != need)
        QFile::setPermissions(path, has | need);
}

StorageFailure notDeleted(const QString &path)
{
    return {StorageFailure::Kind::NotDeleted, path, errno, {},
            QStringLiteral("\"%1\" cannot be deleted").arg(path)};
}

// A file or a link; a link goes itself, what it points to is left alone.
std::optional<StorageFailure> removeFile(const QFileInfo &entry, const QString &path)
{
    if (!entry.isSymLink())
        makeWritable(path, false);
    if (!QFile::remove(path))
        return notDeleted(path);
    return std::nullopt;
}

// Everything below folder, then folder. A folder below that cannot be
// emptied does not stop the others; its failure is the one told.
std::optional<StorageFailure> removeTree(const QString &folder, const std::function<bool()> &stop)
{
    makeWritable(folder, true);
    std::optional<StorageFailure> failed;
    for (const QFileInfo &entry : entriesOf(folder)) {
        const QString path = folder + u'/' + entry.fileName();
        if (stop && stop())
            return notDeleted(path);
        if (entry.isDir() && !entry.isSymLink()) {
            if (auto below = removeTree(path, stop); below && !failed)
                failed = below;
            continue;
        }
        if (auto file = removeFile(entry, path))
            return file;
    }
    if (QDir().rmdir(folder))
        return std::nullopt;
    return failed ? failed : notDeleted(folder);
}

bool isBelow(const QString &path, const QString &parent)
{
    return path.startsWith(parent + u'/');
}

} // namespace

namespace FolderRemoval {

Expected<void, StorageFailure> remove(const QString &folder, const std::function<bool()> &stop)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || (!info.exists() && !info.isSymLink()))
        return {};
    if (info.isSymLink()) {
        if (!QFile::remove(folder))
            return notDeleted(folder);
        return {};
    }
    if (!info.isDir())
        return notDeleted(folder); // a file of the folder's name is not the program's
    if (auto failed = removeTree(folder, stop))
        return *failed;
    return {};
}

Expected<void, StorageFailure> removeExcept(const QString &folder, const QStringList &keep)
{
    const QString root = QDir::cleanPath(folder);
    bool leadsToKept = false;
    for (const QString &kept : keep) {
        if (kept == root || isBelow(root, kept))
            return {};
        leadsToKept = leadsToKept || isBelow(kept, root);
    }
    if (!leadsToKept || QFileInfo(folder).isSymLink())
        return remove(folder);
    makeWritable(root, true);
    for (const QFileInfo &entry : entriesOf(root)) {
        const QString path = root + u'/' + entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            if (auto below = removeExcept(path, keep); !below)
                return below;
            continue;
        }
        if (keep.contains(path))
            continue;
        if (auto file = removeFile(entry, path))
            return *file;
    }
    return {};
}

} // namespace FolderRemoval
