#include "commands/archivecommands.h"

#include "catalogue/session.h"
#include "commands/addingcommands.h"
#include "commands/createarchivecheck.h"
#include "commands/enternewarchive.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QDir>

namespace {

// Writes the open archive back when it changed and closes it: afterwards no
// archive is open. A write-back that fails stops here with everything as it
// was (the working copy holds the only copy of its changes).
bool closeOpenArchive(CommandContext &ctx)
{
    OpenArchive &archive = ctx.archive;
    Session &session = ctx.session;
    if (archive.isChanged() && !archive.writeBack(ctx.interaction)) {
        showFailure(ctx.interaction, archive.lastFailure());
        return false;
    }
    const int open = session.openNode();
    if (open >= 0 && open < session.catalogue().nodeCount() && !session.catalogue().isSection(open))
        session.catalogue().setPicture(open, CatalogueNode::ArchivePicture);
    session.setOpenNode(-1);
    if (!archive.close()) {
        showFailure(ctx.interaction, archive.lastFailure());
        return false;
    }
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
    values.protectedFolders = PageSearch::protectedFolders(ctx.archive.folders());
    if (!ctx.interaction.editCreateArchive(values))
        return;

    QString folder = QDir::cleanPath(values.folder);
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

void attachArchive(CommandContext &) {}

void moveArchiveToSection(CommandContext &) {}

void saveArchiveAs(CommandContext &) {}

void updateArchive(CommandContext &) {}

void newPageList(CommandContext &) {}

void removeArchive(CommandContext &) {}

void showArchivePath(CommandContext &) {}

} // namespace Commands
