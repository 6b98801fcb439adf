#pragma once

#include "commands/command.h"

#include <QString>

namespace Commands {

// Where the working copy of the open archive is to be saved as a new zip:
// asked with the file-save dialog, the name used exactly as given. Refused
// (the user is told, an empty result): a place inside the program's working
// folders, and the zip of another archive of the catalogue. Another file
// already there is replaced only when the user confirms. Empty as well when
// the user cancelled.
QString askSaveAsTarget(CommandContext &ctx);

// Whether two paths name the same file: by device and inode where both exist
// (see isSameFile).
bool sameFile(const QString &a, const QString &b);

} // namespace Commands
