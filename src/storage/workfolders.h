#pragma once

#include <QString>

// The two fixed working folders: WorkFolder holds the open archive unpacked,
// WorkFolder2 a second archive while pages are moved into it. Passed to
// everything that uses them, so tests can point them at temporary folders.
struct WorkFolders {
    QString WorkFolder;
    QString WorkFolder2;

    // The program's own: TEMP_ARCH and TEMP_ARCH2 in the user's cache folder.
    static WorkFolders standard();
    // Both below base, for tests and tools.
    static WorkFolders under(const QString &base);
};
