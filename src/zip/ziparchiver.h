#pragma once

#include "zip/unpackrecord.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

enum class ProgressKind {
    ExtractBlock = 1, // a block of an entry was read for extraction
    AddStart = 2,     // a file is about to be added
    AddBlock = 3,     // a block of a file was read for adding
};

// Reads and writes zip files through minizip: adds single files to the zip named
// by zipFileName and extracts every entry of the zip named by unzipFileName.
// Both handles open lazily and stay open until the name changes. The component
// shows no messages: it reports by return codes, and lastError() says why.
class ZipArchiver : public QObject {
    Q_OBJECT
public:
    using ProgressHandler = std::function<void(ZipArchiver *sender, ProgressKind type,
                                               const QString &fileName, qint64 size)>;
    using ExtractEntryHandler = std::function<void(
        ZipArchiver *sender, const QDateTime &lastWriteTime, qint64 uncompressedSize,
        qint64 compressedSize, const QString &destFileName, bool &canOverwrite)>;

    explicit ZipArchiver(QObject *parent = nullptr);
    ~ZipArchiver() override;

    QString zipFileName() const;
    // Setting another name finishes and closes the zip being written (its
    // central directory is written). Returns false when that close failed or an
    // entry was left half written, so the caller knows the zip on disk is not
    // complete. The file is not synced to disk here.
    bool setZipFileName(const QString &path);

    QString unzipFileName() const;
    void setUnzipFileName(const QString &path);

    bool extractWithoutFolders = false;
    bool overwriteOnExtract = true;
    // ArchiveStorage reports the work of its ZipWriter here as well, from the
    // writer's compressing threads.
    ProgressHandler onProgress;
    ExtractEntryHandler onExtractEntry;

    // Adds the file at source as entryName ("/" or "\" between folder levels).
    // 0 on success, -1 or a negative minizip code on failure. Refused up front
    // (-1, nothing written): a name that unpacking would refuse, and a file that
    // would take the zip past what unpacking accepts (1 GiB in one entry,
    // 4 GiB in all, 20,000 entries; see zip/zipguard.h).
    int addFile(const QString &source, const QString &entryName);

    // Extracts every entry below destination. False when the zip cannot be read,
    // is refused as unsafe or damaged, or an entry cannot be written.
    bool extractAll(const QString &destination);

    // Extracts the entry at the current position: 0 done, 1 skipped because the
    // file exists and may not be overwritten, negative on failure.
    int extractCurrent(const QString &destination);

    // What the last extractAll found when it unpacked every entry (with
    // folders): the zip's identity and, per entry, where its data lies and the
    // file it became. Empty after a failure. Taken once.
    UnpackRecord takeUnpackRecord();

    // Why the last addFile, extractAll or extractCurrent failed; empty after success.
    QString lastError() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
