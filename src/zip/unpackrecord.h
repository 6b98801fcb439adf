#pragma once

#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

struct stat;

// What identifies a file's content without reading it: a write changes the
// modification and change times, and while `touch -r` can set the modification
// time back, nobody but the kernel sets the change time. A file replaced by
// another one has another inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    static FileIdentity of(const struct stat &st);
    bool isValid() const { return inode != 0; }
    bool operator==(const FileIdentity &) const = default;
};

// One entry of the zip, and the file it was unpacked into.
struct RecordedEntry {
    QString name;             // relative path, "/" between levels
    std::uint64_t dataOffset; // where the compressed data starts in the zip
    std::uint32_t compressedSize;
    std::uint32_t uncompressedSize;
    std::uint32_t crc;
    std::uint16_t method; // stored or deflated
    std::uint16_t flags;  // general-purpose bits as stored
    std::uint16_t internalAttributes;
    FileIdentity file; // the unpacked file, as it was left
};

// What an unpacking found: which zip (and that file's identity) was unpacked
// into which folder, where each entry's data lies in it, and which file each
// entry became. Every entry was inflated and its CRC checked, so while the zip
// is still the same file, the data of an entry whose file is still the same
// may be copied into a new zip without compressing it again. A zip written
// back from the folder leaves a record of the same kind.
class UnpackRecord {
public:
    bool isValid() const { return m_zip.isValid() && !m_folder.isEmpty(); }
    void clear();

    QString zipPath() const { return m_zipPath; }
    FileIdentity zip() const { return m_zip; }
    QString folder() const { return m_folder; }
    void setZip(const QString &path, const FileIdentity &identity);
    void setFolder(const QString &folder);

    // A later entry of the same name replaces the earlier one, as it does on disk.
    void add(const RecordedEntry &entry);
    // Closes the record once every entry is in: the time now, after the last
    // file was looked at.
    void seal();
    // Whether a file recorded as file might since have been written without
    // its identity showing it. The kernel stamps change times from a clock
    // that moves in ticks (on some file systems in whole seconds): a write in
    // the same tick as the recorded look leaves the same change time. Such a
    // file's content has to be compared before its entry can be copied.
    bool mayHaveChangedUnseen(const FileIdentity &file) const;
    const RecordedEntry *find(const QString &name) const;
    qsizetype count() const { return qsizetype(m_entries.size()); }

    // The absolute, cleaned form of a folder path, as records keep it.
    static QString folderKey(const QString &folder);

private:
    QString m_zipPath;
    FileIdentity m_zip;
    QString m_folder;
    std::vector<RecordedEntry> m_entries;
    std::int64_t m_sealedNs = 0;
    std::int64_t m_unsureNs = 0; // how far back from m_sealedNs a change time is not certain
    QHash<QString, std::size_t> m_byName;
};
