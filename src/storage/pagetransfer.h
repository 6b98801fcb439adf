#pragma once

#include "storage/storagefailure.h"
#include "storage/workfolders.h"

#include <QList>
#include <QString>
#include <QStringList>

// Carries pages of the open archive's working copy into another archive's
// zip: the target is unpacked once into the second working folder, the pages
// come in by the page copy in the order given (a clashing name takes a free
// one, nothing there is replaced), their entries are appended to the target's
// list file in one rewrite, and the target zip is replaced by a complete new
// one. The open archive is not touched: the caller takes the pages out of it
// only once this succeeded, so a failure anywhere leaves both archives as they
// were, with none of the pages moved. Runs on a worker thread.
class PageTransfer {
public:
    struct Page {
        QString title;
        QString fileName; // in the open archive's working copy
    };

    explicit PageTransfer(const WorkFolders &folders) : m_folders(folders) {}

    // True when the target zip now holds every page; fileNames() are their
    // names there, in the order given.
    bool transfer(const QList<Page> &pages, const QString &targetZip);

    QStringList fileNames() const { return m_fileNames; }
    // Why transfer() returned false.
    const StorageFailure &failure() const { return m_failure; }

private:
    bool run(const QList<Page> &pages, const QString &targetZip);

    const WorkFolders m_folders;
    QStringList m_fileNames;
    StorageFailure m_failure;
};
