#include "commands/runcommand.h"

#include "commands/availability.h"
#include "commands/commandtable.h"
#include "commands/lifecycle.h"
#include "commands/openstate.h"
#include "storage/openarchive.h"

namespace {

// Commands that change the open archive, write it or look through its files:
// they work on its whole working copy, and wait for it while it is made.
// Reading commands show pages, which are unpacked as they are shown; commands
// that leave the archive stop its unpacking.
bool needsWholeCopy(Command command)
{
    switch (command) {
    case Command::SaveArchiveAs:
    case Command::UpdateArchive:
    case Command::NewPageList:
    case Command::AddPages:
    case Command::SearchFolder:
    case Command::AddFile:
    case Command::AddFolder:
    case Command::RenamePage:
    case Command::MovePageToArchive:
    case Command::SavePageToFolder:
    case Command::DeletePage:
    case Command::MovePageUp:
    case Command::MovePageDown:
    case Command::DropFiles:
    case Command::DropPages:
        return true;
    default:
        return false;
    }
}

} // namespace

bool runCommand(Command command, CommandContext &ctx, const CommandArgument &argument)
{
    if (!isAvailable(command, ctx.session))
        return false;
    if (needsWholeCopy(command) && !Commands::wholeCopyReady(ctx)) {
        finishCommand(ctx);
        return true;
    }
    commandRow(command).function(ctx, argument);
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
