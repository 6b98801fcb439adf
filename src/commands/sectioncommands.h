#pragma once

#include "commands/command.h"

// The sections of the catalogue, and renaming any node.
namespace Commands {

// Section > Create New Section: a new section named by the user.
void createSection(CommandContext &ctx);
// Section > Rename Section/Archive: renames the selected section or archive.
void renameNode(CommandContext &ctx);
// Section > Delete Section: deletes the selected section when it is empty.
void deleteSection(CommandContext &ctx);

} // namespace Commands
