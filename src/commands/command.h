#pragma once

#include <QString>
#include <QStringList>
#include <variant>

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
    ShowFoundPage,     // a result chosen in the search's list (a FoundPage)
    // Drops on the window and the catalogue tree
    DropFiles, // files from another program become pages (FilesDropped)
    DropPages, // pages from the page list move into an archive (PagesDropped)
    DropNode,  // an archive dragged within the tree changes section (NodeDropped)
};

inline constexpr int CommandCount = static_cast<int>(Command::DropNode) + 1;

// A page the search across all archives found, as the user chose it.
struct FoundPage {
    QString zipPath;
    QString pageFile; // the page's file name inside the archive
    QString findText; // what the page view's find highlights on it
    // Every word the search found on it, as the page writes them (findText
    // among them); empty when only findText is known.
    QStringList foundWords = {};
};

// Local files dropped, in the order given.
struct FilesDropped {
    QStringList paths;
};

// The selected pages dropped on catalogue node target (-1: on no node).
struct PagesDropped {
    int target = -1;
};

// Catalogue node dragged dropped on node target (-1: on no node).
struct NodeDropped {
    int dragged = -1;
    int target = -1;
};

// What a command is given beside the state it works on: nothing for most,
// what was dropped or chosen for the others.
using CommandArgument =
    std::variant<std::monostate, FoundPage, FilesDropped, PagesDropped, NodeDropped>;

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
