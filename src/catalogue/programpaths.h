#pragma once

#include "storage/workfolders.h"

#include <QString>

// Where the program keeps its files.
struct ProgramPaths {
    QString programFolder; // the folder current at start-up, ending in "/"
    QString settingsFile;  // tomekeeper.ini
    WorkFolders work;      // the working folders; recovered folders and the lock beside them
    QString searchIndex;   // the search index's folder: a cache, rebuilt when missing
    QString executableFolder = {}; // the program's own folder (its manual is found from there)

    // tomekeeper.ini in currentFolder when there is one there (a catalogue that
    // travels with its folder), otherwise in configFolder, so the program finds
    // the same catalogue whichever folder it is started from.
    static QString settingsFileFor(const QString &currentFolder, const QString &configFolder);

    // The desktop's places: ~/.config/tomekeeper, ~/.local/share/tomekeeper and
    // ~/.cache/tomekeeper.
    static ProgramPaths standard(const QString &currentFolder);
    // Everything below base, with currentFolder as the program folder: for tests.
    static ProgramPaths under(const QString &currentFolder, const QString &base);
};
