#pragma once

#include "commands/command.h"

// The page on screen, the help and the about box.
namespace Commands {

// The page shown: the print dialog, the print preview and the find bar; each
// does nothing while no page is shown.
void printPage(CommandContext &ctx);
void previewPage(CommandContext &ctx);
void findOnPage(CommandContext &ctx);
// Opens the help of the language active now with the desktop: a help file in
// the program folder, else the manual shipped with the program; when there is
// neither, says which help file is absent.
void showHelp(CommandContext &ctx);
// The about box.
void showAbout(CommandContext &ctx);

} // namespace Commands
