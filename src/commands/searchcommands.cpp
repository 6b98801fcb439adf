#include "commands/searchcommands.h"

#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/navigationcommands.h"
#include "commands/openstate.h"

namespace {

int archiveNodeAt(const CatalogueModel &catalogue, const QString &zipPath)
{
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (!catalogue.isSection(i) && catalogue.node(i).path == zipPath)
            return i;
    }
    return -1;
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
    if (ctx.archive.isOpen() && ctx.archive.zipPath() == zipPath)
        return true;
    const int node = archiveNodeAt(ctx.session.catalogue(), zipPath);
    if (node < 0)
        return false; // left the catalogue since it was found
    return openArchiveAt(ctx, node);
}

void showFoundPage(CommandContext &ctx, const FoundPage &page)
{
    if (page.zipPath.isEmpty() || !openArchiveOfFoundPage(ctx, page.zipPath))
        return;
    PageListModel &pages = ctx.archive.pages();
    const int row = int(pages.fileNames().indexOf(page.pageFile));
    if (row < 0)
        return; // renamed or deleted since it was indexed
    Session &session = ctx.session;
    if (row != session.currentPage()) {
        session.setPagePosition(row, session.currentPage());
        session.setNavigation(navigationFor(pages.count(), row));
    }
    session.pageSelection().setCurrentIndex(pages.index(row), QItemSelectionModel::ClearAndSelect);
    if (!showPage(ctx, row))
        return;
    if (!page.foundWords.isEmpty())
        ctx.view.showFoundWords(page.foundWords);
    else if (!page.findText.isEmpty())
        ctx.view.findText(page.findText);
}

} // namespace Commands
