#pragma once

#include "commands/command.h"

// Runs the command when it is available now, with what it is given (a drop,
// a search result; nothing for most); false when it was not available.
bool runCommand(Command command, CommandContext &ctx, const CommandArgument &argument = {});

// A command that changed the pages of the open archive leaves their list in
// the working copy too, so that a working copy left by a crash shows them.
void keepListFileCurrent(CommandContext &ctx);

// What every command leaves behind: the page list in the working copy, and a
// changed catalogue in the settings file.
void finishCommand(CommandContext &ctx);
