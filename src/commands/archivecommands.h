#pragma once

#include "commands/command.h"

// Archives in the catalogue: creating, moving and removing them. Attaching
// is in commands/attaching.h, saving and updating the open archive in
// commands/maintenancecommands.h.
namespace Commands {

// Archive > Create New Archive: a new archive from chosen pages, in the
// selected node's section.
void createArchive(CommandContext &ctx);
// Archive > Move Archive... > In other Section: the open archive moves to the
// selected section.
void moveArchiveToSection(CommandContext &ctx);
// Archive > Delete Archive: takes the selected archive out of the catalogue;
// its zip file stays.
void removeArchive(CommandContext &ctx);
// Archive > Path to Archive: shows where the selected archive's zip file is.
void showArchivePath(CommandContext &ctx);

} // namespace Commands
