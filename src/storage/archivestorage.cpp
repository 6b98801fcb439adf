#include "storage/archivestorage.h"

#include "lang/messages.h"
#include "storage/listfile.h"
#include "zip/ziparchiver.h"
#include "zip/zipguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString cannotCreate(const QString &path)
{
    return QStringLiteral("Cannot create file %1").arg(QDir::toNativeSeparators(path));
}

QDir::Filters allEntries()
{
    return QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
}

// The text from the last dot on, the dot included; empty without a dot.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

// A new, empty file beside the zip; its mode follows the umask like any new file.
QString createTempBeside(const QString &target)
{
    const QFileInfo info(target);
    QString stem = info.fileName();
    if (QFile::encodeName(stem).size() > 180)
        stem = QStringLiteral("archive");
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path =
            info.absolutePath() + QStringLiteral("/.") + stem + u'.' +
            QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFULL, 36) +
            QStringLiteral(".tmp");
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Temporary files of saves that were killed half-way; created by
// createTempBeside as "." + name + "." + base-36 number + ".tmp". Only one
// copy of the program runs, so none of them belongs to a save under way.
void removeLeftoverTemps(const QString &target)
{
    const QFileInfo info(target);
    const QString prefix = u'.' + info.fileName() + u'.';
    const QString suffix = QStringLiteral(".tmp");
    const QDir dir = info.absoluteDir();
    for (const QString &name :
         dir.entryList({prefix + u'*' + suffix}, QDir::Files | QDir::Hidden)) {
        const QString middle = name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        const bool generated = !middle.isEmpty() && middle.size() <= 8 &&
                               std::all_of(middle.begin(), middle.end(), [](QChar c) {
                                   return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z');
                               });
        if (generated)
            QFile::remove(dir.filePath(name));
    }
}

bool syncPath(const QString &path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return false;
    int result = ::fsync(fd);
    // Some file systems cannot sync a folder; the rename stands all the same.
    if (result != 0 && folder && (errno == EINVAL || errno == ENOTSUP || errno == EROFS))
        result = 0;
    ::close(fd);
    return result == 0;
}

// Puts the finished temporary file in the zip's place: its data on disk first,
// then the rename (the old zip or the new one, never half of either), then the
// folder entry. identity: the new zip's, as it stands under its name.
bool replaceWith(const QString &temp, const QString &target, FileIdentity *identity)
{
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray tempName = QFile::encodeName(temp);
    struct stat old {};
    if (::stat(targetName.constData(), &old) == 0)
        ::chmod(tempName.constData(), old.st_mode & 07777);
    const int fd = ::open(tempName.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat renamed {};
    const bool replaced =
        ::fsync(fd) == 0 && ::rename(tempName.constData(), targetName.constData()) == 0 &&
        syncPath(QFileInfo(target).absolutePath(), true) && fstat(fd, &renamed) == 0;
    ::close(fd);
    if (replaced)
        *identity = FileIdentity::of(renamed); // the rename changed its change time
    return replaced;
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

// A name is taken by any entry, a dangling link included (writing through it
// would create a file outside the folder).
bool nameTaken(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + u'/' + name);
    return info.exists() || info.isSymLink();
}

// A page's file name also gives its title, and both go into the list file:
// "=" splits a line there and a line break ends it. Such characters become
// "-" when the page comes in.
bool isUnstorableInList(QChar c)
{
    return c == u'=' || c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

bool hasUnstorable(const QString &name)
{
    return std::any_of(name.begin(), name.end(), isUnstorableInList);
}

} // namespace

ArchiveStorage::ArchiveStorage(ZipArchiver &zip, const WorkFolders &folders)
    : m_zip(zip), m_folders(folders)
{
}

bool ArchiveStorage::fail(StorageFailure::Box box, const QString &text)
{
    m_failure = {box, text};
    return false;
}

bool ArchiveStorage::unpack(const QString &zipPath, const QString &folder)
{
    m_failure = {};
    m_record.clear();
    // A reader still open on an older file of the same name must not be reused.
    m_zip.setUnzipFileName(QString());
    m_zip.setUnzipFileName(zipPath);
    if (!m_zip.extractAll(folder))
        return fail(StorageFailure::Box::Message, msg(MessageId::ArchiveDamaged));
    m_record = m_zip.takeUnpackRecord();
    return true;
}

bool ArchiveStorage::writeZip(const QString &folder, const QString &zipPath,
                              const QStringList &titles, const QStringList &fileNames)
{
    m_failure = {};
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QString listFile = ListFile::path(folder);
    if (!saveWholeFile(listFile, ListFile::compose(titles, fileNames)))
        return fail(StorageFailure::Box::Error, cannotCreate(listFile));
    return zipFolder(folder, zipPath);
}

bool ArchiveStorage::writeZipKeepingListFile(const QString &folder, const QString &zipPath)
{
    m_failure = {};
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    return zipFolder(folder, zipPath);
}

bool ArchiveStorage::zipFolder(const QString &folder, const QString &zipPath)
{
    if (zipPath.isEmpty())
        return false;
    QStringList files;
    QStringList unlisted;
    QStringList links;
    QList<qint64> sizes;
    listFiles(folder, QString(), files, unlisted, &links, &sizes);
    // A link is never followed (its target's bytes must not enter the zip) nor
    // left out (what it stands for would be missing from the archive): the
    // write-back fails and names it, and the old zip stays.
    if (!unlisted.isEmpty() || !links.isEmpty()) {
        reportFailures(unlisted + links);
        return false;
    }
    if (files.isEmpty())
        return false; // an empty zip would replace the old one for nothing
    if (refuseOversized(files, sizes))
        return false;

    const QFileInfo zipInfo(zipPath);
    const QString target =
        zipInfo.isSymLink() ? zipInfo.symLinkTarget() : zipInfo.absoluteFilePath();
    QStringList failed;
    {
        const QString temp = createTempBeside(target);
        if (temp.isEmpty()) {
            failed = files;
        } else {
            // Entries whose files are as they were unpacked (or last written)
            // are copied from that zip, if it is still the same file.
            const bool ownRecord =
                m_record.isValid() && m_record.folder() == UnpackRecord::folderKey(folder);
            // The zip component's progress event reports the writer's work
            // too, one call at a time although it comes from several threads.
            m_writer.onProgress = [this, folder](const QString &file, qint64 bytes) {
                if (!m_zip.onProgress)
                    return;
                const std::lock_guard lock(m_progressMutex);
                m_zip.onProgress(&m_zip,
                                 bytes == 0 ? ProgressKind::AddStart : ProgressKind::AddBlock,
                                 folder + u'/' + file, bytes);
            };
            if (!m_writer.write(folder, files, temp, ownRecord ? &m_record : nullptr))
                failed = m_writer.failedFiles();
            FileIdentity written;
            if (failed.isEmpty()) {
                const QString reading = m_zip.unzipFileName();
                if (!reading.isEmpty() && QFileInfo(reading).absoluteFilePath() == target)
                    m_zip.setUnzipFileName(QString());
                if (replaceWith(temp, target, &written)) {
                    removeLeftoverTemps(target);
                    m_record = m_writer.written();
                    m_record.setZip(target, written);
                } else {
                    failed = files;
                }
            }
            if (!failed.isEmpty())
                QFile::remove(temp);
        }
    }
    if (!failed.isEmpty()) {
        reportFailures(failed);
        return false;
    }
    return true;
}

bool ArchiveStorage::refuseOversized(const QStringList &files, const QList<qint64> &sizes)
{
    // The zip component would refuse these files one by one, after the work
    // of compressing the others. Refused here: files too big on their own,
    // files past the entry limit, then, while the archive would still be too
    // big, the largest of the rest, so the message names what has to go.
    using namespace ZipLimits;
    const qsizetype n = files.size();
    QList<std::uint64_t> plain(n);
    QList<std::uint64_t> cost(n);
    QList<bool> refused(n, false);
    std::uint64_t zipBytes = 22; // end of central directory
    std::uint64_t plainBytes = 0;
    for (qsizetype i = 0; i < n; ++i) {
        plain[i] = std::uint64_t(qMax<qint64>(0, sizes.at(i)));
        const std::uint64_t name = std::uint64_t(files.at(i).toUtf8().size());
        cost[i] = ZipGuard::entryBound(plain.at(i), 30 + 46 + 2 * (name + 9 + name));
        refused[i] = plain.at(i) > kMaxEntrySize || std::uint64_t(i) >= kMaxEntries;
        if (!refused.at(i)) {
            zipBytes += cost.at(i);
            plainBytes += plain.at(i);
        }
    }
    while (zipBytes > kMaxZipSize || plainBytes > kMaxTotalSize) {
        qsizetype largest = -1;
        for (qsizetype i = 0; i < n; ++i) {
            if (!refused.at(i) && (largest < 0 || cost.at(i) > cost.at(largest)))
                largest = i;
        }
        refused[largest] = true;
        zipBytes -= cost.at(largest);
        plainBytes -= plain.at(largest);
    }
    QStringList names;
    for (qsizetype i = 0; i < n; ++i) {
        if (refused.at(i))
            names << files.at(i);
    }
    if (names.isEmpty())
        return false;
    reportFailures(names);
    return true;
}

void ArchiveStorage::reportFailures(const QStringList &failed)
{
    QString list;
    for (const QString &name : failed)
        list += QDir::toNativeSeparators(name) + kCrLf;
    fail(StorageFailure::Box::Message, msg(MessageId::SaveFailedHead) + kCrLf +
                                           msg(MessageId::SaveFailedCount) +
                                           QString::number(failed.size()) +
                                           msg(MessageId::SaveFailedFiles) + kCrLf + kCrLf + list);
}

bool ArchiveStorage::listFilesBelow(const QString &folder, QStringList &relativePaths)
{
    QStringList unlisted;
    listFiles(folder, QString(), relativePaths, unlisted);
    return unlisted.isEmpty();
}

void ArchiveStorage::listFiles(const QString &folder, const QString &prefix, QStringList &files,
                               QStringList &unlisted, QStringList *links, QList<qint64> *sizes)
{
    const QFileInfo self(folder);
    if (!self.isReadable() || !self.isExecutable()) {
        unlisted << (prefix.isEmpty() ? folder + u'/' : prefix);
        return;
    }
    const QFileInfoList entries = QDir(folder).entryInfoList(allEntries(), QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString relative = prefix + entry.fileName();
        // Links are not files of the folder: a linked folder could lead back
        // up the tree, a linked file anywhere.
        if (entry.isSymLink()) {
            if (links)
                *links << relative;
        } else if (entry.isDir()) {
            listFiles(entry.filePath(), relative + u'/', files, unlisted, links, sizes);
        } else if (entry.isFile()) {
            files << relative;
            if (sizes)
                *sizes << entry.size();
        }
    }
}

bool ArchiveStorage::removeFolder(const QString &folder)
{
    m_failure = {};
    const QFileInfo info(folder);
    if (info.isSymLink())
        return QFile::remove(folder);
    if (folder.isEmpty() || !info.isDir())
        return false;
    if (m_record.folder() == UnpackRecord::folderKey(folder))
        m_record.clear();
    return removeTree(folder);
}

bool ArchiveStorage::removeFolderExcept(const QString &folder, const QStringList &keep)
{
    m_failure = {};
    const QString root = QDir::cleanPath(folder);
    const auto isBelow = [](const QString &path, const QString &parent) {
        return path.startsWith(parent + u'/');
    };
    bool leadsToKept = false;
    for (const QString &kept : keep) {
        if (kept == root || isBelow(root, kept))
            return true;
        leadsToKept = leadsToKept || isBelow(kept, root);
    }
    const QFileInfo info(folder);
    if (!leadsToKept || info.isSymLink())
        return removeFolder(folder);
    makeWritable(root, true);
    const QFileInfoList entries = QDir(root).entryInfoList(allEntries(), QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString path = root + u'/' + entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            if (!removeFolderExcept(path, keep))
                return false;
            continue;
        }
        if (keep.contains(path))
            continue;
        if (!entry.isSymLink())
            makeWritable(path, false);
        if (!QFile::remove(path)) {
            return fail(StorageFailure::Box::Message,
                        msg(MessageId::CannotDeleteFile) + QDir::toNativeSeparators(path));
        }
    }
    return true;
}

bool ArchiveStorage::removeTree(const QString &folder)
{
    makeWritable(folder, true);
    const QFileInfoList entries = QDir(folder).entryInfoList(allEntries(), QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString path = folder + u'/' + entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            removeTree(path);
            continue;
        }
        // A link goes itself; what it points to is left alone.
        if (!entry.isSymLink())
            makeWritable(path, false);
        if (!QFile::remove(path)) {
            return fail(StorageFailure::Box::Message,
                        msg(MessageId::CannotDeleteFile) + QDir::toNativeSeparators(path));
        }
    }
    return QDir().rmdir(folder);
}

bool ArchiveStorage::moveToTrash(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QFile::moveToTrash(path);
}

QString ArchiveStorage::freePageFileName(const QString &name) const
{
    const auto taken = [this](const QString &candidate) {
        return nameTaken(m_folders.archive, candidate);
    };
    QString n = name;
    if (hasUnstorable(n)) {
        std::replace_if(n.begin(), n.end(), isUnstorableInList, u'-');
        // Taking a free name only: "-" may give the name of a page already there.
        if (!taken(n))
            return n;
    }
    do {
        n = nextPageFileName(n);
    } while (taken(n));
    return n;
}

QString ArchiveStorage::storablePageFileName(const QString &name)
{
    QString n = name;
    std::replace_if(n.begin(), n.end(), isUnstorableInList, u'-');
    return n;
}

QString ArchiveStorage::nextPageFileName(const QString &name)
{
    QString n = name;
    const QString ext = extensionOf(n);
    if (!ext.isEmpty()) {
        const qsizetype at = n.indexOf(ext);
        if (at > 0)
            n.truncate(at);
    }
    const QChar last = n.isEmpty() ? QChar() : n.back();
    if (last >= u'0' && last <= u'9') {
        // Only the last digit counts up: news_9 becomes news_10, news_19 news_110.
        const int digit = last.unicode() - u'0';
        n.chop(1);
        return n + QString::number(digit + 1) + ext;
    }
    return n + QStringLiteral("_1") + ext;
}

QString ArchiveStorage::pageBaseName(const QString &fileName)
{
    const QString ext = extensionOf(fileName);
    if (ext.isEmpty())
        return fileName;
    return fileName.left(fileName.indexOf(ext));
}
