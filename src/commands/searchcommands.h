#pragma once

#include "commands/command.h"

#include <QString>

// The search across all archives of the catalogue. The search itself and its
// index live outside the commands; these are what the user does with it.
namespace Commands {

// Ctrl+Shift+F: the search field takes the keyboard, the lists shown if hidden.
void searchAllArchives(CommandContext &ctx);
// A result chosen: its archive is opened, unless it is open already, and the
// page shown with the words found highlighted. A page no longer in the
// archive leaves the archive open on its first page.
void showFoundPage(CommandContext &ctx, const FoundPage &page);

// How a found page's archive is opened: as the catalogue tree opens it, a
// changed archive written back first (or its ways out offered). An archive
// already open stays as it is. False when it could not be opened or the user
// cancelled; nothing is lost then.
bool openArchiveOfFoundPage(CommandContext &ctx, const QString &zipPath);

} // namespace Commands
