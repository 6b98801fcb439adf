#pragma once

#include <QString>

// The program's settings, kept in the section "Parameters" of tomekeeper.ini.
// The initial values are those before the file is read.
struct Settings {
    QString DefaultArchiveFolder; // always ends in a separator once set
    bool DeleteOriginals = false;
    bool Offline = true; // the off-line check box CheckBox1
    bool CheckArchivesAtStart = true;
    bool RussianInterface = false;
    bool RememberWindow = true;
};

// The main window's size and position as the settings file keeps them.
struct WindowGeometry {
    int width = 732;
    int height = 520;
    int left = 47;
    int top = 44;
    bool operator==(const WindowGeometry &) const = default;
};

// The open archive and the page position.
struct OpenArchiveState {
    int OpenArchiveIndex = -1;
    QString OpenArchiveName;
    QString OpenArchiveFolder; // ends in a separator
    QString OpenArchiveFileName;
    bool ArchiveChanged = false;
    int CurrentPageIndex = 0;
    int PreviousPageIndex = 0;

    QString zipPath() const { return OpenArchiveFolder + OpenArchiveFileName; }
};
