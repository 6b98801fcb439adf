#include "commands/sectioncommands.h"

#include "catalogue/names.h"
#include "catalogue/session.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"

namespace {

// Whether a node from first to the end of the tree is named name; sections
// only, or every node.
bool nameTakenFrom(const CatalogueModel &catalogue, int first, const QString &name,
                   bool sectionsOnly)
{
    const QCollator collator = Names::nameCollator();
    for (int i = first; i < catalogue.nodeCount(); ++i) {
        if (sectionsOnly && !catalogue.isSection(i))
            continue;
        if (collator.compare(catalogue.node(i).name, name) == 0)
            return true;
    }
    return false;
}

// The name checks come before the duplicate check: a name that cannot be a
// catalogue entry is refused whatever else the catalogue holds, and the user
// learns what to change in it, also when an old settings file gave the node
// that very name.
bool refusedByRules(CommandContext &ctx, const Names::Problem &problem)
{
    if (!problem)
        return false;
    ctx.interaction.showMessage(Names::message(problem));
    return true;
}

} // namespace

namespace Commands {

void createSection(CommandContext &ctx)
{
    CatalogueModel &catalogue = ctx.session.catalogue();
    const QString name =
        ctx.interaction.askName(msg(MessageId::NewSectionTitle), msg(MessageId::NewSectionPrompt),
                                msg(MessageId::NewSectionName));
    if (name.isEmpty())
        return;
    if (refusedByRules(ctx, Names::checkSectionName(name)))
        return;
    // A section may have the name of an archive, not of another section.
    if (nameTakenFrom(catalogue, 0, name, true)) {
        ctx.interaction.showMessage(msg(MessageId::NameTaken));
        return;
    }
    // Appended last, so no index moves and the open archive's stays right.
    ctx.session.selectNode(catalogue.appendSection(name));
}

void renameNode(CommandContext &ctx)
{
    CatalogueModel &catalogue = ctx.session.catalogue();
    const int selected = ctx.session.selectedNode();
    if (selected < 0) {
        ctx.interaction.showMessage(msg(MessageId::RenameNeedsNode));
        return;
    }
    const bool section = catalogue.isSection(selected);
    const QString name =
        ctx.interaction.askName(msg(MessageId::RenameNodeTitle), msg(MessageId::RenameNodePrompt),
                                catalogue.node(selected).name);
    if (name.isEmpty())
        return;
    if (refusedByRules(ctx,
                       section ? Names::checkSectionName(name) : Names::checkArchiveName(name)))
        return;
    // A section's new name is compared with every node; an archive's with
    // the archives of its own section and every node after that section. The
    // node itself is among them, so its own name is refused too.
    const int first = section ? 0 : catalogue.sectionOf(selected) + 1;
    if (nameTakenFrom(catalogue, first, name, false)) {
        ctx.interaction.showMessage(msg(MessageId::NameTaken));
        return;
    }
    // The display name only: the zip file keeps its name and place, and the
    // status text follows the next time the archive is opened.
    catalogue.setNodeName(selected, name);
}

void deleteSection(CommandContext &ctx)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int section = catalogue.sectionOf(session.selectedNode());
    if (session.selectedNode() < 0 || section < 0)
        return;
    if (!catalogue.archivesOf(section).isEmpty()) {
        ctx.interaction.showWarning(msg(MessageId::DeleteSectionNotEmpty));
        return;
    }
    const QString name = catalogue.node(section).name;
    if (!ctx.interaction.askYesNo(msg(MessageId::ConfirmDeleteSection) + name +
                                  QStringLiteral("\"?")))
        return;
    catalogue.removeNode(section);
    // An empty section is never the open archive's node, only before it.
    if (section < session.openNode())
        session.setOpenNode(session.openNode() - 1);
    session.selectCurrentNode();
}

} // namespace Commands
