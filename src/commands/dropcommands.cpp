#include "commands/dropcommands.h"

#include "catalogue/session.h"
#include "commands/openstate.h"
#include "commands/pagecommands.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"

namespace {

// Where the node at from ends up when another node is taken out at taken and
// put back at put (its index after the move).
int followMove(int from, int taken, int put)
{
    int index = from > taken ? from - 1 : from;
    return index >= put ? index + 1 : index;
}

} // namespace

namespace Commands {

void dropPagesOnNode(CommandContext &ctx, int target)
{
    QList<int> rows;
    for (const QModelIndex &index : ctx.session.pageSelection().selectedIndexes())
        rows << index.row();
    if (rows.isEmpty()) {
        ctx.interaction.showRefusal(msg(MessageId::MoveNoPagesSelected));
        return;
    }
    movePagesToNode(ctx, target, rows);
}

void dropNodeOnNode(CommandContext &ctx, int dragged, int target)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int count = catalogue.nodeCount();
    if (dragged < 0 || dragged >= count || catalogue.isSection(dragged) || target < 0 ||
        target >= count)
        return;
    const int section = catalogue.sectionOf(target);
    if (section < 0 || section == catalogue.sectionOf(dragged))
        return;
    const QString name = catalogue.node(dragged).name;
    if (session.sectionHasArchive(name, section)) {
        ctx.interaction.showRefusal(msg(MessageId::ArchiveNameTakenInSection) + u'\r' +
                                    msg(MessageId::MoveArchiveRenameFirst));
        return;
    }
    // The node keeps its name, zip path and picture, so an open archive
    // stays open where it lands.
    const int open = session.openNode();
    const int moved = catalogue.moveArchive(dragged, section, CatalogueModel::Place::Last);
    if (moved < 0 || open < 0)
        return;
    if (open == dragged) {
        session.setOpenNode(moved);
        // The status text names the archive with its section: it follows.
        session.setStatusText(openArchiveStatus(session, moved));
    } else {
        session.setOpenNode(followMove(open, dragged, moved));
    }
}

} // namespace Commands
