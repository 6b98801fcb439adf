#include "commands/writeback.h"

#include "commands/saveastarget.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/openarchive.h"

#include <QDir>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

enum class Way { TryAgain, SaveElsewhere, SetAside, ReplaceNewerZip };

// Why the last write-back failed, in the user's words.
BoxText failureOf(const OpenArchive &archive)
{
    return archive.lastFailure() ? failureText(*archive.lastFailure()) : BoxText();
}

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

// The ways out of the last failed write-back, as the user sees them. Over a
// zip that changed since it was opened, trying again is no way out, and
// replacing it is one the user must choose by its name.
QList<Way> waysOutOf(const OpenArchive &archive)
{
    if (archive.zipChangedSinceOpened())
        return {Way::SaveElsewhere, Way::SetAside, Way::ReplaceNewerZip};
    return {Way::TryAgain, Way::SaveElsewhere, Way::SetAside};
}

QString textOf(Way way)
{
    switch (way) {
    case Way::TryAgain:
        return msg(MessageId::WayOutTryAgain);
    case Way::SaveElsewhere:
        return msg(MessageId::WayOutSaveElsewhere);
    case Way::SetAside:
        return msg(MessageId::WayOutSetAside);
    case Way::ReplaceNewerZip:
        return msg(MessageId::WayOutReplaceNewerZip);
    }
    return {};
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
    // A copy left by a crash holds the working folder: nothing may replace it.
    if (archive.isHoldingLeftover()) {
        showSetAsideFailed(ctx, archive.folders().archive);
        return false;
    }
    if (!archive.isChanged() || archive.writeBack(ctx.interaction))
        return true;
    return takeWayOut(ctx) != WayOut::Cancelled;
}

WayOut takeWayOut(CommandContext &ctx)
{
    OpenArchive &archive = ctx.archive;
    for (;;) {
        const QList<Way> ways = waysOutOf(archive);
        QStringList choices;
        for (const Way way : ways)
            choices << textOf(way);
        const QString advice = archive.zipChangedSinceOpened() ? msg(MessageId::ZipChangedWaysOut)
                                                               : msg(MessageId::WriteBackWaysOut);
        const int chosen =
            ctx.interaction.askChoice(failureOf(archive) + kCrLf + kCrLf + advice, choices);
        switch (chosen < 0 || chosen >= ways.size() ? Way(-1) : ways.at(chosen)) {
        case Way::TryAgain:
            if (archive.writeBack(ctx.interaction))
                return WayOut::WrittenBack;
            break;
        case Way::ReplaceNewerZip:
            if (archive.writeBack(ctx.interaction, OpenArchive::IfZipChanged::Replace))
                return WayOut::WrittenBack;
            break;
        case Way::SaveElsewhere:
            if (saveElsewhere(ctx)) {
                // The changes are safe in the new zip; the archive's own zip
                // stays as it was, and the working copy may go.
                archive.setChanged(false);
                return WayOut::SavedElsewhere;
            }
            break;
        case Way::SetAside: {
            const std::optional<QString> kept = archive.setAside();
            if (!kept) {
                // Still open with its changes: the ways out are offered again.
                showSetAsideFailed(ctx, archive.folders().archive);
                break;
            }
            ctx.interaction.showMessage(msg(MessageId::WriteBackFailedAtClose) + kCrLf +
                                        QDir::toNativeSeparators(*kept));
            return WayOut::SetAside;
        }
        default:
            return WayOut::Cancelled;
        }
    }
}

} // namespace Commands
