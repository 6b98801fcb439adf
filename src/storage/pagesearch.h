#pragma once

#include <QString>
#include <QStringList>

// Finding saved pages on disk, and keeping the search out of the program's
// own folders (WorkFolders::protectedFolders).
namespace PageSearch {

// A page file has one of the six page extensions, letter case included:
// news.htm is one, NEWS.HTM is not.
bool isPageFile(const QString &fileName);

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

// The pages lying directly in folder, in the order the file system lists
// them: each one's file name and, as its title, the name up to its extension
// (news.htm gives news), with what a title cannot hold ("=", line breaks)
// made "-". Companion folders and what lies below are not looked into.
void listTopLevelPages(const QString &folder, QStringList &titles, QStringList &fileNames);

} // namespace PageSearch
