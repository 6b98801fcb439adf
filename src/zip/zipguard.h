#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Limits that keep unpacking safe. The writer keeps to the same limits, so that
// every archive this program writes can be opened again.
namespace ZipLimits {
constexpr std::uint64_t kMaxEntries = 20000;
constexpr std::uint64_t kMaxEntrySize = std::uint64_t(1) << 30; // 1 GiB
constexpr std::uint64_t kMaxTotalSize = std::uint64_t(4) << 30; // 4 GiB
constexpr std::uint64_t kMaxZipSize = 0xFFFFFFFFu;              // 32-bit offsets
// Deflate cannot expand data more than about 1032 times; a higher claim is a bomb.
constexpr std::uint64_t kMaxRatio = 1032;
constexpr int kFreeSpacePercent = 90;
constexpr int kMaxPathBytes = 4095; // PATH_MAX less the terminating zero
} // namespace ZipLimits

// What the central directory says about one entry.
struct ZipEntryHeader {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

// Checks a whole zip file before anything of it is unpacked: its central
// directory, every entry name, where each entry lands (no two files in one
// place, no file where a folder must be), the sizes and where each entry's
// data lies.
// Reads through the caller's buffers and keeps no data of its own beyond one
// small record per entry (bounded by kMaxEntries).
class ZipGuard {
public:
    // window: the transfer buffer, used as the read window; name and extra: 64 KiB each.
    ZipGuard(char *window, std::size_t windowSize, char *nameBuffer, char *extraBuffer);

    // True when the zip open on zipFd may be unpacked into a folder whose path
    // takes destinationBytes bytes (with its trailing "/") on a file system with
    // freeBytes available. Otherwise error() says which entry and why.
    bool scan(int zipFd, int destinationBytes, std::uint64_t freeBytes);
    QString error() const { return m_error; }
    std::uint64_t entryCount() const { return m_entryCount; }
    // Offset of the central directory as the end record gives it.
    std::uint64_t directoryOffset() const { return m_directoryOffset; }

    // Why an entry must not be unpacked, judged from its header alone; empty when fine.
    static QString headerProblem(const ZipEntryHeader &header);
    // Why a file of size bytes may not be added to a zip that already holds
    // entries files of total bytes and at most zipBytes bytes; empty when it may.
    static QString additionProblem(std::uint64_t entries, std::uint64_t total,
                                   std::uint64_t zipBytes, std::uint64_t size,
                                   std::uint64_t headerBytes);
    // The most a file of size bytes can take in a zip, headers included.
    static std::uint64_t entryBound(std::uint64_t size, std::uint64_t headerBytes);
    // Bytes available to an unprivileged user at folder or its nearest existing parent.
    static std::optional<std::uint64_t> freeBytesAt(const QString &folder);

private:
    struct Range {
        std::uint64_t localHeader;
        std::uint64_t compressedSize;
        std::uint64_t directoryPos;
    };
    // Where an entry lands: a hash of its path (names are read again from the
    // directory to confirm a match), and whether it is a folder.
    struct Landing {
        std::uint64_t hash;
        std::uint64_t directoryPos;
        bool folder;
    };

    // Where the end record says the central directory is.
    struct Directory {
        std::uint64_t start = 0;  // in the file
        std::uint64_t end = 0;    // where the end record is
        std::uint64_t shift = 0;  // bytes in front of the archive
        std::uint32_t offset = 0; // as the end record gives it
        std::uint32_t entries = 0;
    };

    bool readDirectoryEnd(std::uint64_t fileSize, Directory &directory);
    bool scanEntry(const Directory &directory, std::uint32_t i, int destinationBytes,
                   std::uint64_t &pos, std::uint64_t &total);
    bool checkRanges(std::uint64_t directoryStart);
    bool checkLandings();
    bool checkSameHash(const std::vector<Landing> &byHash, std::size_t from, std::size_t to);
    bool checkFoldersAreNoFiles(const std::vector<Landing> &files);
    QString landingPathAt(std::uint64_t directoryPos, bool *folder = nullptr);
    bool fail(const QString &why);
    bool failEntry(std::uint64_t directoryPos, const QString &why);
    bool readAt(std::uint64_t pos, char *dst, std::size_t size);
    bool findEndRecord(std::uint64_t fileSize, std::uint64_t *endRecord);
    QString nameAt(std::uint64_t directoryPos);

    char *m_window;
    std::size_t m_windowSize;
    char *m_name;
    char *m_extra;
    int m_fd = -1;
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowLength = 0;
    std::vector<Range> m_ranges;
    std::vector<Landing> m_landings;
    QString m_error;
    std::uint64_t m_entryCount = 0;
    std::uint64_t m_directoryOffset = 0;
};
