#include "commands/attaching.h"

#include "catalogue/names.h"
#include "catalogue/session.h"
#include "commands/enternewarchive.h"
#include "commands/lifecycle.h"
#include "commands/openstate.h"
#include "commands/saveastarget.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"
#include "storage/trash.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

AttachDialogOwnTexts AttachDialogOwnTexts::inLanguage(bool russian)
{
    if (russian)
        return {QStringLiteral("Вы не выбрали ZIP-Файлы!")};
    return {QStringLiteral("You did not choose ZIP-files!")};
}

bool checkAttach(const AttachValues &values, const AttachDialogOwnTexts &texts, UserInteraction &ui)
{
    if (values.zipFiles.isEmpty()) {
        ui.showMessage(texts.noZipFiles);
        return false;
    }
    return true;
}

QString zipStem(const QString &fileName)
{
    if (fileName.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        return fileName.chopped(4);
    return fileName;
}

QString attachedArchiveName(const QString &fileName)
{
    QString name = zipStem(fileName);
    for (QChar &c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            c = u'_';
    }
    if (name.isEmpty())
        name = QStringLiteral("archive");
    if (Names::checkArchiveName(name).rule == Names::Rule::Reserved)
        name += u'_';
    return name;
}

namespace {

// A name not yet taken in section: name, name1, name2 … counting on from n.
QString uniqueName(const Session &session, int section, const QString &base, int &n)
{
    QString name = base;
    while (session.sectionHasArchive(name, section))
        name = base + QString::number(++n);
    return name;
}

// The folder zips are moved into: the default archive folder, or while none
// is set the folder the program was started from (an empty folder is the
// current one).
QString archiveFolderOf(const Session &session)
{
    const QString folder = session.settings().defaultArchiveFolder;
    return folder.isEmpty() ? session.programFolder() : folder;
}

// Whether zips can be moved into folder: it is there, and writable, and
// none of the program's working folders (a settings file edited by hand may
// name one), which would sweep them away.
bool canTakeZips(const QString &folder, const QStringList &protectedFolders)
{
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable() && info.isExecutable() &&
           PageSearch::protectedFolderOf(folder, protectedFolders).isEmpty();
}

// Where the zip will be: its own place, or a free name in the archive folder
// when it is to be moved there.
QString finalPath(const QString &source, const QString &archiveFolder, bool move, int &n)
{
    const QFileInfo info(source);
    if (!move || Commands::sameFile(info.absolutePath(), QDir::cleanPath(archiveFolder)))
        return source;
    const QString folder = QDir::cleanPath(archiveFolder) + u'/';
    const auto taken = [&folder](const QString &name) {
        const QFileInfo there(folder + name);
        return there.exists() || there.isSymLink();
    };
    QString name = info.fileName();
    while (taken(name))
        name = zipStem(info.fileName()) + QString::number(++n) + QStringLiteral(".zip");
    return folder + name;
}

bool usedByCatalogue(const Session &session, const QString &zip)
{
    const CatalogueModel &catalogue = session.catalogue();
    for (int node = 0; node < catalogue.nodeCount(); ++node) {
        if (!catalogue.isSection(node) && Commands::sameFile(catalogue.node(node).path, zip))
            return true;
    }
    return false;
}

// No archive is open after a zip that could not be attached; its working copy,
// which holds nothing new, goes.
void dropWorkingCopy(CommandContext &ctx)
{
    if (ctx.archive.isOpen() && !ctx.archive.close())
        showFailure(ctx.interaction, ctx.archive.lastFailure());
    Commands::leaveOpenState(ctx);
}

// Attaches the zip at source as the last archive of section, open; false
// when it could not be (the user was told why and no archive is open). With
// move, the zip goes into archiveFolder.
bool attachOne(CommandContext &ctx, int section, const QString &source, bool move,
               const QString &archiveFolder)
{
    Session &session = ctx.session;
    int n = 0;
    const QString name =
        uniqueName(session, section, attachedArchiveName(QFileInfo(source).fileName()), n);
    const QString target = finalPath(source, archiveFolder, move, n);

    const OpenArchive::OpenStatus opened = ctx.archive.open(source, ctx.interaction);
    if (opened == OpenArchive::OpenStatus::Refused)
        return false;
    if (opened == OpenArchive::OpenStatus::Failed) {
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        Commands::leaveOpenState(ctx);
        return false;
    }
    // Attached, the zip is written in the program's form at once: all of it.
    if (!Commands::wholeCopyReady(ctx))
        return false;
    if (opened == OpenArchive::OpenStatus::ListFileMissing) {
        // A zip from elsewhere: its pages are the page files at its top level.
        QStringList titles;
        QStringList fileNames;
        PageSearch::listTopLevelPages(ctx.archive.workFolder(), titles, fileNames);
        if (fileNames.isEmpty()) {
            dropWorkingCopy(ctx);
            ctx.interaction.showMessage(msg(MessageId::AttachFoundNoPages));
            return false;
        }
        ctx.archive.pages().reset(titles, fileNames);
    }

    // Writing the program's form keeps a list file it cannot read, renamed.
    const bool listUnreadable = ctx.archive.listFileUnreadable();
    const QStringList refusedLines = ctx.archive.refusedListFileNames();
    // The program's own form, at the zip's final place. Only a complete new
    // zip replaces a file; the original stays as it was when this fails.
    if (!ctx.archive.writeBackTo(target, ctx.interaction)) {
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        dropWorkingCopy(ctx);
        return false;
    }
    Commands::enterNewOpenArchive(ctx, section, name, target);
    Commands::tellListFileProblems(ctx, listUnreadable, refusedLines);
    // The entry is on disk before the original goes: killed in between, the
    // catalogue still leads to the archive.
    Commands::keepCatalogueSaved(ctx);

    // Moved: the original goes to the trash only now that its new copy is
    // complete and on disk, and only when no other archive of the catalogue
    // is kept in it.
    if (!Commands::sameFile(target, source) && QFileInfo::exists(source) &&
        !usedByCatalogue(session, source)) {
        if (!Trash::moveToTrash(source))
            ctx.interaction.showWarning(msg(MessageId::AttachOriginalNotTrashed) +
                                        QStringLiteral("\r\n") + QDir::toNativeSeparators(source));
    }
    return true;
}

} // namespace

namespace Commands {

void attachArchive(CommandContext &ctx)
{
    Session &session = ctx.session;
    const int selected = session.selectedNode();
    if (selected < 0) {
        ctx.interaction.showMessage(msg(MessageId::AttachNeedsSection));
        return;
    }
    const int section = session.catalogue().sectionOf(selected);

    AttachValues values;
    values.zipFiles = session.chosenZipFiles();
    const bool accepted = ctx.interaction.editAttach(values);
    // What was chosen is offered again next time, also after a cancel.
    session.setChosenZipFiles(values.zipFiles);
    if (!accepted || values.zipFiles.isEmpty())
        return;

    // A zip inside the program's own folders would be emptied away with them.
    const QStringList protectedFolders = ctx.archive.folders().protectedFolders();
    QStringList paths;
    QStringList refused;
    for (const QString &path : std::as_const(values.zipFiles)) {
        const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (PageSearch::protectedFolderOf(clean, protectedFolders).isEmpty())
            paths << clean;
        else
            refused << QDir::toNativeSeparators(clean);
    }
    if (!refused.isEmpty())
        ctx.interaction.showWarning(BoxText::listed(
            msg(MessageId::AddRefusedProgramFolder) + QStringLiteral("\r\n"), refused));
    if (paths.isEmpty())
        return;

    // The archive open now is written back (or the user takes a way out)
    // before anything else: when it cannot be, nothing is attached and the
    // choice stays in the dialog.
    if (!writeBackOrWayOut(ctx))
        return;
    if (!ctx.archive.close()) {
        showFailure(ctx.interaction, ctx.archive.lastFailure());
        return;
    }
    leaveOpenState(ctx);
    session.setChosenZipFiles({});

    // The box asks for a move: a folder that cannot take the zips is said
    // so, never passed over in silence.
    const QString archiveFolder = archiveFolderOf(session);
    bool move = values.moveToArchiveFolder;
    if (move && !canTakeZips(archiveFolder, protectedFolders)) {
        move = false;
        const bool anyElsewhere = std::any_of(paths.cbegin(), paths.cend(), [&](const QString &p) {
            return !Commands::sameFile(QFileInfo(p).absolutePath(), QDir::cleanPath(archiveFolder));
        });
        if (anyElsewhere)
            ctx.interaction.showWarning(msg(MessageId::AttachZipsNotCarried) +
                                        QStringLiteral("\r\n") +
                                        QDir::toNativeSeparators(archiveFolder));
    }
    for (const QString &path : std::as_const(paths))
        attachOne(ctx, section, path, move, archiveFolder);
}

} // namespace Commands
