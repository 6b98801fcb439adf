#include "commands/archivecommands.h"

#include "catalogue/session.h"
#include "commands/addingcommands.h"
#include "commands/createarchivecheck.h"
#include "commands/enternewarchive.h"
#include "commands/openstate.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QDir>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// "Section\Archive", as the status text and the path message name an archive.
QString sectionAndArchive(const CatalogueModel &catalogue, int archive)
{
    return catalogue.node(catalogue.sectionOf(archive)).name + u'\\' + catalogue.node(archive).name;
}

bool isArchive(const CatalogueModel &catalogue, int node)
{
    return node >= 0 && node < catalogue.nodeCount() && !catalogue.isSection(node);
}

// Writes the open archive back when it changed (or takes the way out the user
// chooses) and closes it: afterwards no archive is open. False when the user
// cancelled or the working copy could not be emptied: everything stays as it was.
bool closeOpenArchive(CommandContext &ctx)
{
    if (!Commands::writeBackOrWayOut(ctx))
        return false;
    if (!ctx.archive.close()) {
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        return false;
    }
    Commands::leaveOpenState(ctx);
    return true;
}

QString withSeparator(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

namespace Commands {

void createArchive(CommandContext &ctx)
{
    Session &session = ctx.session;
    const CatalogueModel &catalogue = session.catalogue();
    const int selected = catalogue.absoluteIndex(session.catalogueSelection().currentIndex());
    if (selected < 0) {
        ctx.interaction.showRefusal(msg(MessageId::CreateNeedsSection));
        return;
    }
    const int section = catalogue.sectionOf(selected);
    if (!closeOpenArchive(ctx))
        return;

    CreateArchiveValues values;
    values.folder = withSeparator(session.settings().defaultArchiveFolder);
    for (int archive : catalogue.archivesOf(section))
        values.sectionArchiveNames << catalogue.node(archive).name;
    values.protectedFolders = ctx.archive.folders().protectedFolders();
    if (!ctx.interaction.editCreateArchive(values))
        return;

    const QString folder = typedFolder(values.folder);
    const QString zipPath = withSeparator(folder) + zipFileNameFor(values.zipName);
    if (!ctx.archive.startNew(zipPath)) {
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        return;
    }
    // What could be taken in stays even when a page failed: the archive is
    // entered with it, and the sources wait for its first write-back.
    takeInPages(ctx, values.pageFiles);
    enterNewOpenArchive(ctx, section, values.archiveName, zipPath);
}

void moveArchiveToSection(CommandContext &ctx)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int open = session.openNode();
    if (!isArchive(catalogue, open)) {
        ctx.interaction.showRefusal(msg(MessageId::MoveArchiveNeedsArchive));
        return;
    }
    const int selected = session.selectedNode();
    if (selected < 0)
        return;
    const int target = catalogue.sectionOf(selected);
    if (target == catalogue.sectionOf(open)) {
        ctx.interaction.showRefusal(msg(MessageId::MoveArchiveNeedsOtherSection));
        return;
    }
    if (session.sectionHasArchive(catalogue.node(open).name, target)) {
        ctx.interaction.showRefusal(msg(MessageId::ArchiveNameTakenInSection) + kCrLf + kCrLf +
                                    msg(MessageId::MoveArchiveRenameFirst));
        return;
    }
    // The archive stays open: only its place in the catalogue changes, not
    // its zip file, its working copy or its pages.
    const int moved = catalogue.moveArchive(open, target, CatalogueModel::Place::First);
    if (moved < 0)
        return;
    catalogue.setPicture(moved, CatalogueNode::OpenArchivePicture);
    session.setOpenNode(moved);
    session.setStatusText(msg(MessageId::StatusOpenArchive) + sectionAndArchive(catalogue, moved));
}

void removeArchive(CommandContext &ctx)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int archive = session.selectedNode();
    if (!isArchive(catalogue, archive)) {
        ctx.interaction.showRefusal(msg(MessageId::RemoveNeedsArchive));
        return;
    }
    const QString quotedName = u'"' + catalogue.node(archive).name + QStringLiteral("\"?");
    if (archive == session.openNode()) {
        ctx.interaction.showWarning(msg(MessageId::RemoveOpenArchiveRefused) + kCrLf + quotedName);
        return;
    }
    // Only a Yes removes it: Esc or closing the box is no answer to act on.
    if (!ctx.interaction.askYesNo(msg(MessageId::ConfirmRemoveArchive) + kCrLf + quotedName))
        return;
    // The catalogue entry only: the zip file stays where it is, untouched, and
    // attaching it again brings it back.
    catalogue.removeNode(archive);
    if (archive < session.openNode())
        session.setOpenNode(session.openNode() - 1);
    session.selectCurrentNode();
}

void showArchivePath(CommandContext &ctx)
{
    const CatalogueModel &catalogue = ctx.session.catalogue();
    const int archive = ctx.session.selectedNode();
    if (!isArchive(catalogue, archive)) {
        ctx.interaction.showRefusal(msg(MessageId::ArchivePathNeedsArchive));
        return;
    }
    ctx.interaction.showMessage(msg(MessageId::ArchivePathHead) +
                                sectionAndArchive(catalogue, archive) + QStringLiteral("\":") +
                                kCrLf + kCrLf + catalogue.node(archive).path);
}

} // namespace Commands
