#include "commands/navigationcommands.h"

#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/openstate.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"

#include <optional>

namespace {

enum class Move { First, Previous, Return, Next, Last };

struct Position {
    int current;
    int previous;
};

// Where a move leads from current (with previous the page seen before) in a
// list of count pages; nothing when it does not apply. No move leads outside
// the list, whatever the two indices held before.
std::optional<Position> moved(Move move, int current, int previous, int count)
{
    switch (move) {
    case Move::First:
        if (current != 0 && count != 0)
            return Position{0, current};
        break;
    case Move::Previous:
        if (current > 0 && current <= count - 1)
            return Position{current - 1, current};
        break;
    case Move::Return:
        if (current <= count - 1 && previous >= 0 && previous <= count - 1)
            return Position{previous, current};
        break;
    case Move::Next:
        if (current >= -1 && current < count - 1)
            return Position{current + 1, current};
        break;
    case Move::Last:
        if (current < count - 1)
            return Position{count - 1, current};
        break;
    }
    return std::nullopt;
}

void go(CommandContext &ctx, Move move)
{
    Session &session = ctx.session;
    PageListModel &pages = ctx.archive.pages();
    const int count = pages.count();
    const std::optional<Position> to =
        moved(move, session.currentPage(), session.previousPage(), count);
    if (!to)
        return;
    session.setPagePosition(to->current, to->previous);
    if (!Commands::showPage(ctx, to->current))
        return;
    // The page left is deselected, the page shown selected; what else the user
    // selected stays selected.
    QItemSelectionModel &selection = session.pageSelection();
    if (to->previous >= 0 && to->previous < count)
        selection.select(pages.index(to->previous), QItemSelectionModel::Deselect);
    selection.select(pages.index(to->current), QItemSelectionModel::Select);
    session.setNavigation(navigationFor(count, to->current));
}

} // namespace

namespace Commands {

void openSelectedArchive(CommandContext &ctx)
{
    Session &session = ctx.session;
    const CatalogueModel &catalogue = session.catalogue();
    const int node = catalogue.absoluteIndex(session.catalogueSelection().currentIndex());
    if (node < 0 || catalogue.isSection(node))
        return;
    openArchiveAt(ctx, node);
}

bool openArchiveAt(CommandContext &ctx, int node)
{
    const CatalogueModel &catalogue = ctx.session.catalogue();
    // The working copy is about to be replaced: its changes go to its zip
    // first, or where the user chooses; cancelled, everything stays open.
    if (!writeBackOrWayOut(ctx))
        return false;
    // A zip that is not there (its drive not mounted) is named, not taken
    // for a damaged one; as after any opening that fails, nothing is open.
    if (!zipIsThere(ctx, node)) {
        if (ctx.archive.isOpen() && !ctx.archive.close()) {
            showFailure(ctx.interaction, ctx.archive.lastFailure());
            return false;
        }
        leaveOpenState(ctx);
        return false;
    }
    switch (ctx.archive.open(catalogue.node(node).path, ctx.interaction)) {
    case OpenArchive::OpenStatus::Opened:
        if (!enterOpenState(ctx, node))
            return false;
        tellListFileProblems(ctx, ctx.archive.listFileUnreadable(),
                             ctx.archive.refusedListFileNames());
        return true;
    case OpenArchive::OpenStatus::ListFileMissing:
        ctx.interaction.showMessage(msg(MessageId::ListFileMissing));
        return enterOpenState(ctx, node);
    case OpenArchive::OpenStatus::Failed:
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        // Nothing half unpacked may pass for the archive: a later write-back
        // would replace its zip with it.
        leaveOpenState(ctx);
        return false;
    case OpenArchive::OpenStatus::Refused:
        break; // still changed: writeBackOrWayOut left it so
    }
    return false;
}

void showFocusedPage(CommandContext &ctx)
{
    Session &session = ctx.session;
    const int count = ctx.archive.pages().count();
    const QModelIndex focused = session.pageSelection().currentIndex();
    if (count == 0 || !focused.isValid() || focused.row() >= count)
        return;
    session.setPagePosition(focused.row(), session.currentPage());
    if (!showPage(ctx, focused.row()))
        return;
    session.setNavigation(navigationFor(count, focused.row()));
}

void showFirstPage(CommandContext &ctx)
{
    go(ctx, Move::First);
}

void showPreviousPage(CommandContext &ctx)
{
    go(ctx, Move::Previous);
}

void returnToPage(CommandContext &ctx)
{
    go(ctx, Move::Return);
}

void showNextPage(CommandContext &ctx)
{
    go(ctx, Move::Next);
}

void showLastPage(CommandContext &ctx)
{
    go(ctx, Move::Last);
}

void toggleLists(CommandContext &ctx)
{
    ctx.session.setListsHidden(!ctx.session.listsHidden());
}

void setOffline(CommandContext &ctx, bool offline)
{
    ctx.session.setOffline(offline);
    ctx.view.setOffline(offline);
}

} // namespace Commands
