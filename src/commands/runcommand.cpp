#include "commands/runcommand.h"

#include "commands/addingcommands.h"
#include "commands/appcommands.h"
#include "commands/archivecommands.h"
#include "commands/availability.h"
#include "commands/browsercommands.h"
#include "commands/checkcommands.h"
#include "commands/lifecycle.h"
#include "commands/navigationcommands.h"
#include "commands/pagecommands.h"
#include "commands/searchcommands.h"
#include "commands/sectioncommands.h"
#include "storage/openarchive.h"

namespace {

using CommandFunction = void (*)(CommandContext &);

CommandFunction functionOf(Command command)
{
    using namespace Commands;
    switch (command) {
    case Command::CreateSection:
        return createSection;
    case Command::RenameNode:
        return renameNode;
    case Command::DeleteSection:
        return deleteSection;
    case Command::CreateArchive:
        return createArchive;
    case Command::AttachArchive:
        return attachArchive;
    case Command::MoveArchiveToSection:
        return moveArchiveToSection;
    case Command::SaveArchiveAs:
        return saveArchiveAs;
    case Command::UpdateArchive:
        return updateArchive;
    case Command::NewPageList:
        return newPageList;
    case Command::RemoveArchive:
        return removeArchive;
    case Command::ShowArchivePath:
        return showArchivePath;
    case Command::CheckAllArchives:
        return checkAllArchives;
    case Command::AddPages:
        return addPages;
    case Command::SearchFolder:
        return searchFolder;
    case Command::AddFile:
        return addFile;
    case Command::AddFolder:
        return addFolder;
    case Command::RenamePage:
        return renamePage;
    case Command::MovePageToArchive:
        return movePageToArchive;
    case Command::SavePageToFolder:
        return savePageToFolder;
    case Command::DeletePage:
        return deletePage;
    case Command::MovePageUp:
        return movePageUp;
    case Command::MovePageDown:
        return movePageDown;
    case Command::OpenSelectedArchive:
        return openSelectedArchive;
    case Command::ShowFocusedPage:
        return showFocusedPage;
    case Command::FirstPage:
        return showFirstPage;
    case Command::PreviousPage:
        return showPreviousPage;
    case Command::ReturnPage:
        return returnToPage;
    case Command::NextPage:
        return showNextPage;
    case Command::LastPage:
        return showLastPage;
    case Command::ToggleLists:
        return toggleLists;
    case Command::Print:
        return printPage;
    case Command::PrintPreview:
        return previewPage;
    case Command::Find:
        return findOnPage;
    case Command::Settings:
        return editSettings;
    case Command::English:
        return switchToEnglish;
    case Command::Russian:
        return switchToRussian;
    case Command::About:
        return showAbout;
    case Command::Help:
        return showHelp;
    case Command::SearchAllArchives:
        return searchAllArchives;
    case Command::ShowFoundPage:
        return showFoundPage;
    }
    return nullptr;
}

} // namespace

bool runCommand(Command command, CommandContext &ctx)
{
    if (!isAvailable(command, ctx.session))
        return false;
    if (CommandFunction function = functionOf(command))
        function(ctx);
    finishCommand(ctx);
    return true;
}

void finishCommand(CommandContext &ctx)
{
    keepListFileCurrent(ctx);
    Commands::keepCatalogueSaved(ctx);
}

void keepListFileCurrent(CommandContext &ctx)
{
    // Only a copy for after a crash: the write-back writes the list again.
    if (!ctx.archive.saveListFile())
        qWarning("the page list could not be kept in the working copy");
}
