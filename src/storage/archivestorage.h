#pragma once

#include "storage/workfolders.h"
#include "zip/unpackrecord.h"
#include "zip/zipwriter.h"

#include <QHash>
#include <QString>
#include <QStringList>

class PageListModel;
class ZipArchiver;
class UserInteraction;
struct Settings;

// The storage operations every command shares: unpacking an archive into a
// working folder, zipping a folder back, removing folders, and taking page
// files with their companion folders into archive. Paths use "/"; folder
// arguments carry no trailing separator. Messages go through UserInteraction.
class ArchiveStorage {
public:
    ArchiveStorage(ZipArchiver &zip, PageListModel &pages, const Settings &settings,
                   UserInteraction &ui, const WorkFolders &folders);

    const WorkFolders &folders() const { return m_folders; }

    // Unpacks the zip into folder; on failure the damaged-archive message and
    // false. What was unpacked before the failure stays: callers remove folder.
    // What the unpacking found is kept for folder, so that writing it back
    // copies the entries whose files did not change instead of compressing
    // them again.
    bool unpack(const QString &zipPath, const QString &folder);

    // Writes the page list file from the pages, then zips every file below
    // folder into zipPath. The old zip is replaced only by a complete new one;
    // true when it was. Files the zip component would refuse (ZipLimits: an
    // archive that could not be opened again) are refused before anything is
    // written. False without a message when folder does not exist.
    bool writeZip(const QString &folder, const QString &zipPath);
    // A zip written from folder becomes its record in turn (see unpack).
    // writeZip that keeps the page list file already in folder.
    bool writeZipKeepingListFile(const QString &folder, const QString &zipPath);
    // Zips the open archive back and removes folder after a complete save, then
    // archiveChanged becomes false. On failure folder and archiveChanged stay,
    // so the next command does not throw the changes away. A missing folder
    // leaves the zip alone and archiveChanged false.
    bool writeBackIfChanged(const QString &folder, const QString &zipPath, bool &archiveChanged);

    // The writer every write-back goes through (thread count; tests hook it).
    ZipWriter &writer() { return m_writer; }

    // Removes folder and everything below it, making entries writable first.
    // Symbolic links are removed, never followed. True when folder itself is
    // gone; on a file that cannot be deleted, a message and false at once.
    bool removeFolder(const QString &folder);

    // Appends the path relative to folder ("/" between levels) of every file
    // below it, in file-system order. False when a folder below could not be
    // listed (its files would be missing).
    bool listFilesBelow(const QString &folder, QStringList &relativePaths);

    // Takes page files into archive under free names, with the files directly
    // inside their companion folders, and appends a page (title = base name) for
    // each. Paths that are not files are skipped. False when a copy failed: the
    // command stops after the error message; pages added so far stay.
    bool importPages(const QStringList &paths);

    // Copies one file, replacing destination only once the copy is complete.
    // With deleteOriginals the source is deleted after a complete copy. False
    // when source is not a file (no message) or the copy failed (error shown).
    bool copyFile(const QString &source, const QString &destination);

    // Sends the file to the desktop's trash; false when it is missing or that failed.
    bool moveToTrash(const QString &path);

    // A free name in archive for a page file: news.htm → news_1.htm …
    // news_9.htm, news_10.htm … news_19.htm, news_110.htm; report2.htm →
    // report3.htm. "=" (the list file's separator) becomes "-".
    QString freePageFileName(const QString &name) const;

    // The base name of a page file: its name up to the first occurrence of its
    // extension (from the last dot); the whole name when it has no extension.
    static QString pageBaseName(const QString &fileName);
    // The companion folder of a page with this base name in folder: base +
    // ".files" when that folder exists, else base + "_files".
    static QString companionFolder(const QString &folder, const QString &baseName);

private:
    bool zipFolder(const QString &folder, const QString &zipPath);
    // links: symbolic links met, not followed; sizes: of files, as listed.
    void listFiles(const QString &folder, const QString &prefix, QStringList &files,
                   QStringList &unlisted, QStringList *links = nullptr,
                   QList<qint64> *sizes = nullptr);
    bool refuseOversized(const QStringList &files, const QList<qint64> &sizes);
    void reportFailures(const QStringList &failed);
    bool removeTree(const QString &folder);

    ZipArchiver &m_zip;
    PageListModel &m_pages;
    const Settings &m_settings;
    UserInteraction &m_ui;
    const WorkFolders m_folders;
    ZipWriter m_writer;
    // What the last unpacking into (or write-back from) a folder found, by
    // UnpackRecord::folderKey.
    QHash<QString, UnpackRecord> m_unpacked;
};
