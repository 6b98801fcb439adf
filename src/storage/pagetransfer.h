#pragma once

#include "base/expected.h"
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
namespace PageTransfer {

struct Page {
    QString title;
    QString fileName; // in the open archive's working copy
};

// The names the pages have in the target zip, in the order given, once it
// holds every one of them; or why it holds none.
Expected<QStringList, StorageFailure> transfer(const WorkFolders &folders,
                                               const QList<Page> &pages,
                                               const QString &targetZip);

} // namespace PageTransfer
