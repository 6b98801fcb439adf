#pragma once

#include "base/expected.h"
#include "zip/unpackrecord.h"
#include "zip/zipfailure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Reads a zip file through minizip. Opening checks the whole of it before a
// byte of any entry is read (zip/zipguard.h: names, sizes, where every entry
// lands and where its data lies) and lists its entries; every entry read is
// then checked against its declared size and CRC. One descriptor is read
// throughout, so the checks judge exactly the file that is read.
//
// Entries go to memory (the search index reads pages without unpacking them)
// or, through ZipExtraction, into a folder.
class ZipReader {
public:
    struct Entry {
        QString name; // decoded, "/" between folder levels
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        std::uint64_t compressedSize = 0;
        std::uint16_t method = 0;
        std::uint16_t flags = 0; // general-purpose bits as stored
        std::uint16_t internalAttributes = 0;
        std::uint32_t dosDate = 0;
        bool isFolder() const { return name.endsWith(u'/'); }
    };
    // What identifies one state of the zip file on disk.
    struct FileStamp {
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileStamp &) const = default;
    };
    // Hands on an entry's data a block at a time; false stops the reading.
    using Sink = std::function<bool(const char *data, qsizetype size)>;

    ZipReader();
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    // Opens the zip, checks it and lists its entries. With a destination, the
    // check also takes in what unpacking there needs (path lengths, free
    // space). Stays open until close() or the next open(); a zip that fails
    // the check lists nothing.
    Expected<void, ZipFailure> open(const QString &zipPath, const QString &destination = {});
    void close();

    QString zipPath() const { return m_zipPath; }
    const QList<Entry> &entries() const { return m_entries; }
    // The file that was opened, as the descriptor read sees it.
    FileStamp stamp() const { return m_stamp; }
    FileIdentity identity() const { return m_identity; }
    // The zip's identity now, on the descriptor read (a zip replaced under
    // its name since it was opened is still the file read).
    FileIdentity identityNow() const;

    // Inflates entry index, handing its data to sink. Fails when the entry is
    // damaged (it inflates to more or less than it declares, or fails its CRC
    // check) or sink stopped it (what the sink failed at is its own to say).
    // dataOffset: where its compressed data starts in the zip.
    Expected<void, ZipFailure> stream(qsizetype index, const Sink &sink,
                                      std::uint64_t *dataOffset = nullptr);
    // The contents of entry index; an entry larger than maxBytes is refused
    // before anything is inflated.
    Expected<QByteArray, ZipFailure> read(qsizetype index, std::uint64_t maxBytes);
    // Inflates entry index through to its end without keeping it, checked as
    // read() checks it.
    Expected<void, ZipFailure> verify(qsizetype index);

    // Unpacks the whole zip into folder: what it found (the zip's identity,
    // and which file each entry became), or why not. See ZipExtraction.
    static Expected<UnpackRecord, ZipFailure> extract(const QString &zipPath,
                                                      const QString &folder);

    // The stamp of the file at path now; false when it cannot be had.
    static bool stampOf(const QString &path, FileStamp &stamp);

private:
    ZipFailure failure(ZipFailure::Kind kind, const QString &detail,
                       const QString &path = {}) const;
    Expected<void, ZipFailure> listEntries();
    ZipFailure entryFailure(qsizetype index, ZipFailure::Kind kind, const QString &why) const;

    struct Private;
    std::unique_ptr<Private> d;
    QString m_zipPath;
    QList<Entry> m_entries;
    FileStamp m_stamp;
    FileIdentity m_identity;
};
