#pragma once

#include "check/checkproblem.h"

#include <QFuture>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// One catalogue entry to check.
struct CheckedArchive {
    QString section;
    QString archive;
    QString zipPath;
};

// What the check of a collection looks at.
struct CheckInput {
    QList<CheckedArchive> archives;
    // The program's data folder: the recovered working copies in it are listed.
    QString dataFolder;
    // Working folders nothing uses now: one that holds anything was left by
    // a program that did not end normally (or could not set it aside).
    QStringList idleWorkFolders;
};

// The check of a whole collection. Every zip of the catalogue is read
// through the program's own reader (the safety scan that precedes unpacking,
// then every entry inflated in memory and its CRC checked; nothing is
// written anywhere), its page list read as opening would read it, and its
// pages, companion folders and size held against the list and the limits of
// a write-back. Reads only: it may run while the program uses the same zips,
// since a write-back replaces a zip by renaming a new one over it.
namespace CollectionCheck {

// Called after each archive, and between the entries of a zip, with how many
// archives are done of how many; false stops the check (the report then says
// it was cancelled).
using Progress = std::function<bool(int done, int total)>;

CheckReport run(const CheckInput &input, const Progress &progress = {});

// run() on a worker thread, reporting progress (archives done of
// archives in all) through the future; cancelling the future stops it.
QFuture<CheckReport> start(const CheckInput &input);

// The problems of one zip, as run() finds them for the entry archive; when
// stopped() says so, those found so far.
QList<CheckProblem> checkZip(const CheckedArchive &archive, qint64 *pagesListed = nullptr,
                             const std::function<bool()> &stopped = {});

// Where a zip entry's or a list file's name lands when unpacked: its folder
// levels joined by single "/" ("\" separates levels too).
QString landing(QString name);

// The working copies in dataFolder (recovered-… folders) and in the idle
// working folders, each with the archive its record names.
QList<CheckProblem> checkWorkingCopies(const QString &dataFolder,
                                       const QStringList &idleWorkFolders);

} // namespace CollectionCheck
