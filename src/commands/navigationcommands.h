#pragma once

#include "commands/command.h"

// Opening an archive and moving through its pages.
namespace Commands {

// Opens the archive selected in the catalogue tree and shows its first page.
// The archive open before is written back first when it was changed; when that
// fails and the user cancels, nothing else happens.
void openSelectedArchive(CommandContext &ctx);
// Opens the archive of catalogue node the same way; true when it is the open
// archive now, false (the user told why, or having cancelled) when not.
bool openArchiveAt(CommandContext &ctx, int node);
// Shows the page that has the focus in the page list.
void showFocusedPage(CommandContext &ctx);
// The navigation buttons: first, previous, back to the page seen before (and
// again forth), next, last.
void showFirstPage(CommandContext &ctx);
void showPreviousPage(CommandContext &ctx);
void returnToPage(CommandContext &ctx);
void showNextPage(CommandContext &ctx);
void showLastPage(CommandContext &ctx);
// Hides or reveals the tree and the page list.
void toggleLists(CommandContext &ctx);
// The off-line box: from the moment it is checked no request of the page on
// screen leaves the machine; unchecked, its further requests go out again.
void setOffline(CommandContext &ctx, bool offline);

} // namespace Commands
