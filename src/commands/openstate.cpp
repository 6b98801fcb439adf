#include "commands/openstate.h"

#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"

#include <QDir>

namespace {

const QString kBlank = QStringLiteral("about:blank");

bool isArchiveNode(const CatalogueModel &catalogue, int node)
{
    return node >= 0 && node < catalogue.nodeCount() && !catalogue.isSection(node);
}

// The node that showed the open archive shows a closed one again.
void closeOpenNode(Session &session)
{
    CatalogueModel &catalogue = session.catalogue();
    const int open = session.openNode();
    if (isArchiveNode(catalogue, open))
        catalogue.setPicture(open, CatalogueNode::ArchivePicture);
}

} // namespace

namespace Commands {

QString openArchiveStatus(const Session &session, int node)
{
    const CatalogueModel &catalogue = session.catalogue();
    const int section = catalogue.sectionOf(node);
    const QString sectionName = section >= 0 ? catalogue.node(section).name : QString();
    return msg(MessageId::StatusOpenArchive) + sectionName + u'\\' + catalogue.node(node).name;
}

bool showPage(CommandContext &ctx, int row)
{
    ctx.view.setOffline(ctx.session.settings().offline);
    QString fileName = ctx.archive.pages().fileName(row);
    if (fileName.isEmpty()) {
        ctx.view.navigate(kBlank);
        return true;
    }
    // Lists written on Windows may name a page in a folder with "\".
    fileName.replace(u'\\', u'/');
    if (!ctx.archive.preparePage(fileName, ctx.interaction)) {
        leaveFailedOpening(ctx);
        return false;
    }
    ctx.view.navigate(ctx.archive.workFolder() + u'/' + fileName);
    return true;
}

void leaveFailedOpening(CommandContext &ctx)
{
    showFailure(ctx.interaction, ctx.archive.lastFailure());
    leaveOpenState(ctx);
}

bool wholeCopyReady(CommandContext &ctx)
{
    if (ctx.archive.completeCopy(ctx.interaction))
        return true;
    leaveFailedOpening(ctx);
    return false;
}

bool enterOpenState(CommandContext &ctx, int node)
{
    Session &session = ctx.session;
    CatalogueModel &catalogue = session.catalogue();
    if (session.openNode() != node)
        closeOpenNode(session);
    session.setOpenNode(node);
    catalogue.setPicture(node, CatalogueNode::OpenArchivePicture);
    const int section = catalogue.sectionOf(node);
    ctx.archive.setCatalogueEntry(section >= 0 ? catalogue.node(section).name : QString(),
                                  catalogue.node(node).name);

    session.setPageControlsEnabled(true);
    session.setStatusText(openArchiveStatus(session, node));
    session.setPagePosition(0, -1);
    PageListModel &pages = ctx.archive.pages();
    if (pages.count() > 0) {
        session.pageSelection().setCurrentIndex(pages.index(0),
                                                QItemSelectionModel::ClearAndSelect);
        if (!showPage(ctx, 0))
            return false;
    } else {
        // Never the page of the archive open before: its files are gone.
        session.pageSelection().clear();
        ctx.view.navigate(kBlank);
    }
    session.setNavigation(navigationAfterOpening(pages.count()));
    return true;
}

void tellListFileProblems(CommandContext &ctx, bool unreadable, const QStringList &refused)
{
    if (unreadable) {
        const QString newList = msg(MessageId::ArchiveMenu).trimmed() + QStringLiteral(" › ") +
                                msg(MessageId::NewPageListMenuItem);
        ctx.interaction.showMessage(msg(MessageId::ListFileUnreadable).arg(newList));
    }
    if (!refused.isEmpty())
        ctx.interaction.showMessage(
            BoxText::listed(msg(MessageId::ListFileLinesRefused) + QStringLiteral("\r\n"), refused));
}

bool zipIsThere(CommandContext &ctx, int node)
{
    CatalogueModel &catalogue = ctx.session.catalogue();
    if (catalogue.checkZip(node))
        return true;
    ctx.interaction.showMessage(msg(MessageId::ArchiveZipNotFound)
                                    .arg(QDir::toNativeSeparators(catalogue.node(node).path)));
    return false;
}

void leaveOpenState(CommandContext &ctx)
{
    Session &session = ctx.session;
    closeOpenNode(session);
    session.setOpenNode(-1);
    session.setPageControlsEnabled(false);
    session.setNavigation({});
    session.setPagePosition(0, -1);
    ctx.view.navigate(kBlank);
    session.setStatusText(msg(MessageId::StatusOpenArchive) + msg(MessageId::StatusNoArchive));
}

} // namespace Commands
