#pragma once

#include <QString>

// The two fixed working folders: archive holds the open archive unpacked,
// moveTarget a second archive while pages are moved into it. Passed to
// everything that uses them, so tests can point them at temporary folders.
struct WorkFolders {
    QString archive;
    QString moveTarget;

    // The program's own: TEMP_ARCH and TEMP_ARCH2 in the user's cache folder.
    static WorkFolders standard();
    // Both below base, for tests and tools.
    static WorkFolders under(const QString &base);
};
