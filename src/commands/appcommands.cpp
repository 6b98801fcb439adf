#include "commands/appcommands.h"

#include "catalogue/session.h"
#include "commands/createarchivecheck.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QDir>
#include <QFileInfo>

namespace Commands {

void switchToEnglish(CommandContext &ctx)
{
    ctx.session.setRussianInterface(false);
}

void switchToRussian(CommandContext &ctx)
{
    ctx.session.setRussianInterface(true);
}

void editSettings(CommandContext &ctx)
{
    Settings &settings = ctx.session.settings();
    SettingsDialogValues values;
    values.folder = settings.defaultArchiveFolder;
    values.checkArchives = settings.checkArchivesAtStart;
    values.rememberWindow = settings.rememberWindow;
    values.deleteOriginals = settings.deleteOriginals;
    if (!ctx.interaction.editSettings(values))
        return;

    settings.checkArchivesAtStart = values.checkArchives;
    settings.rememberWindow = values.rememberWindow;
    settings.deleteOriginals = values.deleteOriginals;
    const QString typed = typedFolder(values.folder);
    // Archives made or moved there would be swept away with the working
    // folders: the folder set before stays.
    if (!PageSearch::protectedFolderOf(typed, ctx.archive.folders().protectedFolders())
             .isEmpty()) {
        ctx.interaction.showRefusal(msg(MessageId::SaveOutIntoWorkFolder));
        return;
    }
    settings.defaultArchiveFolder = typed.endsWith(u'/') ? typed : typed + u'/';
    // One level only, as asked: a missing parent is the user's to fix. The
    // folder is kept all the same; the new value reaches the file at shut-down.
    const QString folder = settings.defaultArchiveFolder;
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
        ctx.interaction.showError(QStringLiteral("Невозможно создать папку!\r\nПроверьте "
                                                 "правильность заданного пути!"));
    }
}

} // namespace Commands
