#include "commands/archivecommands.h"

namespace Commands {

void createArchive(CommandContext &) {}

void attachArchive(CommandContext &) {}

void moveArchiveToSection(CommandContext &) {}

void saveArchiveAs(CommandContext &) {}

void updateArchive(CommandContext &) {}

void newPageList(CommandContext &) {}

void removeArchive(CommandContext &) {}

void showArchivePath(CommandContext &) {}

} // namespace Commands
