#pragma once

#include "commands/command.h"

// Opening an archive and moving through its pages.
namespace Commands {

// Opens the archive selected in the catalogue tree and shows its first page.
void openSelectedArchive(CommandContext &ctx);
// Shows the page that has the focus in the page list.
void showFocusedPage(CommandContext &ctx);
// The navigation buttons: first, previous, back to the page seen before, next, last.
void showFirstPage(CommandContext &ctx);
void showPreviousPage(CommandContext &ctx);
void returnToPage(CommandContext &ctx);
void showNextPage(CommandContext &ctx);
void showLastPage(CommandContext &ctx);
// Hides or reveals the tree and the page list.
void toggleLists(CommandContext &ctx);

} // namespace Commands
