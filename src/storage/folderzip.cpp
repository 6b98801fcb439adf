#include "storage/folderzip.h"

#include "base/uniquefd.h"
#include "zip/zipformat.h"
#include "zip/zipguard.h"
#include "zip/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <sys/stat.h>

namespace {

struct Listing {
    QStringList files;
    QList<qint64> sizes;
    QStringList unlisted; // folders that could not be listed
    QStringList links;    // met, not followed
};

void listFiles(const QString &folder, const QString &prefix, Listing &listing)
{
    const QFileInfo self(folder);
    if (!self.isReadable() || !self.isExecutable()) {
        listing.unlisted << (prefix.isEmpty() ? folder + u'/' : prefix);
        return;
    }
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString relative = prefix + entry.fileName();
        // Links are not files of the folder: a linked folder could lead back
        // up the tree, a linked file anywhere.
        if (entry.isSymLink()) {
            listing.links << relative;
        } else if (entry.isDir()) {
            listFiles(entry.filePath(), relative + u'/', listing);
        } else if (entry.isFile()) {
            listing.files << relative;
            listing.sizes << entry.size();
        }
    }
}

StorageFailure notSaved(const QString &zipPath, const QStringList &files, const QString &detail)
{
    return {StorageFailure::Kind::NotSaved, zipPath, 0, files, detail};
}

// The zip writer would refuse these files one by one, after the work of
// compressing the others. Refused here: files too big on their own, files
// past the entry limit, then, while the archive would still be too big, the
// largest of the rest, so that the failure names what has to go.
QStringList oversized(const QStringList &files, const QList<qint64> &sizes)
{
    using namespace ZipLimits;
    const qsizetype n = files.size();
    QList<std::uint64_t> plain(n);
    QList<std::uint64_t> cost(n);
    QList<bool> refused(n, false);
    std::uint64_t zipBytes = ZipFormat::kEndRecordSize;
    std::uint64_t plainBytes = 0;
    for (qsizetype i = 0; i < n; ++i) {
        plain[i] = std::uint64_t(qMax<qint64>(0, sizes.at(i)));
        const std::uint64_t name = std::uint64_t(files.at(i).toUtf8().size());
        cost[i] = ZipGuard::entryBound(plain.at(i), ZipFormat::mostHeaderBytes(name));
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
    return names;
}

// A new, empty file beside the zip, named "." + name + "." + base-36 number
// + ".tmp"; its mode follows the umask like any new file.
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
        if (UniqueFd::open(path, O_WRONLY | O_CREAT | O_EXCL, 0666))
            return path;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

// Temporary files of saves that were killed half-way. Only one copy of the
// program runs, so none of them belongs to a save under way.
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

bool syncFolder(const QString &path)
{
    const UniqueFd fd = UniqueFd::open(path, O_RDONLY | O_DIRECTORY);
    if (!fd)
        return false;
    // Some file systems cannot sync a folder; the rename stands all the same.
    return ::fsync(fd.get()) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EROFS;
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
    const UniqueFd fd = UniqueFd::open(temp, O_RDONLY | O_NOFOLLOW);
    struct stat renamed {};
    if (!fd || ::fsync(fd.get()) != 0 || ::rename(tempName.constData(), targetName.constData()) != 0 ||
        !syncFolder(QFileInfo(target).absolutePath()) || fstat(fd.get(), &renamed) != 0)
        return false;
    *identity = FileIdentity::of(renamed); // the rename changed its change time
    return true;
}

// Writes files into the temporary file beside target, then puts it in
// target's place.
Expected<UnpackRecord, StorageFailure> writeAndReplace(const QString &folder,
                                                       const QStringList &files,
                                                       const QString &target, ZipWriter &writer,
                                                       const UnpackRecord *previous)
{
    const QString temp = createTempBeside(target);
    if (temp.isEmpty())
        return notSaved(target, files, QStringLiteral("no temporary file beside the zip"));
    if (!writer.write(folder, files, temp, previous)) {
        QFile::remove(temp);
        return notSaved(target, writer.failedFiles(), writer.error());
    }
    FileIdentity written;
    if (!replaceWith(temp, target, &written)) {
        QFile::remove(temp);
        return notSaved(target, files, QStringLiteral("the new zip could not take the old one's place"));
    }
    removeLeftoverTemps(target);
    UnpackRecord record = writer.written();
    record.setZip(target, written);
    return record;
}

} // namespace

namespace FolderZip {

Expected<QStringList, StorageFailure> filesBelow(const QString &folder)
{
    Listing listing;
    listFiles(folder, QString(), listing);
    if (!listing.unlisted.isEmpty())
        return StorageFailure{StorageFailure::Kind::NotRead, folder + u'/' + listing.unlisted.first(),
                              0, listing.unlisted, QStringLiteral("a folder cannot be listed")};
    return listing.files;
}

Expected<UnpackRecord, StorageFailure> write(const QString &folder, const QString &zipPath,
                                             ZipWriter &writer, const UnpackRecord *previous,
                                             const Progress &progress)
{
    const StorageFailure nothing{StorageFailure::Kind::NothingToSave, zipPath, 0, {},
                                 QStringLiteral("nothing to write")};
    if (folder.isEmpty() || zipPath.isEmpty() || !QFileInfo(folder).isDir())
        return nothing;
    Listing listing;
    listFiles(folder, QString(), listing);
    // A link is never followed (its target's bytes must not enter the zip) nor
    // left out (what it stands for would be missing from the archive).
    if (!listing.unlisted.isEmpty() || !listing.links.isEmpty())
        return notSaved(zipPath, listing.unlisted + listing.links,
                        QStringLiteral("links, or folders that cannot be listed"));
    if (listing.files.isEmpty())
        return nothing;
    if (const QStringList refused = oversized(listing.files, listing.sizes); !refused.isEmpty())
        return notSaved(zipPath, refused, QStringLiteral("more than a zip may hold"));

    const QFileInfo zipInfo(zipPath);
    const QString target =
        zipInfo.isSymLink() ? zipInfo.symLinkTarget() : zipInfo.absoluteFilePath();
    // Entries whose files are as they were unpacked (or last written) are
    // copied from that zip, if it is still the same file.
    const bool ownRecord = previous && previous->isValid() &&
                           previous->folder() == UnpackRecord::folderKey(folder);
    std::mutex progressMutex;
    writer.onProgress = [&progress, &progressMutex](const QString &file, qint64 bytes) {
        if (!progress)
            return;
        const std::lock_guard lock(progressMutex);
        progress(file, bytes);
    };
    auto written = writeAndReplace(folder, listing.files, target, writer,
                                   ownRecord ? previous : nullptr);
    writer.onProgress = nullptr;
    return written;
}

} // namespace FolderZip
