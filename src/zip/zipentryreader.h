#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

// Reads the entries of a zip into memory, for work that needs their contents
// without unpacking them (the search index). The whole zip passes the same
// checks as before unpacking (zip/zipguard.h) when it is opened, and every
// entry read is checked against its declared size and CRC.
class ZipEntryReader {
public:
    struct Entry {
        QString name; // decoded, "/" between folder levels
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        std::uint64_t compressedSize = 0;
        bool isFolder() const { return name.endsWith(u'/'); }
    };
    // What identifies one state of the zip file on disk.
    struct FileStamp {
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const FileStamp &) const = default;
    };

    ZipEntryReader();
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader &) = delete;
    ZipEntryReader &operator=(const ZipEntryReader &) = delete;

    // Opens the zip and lists its entries. False when it cannot be read or is
    // refused; error() says why. The file stays open until close() or the next open().
    bool open(const QString &zipPath);
    void close();

    const QList<Entry> &entries() const { return m_entries; }
    // The stamp of the file that was opened (the same descriptor that is read).
    FileStamp stamp() const { return m_stamp; }

    // The contents of entry index. False, with error() set, when the entry is
    // larger than maxBytes, is damaged or fails its CRC.
    bool read(qsizetype index, QByteArray &contents, std::uint64_t maxBytes);
    // Reads entry index through to its end without keeping it, as read()
    // checks it: false, with error() set, when it is damaged or fails its CRC.
    bool verify(qsizetype index);

    QString error() const { return m_error; }

    // The stamp of the file at path now; nothing when it cannot be read.
    static bool stampOf(const QString &path, FileStamp &stamp);

private:
    bool fail(const QString &why);
    // Inflates entry index into target (its declared size), or through a
    // scratch buffer when target is null, checking its size and CRC.
    bool readEntry(qsizetype index, char *target);

    struct Private;
    std::unique_ptr<Private> d;
    QList<Entry> m_entries;
    FileStamp m_stamp;
    QString m_error;
};
