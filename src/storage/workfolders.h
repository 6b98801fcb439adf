#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The two fixed working folders: archive holds the open archive unpacked,
// moveTarget a second archive while pages are moved into it. Passed to
// everything that uses them, so tests can point them at temporary folders.
struct WorkFolders {
    QString archive;
    QString moveTarget;
    // Moves a folder to a new name (a rename by default). Tests put a failing
    // one in to see what a full disk or another file system would do.
    std::function<bool(const QString &from, const QString &to)> renameFolder = {};

    // The folder holding them; recovered working copies are kept beside them.
    QString base() const;
    // Where working copies the program is done with wait to be removed
    // (being-removed, beside them): see BackgroundRemoval.
    QString beingRemoved() const;
    // The folders nothing may be taken from, nor put into: the two working
    // folders, every recovered working copy beside them and the folder of
    // copies being removed. A search that
    // walked into the working folder with "delete originals" on would delete
    // the open archive's own pages.
    QStringList protectedFolders() const;

    // The program's own: TEMP_ARCH and TEMP_ARCH2 in the user's data folder
    // (~/.local/share/tomekeeper). Not the cache folder: a working folder holds
    // the only copy of unsaved changes, and cache folders get cleaned by tools.
    static WorkFolders standard();
    // Both below base, for tests and tools.
    static WorkFolders under(const QString &base);
};

// A "recovered-<date-time>" path in base that nothing holds yet.
QString freeRecoveredFolder(const QString &base);
// Moves the working folder archive to a new recovered folder beside it
// (target when it is given and still free, so a message may name it
// beforehand), where nothing ever deletes it, with a copy of its record beside
// it (<new path>.record). Returns the new path, or the working folder itself
// when it could not be moved (it then stays where it was, to be found at the
// next start).
QString moveToRecovered(const WorkFolders &folders, const QString &target = {});
