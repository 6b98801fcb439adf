#include "commands/enternewarchive.h"

#include "catalogue/session.h"
#include "commands/openstate.h"

namespace Commands {

int enterNewOpenArchive(CommandContext &ctx, int section, const QString &name,
                        const QString &zipPath)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    const int node = catalogue.addArchive(section, name, zipPath);
    session.catalogueSelection().setCurrentIndex(catalogue.modelIndex(node),
                                                 QItemSelectionModel::ClearAndSelect);
    enterOpenState(ctx, node);
    return node;
}

} // namespace Commands
