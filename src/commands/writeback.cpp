#include "commands/writeback.h"

#include "commands/saveastarget.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/openarchive.h"

#include <QDir>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

enum WayOut { TryAgain, SaveElsewhere, SetAside };

// The working copy as a new zip where the user wants it (never onto another
// archive's zip); false when the user cancelled the dialog, the place was
// refused or the zip could not be written (the user is told why).
bool saveElsewhere(CommandContext &ctx)
{
    const QString target = Commands::askSaveAsTarget(ctx);
    if (target.isEmpty())
        return false;
    if (ctx.archive.writeCopy(target, ctx.interaction))
        return true;
    showFailure(ctx.interaction, ctx.archive.lastFailure());
    return false;
}

} // namespace

namespace Commands {

void showSetAsideFailed(CommandContext &ctx, const QString &folder)
{
    ctx.interaction.showMessage(msg(MessageId::SetAsideFailed) + kCrLf +
                                QDir::toNativeSeparators(folder));
}

bool writeBackOrWayOut(CommandContext &ctx)
{
    OpenArchive &archive = ctx.archive;
    if (!archive.isChanged() || archive.writeBack(ctx.interaction))
        return true;
    const QStringList choices{msg(MessageId::WayOutTryAgain), msg(MessageId::WayOutSaveElsewhere),
                              msg(MessageId::WayOutSetAside)};
    for (;;) {
        const BoxText why = archive.lastFailure().boxText();
        switch (ctx.interaction.askChoice(why + kCrLf + kCrLf + msg(MessageId::WriteBackWaysOut),
                                          choices)) {
        case TryAgain:
            if (archive.writeBack(ctx.interaction))
                return true;
            break;
        case SaveElsewhere:
            if (saveElsewhere(ctx)) {
                // The changes are safe in the new zip; the archive's own zip
                // stays as it was, and the working copy may go.
                archive.setChanged(false);
                return true;
            }
            break;
        case SetAside: {
            const std::optional<QString> kept = archive.setAside();
            if (!kept) {
                // Still open with its changes: the ways out are offered again.
                showSetAsideFailed(ctx, archive.folders().archive);
                break;
            }
            ctx.interaction.showMessage(msg(MessageId::WriteBackFailedAtClose) + kCrLf +
                                        QDir::toNativeSeparators(*kept));
            return true;
        }
        default:
            return false;
        }
    }
}

} // namespace Commands
