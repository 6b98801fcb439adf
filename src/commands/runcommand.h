#pragma once

#include "commands/command.h"

// Runs the command when it is available now; false when it was not.
bool runCommand(Command command, CommandContext &ctx);
