#include "commands/browsercommands.h"

#include "browse/helpfiles.h"
#include "browse/pageview.h"
#include "catalogue/session.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"

namespace Commands {

// Print and preview stay in the Print menu while no page is shown; then they,
// like find, do nothing at all rather than print or search an empty view.

void printPage(CommandContext &ctx)
{
    if (ctx.view.hasPage())
        ctx.view.print();
}

void previewPage(CommandContext &ctx)
{
    if (ctx.view.hasPage())
        ctx.view.printPreview();
}

void findOnPage(CommandContext &ctx)
{
    if (ctx.view.hasPage())
        ctx.view.find();
}

void showHelp(CommandContext &ctx)
{
    const HelpChoice help = HelpFiles::locate(ctx.session.programFolder(), ctx.executableFolder);
    if (!help.found()) {
        ctx.interaction.showMessage(HelpFiles::missingMessage(help.missingName));
        return;
    }
    // The file is there; whether the desktop has a program for it is the
    // desktop's to tell, as it does for any file it cannot open. A desktop
    // that could not even be asked tells nothing: then the program says so.
    if (!ctx.interaction.openWithDesktop(help.path))
        ctx.interaction.showMessage(msg(MessageId::HelpNotOpened).arg(help.path));
}

void showAbout(CommandContext &ctx)
{
    ctx.interaction.showAbout();
}

} // namespace Commands
