#include "zip/zipformat.h"

#include <algorithm>

namespace ZipFormat {

namespace {

constexpr std::uint16_t kVersionNeeded = 20;
constexpr std::uint16_t kVersionMadeBy = 0; // MS-DOS: the attributes stay zero

void put16(QByteArray &out, std::uint32_t value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void put32(QByteArray &out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields both headers share, from "version needed" to the extra field's length.
void putCommon(QByteArray &out, const Entry &e)
{
    put16(out, kVersionNeeded);
    put16(out, e.flags);
    put16(out, e.method);
    put32(out, e.dosDate);
    put32(out, e.crc);
    put32(out, e.compressedSize);
    put32(out, e.uncompressedSize);
    put16(out, std::uint32_t(e.name.size()));
    put16(out, std::uint32_t(e.extra.size()));
}

} // namespace

QByteArray localHeader(const Entry &entry)
{
    QByteArray out;
    out.reserve(kLocalHeaderSize + entry.name.size() + entry.extra.size());
    put32(out, kLocalHeaderSignature);
    putCommon(out, entry);
    return out + entry.name + entry.extra;
}

void appendCentralHeader(QByteArray &directory, const Entry &entry, std::uint32_t offset)
{
    put32(directory, kCentralHeaderSignature);
    put16(directory, kVersionMadeBy);
    putCommon(directory, entry);
    put16(directory, 0); // comment length
    put16(directory, 0); // disk
    put16(directory, entry.internalAttributes);
    put32(directory, 0); // external attributes
    put32(directory, offset);
    directory += entry.name;
    directory += entry.extra;
}

QByteArray endRecord(std::uint16_t entries, std::uint32_t directorySize,
                     std::uint32_t directoryOffset)
{
    QByteArray out;
    out.reserve(kEndRecordSize);
    put32(out, kEndSignature);
    put16(out, 0); // this disk
    put16(out, 0); // the directory's disk
    put16(out, entries);
    put16(out, entries);
    put32(out, directorySize);
    put32(out, directoryOffset);
    put16(out, 0); // comment length
    return out;
}

void putCrcAndSizes(char *at, std::uint32_t crc, std::uint32_t compressed,
                    std::uint32_t uncompressed)
{
    QByteArray fields;
    put32(fields, crc);
    put32(fields, compressed);
    put32(fields, uncompressed);
    std::copy(fields.cbegin(), fields.cend(), at);
}

std::uint32_t toDosDate(time_t t)
{
    struct tm tm {};
    localtime_r(&t, &tm);
    if (tm.tm_year < 80)
        return (1u << 21) | (1u << 16); // 1980-01-01 00:00:00
    if (tm.tm_year > 207)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return (std::uint32_t(tm.tm_year - 80) << 25) | (std::uint32_t(tm.tm_mon + 1) << 21) |
           (std::uint32_t(tm.tm_mday) << 16) | (std::uint32_t(tm.tm_hour) << 11) |
           (std::uint32_t(tm.tm_min) << 5) | std::uint32_t(tm.tm_sec / 2);
}

time_t fromDosDate(std::uint32_t dosDate)
{
    struct tm tm {};
    tm.tm_year = int((dosDate >> 25) & 0x7F) + 80;
    tm.tm_mon = int((dosDate >> 21) & 0x0F) - 1;
    tm.tm_mday = int((dosDate >> 16) & 0x1F);
    tm.tm_hour = int((dosDate >> 11) & 0x1F);
    tm.tm_min = int((dosDate >> 5) & 0x3F);
    tm.tm_sec = int(dosDate & 0x1F) * 2;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

} // namespace ZipFormat
