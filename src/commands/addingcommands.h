#pragma once

#include "commands/command.h"

#include <QStringList>

// Adding pages, files and folders to the open archive.
namespace Commands {

// Pages chosen in a file dialog.
void addPages(CommandContext &ctx);
// Every page found in a chosen folder and its sub-folders.
void searchFolder(CommandContext &ctx);
// One file of any kind, not listed as a page.
void addFile(CommandContext &ctx);
// The files of a chosen folder, as a sub-folder of the archive.
void addFolder(CommandContext &ctx);
// Files dropped on the main window from the desktop, as pages.
void addDroppedFiles(CommandContext &ctx, const QStringList &paths);

// Takes the pages at paths (in order; what is not a file is skipped) with
// their companion folders into the open archive's working copy, as long work,
// and appends them to its pages. With "delete originals" on, their sources
// wait for the next write-back. Refused pages are named in one message; a
// copy that fails stops there with an error. False when one failed.
bool takeInPages(CommandContext &ctx, const QStringList &paths);

} // namespace Commands
