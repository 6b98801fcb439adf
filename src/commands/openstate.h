#pragma once

#include "commands/command.h"

#include <QString>
#include <QStringList>

// The window's state with and without an open archive, shared by every command
// that opens, creates or attaches an archive.
namespace Commands {

// The status text of the open archive at catalogue node: "Open Archive: "
// followed by its section's name, "\" and its own name.
QString openArchiveStatus(const Session &session, int node);

// Shows page row of the open archive: the view, off-line as the box says,
// goes to the page's file in the working copy (a blank page for a page
// without a file name). Its files are unpacked first while the working copy
// is still being made; false when that found the zip damaged: the opening
// failed after all (see leaveFailedOpening) and nothing is open.
bool showPage(CommandContext &ctx, int row);

// The archive of catalogue node, unpacked (or made) in the working folder, is
// the open one now: its node shows picture 2 (the archive open before goes
// back to 1), the status text names it, the page controls are on, its first
// page is selected and shown (a blank page when it has none), and of the
// navigation buttons only next and last may be used. False, with nothing open,
// when showing the first page found the zip damaged.
bool enterOpenState(CommandContext &ctx, int node);

// The opening of the archive failed after its first page was shown (the zip
// turned out damaged while its working copy was made): the user is told, as
// for an opening that fails at once, and nothing is open.
void leaveFailedOpening(CommandContext &ctx);

// Waits (as long work) until the working copy of the open archive is whole:
// what every command that changes, writes or looks through it needs. False
// when the zip turned out damaged meanwhile (see leaveFailedOpening).
bool wholeCopyReady(CommandContext &ctx);

// Tells the user what opening found wrong with the archive's list file: a
// file that cannot be read as a page list (kept, and how to get a new list),
// lines left out because their file names lead outside the archive.
void tellListFileProblems(CommandContext &ctx, bool unreadable, const QStringList &refused);

// No archive is open: no node shows picture 2, the page controls and the
// navigation buttons are off, the view is blank and the status text says so.
void leaveOpenState(CommandContext &ctx);

// Whether the zip of archive node is there to be read now (one look at the
// disk; its mark in the tree follows). When it is not, the user is told,
// with its path, and nothing else happens.
bool zipIsThere(CommandContext &ctx, int node);

} // namespace Commands
