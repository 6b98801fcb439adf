#pragma once

#include "catalogue/session.h"
#include "commands/command.h"

// Whether a command can be given now, by its row's rule (commands/commandtable.h).
// Most commands always can: those that need an open archive say so themselves
// when there is none. The page commands, the archive's add, update and
// new-list items, print, preview and find follow the page controls, and each
// navigation button its own rule.
bool isAvailable(Command command, const Session &session);

// The print and preview tool buttons follow the page controls, while the
// Print menu's items, which run the same commands, are always available.
bool isAvailableOnToolBar(Command command, const Session &session);

// The navigation buttons for a list of count pages showing page current, after
// a move or a click on a title: all off for fewer than two pages; otherwise
// first and previous unless on the first page, return, next and last unless
// on the last page.
NavigationButtons navigationFor(int count, int current);
// Right after an archive with count pages is opened on its first page there is
// no page seen before: return is off too.
NavigationButtons navigationAfterOpening(int count);
