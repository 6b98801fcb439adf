#include "commands/pagecommands.h"

namespace Commands {

void renamePage(CommandContext &) {}

void movePageToArchive(CommandContext &) {}

void savePageToFolder(CommandContext &) {}

void deletePage(CommandContext &) {}

void movePageUp(CommandContext &) {}

void movePageDown(CommandContext &) {}

} // namespace Commands
