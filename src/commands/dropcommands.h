#pragma once

#include "commands/command.h"

// What is dragged within the program onto the catalogue tree. The tree tells
// the kinds of drag apart by where they come from; files from outside go the
// way of files dropped on the window.
namespace Commands {

// The selected pages of the open archive, dragged from the page list, dropped
// on catalogue node target (-1: on no node): they move into that archive.
void dropPagesOnNode(CommandContext &ctx, int target);

// The catalogue node dragged within the tree, dropped on node target (-1: on
// no node). An archive dropped on another section, or on an archive of
// another section, becomes the last archive of that section; anything else
// changes nothing. Only the catalogue changes, never a zip file.
void dropNodeOnNode(CommandContext &ctx, int dragged, int target);

} // namespace Commands
