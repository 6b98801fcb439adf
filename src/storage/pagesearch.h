#pragma once

#include "storage/workfolders.h"

#include <QString>
#include <QStringList>

// Finding saved pages on disk, and keeping the search out of the program's
// own folders: a search that walked into the working folder with "delete
// originals" on would delete the open archive's own pages.
namespace PageSearch {

// A page file has one of the six page extensions, letter case included:
// news.htm is one, NEWS.HTM is not.
bool isPageFile(const QString &fileName);

// The folders nothing may be taken from: the two working folders and every
// recovered working copy beside them.
QStringList protectedFolders(const WorkFolders &folders);

// Whether path is folder itself or lies below it; both are compared as they
// are on disk, links resolved.
bool isInside(const QString &path, const QString &folder);
// The protected folder path lies in, or an empty string.
QString protectedFolderOf(const QString &path, const QStringList &protectedFolders);

// Appends the full path of every page file in folder and, with subfolders, in
// the folders below it, depth first in the order the file system lists them.
// Symbolic links to folders are never followed (a link loop would never end)
// and protected folders are skipped.
void findPages(const QString &folder, bool subfolders, const QStringList &protectedFolders,
               QStringList &found);

} // namespace PageSearch
