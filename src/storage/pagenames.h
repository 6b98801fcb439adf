#pragma once

#include <QString>
#include <functional>

// How page files are named when they come into an archive.
namespace PageNames {

// Whether folder has an entry of that name, a dangling link included
// (writing through it would create a file outside the folder).
bool isTaken(const QString &folder, const QString &name);

// name with "=" (the list file's separator), line breaks and other control
// characters made "-": a page's file name also gives its title, and both go
// into the list file.
QString storable(const QString &name);

// The next name of the renaming rule, whether taken or not: news.htm →
// news_1.htm … news_9.htm, news_10.htm … news_19.htm, news_110.htm (only the
// last digit counts up); report2.htm → report3.htm.
QString next(const QString &name);

// The first name the rule gives, starting from storable(name), that taken
// does not take. A name changed by storable is tried itself first.
QString firstFree(const QString &name, const std::function<bool(const QString &)> &taken);

// The base name of a page file: its name up to the first occurrence of its
// extension (from the last dot); the whole name when it has no extension.
QString baseName(const QString &fileName);

} // namespace PageNames
