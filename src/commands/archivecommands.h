#pragma once

#include "commands/command.h"

// Archives in the catalogue: creating, attaching and looking after them.
namespace Commands {

// Archive > Create New Archive: a new archive from chosen pages, in the
// selected node's section.
void createArchive(CommandContext &ctx);
// Archive > Switch Archive: existing zip files join the selected node's section.
void attachArchive(CommandContext &ctx);
// Archive > Move Archive... > In other Section: the open archive moves to the
// selected section.
void moveArchiveToSection(CommandContext &ctx);
// Archive > Save Archive as...: a copy of the open archive under another name.
void saveArchiveAs(CommandContext &ctx);
// Archive > Update archive: writes the open archive back now.
void updateArchive(CommandContext &ctx);
// Archive > New Listing: a page list built from the page files of the working copy.
void newPageList(CommandContext &ctx);
// Archive > Delete Archive: takes the selected archive out of the catalogue;
// its zip file stays.
void removeArchive(CommandContext &ctx);
// Archive > Path to Archive: shows where the selected archive's zip file is.
void showArchivePath(CommandContext &ctx);

} // namespace Commands
