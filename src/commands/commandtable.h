#pragma once

#include "commands/command.h"
#include "lang/messageid.h"

#include <optional>
#include <span>

// When a command can be given (commands/availability.h).
enum class Availability {
    Always,             // the command says itself when there is nothing to work on
    WithPages,          // while the page controls are on
    WithPagesOnToolBar, // always from the menus; its tool button with the page controls
    FirstPage,          // with the page controls and that navigation button
    PreviousPage,
    ReturnPage,
    NextPage,
    LastPage,
};

using CommandFunction = void (*)(CommandContext &ctx, const CommandArgument &argument);

// One command: what the window shows of it, when it can be given and what
// runs it. Where it stands in the menus and tool bars is the window's layout.
struct CommandRow {
    Command command;
    // "createSection": its action is createSectionAction, its button createSectionButton.
    const char *name;
    std::optional<MessageId> caption; // the main menu's caption
    const char16_t *fixedCaption;     // a caption the catalogue leaves alone, in both languages
    std::optional<MessageId> hint;    // the tool button's hint; the text of a command without caption
    const char *picture;              // the desktop theme's name of its picture, or nullptr
    const char *shortcut;             // portable text ("Ctrl+Shift+F"), or nullptr
    Availability availability;
    CommandFunction function;
};

// Every command's row, in the order of Command.
std::span<const CommandRow> commandRows();
const CommandRow &commandRow(Command command);
