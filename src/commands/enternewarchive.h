#pragma once

#include "commands/command.h"

#include <QString>

namespace Commands {

// Enters an archive whose working copy was just started (OpenArchive::
// startNew and its pages taken in) into the catalogue as the last archive of
// section, makes it the selected node and the open archive, and shows its
// first page. Returns the new node's absolute index.
int enterNewOpenArchive(CommandContext &ctx, int section, const QString &name,
                        const QString &zipPath);

} // namespace Commands
