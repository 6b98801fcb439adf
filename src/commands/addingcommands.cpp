#include "commands/addingcommands.h"

namespace Commands {

void addPages(CommandContext &) {}

void searchFolder(CommandContext &) {}

void addFile(CommandContext &) {}

void addFolder(CommandContext &) {}

void addDroppedFiles(CommandContext &, const QStringList &) {}

} // namespace Commands
