#include "commands/sectioncommands.h"

namespace Commands {

void createSection(CommandContext &) {}

void renameNode(CommandContext &) {}

void deleteSection(CommandContext &) {}

} // namespace Commands
