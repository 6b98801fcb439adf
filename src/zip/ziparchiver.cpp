#include "zip/ziparchiver.h"

#include "zip/entryname.h"
#include "zip/zipformat.h"
#include "zip/zipguard.h"
#include "zip/zipreadstream.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr std::size_t kBufferSize = 8192;
constexpr std::size_t kNameBufferSize = 0x10000; // a 16-bit length and room for a zero
constexpr int kCompressionLevel = 9;
constexpr uLong kMadeByMsDos = 0; // attributes are left zero, as an MS-DOS host writes them

QDateTime fromDosDate(uLong dos)
{
    const QDate date(int((dos >> 25) & 0x7F) + 1980, int((dos >> 21) & 0x0F),
                     int((dos >> 16) & 0x1F));
    const QTime time(int((dos >> 11) & 0x1F), int((dos >> 5) & 0x3F), int(dos & 0x1F) * 2);
    return QDateTime(date, time, Qt::LocalTime);
}

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t readSome(int fd, char *data, std::size_t size)
{
    ssize_t n;
    do
        n = ::read(fd, data, size);
    while (n < 0 && errno == EINTR);
    return n;
}

QString systemError(int error)
{
    return qt_error_string(error);
}

// zlib allocates and frees about 256 KiB for every entry it compresses. With
// glibc's default trim threshold every free returns that memory to the system
// and the next entry faults it in again, which costs a tenth of the time.
void keepCompressorMemory()
{
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_TRIM_THRESHOLD, 1 << 20); });
#endif
}

// minizip cannot open a zip without entries (its end record at offset 0 reads
// as "not found"); such a zip is still whole and unpacks to nothing.
bool isEmptyZip(ZipGuard &guard, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool empty =
        guard.scan(fd, 0, std::numeric_limits<std::uint64_t>::max()) && guard.entryCount() == 0;
    ::close(fd);
    return empty;
}

} // namespace

struct ZipArchiver::Private {
    Private()
        : buffer(new char[kBufferSize]), nameBuffer(new char[kNameBufferSize]),
          extraBuffer(new char[kNameBufferSize]),
          guard(buffer.get(), kBufferSize, nameBuffer.get(), extraBuffer.get())
    {
    }

    // The one transfer buffer of every read and write, and the two buffers that
    // hold an entry's name and extra field; allocated once.
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<char[]> nameBuffer;
    std::unique_ptr<char[]> extraBuffer;
    ZipGuard guard;
    ZipReadStream readStream;

    zipFile zip = nullptr;
    unzFile unz = nullptr;
    QString zipFileName;
    QString unzipFileName;
    QString lastError;

    // What the zip being written holds so far, to keep it inside the limits.
    std::uint64_t zipEntries = 0;
    std::uint64_t zipTotal = 0;
    std::uint64_t zipBytes = 0;
    bool zipIncomplete = false; // an entry was left half written

    // The destination folder and the folder of the last file unpacked, kept
    // open so that a run of files in one folder needs no lookups.
    QString destination; // with a trailing "/"
    int destinationFd = -1;
    QByteArray folder; // relative to the destination
    int folderFd = -1;
    bool unpackingAll = false;
    // What extractAll found, kept while every entry goes well.
    UnpackRecord record;
    bool recording = false;

    bool openDestination(const QString &path);
    int openFolder(const QByteArray &relative);
    void closeFolders();
    int closeZip();
};

bool ZipArchiver::Private::openDestination(const QString &path)
{
    if (destinationFd >= 0 && destination == path)
        return true;
    closeFolders();
    // The destination itself is the caller's choice and may lie behind a link;
    // only what the archive names below it is created without following links.
    if (!QDir().mkpath(path)) {
        lastError = QStringLiteral("the folder \"%1\" cannot be created").arg(path);
        return false;
    }
    destinationFd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (destinationFd < 0) {
        lastError =
            QStringLiteral("the folder \"%1\" cannot be opened: %2").arg(path, systemError(errno));
        return false;
    }
    destination = path;
    return true;
}

// Opens (creating what is missing) a folder below the destination, one level
// at a time and never through a symbolic link. Returns -1 with errno set.
int ZipArchiver::Private::openFolder(const QByteArray &relative)
{
    if (relative.isEmpty())
        return destinationFd;
    if (folderFd >= 0 && relative == folder)
        return folderFd;

    int base = destinationFd;
    qsizetype start = 0;
    if (folderFd >= 0 && relative.size() > folder.size() && relative.startsWith(folder) &&
        relative[folder.size()] == '/') {
        base = folderFd; // a subfolder of the last one: go on from there
        start = folder.size() + 1;
    }
    const int previous = folderFd;
    int fd = base;
    while (start < relative.size()) {
        qsizetype end = relative.indexOf('/', start);
        if (end < 0)
            end = relative.size();
        if (end > start) {
            const QByteArray part = relative.mid(start, end - start);
            const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
            int next = ::openat(fd, part.constData(), flags);
            if (next < 0 && errno == ENOENT) {
                if (::mkdirat(fd, part.constData(), 0777) == 0 || errno == EEXIST)
                    next = ::openat(fd, part.constData(), flags);
            }
            const int error = errno;
            if (fd != destinationFd && fd != previous)
                ::close(fd);
            if (next < 0) {
                errno = error;
                if (previous >= 0 && base == previous) {
                    ::close(previous);
                    folderFd = -1;
                    folder.clear();
                }
                return -1;
            }
            fd = next;
        }
        start = end + 1;
    }
    if (fd == destinationFd)
        return fd; // only empty parts: nothing to keep
    if (previous >= 0)
        ::close(previous);
    folderFd = fd;
    folder = relative;
    return fd;
}

void ZipArchiver::Private::closeFolders()
{
    if (folderFd >= 0 && folderFd != destinationFd)
        ::close(folderFd);
    if (destinationFd >= 0)
        ::close(destinationFd);
    folderFd = -1;
    destinationFd = -1;
    folder.clear();
    destination.clear();
}

int ZipArchiver::Private::closeZip()
{
    if (!zip)
        return ZIP_OK;
    const int result = zipClose(zip, nullptr);
    zip = nullptr;
    return result;
}

ZipArchiver::ZipArchiver(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

ZipArchiver::~ZipArchiver()
{
    d->closeFolders();
    if (d->unz)
        unzClose(d->unz);
    d->closeZip();
}

QString ZipArchiver::zipFileName() const
{
    return d->zipFileName;
}

bool ZipArchiver::setZipFileName(const QString &path)
{
    if (path == d->zipFileName)
        return true;
    bool complete = true;
    if (d->zip) {
        complete = d->closeZip() == ZIP_OK && !d->zipIncomplete;
        if (!complete && d->lastError.isEmpty())
            d->lastError = QStringLiteral("\"%1\" could not be completed").arg(d->zipFileName);
    }
    d->zipFileName = path;
    return complete;
}

QString ZipArchiver::unzipFileName() const
{
    return d->unzipFileName;
}

void ZipArchiver::setUnzipFileName(const QString &path)
{
    if (path == d->unzipFileName)
        return;
    if (d->unz) {
        unzClose(d->unz);
        d->unz = nullptr;
    }
    d->unzipFileName = path;
}

UnpackRecord ZipArchiver::takeUnpackRecord()
{
    UnpackRecord record = std::move(d->record);
    d->record.clear();
    return record;
}

QString ZipArchiver::lastError() const
{
    return d->lastError;
}

int ZipArchiver::addFile(const QString &source, const QString &entryName)
{
    d->lastError.clear();
    if (!d->zip && !d->zipFileName.isEmpty()) {
        keepCompressorMemory();
        d->zip = zipOpen64(QFile::encodeName(d->zipFileName).constData(), APPEND_STATUS_CREATE);
        d->zipEntries = d->zipTotal = d->zipBytes = 0;
        d->zipIncomplete = false;
    }

    // The source is opened before the entry is started, so that an unreadable
    // file leaves no empty entry behind.
    const int fd = source.isEmpty() ? -1
                                    : ::open(QFile::encodeName(source).constData(),
                                             O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        d->lastError =
            QStringLiteral("\"%1\" cannot be read: %2")
                .arg(source, fd < 0 ? systemError(errno) : QStringLiteral("not a regular file"));
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};

    if (entryName.isEmpty()) {
        d->lastError = QStringLiteral("the entry name for \"%1\" is empty").arg(source);
        return -1;
    }
    if (!d->zip) {
        d->lastError = QStringLiteral("the zip file \"%1\" cannot be created").arg(d->zipFileName);
        return -1;
    }
    QString why;
    const auto name = EntryName::encode(entryName, &why);
    if (!name) {
        d->lastError = QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(entryName), why);
        return -1;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t headerBytes =
        30 + 46 + 2 * std::uint64_t(name->name.size() + name->extra.size());
    why = ZipGuard::additionProblem(d->zipEntries, d->zipTotal, d->zipBytes, size, headerBytes);
    if (!why.isEmpty()) {
        d->lastError = QStringLiteral("\"%1\": %2").arg(source, why);
        return -1;
    }

    zip_fileinfo info{};
    info.dosDate = ZipFormat::toDosDate(st.st_mtime);
    const auto extraSize = static_cast<uInt>(name->extra.size());
    const char *extra = extraSize ? name->extra.constData() : nullptr;
    int result = zipOpenNewFileInZip4(d->zip, name->name.constData(), &info, extra, extraSize,
                                      extra, extraSize, nullptr, Z_DEFLATED, kCompressionLevel, 0,
                                      -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
                                      kMadeByMsDos, name->flags);
    if (result != ZIP_OK) {
        d->zipIncomplete = true;
        d->lastError = QStringLiteral("\"%1\" cannot be added (%2)").arg(source).arg(result);
        return result;
    }

    if (onProgress)
        onProgress(this, ProgressKind::AddStart, source, qint64(size));
    char *buffer = d->buffer.get();
    std::uint64_t done = 0;
    for (;;) {
        const ssize_t n = readSome(fd, buffer, kBufferSize);
        if (onProgress)
            onProgress(this, ProgressKind::AddBlock, source, n < 0 ? 0 : qint64(n));
        if (n < 0) {
            d->lastError =
                QStringLiteral("\"%1\" cannot be read: %2").arg(source, systemError(errno));
            break;
        }
        if (n == 0)
            break;
        done += std::uint64_t(n);
        // A file that grows while it is read must still keep the zip inside its limits.
        if (done > size) {
            d->lastError = QStringLiteral("\"%1\" changed while it was added").arg(source);
            break;
        }
        if (zipWriteInFileInZip(d->zip, buffer, static_cast<unsigned>(n)) != ZIP_OK) {
            d->lastError = QStringLiteral("writing \"%1\" failed").arg(d->zipFileName);
            break;
        }
    }
    if (!d->lastError.isEmpty()) {
        d->zipIncomplete = true; // the entry stays open and is not closed as if it were whole
        return -1;
    }
    result = zipCloseFileInZip(d->zip);
    if (result != ZIP_OK) {
        d->zipIncomplete = true;
        d->lastError = QStringLiteral("writing \"%1\" failed (%2)").arg(d->zipFileName).arg(result);
        return result;
    }
    d->zipEntries += 1;
    d->zipTotal += done;
    d->zipBytes += ZipGuard::entryBound(done, headerBytes);
    return 0;
}

bool ZipArchiver::extractAll(const QString &destination)
{
    d->lastError.clear();
    d->record.clear();
    if (!d->unz && !d->unzipFileName.isEmpty() && QFileInfo(d->unzipFileName).isFile()) {
        zlib_filefunc64_def functions = d->readStream.functions();
        d->unz = unzOpen2_64(QFile::encodeName(d->unzipFileName).constData(), &functions);
    }
    unz_global_info64 global{};
    if (!d->unz || unzGetGlobalInfo64(d->unz, &global) != UNZ_OK) {
        if (!d->unz && isEmptyZip(d->guard, d->unzipFileName))
            return true;
        d->lastError = d->unzipFileName.isEmpty()
                           ? QStringLiteral("no zip file is named")
                           : QStringLiteral("\"%1\" is not a zip file or its directory is damaged")
                                 .arg(d->unzipFileName);
        return false;
    }

    QString folder = destination;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    // Everything is checked before the first byte is written: a refused archive
    // leaves the destination as it was.
    const std::uint64_t freeBytes =
        ZipGuard::freeBytesAt(folder).value_or(std::numeric_limits<std::uint64_t>::max());
    const int folderBytes = int(QFile::encodeName(QDir(folder).absolutePath()).size()) + 1;
    if (!d->guard.scan(d->readStream.fd(), folderBytes, freeBytes)) {
        d->lastError = d->guard.error();
        return false;
    }
    if (global.number_entry != d->guard.entryCount()) {
        d->lastError = QStringLiteral("the archive's directory cannot be read consistently");
        return false;
    }
    if (global.number_entry == 0)
        return true;
    if (unzGoToFirstFile(d->unz) != UNZ_OK ||
        unzGetOffset64(d->unz) != d->guard.directoryOffset()) {
        d->lastError = QStringLiteral("the archive's directory cannot be read consistently");
        return false;
    }

    // The record names the zip by what identifies its content; a zip that
    // changes while it is read is not recorded.
    struct stat zipStat {};
    d->recording = !extractWithoutFolders && fstat(d->readStream.fd(), &zipStat) == 0;
    const FileIdentity zipIdentity = FileIdentity::of(zipStat);
    d->unpackingAll = true;
    bool ok = d->openDestination(folder);
    for (ZPOS64_T i = 0; ok && i < global.number_entry; ++i) {
        if (extractCurrent(folder) != 0) {
            ok = false;
        } else if (i + 1 < global.number_entry && unzGoToNextFile(d->unz) != UNZ_OK) {
            d->lastError =
                QStringLiteral("the archive's directory is damaged after entry %1").arg(i + 1);
            ok = false;
        }
    }
    d->unpackingAll = false;
    d->closeFolders();
    struct stat after {};
    if (ok && d->recording && fstat(d->readStream.fd(), &after) == 0 &&
        FileIdentity::of(after) == zipIdentity) {
        d->record.setZip(QFileInfo(d->unzipFileName).absoluteFilePath(), zipIdentity);
        d->record.setFolder(folder);
        d->record.seal();
    } else {
        d->record.clear();
    }
    d->recording = false;
    return ok;
}

int ZipArchiver::extractCurrent(const QString &destination)
{
    d->lastError.clear();
    struct Release {
        Private *d;
        ~Release()
        {
            if (!d->unpackingAll)
                d->closeFolders();
        }
    } release{d.get()};

    if (!d->unz) {
        d->lastError = QStringLiteral("no zip file is open");
        return UNZ_PARAMERROR;
    }
    unz_file_info64 info{};
    int result = unzGetCurrentFileInfo64(d->unz, &info, d->nameBuffer.get(), kNameBufferSize,
                                         d->extraBuffer.get(), kNameBufferSize, nullptr, 0);
    if (result != UNZ_OK) {
        d->lastError = QStringLiteral("an entry's header cannot be read (%1)").arg(result);
        return result;
    }
    QString name =
        EntryName::decode(QByteArrayView(d->nameBuffer.get(), qsizetype(info.size_filename)),
                          std::uint16_t(info.flag),
                          QByteArrayView(d->extraBuffer.get(), qsizetype(info.size_file_extra)),
                          std::uint16_t(info.version));
    const ZipEntryHeader header{std::uint16_t(info.version),
                                std::uint16_t(info.flag),
                                std::uint16_t(info.compression_method),
                                std::uint32_t(info.external_fa),
                                info.compressed_size,
                                info.uncompressed_size};
    QString why = EntryName::unsafeReason(name);
    if (why.isEmpty())
        why = ZipGuard::headerProblem(header);
    if (!why.isEmpty()) {
        d->lastError = QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(name), why);
        return UNZ_BADZIPFILE;
    }
    const QString shownName = name;
    if (extractWithoutFolders)
        name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty())
        return UNZ_OK; // a folder entry, and folders were asked to be dropped

    QString folder = destination;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString target = folder + name;
    auto fail = [&](const QString &why) {
        d->lastError = QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(shownName), why);
    };
    if (!d->openDestination(folder))
        return -1;

    const QByteArray relative = QFile::encodeName(name);
    const bool isFolder = relative.endsWith('/');
    const qsizetype slash = relative.lastIndexOf('/', isFolder ? relative.size() - 2 : -1);
    const int parentFd = d->openFolder(isFolder ? relative.left(relative.size() - 1)
                                                : relative.left(slash < 0 ? 0 : slash));
    if (parentFd < 0) {
        fail(QStringLiteral("its folder cannot be created: %1").arg(systemError(errno)));
        return -1;
    }

    bool canOverwrite = overwriteOnExtract;
    if (onExtractEntry)
        onExtractEntry(this, fromDosDate(info.dosDate), qint64(info.uncompressed_size),
                       qint64(info.compressed_size), target, canOverwrite);
    if (isFolder)
        return UNZ_OK;

    const QByteArray base = relative.mid(slash + 1);
    struct stat st {};
    if (!canOverwrite && fstatat(parentFd, base.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        fail(QStringLiteral("the file exists and may not be replaced"));
        return 1;
    }

    result = unzOpenCurrentFile(d->unz);
    if (result != UNZ_OK) {
        fail(QStringLiteral("the entry cannot be opened (%1)").arg(result));
        return result;
    }
    const ZPOS64_T dataOffset = unzGetCurrentFileZStreamPos64(d->unz);
    // A new file is made even where one exists: writing into the old one would
    // follow a link or change every hard link to it.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(parentFd, base.constData(), flags, 0666);
    if (fd < 0 && errno == EEXIST && ::unlinkat(parentFd, base.constData(), 0) == 0)
        fd = ::openat(parentFd, base.constData(), flags, 0666);
    if (fd < 0) {
        fail(QStringLiteral("the file cannot be created: %1").arg(systemError(errno)));
        unzCloseCurrentFile(d->unz);
        return -1;
    }

    // minizip checks the CRC only when the declared size was read exactly, so
    // the count is checked here as well.
    char *buffer = d->buffer.get();
    std::uint64_t done = 0;
    result = UNZ_OK;
    for (;;) {
        const int n = unzReadCurrentFile(d->unz, buffer, kBufferSize);
        if (onProgress)
            onProgress(this, ProgressKind::ExtractBlock, target, n);
        if (n < 0) {
            result = n;
            fail(QStringLiteral("its data is damaged (%1)").arg(n));
            break;
        }
        if (n == 0)
            break;
        done += std::uint64_t(n);
        if (done > info.uncompressed_size) {
            result = UNZ_BADZIPFILE;
            fail(QStringLiteral("it unpacks to more than the %1 bytes it declares")
                     .arg(info.uncompressed_size));
            break;
        }
        if (!writeAll(fd, buffer, std::size_t(n))) {
            result = -1;
            fail(QStringLiteral("the file cannot be written: %1").arg(systemError(errno)));
            break;
        }
    }
    if (result == UNZ_OK && done != info.uncompressed_size) {
        result = UNZ_BADZIPFILE;
        fail(QStringLiteral("it unpacks to %1 bytes, not the %2 it declares")
                 .arg(done)
                 .arg(info.uncompressed_size));
    }
    if (result == UNZ_OK) {
        const time_t when = ZipFormat::fromDosDate(std::uint32_t(info.dosDate));
        if (when != time_t(-1)) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
            futimens(fd, times);
        }
    }
    // Taken last: setting the time changes the change time.
    struct stat written {};
    if (result == UNZ_OK && d->recording && fstat(fd, &written) != 0)
        d->recording = false;
    if (::close(fd) != 0 && result == UNZ_OK) {
        result = -1;
        fail(QStringLiteral("the file cannot be written: %1").arg(systemError(errno)));
    }
    const int closed = unzCloseCurrentFile(d->unz);
    if (result == UNZ_OK && closed != UNZ_OK) {
        result = closed;
        fail(closed == UNZ_CRCERROR ? QStringLiteral("its data fails the CRC check")
                                    : QStringLiteral("its data is damaged (%1)").arg(closed));
    }
    if (result != UNZ_OK) {
        ::unlinkat(parentFd, base.constData(), 0); // no half-written file is left behind
        return result;
    }
    if (d->recording)
        d->record.add({shownName, std::uint64_t(dataOffset), std::uint32_t(info.compressed_size),
                       std::uint32_t(info.uncompressed_size), std::uint32_t(info.crc),
                       std::uint16_t(info.compression_method), std::uint16_t(info.flag),
                       std::uint16_t(info.internal_fa), FileIdentity::of(written)});
    return result;
}
