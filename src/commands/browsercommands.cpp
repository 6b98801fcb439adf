#include "commands/browsercommands.h"

namespace Commands {

void printPage(CommandContext &) {}

void previewPage(CommandContext &) {}

void findOnPage(CommandContext &) {}

void showHelp(CommandContext &) {}

void showAbout(CommandContext &) {}

} // namespace Commands
