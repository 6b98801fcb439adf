#include "commands/navigationcommands.h"

namespace Commands {

void openSelectedArchive(CommandContext &) {}

void showFocusedPage(CommandContext &) {}

void showFirstPage(CommandContext &) {}

void showPreviousPage(CommandContext &) {}

void returnToPage(CommandContext &) {}

void showNextPage(CommandContext &) {}

void showLastPage(CommandContext &) {}

void toggleLists(CommandContext &) {}

} // namespace Commands
