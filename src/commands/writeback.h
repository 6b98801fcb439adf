#pragma once

#include "commands/command.h"

namespace Commands {

// Writes the open archive back when its working copy holds changes, before a
// command goes on to replace that copy (opening another archive, creating,
// attaching, updating, ending a session left by a crash). When the write-back
// fails the user learns why and chooses a way out (see takeWayOut). True when
// the caller may go on: there was nothing to write, or it was written, saved
// elsewhere or set aside. False when the user cancelled: the working copy, its
// pages and the changed flag are as they were. False too, with the user told
// why, while the working folder holds a copy left by a crash that could not
// be set aside.
[[nodiscard]] bool writeBackOrWayOut(CommandContext &ctx);

// What the user chose after a failed write-back.
enum class WayOut { Cancelled, WrittenBack, SavedElsewhere, SetAside };

// Tells why the last write-back failed and offers the ways out until one
// works or the user cancels: try again; save the working copy as a new zip
// elsewhere; or set it aside in a recovered folder (named in a message). When
// the zip changed since it was opened, trying again is replaced by replacing
// that newer zip, which only this choice does.
[[nodiscard]] WayOut takeWayOut(CommandContext &ctx);

// Tells the user that the working copy in folder could not be set aside and
// stays there with its changes.
void showSetAsideFailed(CommandContext &ctx, const QString &folder);

} // namespace Commands
