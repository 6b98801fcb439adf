#pragma once

#include "commands/command.h"

// Editing the pages of the open archive.
namespace Commands {

// Gives the focused page another title.
void renamePage(CommandContext &ctx);
// Moves the selected pages into another archive.
void movePageToArchive(CommandContext &ctx);
// Copies the focused page with its companion folder into a chosen folder.
void savePageToFolder(CommandContext &ctx);
// Deletes the focused page with its companion folder.
void deletePage(CommandContext &ctx);
// Moves the focused page one place up or down the list.
void movePageUp(CommandContext &ctx);
void movePageDown(CommandContext &ctx);

} // namespace Commands
