#include "commands/enternewarchive.h"

#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "lang/messages.h"

namespace Commands {

int enterNewOpenArchive(CommandContext &ctx, int section, const QString &name,
                        const QString &zipPath)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int node = catalogue.addArchive(section, name, zipPath);
    catalogue.setPicture(node, CatalogueNode::OpenArchivePicture);
    session.catalogueSelection().setCurrentIndex(catalogue.modelIndex(node),
                                                 QItemSelectionModel::ClearAndSelect);
    session.setOpenNode(node);

    PageListModel &pages = ctx.archive.pages();
    session.setPagePosition(0, 0);
    session.setNavigation(navigationAfterOpening(pages.count()));
    session.setPageControlsEnabled(true);
    session.setStatusText(msg(MessageId::StatusOpenArchive) + catalogue.node(section).name + u'\\' +
                          name);
    if (pages.count() > 0) {
        ctx.archive.pageSelection().setCurrentIndex(pages.index(0),
                                                    QItemSelectionModel::ClearAndSelect);
        ctx.view.navigate(ctx.archive.workFolder() + u'/' + pages.fileName(0));
    }
    return node;
}

} // namespace Commands
