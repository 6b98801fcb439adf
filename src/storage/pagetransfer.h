#pragma once

#include "storage/storagefailure.h"
#include "storage/workfolders.h"

#include <QString>

// Carries one page of the open archive's working copy into another archive's
// zip: the target is unpacked into the second working folder, the page comes
// in by the page copy (a clashing name takes a free one, nothing there is
// replaced), its entry is appended to the target's list file, and the target
// zip is replaced by a complete new one. The open archive is not touched:
// the caller takes the page out of it only once this succeeded, so a failure
// anywhere leaves both archives as they were. Runs on a worker thread.
class PageTransfer {
public:
    explicit PageTransfer(const WorkFolders &folders) : m_folders(folders) {}

    // True when the target zip now holds the page; fileName() is its name there.
    bool transfer(const QString &title, const QString &fileName, const QString &targetZip);

    QString fileName() const { return m_fileName; }
    // Why transfer() returned false.
    const StorageFailure &failure() const { return m_failure; }

private:
    bool run(const QString &title, const QString &fileName, const QString &targetZip);

    const WorkFolders m_folders;
    QString m_fileName;
    StorageFailure m_failure;
};
