#pragma once

#include <QString>

class OpenArchive;
class PageView;
class Session;
class UserInteraction;

// Every command the user can give, whatever control it is reached from (a
// menu item, a tool button and a pop-up item of the same role are one command).
enum class Command {
    // Sections
    CreateSection,
    RenameNode, // the selected section or archive
    DeleteSection,
    // Archives
    CreateArchive,
    AttachArchive,
    MoveArchiveToSection,
    SaveArchiveAs,
    UpdateArchive,
    NewPageList,
    RemoveArchive,
    ShowArchivePath,
    CheckAllArchives, // every archive of the catalogue, in the background
    // Adding to the open archive
    AddPages,
    SearchFolder, // every page found in a folder and its sub-folders
    AddFile,
    AddFolder,
    // Pages of the open archive
    RenamePage,
    MovePageToArchive,
    SavePageToFolder,
    DeletePage,
    MovePageUp,
    MovePageDown,
    // Browsing
    OpenSelectedArchive, // double-click on the catalogue tree
    ShowFocusedPage,     // click on the page list
    FirstPage,
    PreviousPage,
    ReturnPage, // back to the page shown before, and again forth
    NextPage,
    LastPage,
    ToggleLists,
    Print,
    PrintPreview,
    Find,
    // The program
    Settings,
    English,
    Russian,
    About,
    Help,
    // The search across all archives
    SearchAllArchives, // the search field takes the keyboard
    ShowFoundPage,     // a result chosen in the search's list
};

inline constexpr int CommandCount = static_cast<int>(Command::ShowFoundPage) + 1;

// What every command works with.
struct CommandContext {
    Session &session;
    OpenArchive &archive; // the session's
    UserInteraction &interaction;
    PageView &view;
    // The folder of the program's executable: the manual it ships is found
    // from there. Empty when unknown (then only a help file in the program
    // folder is found).
    QString executableFolder = {};
};
