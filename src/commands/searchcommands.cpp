#include "commands/searchcommands.h"

#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"

#include <QDir>

namespace {

int archiveNodeAt(const CatalogueModel &catalogue, const QString &zipPath)
{
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (!catalogue.isSection(i) && catalogue.node(i).path == zipPath)
            return i;
    }
    return -1;
}

void showNoArchive(Session &session)
{
    session.setOpenNode(-1);
    session.setPageControlsEnabled(false);
    session.setNavigation({});
    session.setStatusText(msg(MessageId::StatusOpenArchive) + msg(MessageId::StatusNoArchive));
}

} // namespace

namespace Commands {

void searchAllArchives(CommandContext &ctx)
{
    ctx.session.setListsHidden(false); // the field is above the catalogue
    ctx.session.requestSearchField();
}

bool openArchiveOfFoundPage(CommandContext &ctx, const QString &zipPath)
{
    Session &session = ctx.session;
    OpenArchive &archive = ctx.archive;
    if (archive.isOpen() && archive.zipPath() == zipPath)
        return true;
    CatalogueModel &catalogue = session.catalogue();
    const int node = archiveNodeAt(catalogue, zipPath);
    if (node < 0)
        return false; // left the catalogue since it was found
    // The changes of the open archive reach its zip before anything else is
    // unpacked over its working copy.
    if (archive.isChanged() && !archive.writeBack(ctx.interaction)) {
        showFailure(ctx.interaction, archive.lastFailure());
        return false;
    }
    const int wasOpen = session.openNode();
    if (wasOpen >= 0 && wasOpen < catalogue.nodeCount() && !catalogue.isSection(wasOpen))
        catalogue.setPicture(wasOpen, CatalogueNode::ArchivePicture);
    if (archive.isOpen() && !archive.close()) {
        showFailure(ctx.interaction, archive.lastFailure());
        showNoArchive(session);
        return false;
    }
    if (archive.open(zipPath, ctx.interaction) == OpenArchive::OpenStatus::Failed) {
        showFailure(ctx.interaction, archive.lastFailure());
        showNoArchive(session);
        ctx.view.navigate(QStringLiteral("about:blank"));
        return false;
    }
    const int count = archive.pages().count();
    session.setOpenNode(node);
    catalogue.setPicture(node, CatalogueNode::OpenArchivePicture);
    session.setPagePosition(0, 0);
    session.setPageControlsEnabled(true);
    session.setNavigation(navigationAfterOpening(count));
    session.setStatusText(msg(MessageId::StatusOpenArchive) + catalogue.node(node).name);
    if (count > 0) {
        archive.pageSelection().setCurrentIndex(archive.pages().index(0),
                                                QItemSelectionModel::ClearAndSelect);
        ctx.view.navigate(QDir(archive.workFolder()).filePath(archive.pages().fileName(0)));
    } else {
        ctx.view.navigate(QStringLiteral("about:blank"));
    }
    return true;
}

void showFoundPage(CommandContext &ctx)
{
    const FoundPage page = ctx.session.foundPage();
    if (page.zipPath.isEmpty() || !openArchiveOfFoundPage(ctx, page.zipPath))
        return;
    OpenArchive &archive = ctx.archive;
    const int row = int(archive.pages().fileNames().indexOf(page.pageFile));
    if (row < 0)
        return; // renamed or deleted since it was indexed
    Session &session = ctx.session;
    if (row != session.currentPage()) {
        session.setPagePosition(row, session.currentPage());
        session.setNavigation(navigationFor(archive.pages().count(), row));
    }
    archive.pageSelection().setCurrentIndex(archive.pages().index(row),
                                            QItemSelectionModel::ClearAndSelect);
    ctx.view.navigate(QDir(archive.workFolder()).filePath(page.pageFile));
    if (!page.findText.isEmpty())
        ctx.view.findText(page.findText);
}

} // namespace Commands
