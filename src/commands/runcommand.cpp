#include "commands/runcommand.h"

#include "commands/availability.h"
#include "commands/commandtable.h"
#include "commands/lifecycle.h"
#include "storage/openarchive.h"

bool runCommand(Command command, CommandContext &ctx, const CommandArgument &argument)
{
    if (!isAvailable(command, ctx.session))
        return false;
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
