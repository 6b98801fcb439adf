#include "zip/zipreader.h"

#include "base/uniquefd.h"
#include "zip/entryname.h"
#include "zip/zipextraction.h"
#include "zip/zipguard.h"
#include "zip/zipreadstream.h"

#include <QDir>
#include <QFile>
#include <limits>
#include <optional>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr std::size_t kWindowSize = 8192;
constexpr std::size_t kNameBufferSize = 0x10000; // a 16-bit length and room for a zero
constexpr unsigned kBlockSize = 64 * 1024;

ZipReader::FileStamp stampFromStat(const struct stat &st)
{
    ZipReader::FileStamp stamp;
    stamp.size = std::uint64_t(st.st_size);
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = std::uint64_t(st.st_ino);
    return stamp;
}

} // namespace

struct ZipReader::Private {
    Private()
        : window(new char[kWindowSize]), nameBuffer(new char[kNameBufferSize]),
          extraBuffer(new char[kNameBufferSize]), block(new char[kBlockSize]),
          guard(window.get(), kWindowSize, nameBuffer.get(), extraBuffer.get())
    {
    }
    ~Private() { closeZip(); }

    void closeZip()
    {
        if (unz)
            unzClose(unz);
        unz = nullptr;
        stream.reset();
        fd.reset();
        positions.clear();
    }

    // The guard's read window and the two buffers an entry's name and extra
    // field are read into; the block inflated data passes through.
    std::unique_ptr<char[]> window;
    std::unique_ptr<char[]> nameBuffer;
    std::unique_ptr<char[]> extraBuffer;
    std::unique_ptr<char[]> block;
    ZipGuard guard;
    UniqueFd fd;
    std::unique_ptr<ZipReadStream> stream;
    unzFile unz = nullptr;
    std::vector<unz64_file_pos> positions; // where each listed entry's header is
};

ZipReader::ZipReader() : d(std::make_unique<Private>()) {}

ZipReader::~ZipReader() = default;

ZipFailure ZipReader::failure(ZipFailure::Kind kind, const QString &detail,
                              const QString &path) const
{
    return {kind, path.isEmpty() ? m_zipPath : path, 0, detail};
}

ZipFailure ZipReader::entryFailure(qsizetype index, ZipFailure::Kind kind,
                                   const QString &why) const
{
    const QString &name = m_entries.at(index).name;
    return {kind, name, 0, QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(name), why)};
}

void ZipReader::close()
{
    d->closeZip();
    m_entries.clear();
    m_stamp = {};
    m_identity = {};
}

bool ZipReader::stampOf(const QString &path, FileStamp &stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp = stampFromStat(st);
    return true;
}

FileIdentity ZipReader::identityNow() const
{
    struct stat st {};
    if (!d->fd || fstat(d->fd.get(), &st) != 0)
        return {};
    return FileIdentity::of(st);
}

Expected<void, ZipFailure> ZipReader::open(const QString &zipPath, const QString &destination)
{
    close();
    m_zipPath = zipPath;
    // A zip that cannot be listed whole lists nothing.
    const auto refuse = [this](const ZipFailure &why) {
        const QString path = m_zipPath;
        close();
        m_zipPath = path;
        return why;
    };
    d->fd = UniqueFd::open(zipPath, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!d->fd || fstat(d->fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return refuse({ZipFailure::Kind::Unreadable, zipPath, d->fd ? 0 : errno,
                       QStringLiteral("\"%1\" cannot be read").arg(zipPath)});
    m_stamp = stampFromStat(st);
    m_identity = FileIdentity::of(st);

    // Everything is checked before the first byte is read or written.
    int destinationBytes = 0;
    std::uint64_t freeBytes = std::numeric_limits<std::uint64_t>::max();
    if (!destination.isEmpty()) {
        destinationBytes = int(QFile::encodeName(QDir(destination).absolutePath()).size()) + 1;
        freeBytes = ZipGuard::freeBytesAt(destination).value_or(freeBytes);
    }
    if (!d->guard.scan(d->fd.get(), destinationBytes, freeBytes))
        return refuse(failure(ZipFailure::Kind::Refused, d->guard.error()));
    // minizip cannot open a zip without entries (its end record at offset 0
    // reads as "not found"); such a zip is whole and holds nothing.
    if (d->guard.entryCount() == 0)
        return {};

    d->stream = std::make_unique<ZipReadStream>(d->fd.get(), std::uint64_t(st.st_size));
    zlib_filefunc64_def functions = d->stream->functions();
    d->unz = unzOpen2_64(QFile::encodeName(zipPath).constData(), &functions);
    if (!d->unz)
        return refuse(failure(
            ZipFailure::Kind::Refused,
            QStringLiteral("\"%1\" is not a zip file or its directory is damaged").arg(zipPath)));
    if (auto listed = listEntries(); !listed)
        return refuse(listed.failure());
    return {};
}

// Walks the directory as minizip reads it; it must be the one the guard checked.
Expected<void, ZipFailure> ZipReader::listEntries()
{
    const auto inconsistent = [this] {
        return failure(ZipFailure::Kind::Refused,
                       QStringLiteral("the archive's directory cannot be read consistently"));
    };
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(d->unz, &global) != UNZ_OK ||
        global.number_entry != d->guard.entryCount())
        return inconsistent();
    // An empty directory has no first entry for minizip to find (behind other
    // bytes it says so); such a zip is whole and lists nothing.
    if (global.number_entry == 0)
        return {};
    if (unzGoToFirstFile(d->unz) != UNZ_OK || unzGetOffset64(d->unz) != d->guard.directoryOffset())
        return inconsistent();

    m_entries.reserve(qsizetype(global.number_entry));
    d->positions.reserve(global.number_entry);
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (i > 0 && unzGoToNextFile(d->unz) != UNZ_OK)
            return failure(ZipFailure::Kind::Refused,
                           QStringLiteral("the archive's directory is damaged after entry %1").arg(i));
        unz_file_info64 info{};
        unz64_file_pos pos{};
        if (unzGetCurrentFileInfo64(d->unz, &info, d->nameBuffer.get(), kNameBufferSize,
                                    d->extraBuffer.get(), kNameBufferSize, nullptr,
                                    0) != UNZ_OK ||
            unzGetFilePos64(d->unz, &pos) != UNZ_OK)
            return failure(ZipFailure::Kind::Refused,
                           QStringLiteral("an entry's header cannot be read"));
        Entry entry;
        entry.name =
            EntryName::decode(QByteArrayView(d->nameBuffer.get(), qsizetype(info.size_filename)),
                              std::uint16_t(info.flag),
                              QByteArrayView(d->extraBuffer.get(), qsizetype(info.size_file_extra)),
                              std::uint16_t(info.version));
        // The guard judged the same bytes; minizip's reading of them must agree.
        const ZipEntryHeader header{std::uint16_t(info.version),
                                    std::uint16_t(info.flag),
                                    std::uint16_t(info.compression_method),
                                    std::uint32_t(info.external_fa),
                                    info.compressed_size,
                                    info.uncompressed_size};
        QString why = EntryName::unsafeReason(entry.name);
        if (why.isEmpty())
            why = ZipGuard::headerProblem(header);
        if (!why.isEmpty())
            return failure(ZipFailure::Kind::Refused,
                           QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(entry.name), why));
        entry.crc = std::uint32_t(info.crc);
        entry.size = info.uncompressed_size;
        entry.compressedSize = info.compressed_size;
        entry.method = std::uint16_t(info.compression_method);
        entry.flags = std::uint16_t(info.flag);
        entry.internalAttributes = std::uint16_t(info.internal_fa);
        entry.dosDate = std::uint32_t(info.dosDate);
        m_entries.append(entry);
        d->positions.push_back(pos);
    }
    return {};
}

Expected<void, ZipFailure> ZipReader::stream(qsizetype index, const Sink &sink,
                                             std::uint64_t *dataOffset)
{
    using Kind = ZipFailure::Kind;
    if (!d->unz || index < 0 || index >= m_entries.size())
        return failure(Kind::Unreadable, QStringLiteral("no such entry"));
    const Entry &entry = m_entries.at(index);
    unz64_file_pos pos = d->positions[std::size_t(index)];
    if (unzGoToFilePos64(d->unz, &pos) != UNZ_OK)
        return entryFailure(index, Kind::EntryDamaged, QStringLiteral("its header cannot be found"));
    if (const int opened = unzOpenCurrentFile(d->unz); opened != UNZ_OK)
        return entryFailure(index, Kind::EntryDamaged,
                            QStringLiteral("the entry cannot be opened (%1)").arg(opened));
    if (dataOffset)
        *dataOffset = unzGetCurrentFileZStreamPos64(d->unz);

    // minizip checks the CRC only when the declared size was read exactly, so
    // the count is checked here as well.
    std::uint64_t done = 0;
    std::optional<ZipFailure> failed;
    for (;;) {
        const int n = unzReadCurrentFile(d->unz, d->block.get(), kBlockSize);
        if (n < 0) {
            failed = entryFailure(index, Kind::EntryDamaged,
                                  QStringLiteral("its data is damaged (%1)").arg(n));
            break;
        }
        if (n == 0)
            break;
        done += std::uint64_t(n);
        if (done > entry.size) {
            failed = entryFailure(
                index, Kind::EntryDamaged,
                QStringLiteral("it unpacks to more than the %1 bytes it declares").arg(entry.size));
            break;
        }
        if (!sink(d->block.get(), n)) {
            failed = entryFailure(index, Kind::NotWritten, QStringLiteral("it was not taken"));
            break;
        }
    }
    if (!failed && done != entry.size)
        failed = entryFailure(index, Kind::EntryDamaged,
                              QStringLiteral("it unpacks to %1 bytes, not the %2 it declares")
                                  .arg(done)
                                  .arg(entry.size));
    const int closed = unzCloseCurrentFile(d->unz);
    if (!failed && closed != UNZ_OK)
        failed = entryFailure(index, Kind::EntryDamaged,
                              closed == UNZ_CRCERROR
                                  ? QStringLiteral("its data fails the CRC check")
                                  : QStringLiteral("its data is damaged (%1)").arg(closed));
    if (failed)
        return *failed;
    return {};
}

Expected<QByteArray, ZipFailure> ZipReader::read(qsizetype index, std::uint64_t maxBytes)
{
    if (index >= 0 && index < m_entries.size() && m_entries.at(index).size > maxBytes)
        return entryFailure(index, ZipFailure::Kind::TooLarge,
                            QStringLiteral("it unpacks to %1 bytes, more than %2 are read")
                                .arg(m_entries.at(index).size)
                                .arg(maxBytes));
    QByteArray contents;
    if (index >= 0 && index < m_entries.size())
        contents.reserve(qsizetype(m_entries.at(index).size));
    auto read = stream(index, [&contents](const char *data, qsizetype size) {
        contents.append(data, size);
        return true;
    });
    if (!read)
        return read.failure();
    return contents;
}

Expected<void, ZipFailure> ZipReader::verify(qsizetype index)
{
    return stream(index, [](const char *, qsizetype) { return true; });
}

Expected<UnpackRecord, ZipFailure> ZipReader::extract(const QString &zipPath,
                                                      const QString &folder)
{
    ZipReader reader;
    if (auto opened = reader.open(zipPath, folder); !opened)
        return opened.failure();
    return ZipExtraction(reader, folder).run();
}
