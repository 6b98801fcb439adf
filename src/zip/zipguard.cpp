#include "zip/zipguard.h"

#include "zip/entryname.h"
#include "zip/zipformat.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_set>

using namespace ZipFormat;

namespace {

constexpr std::uint16_t kEncrypted = 0x0001;
constexpr std::uint16_t kStrongEncryption = 0x0040;
constexpr int kHostUnix = 3;
constexpr int kHostDarwin = 19;
constexpr std::uint32_t kFileTypeMask = 0170000;
constexpr std::uint32_t kSymlinkType = 0120000;

QString bytes(std::uint64_t n)
{
    return QString::number(n);
}

// The path an entry is unpacked to, relative to the destination: its folder
// levels joined by single "/" (unpacking skips empty levels, so "a//b" lands
// where "a/b" does). folder: the entry names a folder (ends in "/").
QString landingPath(const QString &name, bool *folder)
{
    if (folder)
        *folder = name.endsWith(u'/');
    QString path;
    path.reserve(name.size());
    for (const QStringView level : QStringView(name).split(u'/', Qt::SkipEmptyParts)) {
        if (!path.isEmpty())
            path += u'/';
        path += level;
    }
    return path;
}

// FNV-1a over the path's UTF-16 units; feed() gives the hash of every prefix on the way.
struct PathHash {
    std::uint64_t value = 0xcbf29ce484222325ULL;
    void feed(QChar c)
    {
        value ^= c.unicode();
        value *= 0x100000001b3ULL;
    }
    static std::uint64_t of(const QString &path)
    {
        PathHash h;
        for (QChar c : path)
            h.feed(c);
        return h.value;
    }
};

} // namespace

ZipGuard::ZipGuard(char *window, std::size_t windowSize, char *nameBuffer, char *extraBuffer)
    : m_window(window), m_windowSize(windowSize), m_name(nameBuffer), m_extra(extraBuffer)
{
}

QString ZipGuard::headerProblem(const ZipEntryHeader &h)
{
    if (h.flags & (kEncrypted | kStrongEncryption))
        return QStringLiteral("the entry is encrypted");
    if (h.method != kMethodStored && h.method != kMethodDeflated)
        return QStringLiteral("the entry uses compression method %1, which is not supported")
            .arg(h.method);
    const int host = h.versionMadeBy >> 8;
    if ((host == kHostUnix || host == kHostDarwin) &&
        ((h.externalAttributes >> 16) & kFileTypeMask) == kSymlinkType)
        return QStringLiteral("the entry is a symbolic link");
    if (h.compressedSize >= 0xFFFFFFFFu || h.uncompressedSize >= 0xFFFFFFFFu)
        return QStringLiteral("the entry uses 64-bit sizes, which are not supported");
    if (h.uncompressedSize > ZipLimits::kMaxEntrySize)
        return QStringLiteral("the entry unpacks to %1 bytes, more than 1 GiB")
            .arg(bytes(h.uncompressedSize));
    if (h.method == kMethodStored && h.compressedSize != h.uncompressedSize)
        return QStringLiteral("the stored entry's sizes disagree");
    if (h.uncompressedSize > h.compressedSize * ZipLimits::kMaxRatio)
        return QStringLiteral("the entry claims to unpack %1 bytes from %2, more than deflate can")
            .arg(bytes(h.uncompressedSize), bytes(h.compressedSize));
    return {};
}

std::uint64_t ZipGuard::entryBound(std::uint64_t size, std::uint64_t headerBytes)
{
    // zlib's compressBound with room to spare, plus the local and central headers.
    return size + (size >> 12) + (size >> 14) + (size >> 25) + 64 + headerBytes;
}

QString ZipGuard::additionProblem(std::uint64_t entries, std::uint64_t total,
                                  std::uint64_t zipBytes, std::uint64_t size,
                                  std::uint64_t headerBytes)
{
    if (size > ZipLimits::kMaxEntrySize)
        return QStringLiteral("the file has %1 bytes; an archive entry may hold at most 1 GiB")
            .arg(bytes(size));
    if (entries + 1 > ZipLimits::kMaxEntries)
        return QStringLiteral("an archive may hold at most %1 files").arg(ZipLimits::kMaxEntries);
    if (total + size > ZipLimits::kMaxTotalSize ||
        zipBytes + entryBound(size, headerBytes) + kEndRecordSize > ZipLimits::kMaxZipSize)
        return QStringLiteral("with this file the archive would pass 4 GiB");
    return {};
}

std::optional<std::uint64_t> ZipGuard::freeBytesAt(const QString &folder)
{
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    for (;;) {
        struct statvfs fs {};
        if (statvfs(QFile::encodeName(path).constData(), &fs) == 0)
            return std::uint64_t(fs.f_bavail) * fs.f_frsize;
        if ((errno != ENOENT && errno != ENOTDIR) || path == QLatin1String("/"))
            return std::nullopt;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        path = slash <= 0 ? QStringLiteral("/") : path.left(slash);
    }
}

bool ZipGuard::fail(const QString &why)
{
    m_error = why;
    return false;
}

bool ZipGuard::failEntry(std::uint64_t directoryPos, const QString &why)
{
    return fail(QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(nameAt(directoryPos)), why));
}

QString ZipGuard::landingPathAt(std::uint64_t directoryPos, bool *folder)
{
    return landingPath(nameAt(directoryPos), folder);
}

// A zip may name one place twice, or hold a file "a" beside "a/" or "a/b".
// Unpacking would stop half-way at the second (a file cannot become a
// folder), or the later entry would replace the earlier one, whose data would
// then vanish from the archive at the next write-back. Either way the archive
// is refused before anything is written. Two folder entries of one name are
// harmless.
bool ZipGuard::checkLandings()
{
    std::vector<Landing> byHash = m_landings;
    std::sort(byHash.begin(), byHash.end(), [](const Landing &a, const Landing &b) {
        return a.hash < b.hash || (a.hash == b.hash && a.directoryPos < b.directoryPos);
    });
    for (std::size_t i = 0; i < byHash.size();) {
        std::size_t end = i + 1;
        while (end < byHash.size() && byHash[end].hash == byHash[i].hash)
            ++end;
        if (end - i > 1 && !checkSameHash(byHash, i, end))
            return false;
        i = end;
    }
    std::vector<Landing> files;
    for (const Landing &l : byHash) {
        if (!l.folder)
            files.push_back(l);
    }
    return checkFoldersAreNoFiles(files);
}

// Entries of equal hash: the paths are read again and compared for real.
bool ZipGuard::checkSameHash(const std::vector<Landing> &byHash, std::size_t from, std::size_t to)
{
    struct Named {
        QString path;
        const Landing *landing;
    };
    std::vector<Named> run;
    for (std::size_t k = from; k < to; ++k)
        run.push_back({landingPathAt(byHash[k].directoryPos), &byHash[k]});
    std::stable_sort(run.begin(), run.end(),
                     [](const Named &a, const Named &b) { return a.path < b.path; });
    for (std::size_t k = 1; k < run.size(); ++k) {
        const Named &a = run[k - 1];
        const Named &b = run[k];
        if (a.path != b.path || (a.landing->folder && b.landing->folder))
            continue;
        return failEntry(b.landing->directoryPos,
                         a.landing->folder != b.landing->folder
                             ? QStringLiteral("a file and a folder have the same name")
                             : QStringLiteral("two entries have the same name"));
    }
    return true;
}

// A file where another entry needs a folder: the folder levels of every
// entry are looked up among the files (sorted by hash), from the deepest up
// to the first level an earlier entry has already cleared, so that thousands
// of entries in one deep folder cost one walk down to it.
bool ZipGuard::checkFoldersAreNoFiles(const std::vector<Landing> &files)
{
    std::unordered_set<std::uint64_t> cleared;
    std::vector<std::pair<qsizetype, std::uint64_t>> levels; // end of a level, hash of the path to it
    for (const Landing &entry : m_landings) {
        const QString path = landingPathAt(entry.directoryPos);
        levels.clear();
        PathHash prefix;
        for (qsizetype i = 0; i < path.size(); ++i) {
            if (path.at(i) == u'/')
                levels.push_back({i, prefix.value});
            prefix.feed(path.at(i));
        }
        for (auto level = levels.crbegin(); level != levels.crend(); ++level) {
            const auto [end, hash] = *level;
            if (!cleared.insert(hash).second)
                break;
            auto it =
                std::lower_bound(files.cbegin(), files.cend(), hash,
                                 [](const Landing &l, std::uint64_t h) { return l.hash < h; });
            for (; it != files.cend() && it->hash == hash; ++it) {
                const QString file = landingPathAt(it->directoryPos);
                if (QStringView(path).left(end) == file)
                    return failEntry(entry.directoryPos,
                                     QStringLiteral("it needs a folder \"%1\", which is a file")
                                         .arg(EntryName::forMessage(file)));
            }
        }
    }
    return true;
}

QString ZipGuard::nameAt(std::uint64_t directoryPos)
{
    char header[kCentralHeaderSize];
    if (!readAt(directoryPos, header, sizeof header))
        return QStringLiteral("?");
    const std::uint16_t nameLength = le16(header + 28);
    const std::uint16_t extraLength = le16(header + 30);
    if (!readAt(directoryPos + kCentralHeaderSize, m_name, nameLength) ||
        !readAt(directoryPos + kCentralHeaderSize + nameLength, m_extra, extraLength))
        return QStringLiteral("?");
    return EntryName::decode(QByteArrayView(m_name, nameLength), le16(header + 8),
                             QByteArrayView(m_extra, extraLength), le16(header + 4));
}

// Reads through the window so that the walk over the central directory and
// over neighbouring local headers costs one system call per window.
bool ZipGuard::readAt(std::uint64_t pos, char *dst, std::size_t size)
{
    while (size > 0) {
        if (pos >= m_windowStart && pos < m_windowStart + m_windowLength) {
            const std::size_t offset = pos - m_windowStart;
            const std::size_t n = std::min(size, m_windowLength - offset);
            std::memcpy(dst, m_window + offset, n);
            dst += n;
            pos += n;
            size -= n;
            continue;
        }
        ssize_t got;
        do
            got = pread(m_fd, m_window, m_windowSize, static_cast<off_t>(pos));
        while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        m_windowStart = pos;
        m_windowLength = static_cast<std::size_t>(got);
    }
    return true;
}

// Finds the end record the way minizip does (the last signature within 64 KiB
// of the end), so that this check and the unpacking see the same directory.
bool ZipGuard::findEndRecord(std::uint64_t fileSize, std::uint64_t *endRecord)
{
    if (fileSize < kEndRecordSize)
        return fail(QStringLiteral("the file is not a zip file"));
    const std::uint64_t low = fileSize > kLongestComment ? fileSize - kLongestComment : 0;
    std::optional<std::uint64_t> end;
    std::optional<std::uint64_t> locator64;
    std::uint64_t chunkEnd = fileSize;
    while (chunkEnd > low + 3 && !(end && locator64)) {
        const std::uint64_t chunkStart =
            std::max(low, chunkEnd - std::min<std::uint64_t>(chunkEnd, m_windowSize));
        m_windowLength = 0; // the window is reloaded below
        ssize_t got;
        do
            got = pread(m_fd, m_window, chunkEnd - chunkStart, static_cast<off_t>(chunkStart));
        while (got < 0 && errno == EINTR);
        if (got != static_cast<ssize_t>(chunkEnd - chunkStart))
            return fail(QStringLiteral("the file cannot be read"));
        for (std::size_t i = chunkEnd - chunkStart - 4 + 1; i-- > 0;) {
            const std::uint32_t sig = le32(m_window + i);
            if (!end && sig == kEndSignature)
                end = chunkStart + i;
            else if (!locator64 && sig == kEnd64LocatorSignature)
                locator64 = chunkStart + i;
        }
        if (chunkStart == low)
            break;
        chunkEnd = chunkStart + 3; // a signature may straddle two chunks
    }
    m_windowLength = 0;
    if (locator64) {
        // minizip prefers a valid zip64 locator over the plain end record.
        char loc[kEnd64LocatorSize];
        char sig[4];
        if (readAt(*locator64, loc, sizeof loc) && le32(loc + 4) == 0 && le32(loc + 16) == 1 &&
            readAt(le64(loc + 8), sig, sizeof sig) && le32(sig) == kEnd64Signature)
            return fail(
                QStringLiteral("the archive uses 64-bit zip records, which are not supported"));
    }
    if (!end || *end + kEndRecordSize > fileSize)
        return fail(QStringLiteral("the file is not a zip file or its end is missing"));
    *endRecord = *end;
    return true;
}

bool ZipGuard::scan(int zipFd, int destinationBytes, std::uint64_t freeBytes)
{
    m_error.clear();
    m_entryCount = 0;
    m_windowStart = 0;
    m_windowLength = 0;
    m_ranges.clear();
    m_landings.clear();
    m_fd = zipFd;
    struct stat st {};
    if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("the file cannot be read"));

    Directory directory;
    if (!readDirectoryEnd(std::uint64_t(st.st_size), directory))
        return false;
    m_entryCount = directory.entries;
    m_directoryOffset = directory.offset;
    m_ranges.reserve(directory.entries);
    m_landings.reserve(directory.entries);
    std::uint64_t total = 0;
    std::uint64_t pos = directory.start;
    for (std::uint32_t i = 0; i < directory.entries; ++i) {
        if (!scanEntry(directory, i, destinationBytes, pos, total))
            return false;
    }
    if (total > freeBytes / 100 * ZipLimits::kFreeSpacePercent)
        return fail(
            QStringLiteral("the entries need %1 bytes; %2 bytes are free at the destination")
                .arg(bytes(total), bytes(freeBytes)));
    return checkLandings() && checkRanges(directory.start);
}

bool ZipGuard::readDirectoryEnd(std::uint64_t fileSize, Directory &directory)
{
    std::uint64_t endPos = 0;
    if (!findEndRecord(fileSize, &endPos))
        return false;
    char end[kEndRecordSize];
    if (!readAt(endPos, end, sizeof end))
        return fail(QStringLiteral("the file cannot be read"));
    const std::uint16_t disk = le16(end + 4);
    const std::uint16_t directoryDisk = le16(end + 6);
    const std::uint16_t entriesHere = le16(end + 8);
    const std::uint16_t entries = le16(end + 10);
    const std::uint32_t directorySize = le32(end + 12);
    const std::uint32_t directoryOffset = le32(end + 16);
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries)
        return fail(QStringLiteral("the archive spans several disks"));
    if (std::uint64_t(directoryOffset) + directorySize > endPos)
        return fail(QStringLiteral("the central directory is damaged"));
    if (entries > ZipLimits::kMaxEntries)
        return fail(QStringLiteral("the archive has %1 entries, more than %2")
                        .arg(entries)
                        .arg(ZipLimits::kMaxEntries));
    // Data in front of the archive (a self-extractor stub) shifts every offset.
    directory.shift = endPos - (std::uint64_t(directoryOffset) + directorySize);
    directory.start = directory.shift + directoryOffset;
    directory.end = endPos;
    directory.offset = directoryOffset;
    directory.entries = entries;
    return true;
}

// Checks entry i, whose directory record is at pos, and moves pos past it.
bool ZipGuard::scanEntry(const Directory &directory, std::uint32_t i, int destinationBytes,
                         std::uint64_t &pos, std::uint64_t &total)
{
    const auto damaged = [&] {
        return fail(QStringLiteral("the central directory is damaged at entry %1").arg(i + 1));
    };
    char h[kCentralHeaderSize];
    if (pos + kCentralHeaderSize > directory.end || !readAt(pos, h, sizeof h) ||
        le32(h) != kCentralHeaderSignature)
        return damaged();
    ZipEntryHeader header;
    header.versionMadeBy = le16(h + 4);
    header.flags = le16(h + 8);
    header.method = le16(h + 10);
    header.compressedSize = le32(h + 20);
    header.uncompressedSize = le32(h + 24);
    const std::uint16_t nameLength = le16(h + 28);
    const std::uint16_t extraLength = le16(h + 30);
    const std::uint16_t commentLength = le16(h + 32);
    header.externalAttributes = le32(h + 38);
    const std::uint32_t localHeader = le32(h + 42);
    const std::uint64_t next = pos + kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (next > directory.end || !readAt(pos + kCentralHeaderSize, m_name, nameLength) ||
        !readAt(pos + kCentralHeaderSize + nameLength, m_extra, extraLength))
        return damaged();

    const QString name =
        EntryName::decode(QByteArrayView(m_name, nameLength), header.flags,
                          QByteArrayView(m_extra, extraLength), header.versionMadeBy);
    QString why = EntryName::unsafeReason(name);
    if (why.isEmpty())
        why = headerProblem(header);
    if (why.isEmpty() && localHeader == 0xFFFFFFFFu)
        why = QStringLiteral("the entry uses 64-bit offsets, which are not supported");
    if (why.isEmpty() &&
        destinationBytes + QFile::encodeName(name).size() > ZipLimits::kMaxPathBytes)
        why = QStringLiteral("the path would be longer than the file system allows");
    if (!why.isEmpty())
        return fail(QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(name), why));

    total += header.uncompressedSize;
    if (total > ZipLimits::kMaxTotalSize)
        return fail(QStringLiteral("the entries unpack to more than 4 GiB"));
    m_ranges.push_back({directory.shift + localHeader, header.compressedSize, pos});
    bool folder = false;
    const QString landing = landingPath(name, &folder);
    m_landings.push_back({PathHash::of(landing), pos, folder});
    pos = next;
    return true;
}

// Every entry's header and data must lie in front of the central directory
// and apart from every other entry's: shared data is how zip bombs multiply.
bool ZipGuard::checkRanges(std::uint64_t directoryStart)
{
    std::sort(m_ranges.begin(), m_ranges.end(),
              [](const Range &a, const Range &b) { return a.localHeader < b.localHeader; });
    std::uint64_t previousEnd = 0;
    for (const Range &r : m_ranges) {
        char h[kLocalHeaderSize];
        if (r.localHeader + kLocalHeaderSize > directoryStart ||
            !readAt(r.localHeader, h, sizeof h) || le32(h) != kLocalHeaderSignature)
            return failEntry(r.directoryPos, QStringLiteral("its local header is missing"));
        const std::uint64_t dataEnd =
            r.localHeader + kLocalHeaderSize + le16(h + 26) + le16(h + 28) + r.compressedSize;
        if (dataEnd > directoryStart)
            return failEntry(r.directoryPos, QStringLiteral("its data runs past the archive"));
        if (r.localHeader < previousEnd)
            return failEntry(r.directoryPos,
                             QStringLiteral("its data overlaps another entry's data"));
        previousEnd = dataEnd;
    }
    return true;
}
