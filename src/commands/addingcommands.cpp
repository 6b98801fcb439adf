#include "commands/addingcommands.h"

#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/archivebudget.h"
#include "storage/listfile.h"
#include "storage/pagecopy.h"
#include "storage/pagenames.h"
#include "storage/pagesearch.h"
#include "zip/entryname.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <optional>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool needsOpenArchive(CommandContext &ctx, MessageId refusal)
{
    if (ctx.archive.isOpen())
        return true;
    ctx.interaction.showRefusal(msg(refusal));
    return false;
}

// Files go to the open archive, whatever node is selected: when the selection
// shows another archive, the user is asked first. With nothing selected there
// is nothing to mistake, and the command goes on.
bool confirmOpenArchiveTarget(CommandContext &ctx, MessageId question)
{
    const Session &session = ctx.session;
    const int selected =
        session.catalogue().absoluteIndex(session.catalogueSelection().currentIndex());
    const int open = session.openNode();
    if (selected < 0 || open <= 0 || selected == open)
        return true;
    return ctx.interaction.askYesNo(msg(question));
}

QString protectedFolderRefusal(const QString &path)
{
    return failureText({StorageFailure::Kind::InProgramFolder, path}).text();
}

// The page count changed: the navigation follows, the shown page stays.
// Into an empty list of the open archive nothing is shown: the next page is
// then the first one, so that the buttons lead to every page that came in.
void pagesChanged(CommandContext &ctx, int countBefore)
{
    Session &session = ctx.session;
    const int count = ctx.archive.pages().count();
    if (countBefore == 0 && count > 0 && session.openNode() >= 0)
        session.setPagePosition(-1, -1);
    if (session.currentPage() < 0 && count > 0) {
        session.setNavigation({false, false, false, true, true});
        session.setPageControlsEnabled(true);
        return;
    }
    const NavigationButtons before = session.navigation();
    NavigationButtons buttons = navigationFor(ctx.archive.pages().count(), session.currentPage());
    buttons.returnPage = before.returnPage && buttons.returnPage;
    session.setNavigation(buttons);
    // Pages dropped into an archive whose last page was deleted can be reached again.
    if (ctx.archive.pages().count() > 0)
        session.setPageControlsEnabled(true);
}

// What the worker thread brought in; read once the work is done.
struct Intake {
    QList<std::pair<QString, QString>> pages; // title, file name
    QList<TakenFile> taken;
    QStringList takenFolders;
    // What the user is told, page by page: a page refused, or one that came
    // in under another name (a name a zip could not keep, and the name taken).
    struct Notice {
        std::optional<StorageFailure> refusal;
        QString original;
        QString name;
    };
    QList<Notice> notices;
    std::optional<StorageFailure> failure;
};

// Copies the pages at sources into the working folder work, as far as they go.
Intake copyPages(const QStringList &sources, const WorkFolders &folders, bool keepSources,
                 WorkProgress &progress)
{
    Intake intake;
    PageCopier copier(folders.archive);
    copier.setProtectedFolders(folders.protectedFolders());
    ArchiveBudget budget;
    budget.measure(folders.archive);
    copier.setBudget(&budget);
    progress.setTotal(int(sources.size()));
    for (const QString &source : sources) {
        const PageCopier::Result result = copier.copyPage(source);
        progress.advance();
        if (result == PageCopier::Result::Copied) {
            intake.pages.append({PageNames::baseName(copier.fileName()), copier.fileName()});
            if (!copier.unstorableName().isEmpty())
                intake.notices.append({std::nullopt, copier.unstorableName(), copier.fileName()});
            if (!keepSources) {
                intake.taken += copier.taken();
                intake.takenFolders += copier.takenFolders();
            }
        } else if (result == PageCopier::Result::Refused) {
            intake.notices.append({copier.failure(), {}, {}});
        } else if (result == PageCopier::Result::Failed) {
            intake.failure = copier.failure();
            break;
        }
    }
    return intake;
}

// Refused pages and names a zip could not keep, each an item of the box's list.
BoxText intakeNotices(const Intake &intake)
{
    QStringList notices;
    for (const Intake::Notice &notice : intake.notices) {
        notices << (notice.refusal ? failureText(*notice.refusal).text()
                                   : msg(MessageId::NameMadeStorable).arg(notice.original,
                                                                          notice.name));
    }
    return BoxText::listed({}, notices, {}, kCrLf + kCrLf);
}

bool takeIn(CommandContext &ctx, const std::function<QStringList()> &paths)
{
    const Intake intake = ctx.interaction.run(
        MessageId::ProgressAddingPages,
        [&paths, folders = ctx.archive.folders(),
         keepSources = !ctx.session.settings().deleteOriginals](WorkProgress &progress) {
            return copyPages(paths(), folders, keepSources, progress);
        });

    OpenArchive &archive = ctx.archive;
    const int countBefore = archive.pages().count();
    for (const auto &[title, fileName] : std::as_const(intake.pages))
        archive.pages().append(title, fileName);
    archive.deleteAfterWriteBack(intake.taken, intake.takenFolders);
    // Pages that came in are in the page list: they go into the zip, even
    // when a later one failed.
    if (!intake.pages.isEmpty() || !intake.failure)
        archive.setChanged(true);
    pagesChanged(ctx, countBefore);
    if (!intake.notices.isEmpty())
        ctx.interaction.showMessage(intakeNotices(intake));
    if (intake.failure) {
        ctx.interaction.showError(failureText(*intake.failure));
        return false;
    }
    return true;
}

QString pageFilesFilter()
{
    // The written dialog shows the Russian description in both languages.
    return Messages::russian(MessageId::PageFilesFilter) +
           QStringLiteral(" (*.htm *.html *.shtml *.dhtml *.phtml *.mht)");
}

bool taken(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + u'/' + name);
    return info.exists() || info.isSymLink();
}

// A file of a folder being added, and its name in the archive's folder.
struct IncomingFile {
    QFileInfo source;
    QString name;
};

// The files directly inside folder, as the file system lists them, each with
// the name it takes in the archive's folder targetName: its own, or, when a
// zip could not keep that, a free one it can (or none: left out). What the
// user is to be told of that goes to notices.
QList<IncomingFile> incomingFiles(const QString &folder, const QString &targetName,
                                  QStringList &notices)
{
    QList<IncomingFile> files;
    QFileInfoList unstorable;
    QSet<QString> used;
    const QString prefix = targetName + u'/';
    for (const QFileInfo &entry :
         QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted)) {
        if (!entry.isFile())
            continue;
        if (!EntryName::storingProblem(prefix + entry.fileName()).isEmpty()) {
            unstorable << entry;
            continue;
        }
        files.append({entry, entry.fileName()});
        used.insert(entry.fileName());
    }
    for (const QFileInfo &entry : std::as_const(unstorable)) {
        QString name = EntryName::storableName(entry.fileName(), prefix);
        if (name.isEmpty()) {
            notices << msg(MessageId::NameNotStorable) + kCrLf +
                           QDir::toNativeSeparators(entry.filePath());
            continue;
        }
        while (used.contains(name))
            name = PageNames::next(name);
        used.insert(name);
        files.append({entry, name});
        notices << msg(MessageId::NameMadeStorable).arg(entry.fileName(), name);
    }
    return files;
}

// Whether what comes in still fits the archive in work: count files of bytes
// in all, the largest at largestPath, with names of nameBytes. When not, the
// user is told why, naming the largest file or what was chosen.
bool fitsArchive(CommandContext &ctx, const QString &work, std::uint64_t count, std::uint64_t bytes,
                 std::uint64_t largest, std::uint64_t nameBytes, const QString &largestPath,
                 const QString &chosen)
{
    ArchiveBudget budget;
    budget.measure(work);
    const ArchiveBudget::Verdict verdict = budget.check(count, bytes, largest, nameBytes);
    if (verdict == ArchiveBudget::Verdict::Fits)
        return true;
    showFailure(ctx.interaction,
                ArchiveBudget::refusal(verdict, verdict == ArchiveBudget::Verdict::FileTooBig
                                                    ? largestPath
                                                    : chosen));
    return false;
}

// The name the chosen file takes in the working folder: its own, one a zip
// can keep (unstorable then says so), or a free one beside a folder or link
// of its name. None when it cannot come in or the user chose not to replace
// the file of its name (the user was told why).
std::optional<QString> nameForFile(CommandContext &ctx, const QString &source, bool &unstorable)
{
    const OpenArchive &archive = ctx.archive;
    const QString work = archive.workFolder();
    QString name = QFileInfo(source).fileName();
    // A name a zip could not keep as it is gets one it can: a name the user
    // did not choose replaces nothing.
    unstorable = !EntryName::storingProblem(name).isEmpty();
    if (unstorable) {
        name = EntryName::storableName(name);
        if (name.isEmpty()) {
            ctx.interaction.showMessage(msg(MessageId::NameNotStorable) + kCrLf +
                                        QDir::toNativeSeparators(source));
            return std::nullopt;
        }
    } else if (archive.pages().fileNames().contains(name) ||
               name == QLatin1String(ListFile::FileName)) {
        // A page's file and the list file belong to the page list: a plain
        // file never replaces them.
        ctx.interaction.showRefusal(msg(MessageId::AddFileIsPage).arg(name));
        return std::nullopt;
    }
    const QFileInfo existing(work + u'/' + name);
    if (!unstorable && existing.isFile() && !existing.isSymLink()) {
        if (!ctx.interaction.askYesNo(msg(MessageId::ConfirmReplaceFile).arg(name)))
            return std::nullopt;
    } else {
        // A folder or a link of that name stays; the file takes a free name.
        while (taken(work, name) || archive.pages().fileNames().contains(name))
            name = PageNames::next(name);
    }
    return name;
}

// The name the chosen folder takes in the working folder: one a zip can
// keep, never one already there (Travel_1, Travel_2, ...: nothing is merged).
// None when no name a zip can keep can be had (the user was told).
std::optional<QString> nameForFolder(CommandContext &ctx, const QString &folder,
                                     QStringList &notices)
{
    const QString name = QFileInfo(folder).fileName();
    const QString storedName =
        EntryName::storingProblem(name).isEmpty() ? name : EntryName::storableName(name);
    if (storedName.isEmpty()) {
        ctx.interaction.showMessage(msg(MessageId::NameNotStorable) + kCrLf +
                                    QDir::toNativeSeparators(folder));
        return std::nullopt;
    }
    QString targetName = storedName;
    for (int n = 1; taken(ctx.archive.workFolder(), targetName); ++n)
        targetName = storedName + u'_' + QString::number(n);
    if (storedName != name)
        notices << msg(MessageId::NameMadeStorable).arg(name, targetName);
    return targetName;
}

// Whether the files of a folder coming in as targetName still fit the archive.
bool folderFitsArchive(CommandContext &ctx, const QString &folder, const QString &targetName,
                       const QList<IncomingFile> &files)
{
    std::uint64_t bytes = 0;
    std::uint64_t largest = 0;
    std::uint64_t nameBytes = 0;
    QString largestPath;
    for (const IncomingFile &file : files) {
        const auto size = std::uint64_t(file.source.size());
        bytes += size;
        nameBytes += std::uint64_t((targetName + u'/' + file.name).toUtf8().size());
        if (size >= largest) {
            largest = size;
            largestPath = file.source.filePath();
        }
    }
    return fitsArchive(ctx, ctx.archive.workFolder(), std::uint64_t(files.size()), bytes, largest,
                       nameBytes, largestPath, folder);
}

} // namespace

namespace Commands {

bool takeInPages(CommandContext &ctx, const QStringList &paths)
{
    return takeIn(ctx, [paths] { return paths; });
}

void addPages(CommandContext &ctx)
{
    if (!needsOpenArchive(ctx, MessageId::AddPagesNeedsArchive))
        return;
    const QStringList files = ctx.interaction.askOpenFiles(QString(), pageFilesFilter(), true);
    if (files.isEmpty())
        return;
    takeInPages(ctx, files);
}

void searchFolder(CommandContext &ctx)
{
    if (!needsOpenArchive(ctx, MessageId::AddFilesNeedsArchive))
        return;
    const QString folder = ctx.interaction.askFolder(QString(), QString());
    if (folder.isEmpty())
        return;
    const QStringList protectedFolders = ctx.archive.folders().protectedFolders();
    if (!PageSearch::protectedFolderOf(folder, protectedFolders).isEmpty()) {
        ctx.interaction.showRefusal(protectedFolderRefusal(folder));
        return;
    }
    // The search runs with the copying, off the window's thread.
    takeIn(ctx, [folder, protectedFolders] {
        QStringList found;
        PageSearch::findPages(QDir::cleanPath(folder), true, protectedFolders, found);
        return found;
    });
}

void addFile(CommandContext &ctx)
{
    if (!needsOpenArchive(ctx, MessageId::AddFilesNeedsArchive) ||
        !confirmOpenArchiveTarget(ctx, MessageId::FilesGoToOpenArchive))
        return;
    const QStringList chosen = ctx.interaction.askOpenFiles(
        QString(), msg(MessageId::AllFilesFilter) + QStringLiteral(" (*)"), false);
    if (chosen.isEmpty())
        return;
    const QString source = chosen.first();
    const QFileInfo info(source);
    if (!info.isFile())
        return;
    if (!PageSearch::protectedFolderOf(source, ctx.archive.folders().protectedFolders())
             .isEmpty()) {
        ctx.interaction.showRefusal(protectedFolderRefusal(source));
        return;
    }
    bool unstorable = false;
    const std::optional<QString> named = nameForFile(ctx, source, unstorable);
    if (!named)
        return;
    const QString &name = *named;
    const QString work = ctx.archive.workFolder();
    const auto size = std::uint64_t(info.size());
    if (!fitsArchive(ctx, work, 1, size, size, std::uint64_t(name.toUtf8().size()), source,
                     source))
        return;
    if (!QDir().mkpath(work)) {
        showFailure(ctx.interaction, StorageFailure{StorageFailure::Kind::NotCreated, work});
        return;
    }
    const QString copy = work + u'/' + name;
    const auto hash = PageCopier::copyFile(source, copy);
    if (!hash) {
        showFailure(ctx.interaction, hash.failure());
        return;
    }
    const TakenFile file{source, copy, *hash, *hash};
    if (ctx.session.settings().deleteOriginals)
        ctx.archive.deleteAfterWriteBack({file}, {});
    ctx.archive.setChanged(true);
    if (unstorable)
        ctx.interaction.showMessage(msg(MessageId::NameMadeStorable).arg(info.fileName(), name));
}

void addFolder(CommandContext &ctx)
{
    if (!needsOpenArchive(ctx, MessageId::AddFolderNeedsArchive) ||
        !confirmOpenArchiveTarget(ctx, MessageId::FolderGoesToOpenArchive))
        return;
    OpenArchive &archive = ctx.archive;
    const QString chosen =
        ctx.interaction.askFolder(QString(), QFileInfo(archive.zipPath()).absolutePath());
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::cleanPath(chosen);
    const QString name = QFileInfo(folder).fileName();
    if (name.isEmpty()) {
        ctx.interaction.showRefusal(msg(MessageId::AddFolderWithoutName));
        return;
    }
    if (!PageSearch::protectedFolderOf(folder, archive.folders().protectedFolders())
             .isEmpty()) {
        ctx.interaction.showRefusal(protectedFolderRefusal(folder));
        return;
    }
    QStringList notices;
    const std::optional<QString> targetName = nameForFolder(ctx, folder, notices);
    if (!targetName)
        return;
    // The originals stay.
    const QList<IncomingFile> files = incomingFiles(folder, *targetName, notices);
    if (!folderFitsArchive(ctx, folder, *targetName, files))
        return;

    const QString target = archive.workFolder() + u'/' + *targetName;
    if (!QDir().mkpath(target)) {
        showFailure(ctx.interaction, StorageFailure{StorageFailure::Kind::NotCreated, target});
        return;
    }
    archive.setChanged(true);
    for (const IncomingFile &file : files) {
        if (auto copied = PageCopier::copyFile(file.source.filePath(), target + u'/' + file.name);
            !copied) {
            showFailure(ctx.interaction, copied.failure());
            return;
        }
    }
    if (!notices.isEmpty())
        ctx.interaction.showMessage(notices.join(kCrLf + kCrLf));
}

void addDroppedFiles(CommandContext &ctx, const QStringList &paths)
{
    if (!needsOpenArchive(ctx, MessageId::AddPagesNeedsArchive))
        return;
    if (!paths.isEmpty())
        takeInPages(ctx, paths);
}

} // namespace Commands
