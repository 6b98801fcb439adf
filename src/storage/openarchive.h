#pragma once

#include "storage/backgroundremoval.h"
#include "storage/pagecopy.h"
#include "storage/pagelistmodel.h"
#include "storage/storagefailure.h"
#include "storage/workfolders.h"
#include "storage/workrecord.h"
#include "zip/unpackrecord.h"
#include "zip/zipwriter.h"

#include <QItemSelectionModel>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class LongWork;
class Unpacking;

// The archive the user has open: its zip file, its working copy (the zip
// unpacked into the working folder, where every page command works), its pages
// and whether the working copy holds changes its zip does not have yet. At most
// one archive is open at a time. The working copy of a changed archive is the
// only copy of those changes: nothing here removes it before it was written
// back, and setAside() keeps it when it cannot be.
//
// It owns the zip reader that unpacks the archive and the writer that writes
// it back; the long work runs on a worker thread with them, while nothing else
// uses them. What fails is told as a typed failure (lastFailure()), for the
// commands to put into words.
class OpenArchive {
public:
    enum class OpenStatus {
        Opened,          // unpacked; its pages come from its list file
        ListFileMissing, // unpacked, but without a list file: open with no pages
        Failed,          // not unpacked, or its list file is damaged: nothing is open and
                         // the working folder is gone
        Refused,         // the working copy holds changes not written back: nothing changed
    };

    explicit OpenArchive(const WorkFolders &folders);
    ~OpenArchive();
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
    // The record beside the working copy says so too, so that a working copy
    // left by a crash without changes is not offered as if it had any.
    void setChanged(bool changed);
    // Why the last open, write-back, start or close failed; nothing when it
    // did not, or was only refused (a changed archive is not closed).
    const std::optional<StorageFailure> &lastFailure() const { return m_failure; }

    // Empties the working folder, checks zipPath as a whole, unpacks its list
    // file, reads its page list and unpacks what its first page needs to be
    // shown (see preparePage), as long work; the rest of the zip is
    // unpacked by a worker meanwhile (see isBeingMade). A damaged zip leaves
    // nothing open and no working folder. A record beside the folder says
    // which zip it belongs to (see WorkRecord), and that it is being made.
    OpenStatus open(const QString &zipPath, LongWork &work);

    // Whether the working copy is still being unpacked. Until it is whole
    // only the pages shown are sure to be there: a page is shown after
    // preparePage, and anything that changes or writes the working copy
    // comes after completeCopy.
    bool isBeingMade() const { return unpacking() != nullptr; }
    // Unpacks what showing the page of fileName needs now (its file, its
    // companion folder), as long work. False when damage was found in the
    // zip meanwhile: the opening failed after all, nothing is open and the
    // working copy is gone (lastFailure() says why).
    bool preparePage(const QString &fileName, LongWork &work);
    // Unpacks everything left now, as long work. False as for preparePage.
    bool completeCopy(LongWork &work);
    // Unpacks the file at path (below the working folder, as a page asks for
    // it: letter case ignored) now, when it is not yet there; a page may read
    // it then. Safe from any thread, and gives up after a few seconds.
    void unpackBeforeReading(const QString &path) const;
    // Called, on this object's thread, when the worker found damage in the
    // zip while nobody waited for it: the opening failed as above.
    void setFailedLateHook(std::function<void()> hook) { m_failedLate = std::move(hook); }
    // What opening (or taking over a leftover) found in the list file: it is
    // there but cannot be read as a page list (it is kept, renamed, once a new
    // list takes its place); and the file names of lines left out as unsafe
    // (they are written back unused, as they were).
    bool listFileUnreadable() const { return m_listFileUnreadable; }
    QStringList refusedListFileNames() const { return m_refusedFileNames; }
    // Names the archive's catalogue entry in the record beside the working folder.
    void setCatalogueEntry(const QString &section, const QString &archive);
    // Takes over a working copy left by a program that did not end normally,
    // as a changed archive of the record's zip, its pages read from the copy's
    // own list file. False (nothing taken over) while an archive is open, when
    // there is no working folder, or when its list file is damaged.
    bool adoptLeftover(const WorkRecord &record);
    // Writes the page list file into the working copy of a changed archive, so
    // that a working copy left by a crash holds the titles of its pages. False
    // when it could not be written; the write-back writes it again anyway.
    bool saveListFile();
    // Starts an archive that exists only as its working copy until it is first
    // written back to zipPath (a new or attached archive): the working folder
    // is emptied, the page list cleared and the archive marked changed. False
    // (nothing touched) while the working copy holds changes, and false with a
    // failure when the working folder could not be emptied or made.
    bool startNew(const QString &zipPath);

    // Writes the working copy, with a page list file from the pages, into the
    // zip as long work. Files still as the last unpacking or write-back left
    // them are copied from the zip, while it is still that same file. The zip is replaced only by a
    // complete new one; true when it was, and the archive is then no longer changed. The working
    // folder stays either way. Nothing to write (no working folder) counts as done.
    // A zip that another program replaced or rewrote since it was unpacked
    // (or last written back) is not overwritten unless ifZipChanged says so:
    // false, with zipChangedSinceOpened() true.
    enum class IfZipChanged { Keep, Replace };
    bool writeBack(LongWork &work, IfZipChanged ifZipChanged = IfZipChanged::Keep);
    // Whether the last writeBack stopped because the zip had changed.
    bool zipChangedSinceOpened() const { return m_zipChanged; }
    // Called after every write-back that replaced the zip, with its path: for
    // what follows the archives' contents, such as the search index.
    void setWrittenBackHook(std::function<void(const QString &zipPath)> hook)
    {
        m_writtenBack = std::move(hook);
    }
    // Tells the written-back hook of another zip the program replaced, such
    // as the archive a page was moved into.
    void reportZipWritten(const QString &zipPath)
    {
        if (m_writtenBack)
            m_writtenBack(zipPath);
    }
    // Writes the working copy, with a page list file from the pages, into
    // another zip, replacing it only by a complete new one. The archive stays
    // as it is, changed or not.
    bool writeCopy(const QString &zipPath, LongWork &work);
    // Writes the working copy, with a page list file from the pages, into
    // zipPath (replacing a file there only by a complete new one), which is
    // the archive's zip from then on: an archive that takes a new place. True
    // when it was written, and the archive is then no longer changed; false
    // with nothing changed otherwise.
    bool writeBackTo(const QString &zipPath, LongWork &work);

    // Forgets the archive and removes its working folder: moved aside at
    // once and removed in the background (removal()), or removed where it is
    // when it cannot be moved. Refused (false, nothing touched) while the
    // working copy holds changes; false with a failure when the folder could
    // not be removed completely.
    bool close();
    // Removes the working copies moved aside; it starts on whatever a
    // program that did not end normally left there.
    BackgroundRemoval &removal() { return m_removal; }
    // Moves the working copy into a recovered folder beside the working
    // folders, where nothing deletes it, and forgets the archive. Returns
    // where the copy is now, or an empty string when there was no working
    // folder. When the copy cannot be moved, returns nullopt and changes
    // nothing: the archive stays open with its changes and its record, so
    // nothing empties the working folder and the next start offers it again.
    std::optional<QString> setAside();

    // The working folder holds a copy left by a crash that could not be set
    // aside: from now on nothing here empties or replaces it (open, startNew
    // and close are refused), so that the next start offers it again.
    void holdLeftover() { m_holdingLeftover = true; }
    bool isHoldingLeftover() const { return m_holdingLeftover; }

    // Sources taken in with "delete originals" on. Each is deleted only once
    // a write-back put a copy of it, byte for byte as it was taken, into the
    // zip (the copy must still be in the working copy, unchanged, and the
    // source unchanged too); the folders go when that left them empty.
    // Forgotten, with the sources left alone, when the archive is closed,
    // set aside or replaced.
    void deleteAfterWriteBack(const QList<TakenFile> &files, const QStringList &folders);
    int originalsWaiting() const { return int(m_originals.size()); }

private:
    // Forgets the archive: no zip, no pages, nothing recorded or waiting. The
    // working folder itself is left as it is.
    void forgetArchive();
    // Moves the working folder aside for removal, or removes it where it
    // is, and removes its record; false with a failure when either stays.
    bool removeWorkingCopy();
    // Forgets the archive and removes its working copy; refused (false) while
    // it holds changes or a copy left by a crash.
    bool leave();
    bool fail(const StorageFailure &failure);
    // The record beside the working folder says what the archive is now.
    void saveRecord();

    const WorkFolders m_folders;
    BackgroundRemoval m_removal;
    PageListModel m_pages;
    QItemSelectionModel m_pageSelection;
    ZipWriter m_writer;
    std::shared_ptr<Unpacking> unpacking() const;
    // Stops the unpacking replaced, if any.
    void setUnpacking(std::shared_ptr<Unpacking> unpacking);
    void unpackingOver(const std::weak_ptr<Unpacking> &which);
    // Takes the end of an unpacking that is over: the record of the whole
    // copy, or the failure, which closes the archive (false).
    bool takeUnpacked();
    // keepRecord: the zip written becomes the archive's own, so what it holds
    // is what the next write-back may copy from.
    bool writeTo(const QString &zipPath, LongWork &work, bool keepRecord);
    // The zip, written by this program just now, is what the working copy holds.
    void recordWrittenZip();
    // An unreadable list file is renamed before a new list takes its place.
    bool keepUnreadableListFile();
    bool refuseWhileHeld();

    QString m_zipPath;
    WorkRecord m_record;
    bool m_changed = false;
    std::optional<StorageFailure> m_failure;
    std::function<void(const QString &)> m_writtenBack;
    QList<TakenFile> m_originals;
    QStringList m_originalFolders;
    // What the working copy was unpacked from, or last written back to.
    UnpackRecord m_unpacked;
    bool m_zipChanged = false;
    bool m_holdingLeftover = false;
    bool m_listFileUnreadable = false;
    QStringList m_keptListLines; // lines of the list file left out as unsafe
    QStringList m_refusedFileNames;

    mutable std::mutex m_unpackingLock; // the page view reads m_unpacking on its own thread
    std::shared_ptr<Unpacking> m_unpacking;
    int m_waitingForCopy = 0;
    std::function<void()> m_failedLate;
};
