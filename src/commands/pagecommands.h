#pragma once

#include "commands/command.h"

#include <QList>

// Editing the pages of the open archive.
namespace Commands {

// Gives the focused page another title.
void renamePage(CommandContext &ctx);
// Moves the focused page into the archive selected in the catalogue.
void movePageToArchive(CommandContext &ctx);
// Moves the pages at rows of the open archive into the archive at catalogue
// node target, after the checks of the move (a node, no section, not the open
// archive's zip). The target's zip is written back with all of them, highest
// row first, before any leaves the open archive; on failure nothing moves.
void movePagesToNode(CommandContext &ctx, int target, QList<int> rows);
// Copies the focused page with its companion folder into a chosen folder.
void savePageToFolder(CommandContext &ctx);
// Deletes the focused page with its companion folder.
void deletePage(CommandContext &ctx);
// Moves the focused page one place up or down the list.
void movePageUp(CommandContext &ctx);
void movePageDown(CommandContext &ctx);

} // namespace Commands
