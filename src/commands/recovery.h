#pragma once

#include "commands/command.h"

namespace Commands {

// A working folder found at start-up was left by a program that did not end
// normally: it holds the only copy of changes never written back. When the
// record beside it names an archive of the catalogue whose zip is there, the
// user is asked whether to write the changes into that archive now or keep
// them aside in a recovered folder; otherwise they are kept aside and the user
// is told where. An empty working folder is simply removed, and so is the
// copy of an archive that had no changes, while its zip is as it was. A copy
// that cannot be moved aside stays, and nothing empties the working folder
// until the next start offers it again.
void recoverLeftoverWork(CommandContext &ctx);

} // namespace Commands
