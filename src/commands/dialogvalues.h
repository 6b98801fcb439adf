#pragma once

#include <QString>
#include <QStringList>

// What the settings dialog shows and gives back.
struct SettingsDialogValues {
    QString folder;               // the default archive folder
    bool checkArchives = true;    // check the archives at start-up
    bool rememberWindow = true;   // remember the window's size and place
    bool deleteOriginals = false; // delete the originals of what is added
};

// What the create-archive dialog shows and gives back.
struct CreateArchiveValues {
    QString folder;                  // where the zip file goes
    QString archiveName;             // the name shown in the catalogue
    QString zipName;                 // the zip file's name
    QStringList pageFiles;           // the chosen page files, in the order chosen
    bool searchSubfolders = false;   // searching a folder takes its sub-folders too
    QStringList sectionArchiveNames; // the archives already in the target section
    QStringList protectedFolders;    // the program's own folders, which searching skips
};

// What the attach dialog shows and gives back.
struct AttachValues {
    QStringList zipFiles;             // the chosen zip files
    bool moveToArchiveFolder = false; // move them into the default archive folder
};
