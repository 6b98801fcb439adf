#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>

// What a zip file was at one moment, to tell later whether anything replaced
// or rewrote it since: a sync tool, a restore, or another machine sharing the
// catalogue. The file's device, inode, size and modification time, and a
// digest of its central directory (which names every entry with its CRC), so
// that a zip rewritten in place with its old size and time shows too. A zip
// that was not there is a stamp of its own.
struct ZipStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    QByteArray directoryDigest;

    // The zip at path now (links followed).
    static ZipStamp of(const QString &zipPath);

    // Whether writing over the zip that now has this stamp would replace
    // something other than what was stamped: a zip that is gone since has
    // nothing to lose.
    bool replacedBy(const ZipStamp &now) const { return now.exists && now != *this; }

    QJsonObject toJson() const;
    // Nothing when the object holds no stamp.
    static std::optional<ZipStamp> fromJson(const QJsonObject &object);

    bool operator==(const ZipStamp &) const = default;
};
