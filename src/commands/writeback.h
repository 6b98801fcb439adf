#pragma once

#include "commands/command.h"

namespace Commands {

// Writes the open archive back when its working copy holds changes, before a
// command goes on to replace that copy (opening another archive, creating,
// attaching, updating, ending a session left by a crash). When the write-back
// fails the user learns why and chooses a way out: try again; save the working
// copy as a new zip elsewhere; or set it aside in a recovered folder (named in
// a message) and go on. True when the caller may go on: there was nothing to
// write, or it was written, saved elsewhere or set aside. False when the user
// cancelled: the working copy, its pages and the changed flag are as they were.
[[nodiscard]] bool writeBackOrWayOut(CommandContext &ctx);

// Tells the user that the working copy in folder could not be set aside and
// stays there with its changes.
void showSetAsideFailed(CommandContext &ctx, const QString &folder);

} // namespace Commands
