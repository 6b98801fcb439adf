#include "commands/recovery.h"

#include "catalogue/session.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/folderremoval.h"
#include "storage/samefile.h"
#include "storage/workrecord.h"
#include "storage/zipstamp.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The catalogue node of the recorded archive: one with its zip, the one with
// the recorded names when there are several; -1 when the catalogue has none.
int recordedNode(const CatalogueModel &catalogue, const WorkRecord &record)
{
    int found = -1;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (catalogue.isSection(i) || !isSameFile(catalogue.node(i).path, record.zipPath))
            continue;
        const int section = catalogue.sectionOf(i);
        const QString sectionName = section >= 0 ? catalogue.node(section).name : QString();
        if (catalogue.node(i).name == record.archive && sectionName == record.section)
            return i;
        if (found < 0)
            found = i;
    }
    return found;
}

// Moves the working copy into a recovered folder (target, when the user was
// already told that one) and tells the user where it went unless they know.
// When it cannot be moved it stays with its record, to be offered again, and
// nothing may empty the working folder until then.
void keepAside(CommandContext &ctx, const QString &target = {})
{
    const WorkFolders &folders = ctx.archive.folders();
    const QString kept = moveToRecovered(folders, target);
    if (kept == folders.archive) {
        ctx.archive.holdLeftover();
        Commands::showSetAsideFailed(ctx, folders.archive);
        return;
    }
    if (!WorkRecord::remove(folders.archive))
        qWarning("the record of the working folder could not be removed");
    if (kept != target)
        ctx.interaction.showMessage(msg(MessageId::RecoveredAtStart) + kCrLf +
                                    QDir::toNativeSeparators(kept));
}

// A working copy that holds nothing its zip lacks: its record says it had no
// changes, and it was still being unpacked (a part of the zip, whatever the
// zip is now) or the zip is still the very one it was made from (gone or
// replaced, the copy may be all that is left of the archive).
bool holdsNothingNew(const std::optional<WorkRecord> &record)
{
    if (!record || record->holdsChanges)
        return false;
    return record->beingMade || (record->zipStamp && record->zipStamp->exists &&
                                 ZipStamp::of(record->zipPath) == *record->zipStamp);
}

void removeUnchangedCopy(OpenArchive &archive)
{
    // Moved aside and removed in the background, or where it is when it
    // cannot be moved. The record goes last: what a failed removal leaves is
    // removed at the next start.
    const WorkFolders &folders = archive.folders();
    const bool gone =
        archive.removal().moveAside(folders.archive) || FolderRemoval::remove(folders.archive);
    if (!gone || !WorkRecord::remove(folders.archive))
        qWarning("the working copy of an unchanged archive could not be removed");
}

} // namespace

namespace Commands {

void recoverLeftoverWork(CommandContext &ctx)
{
    const WorkFolders &folders = ctx.archive.folders();
    // Removals a killed program left are finished in the background; only
    // copies moved aside for removal are there, none that holds changes.
    ctx.archive.removal().start();
    const std::optional<WorkRecord> record = WorkRecord::read(folders.archive);
    QDir work(folders.archive);
    if (!work.exists()) {
        if (!WorkRecord::remove(folders.archive))
            qWarning("the record of the working folder could not be removed");
        return;
    }
    if (work.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (!WorkRecord::remove(folders.archive))
            qWarning("the record of the working folder could not be removed");
        work.removeRecursively();
        return;
    }
    if (holdsNothingNew(record)) {
        removeUnchangedCopy(ctx.archive);
        return;
    }
    const CatalogueModel &catalogue = ctx.session.catalogue();
    const int node = record ? recordedNode(catalogue, *record) : -1;
    // Without its archive there is nothing to write the changes into.
    if (node < 0 || !QFileInfo(record->zipPath).isFile()) {
        keepAside(ctx);
        return;
    }

    const int section = catalogue.sectionOf(node);
    const QString name = (section >= 0 ? catalogue.node(section).name : QString()) + u'\\' +
                         catalogue.node(node).name;
    const QString aside = freeRecoveredFolder(folders.base());
    const bool writeNow = ctx.interaction.askYesNo(
        msg(MessageId::RecoverLeftoverQuestion)
            .arg(name, QDir::toNativeSeparators(record->zipPath), QDir::toNativeSeparators(aside)));
    if (!writeNow) {
        keepAside(ctx, aside);
        return;
    }
    if (!ctx.archive.adoptLeftover(*record)) {
        keepAside(ctx);
        return;
    }
    if (!writeBackOrWayOut(ctx)) {
        // Nothing can stay open at start-up: cancelled, the copy is kept aside.
        const std::optional<QString> kept = ctx.archive.setAside();
        if (!kept) {
            // It stays open with its changes: any later opening asks again,
            // and so does the next start.
            Commands::showSetAsideFailed(ctx, ctx.archive.folders().archive);
            return;
        }
        ctx.interaction.showMessage(msg(MessageId::RecoveredAtStart) + kCrLf +
                                    QDir::toNativeSeparators(*kept));
        return;
    }
    // Written back (or saved elsewhere, or set aside): the copy is done with.
    if (ctx.archive.isOpen() && !ctx.archive.close())
        showFailure(ctx.interaction, ctx.archive.lastFailure());
}

} // namespace Commands
