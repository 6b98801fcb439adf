#include "commands/saveastarget.h"

#include "catalogue/session.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"
#include "storage/samefile.h"

#include <QDir>
#include <QFileInfo>

namespace Commands {

bool sameFile(const QString &a, const QString &b)
{
    return isSameFile(a, b);
}

QString askSaveAsTarget(CommandContext &ctx)
{
    const QString target =
        ctx.interaction.askSaveFile(msg(MessageId::ZipFilesFilter) + QStringLiteral(" (*.zip)"));
    if (target.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QFileInfo(target).absoluteFilePath());
    // Saved there, the zip would be swept away with the working copy, or
    // packed into the archive itself at its next write-back.
    if (!PageSearch::protectedFolderOf(path, ctx.archive.folders().protectedFolders())
             .isEmpty()) {
        ctx.interaction.showRefusal(msg(MessageId::SaveAsInProgramFolder));
        return {};
    }
    const QString own = ctx.archive.zipPath();
    if (sameFile(path, own))
        return path;
    // Another archive's zip would be replaced by this one's pages.
    const CatalogueModel &catalogue = ctx.session.catalogue();
    for (int node = 0; node < catalogue.nodeCount(); ++node) {
        if (catalogue.isSection(node) || !sameFile(path, catalogue.node(node).path))
            continue;
        const int section = catalogue.sectionOf(node);
        const QString entry = (section >= 0 ? catalogue.node(section).name : QString()) + u'\\' +
                              catalogue.node(node).name;
        ctx.interaction.showRefusal(msg(MessageId::SaveAsTargetIsArchive).arg(entry));
        return {};
    }
    const QFileInfo there(path);
    if ((there.exists() || there.isSymLink()) &&
        !ctx.interaction.askYesNo(
            msg(MessageId::SaveAsReplaceFile).arg(QDir::toNativeSeparators(path))))
        return {};
    return path;
}

} // namespace Commands
