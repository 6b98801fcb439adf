#pragma once

#include <QByteArray>
#include <cstdint>
#include <ctime>

// The records of a zip file as this program writes them: no data descriptor
// (sizes and CRC stand in the local header), no zip64 records, no comments,
// "made by" MS-DOS with zero attributes, version 2.0 needed. Written the same
// way for entries compressed now and entries copied from an older zip, so that
// both look alike to every reader.
namespace ZipFormat {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr int kLocalHeaderSize = 30;
constexpr int kCentralHeaderSize = 46;
constexpr int kEndRecordSize = 22;
constexpr int kEnd64LocatorSize = 20;
// The end record stands at most this far (its comment) before the end of the file.
constexpr std::uint64_t kLongestComment = 0xFFFF;
// What an entry's two headers take beside its data: each holds the name and
// the extra field.
constexpr std::uint64_t headerBytes(std::uint64_t nameBytes, std::uint64_t extraBytes)
{
    return kLocalHeaderSize + kCentralHeaderSize + 2 * (nameBytes + extraBytes);
}
// An Info-ZIP Unicode Path field without its name: id, size, version, CRC.
constexpr std::uint64_t kUnicodePathFieldSize = 9;
// The most an entry's headers take for a name of nameBytes in UTF-8: the
// name as stored, and again in its Unicode Path field.
constexpr std::uint64_t mostHeaderBytes(std::uint64_t nameBytes)
{
    return headerBytes(nameBytes, kUnicodePathFieldSize + nameBytes);
}
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr int kCompressionLevel = 9;
// General-purpose bits 1 and 2: how hard deflate worked; "maximum" for level 9.
constexpr std::uint16_t kDeflateOptionBits = 0x0006;
constexpr std::uint16_t kMaximumCompression = 0x0002;

struct Entry {
    QByteArray name;  // as stored
    QByteArray extra; // the same in both headers
    std::uint16_t flags = 0;
    std::uint16_t method = kMethodDeflated;
    std::uint32_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    // Bit 0: the data looked like text to deflate (central header only).
    std::uint16_t internalAttributes = 0;
};

QByteArray localHeader(const Entry &entry);
// Appends the entry's central directory record for a local header at offset.
void appendCentralHeader(QByteArray &directory, const Entry &entry, std::uint32_t offset);
QByteArray endRecord(std::uint16_t entries, std::uint32_t directorySize,
                     std::uint32_t directoryOffset);
// Where CRC and the two sizes stand in a local header, to fill them in later.
constexpr int kLocalCrcOffset = 14;
void putCrcAndSizes(char *at, std::uint32_t crc, std::uint32_t compressed,
                    std::uint32_t uncompressed);

// Little-endian fields as the records hold them.
inline std::uint16_t le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return static_cast<std::uint16_t>(u[0] | (u[1] << 8));
}
inline std::uint32_t le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}
inline std::uint64_t le64(const char *p)
{
    return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

// A file time as an MS-DOS date and time (local time, two-second steps),
// clamped to the years MS-DOS dates can hold.
std::uint32_t toDosDate(time_t t);
// The other way; -1 when the date cannot be had.
time_t fromDosDate(std::uint32_t dosDate);

} // namespace ZipFormat
