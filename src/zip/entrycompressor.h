#pragma once

#include "zip/unpackrecord.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Deflates one file at a time (level 9, raw deflate, as zip entries hold it)
// and hands the output on in blocks. The file must hold still while it is read:
// one that grows, shrinks or is written to meanwhile fails, so that no entry
// holds a mix of two versions. One compressor per thread; its zlib state and
// buffers are reused from file to file.
class EntryCompressor {
public:
    EntryCompressor();
    ~EntryCompressor();
    EntryCompressor(const EntryCompressor &) = delete;
    EntryCompressor &operator=(const EntryCompressor &) = delete;

    // Size of the blocks handed on (the last one of a file may be shorter).
    static constexpr qsizetype kBlockSize = 256 * 1024;

    struct Result {
        bool ok = false;
        QString error; // why not, when not
        std::uint32_t crc = 0;
        std::uint64_t uncompressedSize = 0;
        std::uint64_t compressedSize = 0;
        bool text = false; // deflate took the data for text
        FileIdentity file; // as it was before and after the read
    };
    // Returns false to stop: the result is then a failure.
    using Sink = std::function<bool(QByteArray &&block)>;

    // Reads the open regular file fd (described by before, taken with fstat)
    // to its end. maxSize: more than this fails at once.
    Result compress(int fd, const struct stat &before, std::uint64_t maxSize, const Sink &sink);

    // Whether the open regular file fd (described by before) holds size bytes
    // with this CRC, and held still while it was read. Reads from the start,
    // without moving the file's offset.
    bool holds(int fd, const struct stat &before, std::uint64_t size, std::uint32_t crc);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
