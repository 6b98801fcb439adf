#pragma once

#include "commands/command.h"

// Looking after the open archive: saving it under another name, writing it
// back now, and a new page list from its working copy.
namespace Commands {

// Archive > Save Archive as...: a copy of the open archive under another name.
void saveArchiveAs(CommandContext &ctx);
// Archive > Update archive: writes the open archive back now.
void updateArchive(CommandContext &ctx);
// Archive > New Listing: a page list built from the page files of the working copy.
void newPageList(CommandContext &ctx);

} // namespace Commands
