#include "storage/archivestorage.h"

#include "lang/messages.h"
#include "storage/listfile.h"
#include "storage/pagelistmodel.h"
#include "zip/ziparchiver.h"
#include "zip/zipguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr qint64 kCopyChunk = 1 << 20;

QString cannotOpen(const QString &path)
{
    return QStringLiteral("Cannot open file %1").arg(QDir::toNativeSeparators(path));
}

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
// folder entry.
bool replaceWith(const QString &temp, const QString &target)
{
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old {};
    if (::stat(targetName.constData(), &old) == 0)
        ::chmod(QFile::encodeName(temp).constData(), old.st_mode & 07777);
    if (!syncPath(temp, false))
        return false;
    if (::rename(QFile::encodeName(temp).constData(), targetName.constData()) != 0)
        return false;
    return syncPath(QFileInfo(target).absolutePath(), true);
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

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
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
    // A reader still open on an older file of the same name must not be reused.
    m_zip.setUnzipFileName(QString());
    m_zip.setUnzipFileName(zipPath);
    if (!m_zip.extractAll(folder))
        return fail(StorageFailure::Box::Message, msg(MessageId::ArchiveDamaged));
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
    listFiles(folder, QString(), files, unlisted);
    if (!unlisted.isEmpty()) {
        reportFailures(unlisted);
        return false;
    }
    if (files.isEmpty())
        return false; // an empty zip would replace the old one for nothing
    if (refuseOversized(folder, files))
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
            m_zip.setZipFileName(temp);
            for (const QString &relative : std::as_const(files)) {
                const QString source = folder + u'/' + relative;
                if (!QFileInfo(source).isFile() || m_zip.addFile(source, relative) != 0)
                    failed << relative;
            }
            // Closing writes the central directory: without it nothing went in.
            if (!m_zip.setZipFileName(QString()) && failed.isEmpty())
                failed = files;
            if (failed.isEmpty()) {
                const QString reading = m_zip.unzipFileName();
                if (!reading.isEmpty() && QFileInfo(reading).absoluteFilePath() == target)
                    m_zip.setUnzipFileName(QString());
                if (replaceWith(temp, target))
                    removeLeftoverTemps(target);
                else
                    failed = files;
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

bool ArchiveStorage::refuseOversized(const QString &folder, const QStringList &files)
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
        plain[i] = std::uint64_t(qMax<qint64>(0, QFileInfo(folder + u'/' + files.at(i)).size()));
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
                               QStringList &unlisted)
{
    const QFileInfo self(folder);
    if (!self.isReadable() || !self.isExecutable()) {
        unlisted << (prefix.isEmpty() ? folder + u'/' : prefix);
        return;
    }
    const QFileInfoList entries = QDir(folder).entryInfoList(allEntries(), QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString relative = prefix + entry.fileName();
        // A linked folder is not descended into: it could lead back up the tree.
        if (entry.isDir() && !entry.isSymLink())
            listFiles(entry.filePath(), relative + u'/', files, unlisted);
        else if (entry.isFile())
            files << relative;
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
    return removeTree(folder);
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

bool ArchiveStorage::importPages(const QStringList &paths, PageListModel &pages)
{
    m_failure = {};
    const QString work = m_folders.archive;
    for (const QString &path : paths) {
        const QFileInfo source(path);
        if (!source.isFile())
            continue;
        const QString originalName = source.fileName();
        QString name = originalName;
        if (nameTaken(work, name) || hasUnstorable(name))
            name = freePageFileName(name);
        const QString title = pageBaseName(name);
        // The page's HTML refers to its companion folder by the name it came with.
        const QString originalBase = pageBaseName(originalName);

        if (!QFileInfo(work).isDir() && !QDir().mkpath(work))
            return fail(StorageFailure::Box::Error, cannotCreate(work + u'/' + name));
        if (!copyFile(path, work + u'/' + name))
            return false;
        pages.append(title, name);

        const QString companion = companionFolder(source.absolutePath(), originalBase);
        if (!QFileInfo(companion).isDir())
            continue;
        const QString target = work + u'/' + QFileInfo(companion).fileName();
        if (!QFileInfo(target).isDir() && !QDir().mkdir(target))
            return fail(StorageFailure::Box::Error, cannotCreate(target));
        const QFileInfoList entries = QDir(companion).entryInfoList(allEntries(), QDir::Unsorted);
        for (const QFileInfo &entry : entries) {
            if (!entry.isFile())
                continue; // sub-folders are not taken
            const QString destination = target + u'/' + entry.fileName();
            // The folder may already serve a page of the same base name: its
            // files stay, and so does the source that was not taken in.
            if (nameTaken(target, entry.fileName()))
                continue;
            if (!copyFile(entry.filePath(), destination))
                return false;
        }
        if (m_deleteOriginals)
            QDir().rmdir(companion); // stays when something is left in it
    }
    return true;
}

bool ArchiveStorage::copyFile(const QString &source, const QString &destination)
{
    m_failure = {};
    if (!QFileInfo(source).isFile())
        return false;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(StorageFailure::Box::Error, cannotOpen(source));
    // The destination is replaced only by a complete copy.
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return fail(StorageFailure::Box::Error, cannotCreate(destination));
    QByteArray buffer(kCopyChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 got = in.read(buffer.data(), buffer.size());
        if (got < 0) {
            out.cancelWriting();
            return fail(StorageFailure::Box::Error, cannotOpen(source));
        }
        if (got == 0)
            break;
        if (out.write(buffer.constData(), got) != got) {
            out.cancelWriting();
            return fail(StorageFailure::Box::Error, cannotCreate(destination));
        }
    }
    if (!out.commit())
        return fail(StorageFailure::Box::Error, cannotCreate(destination));
    in.close();
    if (m_deleteOriginals && !sameFile(source, destination))
        QFile::remove(source);
    return true;
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

QString ArchiveStorage::companionFolder(const QString &folder, const QString &baseName)
{
    const QString dotted = folder + u'/' + baseName + QStringLiteral(".files");
    if (QFileInfo(dotted).isDir())
        return dotted;
    return folder + u'/' + baseName + QStringLiteral("_files");
}
