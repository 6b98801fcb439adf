#pragma once

#include "commands/command.h"

struct ProgramPaths;

// The program's start and end, in the order the user relies on.
namespace Commands {

// Everything up to showing the window: the no-archive state, English, the
// settings file read (which may switch the language, place the window and
// report archives missing on disk), a working copy left by a killed run
// written back or set aside, and the status text.
void startUp(CommandContext &ctx, const ProgramPaths &paths);

// After a command that changed the catalogue (sections, archives created,
// attached, renamed, moved or removed, drops), the settings file is written
// at once, so that a program killed later loses none of it. The user is told
// when it cannot be written; it is tried again after the next change.
void keepCatalogueSaved(CommandContext &ctx);

// When the window closes: a changed archive is written back (or, when that
// fails, its working copy set aside in a recovered folder and the user told
// where), the working folders removed, the settings file written, and the
// browser's off-line state given back.
void shutDown(CommandContext &ctx);

} // namespace Commands
