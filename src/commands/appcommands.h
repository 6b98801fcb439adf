#pragma once

#include "commands/command.h"

// The program's own settings and language.
namespace Commands {

// Interface > English and Interface > Russian: every text of the window
// switches at once; the status text keeps its language until it is rebuilt.
void switchToEnglish(CommandContext &ctx);
void switchToRussian(CommandContext &ctx);
// Settings: the settings dialog; OK applies it and creates a missing archive folder.
void editSettings(CommandContext &ctx);

} // namespace Commands
