#include "commands/maintenancecommands.h"

#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/openstate.h"
#include "commands/saveastarget.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QDir>
#include <QFileInfo>

namespace {

// An archive is open and its working copy is there: what update and a new
// page list work on. After a cancelled create or a failed attach there is
// none, and writing back would give an empty zip.
bool hasWorkingCopy(const CommandContext &ctx)
{
    const CatalogueModel &catalogue = ctx.session.catalogue();
    const int open = ctx.session.openNode();
    return open >= 0 && open < catalogue.nodeCount() && !catalogue.isSection(open) &&
           ctx.archive.isOpen() && QFileInfo(ctx.archive.workFolder()).isDir();
}

int clampedRow(int row, int count)
{
    return row < 0 ? row : qMin(row, count - 1);
}

} // namespace

namespace Commands {

void saveArchiveAs(CommandContext &ctx)
{
    OpenArchive &archive = ctx.archive;
    if (!hasWorkingCopy(ctx)) {
        ctx.interaction.showRefusal(msg(MessageId::SaveAsNeedsArchive));
        return;
    }
    if (!ctx.interaction.askYesNo(msg(MessageId::SaveAsSavesOpenArchive)))
        return;
    const QString target = askSaveAsTarget(ctx);
    if (target.isEmpty())
        return;

    // The copy is written from the working copy itself, never copied from
    // the archive's zip: it needs no write-back first and is never stale.
    if (!sameFile(target, archive.zipPath()) && !archive.writeCopy(target, ctx.interaction)) {
        showFailure(ctx.interaction, archive.lastFailure());
        return;
    }
    // The open archive is saved too. Onto its own zip that is all there is
    // to do, and a zip without changes is left as it is.
    if (archive.isChanged() && !archive.writeBack(ctx.interaction))
        showFailure(ctx.interaction, archive.lastFailure());
}

void updateArchive(CommandContext &ctx)
{
    if (!hasWorkingCopy(ctx)) {
        ctx.interaction.showRefusal(msg(MessageId::ArchiveNeedsWorkingCopy));
        return;
    }
    // Written back even without changes; a failure keeps the changed flag,
    // so the changes are tried again later.
    if (!ctx.archive.writeBack(ctx.interaction)) {
        if (!ctx.archive.zipChangedSinceOpened()) {
            showFailure(ctx.interaction, ctx.archive.lastFailure());
            return;
        }
        // Another program replaced the zip: the user chooses what happens to it.
        switch (takeWayOut(ctx)) {
        case WayOut::WrittenBack:
            break;
        case WayOut::SetAside:
            leaveOpenState(ctx);
            return;
        case WayOut::Cancelled:
        case WayOut::SavedElsewhere:
            return;
        }
    }
    ctx.interaction.showRefusal(msg(MessageId::ArchiveUpdated));
}

void newPageList(CommandContext &ctx)
{
    Session &session = ctx.session;
    OpenArchive &archive = ctx.archive;
    if (!hasWorkingCopy(ctx)) {
        ctx.interaction.showRefusal(msg(MessageId::ArchiveNeedsWorkingCopy));
        return;
    }
    QStringList titles;
    QStringList fileNames;
    PageSearch::listTopLevelPages(archive.workFolder(), titles, fileNames);
    if (fileNames.isEmpty()) {
        // The list stays: emptied, every title would be lost at the next write-back.
        QString noPages = msg(MessageId::NewPageListNoPages);
        noPages.replace(QStringLiteral("C:\\TEMP_ARCH"),
                        QDir::toNativeSeparators(archive.workFolder()));
        ctx.interaction.showRefusal(msg(MessageId::NewPageListFailed) + QStringLiteral("\r\n") +
                                    noPages);
        return;
    }
    archive.pages().reset(titles, fileNames);
    archive.setChanged(true);
    if (!archive.saveListFile())
        qWarning("the page list file of the working copy could not be written");

    // The first page of the new list is shown, and the navigation goes on
    // from there: the page shown before may stand anywhere in the new order.
    // The page to return to stays, inside the new list.
    const int count = archive.pages().count();
    session.setPagePosition(0, clampedRow(session.previousPage(), count));
    const NavigationButtons before = session.navigation();
    NavigationButtons buttons = navigationFor(count, 0);
    buttons.returnPage = before.returnPage && buttons.returnPage;
    session.setNavigation(buttons);
    session.setPageControlsEnabled(true);
    showPage(ctx, 0);
}

} // namespace Commands
