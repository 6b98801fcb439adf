#pragma once

#include "storage/pagelistmodel.h"
#include "storage/storagefailure.h"
#include "storage/workfolders.h"

#include <QItemSelectionModel>
#include <functional>

class LongWork;

// The archive the user has open: its zip file, its working copy (the zip
// unpacked into the working folder, where every page command works), its pages
// and whether the working copy holds changes its zip does not have yet. At most
// one archive is open at a time. The working copy of a changed archive is the
// only copy of those changes: nothing here removes it before it was written
// back, and setAside() keeps it when it cannot be.
class OpenArchive {
public:
    enum class OpenStatus {
        Opened,          // unpacked; its pages come from its list file
        ListFileMissing, // unpacked, but without a list file: open with no pages
        Failed,          // not unpacked: nothing is open and the working folder is gone
        Refused,         // the working copy holds changes not written back: nothing changed
    };

    explicit OpenArchive(const WorkFolders &folders);
    OpenArchive(const OpenArchive &) = delete;
    OpenArchive &operator=(const OpenArchive &) = delete;

    const WorkFolders &folders() const { return m_folders; }
    QString workFolder() const { return m_folders.archive; }
    PageListModel &pages() { return m_pages; }
    const PageListModel &pages() const { return m_pages; }
    // The focused page (currentIndex) and the selected pages.
    QItemSelectionModel &pageSelection() { return m_pageSelection; }

    bool isOpen() const { return !m_zipPath.isEmpty(); }
    QString zipPath() const { return m_zipPath; }
    bool isChanged() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }
    // Why the last open, write-back or close failed.
    const StorageFailure &lastFailure() const { return m_failure; }

    // Empties the working folder, unpacks zipPath into it and reads its page
    // list, as long work. A damaged zip leaves nothing open and no working folder.
    OpenStatus open(const QString &zipPath, LongWork &work);
    // Starts an archive that exists only as its working copy until it is first
    // written back to zipPath (a new or attached archive): the working folder
    // is emptied, the page list cleared and the archive marked changed. False
    // (nothing touched) while the working copy holds changes, and false with a
    // failure when the working folder could not be emptied or made.
    bool startNew(const QString &zipPath);

    // Writes the working copy, with a page list file from the pages, into the
    // zip as long work. The zip is replaced only by a complete new one; true
    // when it was, and the archive is then no longer changed. The working
    // folder stays either way. Nothing to write (no working folder) counts as done.
    bool writeBack(LongWork &work);
    // Called after every write-back that replaced the zip, with its path: for
    // what follows the archives' contents, such as the search index.
    void setWrittenBackHook(std::function<void(const QString &zipPath)> hook)
    {
        m_writtenBack = std::move(hook);
    }

    // Forgets the archive and removes its working folder. Refused (false,
    // nothing touched) while the working copy holds changes; false with a
    // failure when the folder could not be removed completely.
    bool close();
    // Forgets the archive and moves its working copy into a recovered folder
    // beside the working folders, where nothing deletes it. Returns where the
    // copy is now (its old place when it could not be moved), or an empty
    // string when there was no working folder.
    QString setAside();

private:
    const WorkFolders m_folders;
    PageListModel m_pages;
    QItemSelectionModel m_pageSelection;
    QString m_zipPath;
    bool m_changed = false;
    StorageFailure m_failure;
    std::function<void(const QString &)> m_writtenBack;
};
