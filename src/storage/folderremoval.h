#pragma once

#include "base/expected.h"
#include "storage/storagefailure.h"

#include <QString>
#include <QStringList>
#include <functional>

// Removing folders the program made: working folders and what pages leave
// behind. Entries are made writable first; symbolic links are removed, never
// followed.
namespace FolderRemoval {

// Removes folder (or a link standing in its place) and everything below it.
// Nothing there is nothing to remove. A file that cannot be deleted fails
// it, after the rest was tried. A stop that says so ends the removal between
// two entries, with a failure and the rest left.
Expected<void, StorageFailure> remove(const QString &folder,
                                      const std::function<bool()> &stop = {});

// remove, except for the paths in keep (absolute and clean) and the folders
// that lead to them: what is named there stays, whole.
Expected<void, StorageFailure> removeExcept(const QString &folder, const QStringList &keep);

} // namespace FolderRemoval
