#pragma once

#include "storage/storagefailure.h"
#include "storage/workfolders.h"
#include "zip/unpackrecord.h"
#include "zip/zipwriter.h"

#include <QString>
#include <QStringList>
#include <mutex>

class ZipArchiver;

// The storage operations every command shares: unpacking an archive into a
// working folder, zipping a folder back, removing folders, and the naming
// rules for page files taken into archive. Paths use "/"; folder
// arguments carry no trailing separator. Nothing here talks to the user: an
// operation that fails returns false and lastFailure() says what to show, so
// the long ones can run on a worker thread.
class ArchiveStorage {
public:
    ArchiveStorage(ZipArchiver &zip, const WorkFolders &folders);

    const WorkFolders &folders() const { return m_folders; }
    // What the last operation that returned false has to tell the user.
    const StorageFailure &lastFailure() const { return m_failure; }

    // Unpacks the zip into folder; false (the damaged-archive message) when it
    // could not. What was unpacked before the failure stays: callers remove folder.
    // What the unpacking found is kept as record(), so that writing folder
    // back copies the entries whose files did not change instead of
    // compressing them again.
    bool unpack(const QString &zipPath, const QString &folder);

    // Writes the page list file of these pages, then zips every file below
    // folder into zipPath. The old zip is replaced only by a complete new one;
    // true when it was. Files the zip component would refuse (ZipLimits: an
    // archive that could not be opened again) are refused before anything is
    // written. False with no failure to show when folder does not exist.
    bool writeZip(const QString &folder, const QString &zipPath, const QStringList &titles,
                  const QStringList &fileNames);
    // With a record() for folder, files that are still as it names them are
    // copied from its zip; the new zip becomes the record in turn.
    // writeZip that keeps the page list file already in folder.
    bool writeZipKeepingListFile(const QString &folder, const QString &zipPath);

    // The writer every write-back goes through (thread count; tests hook it).
    ZipWriter &writer() { return m_writer; }
    // What the last unpacking into a folder, or the last write-back from it,
    // found: the zip, and which file each of its entries is in that folder.
    // The owner of the folder keeps it between operations.
    const UnpackRecord &record() const { return m_record; }
    void setRecord(const UnpackRecord &record) { m_record = record; }

    // Removes folder and everything below it, making entries writable first.
    // Symbolic links are removed, never followed. True when folder itself is
    // gone; false at once on a file that cannot be deleted.
    bool removeFolder(const QString &folder);
    // removeFolder, except for the paths in keep (absolute and clean) and the
    // folders that lead to them: what is named there stays, whole. True when
    // everything else is gone.
    bool removeFolderExcept(const QString &folder, const QStringList &keep);

    // Appends the path relative to folder ("/" between levels) of every file
    // below it, in file-system order. False when a folder below could not be
    // listed (its files would be missing).
    bool listFilesBelow(const QString &folder, QStringList &relativePaths);

    // Sends the file to the desktop's trash; false when it is missing or that failed.
    bool moveToTrash(const QString &path);

    // A free name in archive for a page file: news.htm → news_1.htm …
    // news_9.htm, news_10.htm … news_19.htm, news_110.htm; report2.htm →
    // report3.htm. "=" (the list file's separator), line breaks and other
    // control characters become "-".
    QString freePageFileName(const QString &name) const;
    // name with "=", line breaks and other control characters made "-".
    static QString storablePageFileName(const QString &name);
    // The next name of that sequence, whether taken or not.
    static QString nextPageFileName(const QString &name);

    // The base name of a page file: its name up to the first occurrence of its
    // extension (from the last dot); the whole name when it has no extension.
    static QString pageBaseName(const QString &fileName);

private:
    bool zipFolder(const QString &folder, const QString &zipPath);
    // links: symbolic links met, not followed; sizes: of files, as listed.
    void listFiles(const QString &folder, const QString &prefix, QStringList &files,
                   QStringList &unlisted, QStringList *links = nullptr,
                   QList<qint64> *sizes = nullptr);
    bool refuseOversized(const QStringList &files, const QList<qint64> &sizes);
    void reportFailures(const QStringList &failed);
    bool removeTree(const QString &folder);
    bool fail(StorageFailure::Box box, const QString &text);

    ZipArchiver &m_zip;
    const WorkFolders m_folders;
    StorageFailure m_failure;
    ZipWriter m_writer;
    UnpackRecord m_record;
    std::mutex m_progressMutex;
};
