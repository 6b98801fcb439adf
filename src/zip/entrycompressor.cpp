#include "zip/entrycompressor.h"

#include "zip/zipformat.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr std::size_t kReadSize = 256 * 1024;

} // namespace

struct EntryCompressor::Private {
    z_stream stream{};
    bool ready = false;
    std::unique_ptr<char[]> input{new char[kReadSize]};
};

EntryCompressor::EntryCompressor() : d(std::make_unique<Private>())
{
    d->ready = deflateInit2(&d->stream, ZipFormat::kCompressionLevel, Z_DEFLATED, -MAX_WBITS, 8,
                            Z_DEFAULT_STRATEGY) == Z_OK;
}

EntryCompressor::~EntryCompressor()
{
    if (d->ready)
        deflateEnd(&d->stream);
}

bool EntryCompressor::holds(int fd, const struct stat &before, std::uint64_t size,
                            std::uint32_t crc)
{
    if (std::uint64_t(before.st_size) != size)
        return false;
    uLong sum = crc32(0L, Z_NULL, 0);
    std::uint64_t done = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, d->input.get(), kReadSize, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += std::uint64_t(n);
        if (done > size)
            return false;
        sum = crc32(sum, reinterpret_cast<const Bytef *>(d->input.get()), uInt(n));
    }
    struct stat after {};
    return done == size && std::uint32_t(sum) == crc && fstat(fd, &after) == 0 &&
           FileIdentity::of(after) == FileIdentity::of(before);
}

EntryCompressor::Result EntryCompressor::compress(int fd, const struct stat &before,
                                                  std::uint64_t maxSize, const Sink &sink)
{
    Result r;
    const auto fail = [&r](const QString &why) {
        r.ok = false;
        r.error = why;
        return r;
    };
    if (!d->ready || deflateReset(&d->stream) != Z_OK)
        return fail(QStringLiteral("the compressor cannot be started"));
    const auto expected = std::uint64_t(before.st_size);
    if (expected > maxSize)
        return fail(QStringLiteral("the file is too big for the archive"));

    z_stream &z = d->stream;
    QByteArray block(kBlockSize, Qt::Uninitialized);
    z.next_out = reinterpret_cast<Bytef *>(block.data());
    z.avail_out = uInt(block.size());
    uLong crc = crc32(0L, Z_NULL, 0);
    // Hands on the full output block, or with finish what there is of it.
    const auto handOn = [&](bool finish) {
        const auto used = qsizetype(block.size() - z.avail_out);
        if (used == 0 || (!finish && z.avail_out != 0))
            return true;
        block.truncate(used);
        r.compressedSize += std::uint64_t(used);
        if (!sink(std::move(block)))
            return false;
        block = QByteArray(kBlockSize, Qt::Uninitialized);
        z.next_out = reinterpret_cast<Bytef *>(block.data());
        z.avail_out = uInt(block.size());
        return true;
    };

    std::uint64_t done = 0;
    for (;;) {
        ssize_t n;
        do
            n = ::read(fd, d->input.get(), kReadSize);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            return fail(QStringLiteral("the file cannot be read: %1").arg(qt_error_string(errno)));
        done += std::uint64_t(n);
        if (done > expected)
            return fail(QStringLiteral("the file grew while it was read"));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(d->input.get()), uInt(n));
        z.next_in = reinterpret_cast<Bytef *>(d->input.get());
        z.avail_in = uInt(n);
        const int flush = n == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            result = deflate(&z, flush);
            if (result == Z_STREAM_ERROR)
                return fail(QStringLiteral("the compressor failed"));
            if (!handOn(result == Z_STREAM_END))
                return fail(QStringLiteral("stopped"));
        } while (z.avail_in > 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        if (n == 0)
            break;
    }
    struct stat after {};
    if (done != expected || fstat(fd, &after) != 0 ||
        FileIdentity::of(after) != FileIdentity::of(before))
        return fail(done < expected ? QStringLiteral("the file shrank while it was read")
                                    : QStringLiteral("the file changed while it was read"));
    r.ok = true;
    r.crc = std::uint32_t(crc);
    r.uncompressedSize = done;
    r.text = z.data_type == Z_TEXT;
    r.file = FileIdentity::of(after);
    return r;
}
