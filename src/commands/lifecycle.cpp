#include "commands/lifecycle.h"

#include "browse/pageview.h"
#include "catalogue/programpaths.h"
#include "catalogue/session.h"
#include "catalogue/settingsfile.h"
#include "commands/recovery.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/folderremoval.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A name beside the settings file that nothing has yet: tomekeeper-1.ini, ...
QString freeNameBeside(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + u'/' + info.completeBaseName() + u'-';
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString free;
    for (int n = 1;; ++n) {
        free = stem + QString::number(n) + suffix;
        if (!QFileInfo::exists(free) && !QFileInfo(free).isSymLink())
            return free;
    }
}

// The settings file is there but cannot be read: it stays as it is, and what
// this session keeps goes into a new file beside it, which the user is told of.
void writeBesideUnreadable(CommandContext &ctx, const QString &why)
{
    Session &session = ctx.session;
    const QString unreadable = session.settingsFilePath();
    const QString instead = freeNameBeside(unreadable);
    session.setProgramFiles(session.programFolder(), instead);
    ctx.interaction.showError(
        msg(MessageId::SettingsUnreadable)
            .arg(QDir::toNativeSeparators(unreadable), why, QDir::toNativeSeparators(instead)));
}

void readSettingsFile(CommandContext &ctx)
{
    Session &session = ctx.session;
    const bool wasOffline = session.settings().offline;
    const SettingsFile::ReadResult read =
        SettingsFile::read(session.settingsFilePath(), session.programFolder(), session.settings(),
                           session.catalogue());
    if (!read.unreadable.isEmpty())
        writeBesideUnreadable(ctx, read.unreadable);
    if (!read.found)
        return;
    if (read.hasParameters) {
        // Read straight into the settings: tell the window what changed.
        const bool offline = session.settings().offline;
        session.settings().offline = wasOffline;
        session.setOffline(offline);
        session.setRussianInterface(session.settings().russianInterface);
        if (read.geometry)
            session.requestWindowGeometry(*read.geometry);
    }
    if (!read.missingArchives.isEmpty()) {
        // Either answer goes on. The archives stay in the catalogue, marked,
        // and open once their zips are back: a drive not mounted for one
        // start must not cost the catalogue its entries.
        [[maybe_unused]] const bool answered = ctx.interaction.askYesNo(BoxText::listed(
            msg(MessageId::MissingArchivesHead) + kCrLf + kCrLf, read.missingArchives,
            kCrLf + kCrLf + msg(MessageId::MissingArchivesReason) + kCrLf +
                msg(MessageId::MissingArchivesAdvice)));
    }
}

void writeBackAtClose(CommandContext &ctx)
{
    OpenArchive &archive = ctx.archive;
    if (!archive.isChanged() || archive.writeBack(ctx.interaction))
        return;
    showFailure(ctx.interaction, archive.lastFailure());
    // The working copy is the only copy of the changes: it goes where the next
    // start-up will not empty it, and the user learns where.
    const std::optional<QString> kept = archive.setAside();
    if (!kept) {
        // It stays in the working folder with its record: the next start
        // finds it and offers to write it back.
        Commands::showSetAsideFailed(ctx, archive.folders().archive);
        return;
    }
    ctx.interaction.showMessage(msg(MessageId::WriteBackFailedAtClose) + kCrLf +
                                QDir::toNativeSeparators(*kept));
}

void removeWorkFolders(CommandContext &ctx)
{
    // Changes that could be neither written back nor set aside stay where
    // they are (the user was told where), and so does a copy left by a crash
    // that could not be set aside at start-up.
    if (!ctx.archive.isChanged() && !ctx.archive.isHoldingLeftover() && !ctx.archive.close())
        showFailure(ctx.interaction, ctx.archive.lastFailure());
    if (auto removed = FolderRemoval::remove(ctx.archive.folders().moveTarget); !removed)
        showFailure(ctx.interaction, removed.failure());
}

bool writeSettingsFile(CommandContext &ctx)
{
    Session &session = ctx.session;
    const QString path = session.settingsFilePath();
    // The configuration folder comes with the first settings file.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (!SettingsFile::write(path, session.settings(), session.windowGeometry(),
                             session.catalogue(), &error)) {
        ctx.interaction.showError(msg(MessageId::SettingsNotWritten) + kCrLf +
                                  QDir::toNativeSeparators(path) + kCrLf + error);
        return false;
    }
    session.setCatalogueSaved();
    return true;
}

} // namespace

namespace Commands {

void startUp(CommandContext &ctx, const ProgramPaths &paths)
{
    Session &session = ctx.session;
    Settings &settings = session.settings();
    settings.defaultArchiveFolder.clear();
    session.setProgramFiles(paths.programFolder, paths.settingsFile);

    session.setPageControlsEnabled(false);
    settings.rememberWindow = true;
    session.setNavigation({});
    session.setOpenNode(-1);

    ctx.view.navigate(QStringLiteral("about:blank"));

    session.setPagePosition(0, 0);
    ctx.archive.setChanged(false);
    settings.deleteOriginals = false;
    settings.checkArchivesAtStart = true;

    session.setSavedBrowserOffline(ctx.view.offline());
    session.setOffline(true);
    session.setRussianInterface(false);
    session.catalogue().clear();

    WindowGeometry start = session.windowGeometry();
    start.width = 732;
    start.height = 520;
    session.requestWindowGeometry(start);

    readSettingsFile(ctx);
    // The box takes effect at once, for the page on screen too.
    ctx.view.setOffline(settings.offline);

    session.setOpenNode(-1);
    // The file holds the catalogue as read (archives missing on disk and all).
    session.setCatalogueSaved();
    recoverLeftoverWork(ctx);
    session.setStatusText(msg(MessageId::StatusOpenArchive) + msg(MessageId::StatusNoArchive));
}

void keepCatalogueSaved(CommandContext &ctx)
{
    if (ctx.session.catalogueUnsaved() && !ctx.session.settingsFilePath().isEmpty())
        writeSettingsFile(ctx);
}

void shutDown(CommandContext &ctx)
{
    writeBackAtClose(ctx);
    removeWorkFolders(ctx);
    // Written whether or not the catalogue changed: the window and the settings may have.
    [[maybe_unused]] const bool written = writeSettingsFile(ctx);
    ctx.view.setOffline(ctx.session.savedBrowserOffline());
}

} // namespace Commands
