#pragma once

#include <QString>

// The program's settings, kept in the section "Parameters" of tomekeeper.ini.
// The initial values are those before the file is read.
struct Settings {
    QString defaultArchiveFolder; // always ends in a separator once set
    bool deleteOriginals = false;
    bool offline = true; // the off-line box of the main window
    bool checkArchivesAtStart = true;
    bool russianInterface = false;
    bool rememberWindow = true;
};

// The main window's size and position as the settings file keeps them.
struct WindowGeometry {
    int width = 732;
    int height = 520;
    int left = 47;
    int top = 44;
    bool operator==(const WindowGeometry &) const = default;
};
