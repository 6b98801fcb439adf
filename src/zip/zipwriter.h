#pragma once

#include "zip/unpackrecord.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

// Writes the files of a folder into a new zip: entries in the order given,
// names by the rules of zip/entryname.h, deflate level 9, MS-DOS dates.
//
// Files are compressed on every core, one entry per task, and written in
// order, so the zip is the same byte for byte whatever the number of threads.
// The output waiting to be written is bounded (a few MiB), whatever the size
// of the archive or of one file.
//
// Given the record of the zip the folder was unpacked from (or last written
// to), an entry whose file is still the very file that record names (same
// inode, size, modification and change times) and whose zip is still the very
// zip it names, takes that zip's compressed data as it is, with today's
// headers. Only new and changed files are compressed.
//
// Only regular files are read, never through a symbolic link; a file that
// changes while it is read fails. Any failure fails the whole zip: the caller
// throws the file away.
class ZipWriter {
public:
    ZipWriter();
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    // Compressing threads; 0 (the default) is one per core.
    void setThreadCount(int threads) { m_threads = threads; }
    // Bytes of compressed output that may wait for their turn to be written.
    void setBufferBudget(std::uint64_t bytes) { m_budget = bytes; }

    // Progress, called on the compressing threads: bytes 0 just before a file
    // is opened, then the size of each block of its compressed data.
    std::function<void(const QString &relative, qint64 bytes)> onProgress;

    // Writes files (relative to folder, "/" between levels) into zipPath,
    // which is created or emptied first. previous may be null. True when every
    // file went in and the zip was completed; it is not synced here.
    bool write(const QString &folder, const QStringList &files, const QString &zipPath,
               const UnpackRecord *previous);

    // After write: the files that could not go in, and why the first one failed.
    QStringList failedFiles() const { return m_failed; }
    QString error() const { return m_error; }
    // Entries copied from the previous zip without compressing them again.
    int copiedEntries() const { return m_copied; }
    // The most compressed output that waited at one time.
    std::uint64_t peakBuffered() const { return m_peakBuffered; }
    // What the written zip holds, as a record for the next write-back from
    // folder; its zip identity is left for the caller to set once the file
    // has its final name.
    UnpackRecord written() const { return m_written; }

private:
    struct Run;

    int m_threads = 0;
    std::uint64_t m_budget = 4u << 20;
    QStringList m_failed;
    QString m_error;
    int m_copied = 0;
    std::uint64_t m_peakBuffered = 0;
    UnpackRecord m_written;
};
