#pragma once

#include "commands/command.h"

// The page on screen, the help and the about box.
namespace Commands {

void printPage(CommandContext &ctx);
void previewPage(CommandContext &ctx);
void findOnPage(CommandContext &ctx);
// Opens the help file of the active language.
void showHelp(CommandContext &ctx);
void showAbout(CommandContext &ctx);

} // namespace Commands
