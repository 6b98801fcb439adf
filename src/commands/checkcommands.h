#pragma once

#include "check/checkwording.h"
#include "check/collectioncheck.h"
#include "check/knownzip.h"
#include "commands/command.h"

// The check of all archives: the command that starts it, and what the user
// does from its report. The check itself runs in the background, outside the
// commands (check/collectioncheck.h); the fixes are commands like any other,
// made of the commands the program has (opening an archive, writing it back,
// removing an archive from the catalogue), with their questions and ways out.
namespace Commands {

// Archive > Check All Archives: asks the window to check the collection.
void checkAllArchives(CommandContext &ctx);
// What the check looks at: the catalogue as it is now, the recovered working
// copies, and the working folders no archive uses now.
CheckInput collectionCheckInput(const CommandContext &ctx);

// Makes a fix the report offers for problem. True when the problem is taken
// care of (the report marks it done); false when the user cancelled, nothing
// was left to do differently, or it failed (the user was told why). known is
// what is known of a missing zip, to find it under another name.
bool applyCheckFix(CommandContext &ctx, const CheckProblem &problem, CheckFix fix,
                   const KnownZip &known = {});
// A row of the report chosen: its archive is opened as from the catalogue
// tree (a working copy's folder is shown in the file manager).
void openCheckedArchive(CommandContext &ctx, const CheckProblem &problem);
// The report as text, in a file the user names.
void saveCheckReport(CommandContext &ctx, const QString &text);

} // namespace Commands
