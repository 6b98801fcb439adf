#include "zip/zipentryreader.h"

#include "zip/entryname.h"
#include "zip/zipguard.h"
#include "zip/zipreadstream.h"

#include <QFile>
#include <fcntl.h>
#include <limits>
#include <minizip/unzip.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 8192;
constexpr std::size_t kScratchSize = 256 * 1024; // what verify() inflates into
constexpr std::size_t kNameBufferSize = 0x10000; // a 16-bit length and room for a zero

ZipEntryReader::FileStamp stampFromStat(const struct stat &st)
{
    ZipEntryReader::FileStamp stamp;
    stamp.size = std::uint64_t(st.st_size);
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = std::uint64_t(st.st_ino);
    return stamp;
}

} // namespace

struct ZipEntryReader::Private {
    Private()
        : buffer(new char[kBufferSize]), nameBuffer(new char[kNameBufferSize]),
          extraBuffer(new char[kNameBufferSize]),
          guard(buffer.get(), kBufferSize, nameBuffer.get(), extraBuffer.get())
    {
    }
    ~Private() { closeZip(); }

    void closeZip()
    {
        if (unz)
            unzClose(unz);
        unz = nullptr;
        positions.clear();
    }

    std::unique_ptr<char[]> buffer;
    std::unique_ptr<char[]> nameBuffer;
    std::unique_ptr<char[]> extraBuffer;
    std::unique_ptr<char[]> scratch; // made on the first verify()
    ZipGuard guard;
    // minizip opens one file per stream, so the stream lives as long as the reader.
    std::unique_ptr<ZipReadStream> stream;
    unzFile unz = nullptr;
    std::vector<unz64_file_pos> positions; // where each listed entry's header is
};

ZipEntryReader::ZipEntryReader() : d(std::make_unique<Private>()) {}

ZipEntryReader::~ZipEntryReader() = default;

bool ZipEntryReader::fail(const QString &why)
{
    m_error = why;
    return false;
}

void ZipEntryReader::close()
{
    d->closeZip();
    d->stream.reset();
    m_entries.clear();
    m_stamp = {};
}

bool ZipEntryReader::stampOf(const QString &path, FileStamp &stamp)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp = stampFromStat(st);
    return true;
}

bool ZipEntryReader::open(const QString &zipPath)
{
    close();
    m_error.clear();
    // A zip that cannot be listed whole lists nothing.
    auto refuse = [this](const QString &why) {
        close();
        return fail(why);
    };
    d->stream = std::make_unique<ZipReadStream>();
    zlib_filefunc64_def functions = d->stream->functions();
    d->unz = unzOpen2_64(QFile::encodeName(zipPath).constData(), &functions);
    if (!d->unz) {
        // minizip cannot open a zip without entries (its end record at offset 0
        // reads as "not found"); the check tells such a zip from a damaged one.
        const int fd =
            ::open(QFile::encodeName(zipPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return refuse(QStringLiteral("the file cannot be read"));
        struct stat st {};
        const bool empty = fstat(fd, &st) == 0 &&
                           d->guard.scan(fd, 0, std::numeric_limits<std::uint64_t>::max()) &&
                           d->guard.entryCount() == 0;
        ::close(fd);
        if (!empty)
            return refuse(
                d->guard.error().isEmpty()
                    ? QStringLiteral("the file is not a zip file or its directory is damaged")
                    : d->guard.error());
        m_stamp = stampFromStat(st);
        return true;
    }
    struct stat st {};
    if (fstat(d->stream->fd(), &st) != 0)
        return refuse(QStringLiteral("the file cannot be read"));
    m_stamp = stampFromStat(st);

    // The same checks as before unpacking, on the same descriptor minizip reads;
    // nothing is written, so free space does not count.
    if (!d->guard.scan(d->stream->fd(), 0, std::numeric_limits<std::uint64_t>::max()))
        return refuse(d->guard.error());
    unz_global_info64 global{};
    if (!d->unz || unzGetGlobalInfo64(d->unz, &global) != UNZ_OK ||
        global.number_entry != d->guard.entryCount())
        return refuse(QStringLiteral("the archive's directory cannot be read consistently"));
    // An empty directory has no first entry for minizip to find; such a zip
    // is whole and lists nothing, as it unpacks to nothing.
    if (global.number_entry == 0)
        return true;
    if (unzGoToFirstFile(d->unz) != UNZ_OK || unzGetOffset64(d->unz) != d->guard.directoryOffset())
        return refuse(QStringLiteral("the archive's directory cannot be read consistently"));

    m_entries.reserve(qsizetype(global.number_entry));
    d->positions.reserve(global.number_entry);
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        if (i > 0 && unzGoToNextFile(d->unz) != UNZ_OK)
            return refuse(QStringLiteral("the archive's directory is damaged after entry %1").arg(i));
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(d->unz, &info, d->nameBuffer.get(), kNameBufferSize,
                                    d->extraBuffer.get(), kNameBufferSize, nullptr, 0) != UNZ_OK)
            return refuse(QStringLiteral("an entry's header cannot be read"));
        unz64_file_pos pos{};
        if (unzGetFilePos64(d->unz, &pos) != UNZ_OK)
            return refuse(QStringLiteral("an entry's header cannot be read"));
        Entry entry;
        entry.name =
            EntryName::decode(QByteArrayView(d->nameBuffer.get(), qsizetype(info.size_filename)),
                              std::uint16_t(info.flag),
                              QByteArrayView(d->extraBuffer.get(), qsizetype(info.size_file_extra)),
                              std::uint16_t(info.version));
        entry.crc = std::uint32_t(info.crc);
        entry.size = info.uncompressed_size;
        entry.compressedSize = info.compressed_size;
        m_entries.append(entry);
        d->positions.push_back(pos);
    }
    return true;
}

bool ZipEntryReader::read(qsizetype index, QByteArray &contents, std::uint64_t maxBytes)
{
    m_error.clear();
    contents.clear();
    if (!d->unz || index < 0 || index >= m_entries.size())
        return fail(QStringLiteral("no such entry"));
    const Entry &entry = m_entries.at(index);
    if (entry.size > maxBytes)
        return fail(QStringLiteral("\"%1\" unpacks to %2 bytes, more than %3 are read")
                        .arg(EntryName::forMessage(entry.name))
                        .arg(entry.size)
                        .arg(maxBytes));
    contents.resize(qsizetype(entry.size));
    if (!readEntry(index, contents.data())) {
        contents.clear();
        return false;
    }
    return true;
}

bool ZipEntryReader::verify(qsizetype index)
{
    m_error.clear();
    if (!d->unz || index < 0 || index >= m_entries.size())
        return fail(QStringLiteral("no such entry"));
    return readEntry(index, nullptr);
}

bool ZipEntryReader::readEntry(qsizetype index, char *target)
{
    const Entry &entry = m_entries.at(index);
    auto failEntry = [&](const QString &why) {
        return fail(QStringLiteral("\"%1\": %2").arg(EntryName::forMessage(entry.name), why));
    };
    unz64_file_pos pos = d->positions[std::size_t(index)];
    if (unzGoToFilePos64(d->unz, &pos) != UNZ_OK)
        return failEntry(QStringLiteral("its header cannot be found"));
    if (unzOpenCurrentFile(d->unz) != UNZ_OK)
        return failEntry(QStringLiteral("the entry cannot be opened"));
    if (!target && !d->scratch)
        d->scratch.reset(new char[kScratchSize]);

    std::uint64_t done = 0;
    bool ok = true;
    QString why;
    for (;;) {
        // One byte more than declared is asked for, so that an entry that
        // unpacks to more than it declares is caught.
        char *into = d->buffer.get();
        std::uint64_t room = 1;
        if (done < entry.size) {
            into = target ? target + done : d->scratch.get();
            room = target ? entry.size - done
                          : std::min<std::uint64_t>(entry.size - done, kScratchSize);
        }
        const unsigned want = unsigned(std::min<std::uint64_t>(room, 1u << 20));
        const int n = unzReadCurrentFile(d->unz, into, want);
        if (n < 0) {
            ok = false;
            why = QStringLiteral("its data is damaged (%1)").arg(n);
            break;
        }
        if (n == 0)
            break;
        if (done >= entry.size) {
            ok = false;
            why =
                QStringLiteral("it unpacks to more than the %1 bytes it declares").arg(entry.size);
            break;
        }
        done += std::uint64_t(n);
    }
    if (ok && done != entry.size) {
        ok = false;
        why = QStringLiteral("it unpacks to %1 bytes, not the %2 it declares")
                  .arg(done)
                  .arg(entry.size);
    }
    // minizip checks the CRC only when the declared size was read exactly.
    const int closed = unzCloseCurrentFile(d->unz);
    if (ok && closed != UNZ_OK) {
        ok = false;
        why = closed == UNZ_CRCERROR ? QStringLiteral("its data fails the CRC check")
                                     : QStringLiteral("its data is damaged (%1)").arg(closed);
    }
    if (!ok)
        return failEntry(why);
    return true;
}
