#include "commands/checkcommands.h"

#include "catalogue/session.h"
#include "check/zipfinder.h"
#include "commands/archivecommands.h"
#include "commands/navigationcommands.h"
#include "commands/openstate.h"
#include "commands/userinteraction.h"
#include "commands/writeback.h"
#include "lang/messages.h"
#include "storage/listfile.h"
#include "storage/pagesearch.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr int kMostChoices = 5;

QString sectionAndArchive(const CheckProblem &problem)
{
    return problem.section + u'\\' + problem.archive;
}

// The catalogue node of a problem's archive: the one with its zip and names,
// else the first with its zip (renamed since the check); -1 when none is left.
int nodeOf(const CatalogueModel &catalogue, const CheckProblem &problem)
{
    int found = -1;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (catalogue.isSection(i) || catalogue.node(i).path != problem.zipPath)
            continue;
        if (catalogue.node(i).name == problem.archive &&
            catalogue.node(catalogue.sectionOf(i)).name == problem.section)
            return i;
        if (found < 0)
            found = i;
    }
    return found;
}

int nodeOrSay(CommandContext &ctx, const CheckProblem &problem)
{
    const int node = nodeOf(ctx.session.catalogue(), problem);
    if (node < 0)
        ctx.interaction.showMessage(msg(MessageId::CheckArchiveNotInCatalogue));
    return node;
}

// The open archive's changed pages go into its zip now; a failed write-back
// offers the ways out, as everywhere. True when the zip took them.
bool writeBackNow(CommandContext &ctx, const QString &zipPath)
{
    if (!Commands::writeBackOrWayOut(ctx))
        return false;
    return ctx.archive.isOpen() && !ctx.archive.isChanged() && ctx.archive.zipPath() == zipPath;
}

bool addPagesToList(CommandContext &ctx, const CheckProblem &problem)
{
    const int node = nodeOrSay(ctx, problem);
    if (node < 0 || !Commands::openArchiveAt(ctx, node) || !Commands::wholeCopyReady(ctx))
        return false;
    OpenArchive &archive = ctx.archive;
    QSet<QString> listed;
    for (const QString &file : archive.pages().fileNames())
        listed.insert(CollectionCheck::landing(file));
    // Titled as Add titles a page: its file name up to the extension.
    QStringList titles;
    QStringList files;
    PageSearch::listTopLevelPages(archive.workFolder(), titles, files);
    QList<std::pair<QString, QString>> unlisted;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (!listed.contains(files.at(i)))
            unlisted.append({files.at(i), titles.at(i)});
    }
    // Without a list file the write-back makes one, even of no pages.
    const bool listMissing = !QFileInfo(ListFile::path(archive.workFolder())).isFile();
    if (unlisted.isEmpty() && !listMissing) {
        ctx.interaction.showMessage(msg(MessageId::CheckNothingToFix));
        return true;
    }
    std::sort(unlisted.begin(), unlisted.end());
    for (const auto &[file, title] : std::as_const(unlisted))
        archive.pages().append(title, file);
    archive.setChanged(true);
    Commands::enterOpenState(ctx, ctx.session.openNode());
    return writeBackNow(ctx, problem.zipPath);
}

bool dropMissingPages(CommandContext &ctx, const CheckProblem &problem)
{
    const int node = nodeOrSay(ctx, problem);
    if (node < 0 || !Commands::openArchiveAt(ctx, node) || !Commands::wholeCopyReady(ctx))
        return false;
    OpenArchive &archive = ctx.archive;
    PageListModel &pages = archive.pages();
    QList<int> missing;
    QStringList named;
    for (int row = 0; row < pages.count(); ++row) {
        const QString file = pages.fileName(row);
        if (file.isEmpty() ||
            QFileInfo(archive.workFolder() + u'/' + CollectionCheck::landing(file)).isFile())
            continue;
        missing << row;
        named << pages.title(row) + QStringLiteral(" (") + file + u')';
    }
    if (missing.isEmpty()) {
        ctx.interaction.showMessage(msg(MessageId::CheckNothingToFix));
        return true;
    }
    if (!ctx.interaction.askYesNo(
            msg(MessageId::CheckDropQuestion).arg(sectionAndArchive(problem)) + kCrLf +
            named.join(kCrLf)))
        return false;
    // Only the entries go: there is no file to delete, and a companion
    // folder left behind stays where it is.
    for (auto row = missing.crbegin(); row != missing.crend(); ++row)
        pages.removeAt(*row);
    archive.setChanged(true);
    Commands::enterOpenState(ctx, ctx.session.openNode());
    return writeBackNow(ctx, problem.zipPath);
}

// The folder to start looking in: where the zip was, as far as it still is.
QString startFolder(const CommandContext &ctx, const QString &zipPath)
{
    QDir folder = QFileInfo(zipPath).absoluteDir();
    while (!folder.exists() && !folder.isRoot())
        folder.setPath(QFileInfo(folder.path()).absolutePath());
    return folder.exists() && !folder.isRoot() ? folder.path()
                                               : ctx.session.settings().defaultArchiveFolder;
}

// The candidate the user takes: the only best one after a question, or one
// of several equally good ones. Empty when none is taken.
QString chooseCandidate(CommandContext &ctx, const CheckProblem &problem,
                        const QList<ZipFinder::Candidate> &found)
{
    QStringList best;
    for (const ZipFinder::Candidate &candidate : found) {
        if (best.size() == kMostChoices || !ZipFinder::sameRank(candidate, found.first()))
            break;
        best << QDir::toNativeSeparators(candidate.path);
    }
    if (best.size() == 1) {
        const QString question =
            msg(MessageId::CheckUseFoundZip).arg(sectionAndArchive(problem)) + kCrLf + best.first();
        return ctx.interaction.askYesNo(question) ? found.first().path : QString();
    }
    const int chosen = ctx.interaction.askChoice(
        msg(MessageId::CheckChooseFoundZip).arg(sectionAndArchive(problem)), best);
    return chosen >= 0 && chosen < best.size() ? found.at(chosen).path : QString();
}

bool findZip(CommandContext &ctx, const CheckProblem &problem, const KnownZip &known)
{
    CatalogueModel &catalogue = ctx.session.catalogue();
    const int node = nodeOrSay(ctx, problem);
    if (node < 0)
        return false;
    if (node == ctx.session.openNode()) {
        ctx.interaction.showRefusal(msg(MessageId::CheckZipOfOpenArchive));
        return false;
    }
    if (QFileInfo(catalogue.node(node).path).isFile()) {
        ctx.interaction.showMessage(msg(MessageId::CheckNothingToFix));
        return true;
    }
    const QString folder = ctx.interaction.askFolder(msg(MessageId::CheckFindZipCaption),
                                                     startFolder(ctx, problem.zipPath));
    if (folder.isEmpty())
        return false;

    QStringList taken;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (i != node && !catalogue.isSection(i))
            taken << catalogue.node(i).path;
    }
    const QString fileName = QFileInfo(problem.zipPath).fileName();
    const QStringList skipped = ctx.archive.folders().protectedFolders();
    const QList<ZipFinder::Candidate> found =
        ctx.interaction.run(MessageId::CheckFindingZip, [&](WorkProgress &) {
            return ZipFinder::find(folder, fileName, known, taken, skipped);
        });
    if (found.isEmpty()) {
        ctx.interaction.showMessage(msg(MessageId::CheckZipNotFound) + kCrLf +
                                    QDir::toNativeSeparators(folder));
        return false;
    }
    const QString chosen = chooseCandidate(ctx, problem, found);
    if (chosen.isEmpty())
        return false;
    catalogue.setArchivePath(node, chosen);
    return true;
}

bool removeMissingArchive(CommandContext &ctx, const CheckProblem &problem)
{
    const int node = nodeOrSay(ctx, problem);
    if (node < 0)
        return false;
    if (QFileInfo(ctx.session.catalogue().node(node).path).isFile()) {
        // Back since the check (a drive mounted again): nothing to remove.
        ctx.interaction.showMessage(msg(MessageId::CheckNothingToFix));
        return true;
    }
    // As Archive > Delete Archive does it, with its question: the entry only.
    const int before = ctx.session.catalogue().nodeCount();
    ctx.session.selectNode(node);
    Commands::removeArchive(ctx);
    return ctx.session.catalogue().nodeCount() < before;
}

void openFolder(CommandContext &ctx, const CheckProblem &problem)
{
    if (!ctx.interaction.openWithDesktop(problem.folder))
        ctx.interaction.showMessage(msg(MessageId::CheckFolderNotOpened) + kCrLf +
                                    QDir::toNativeSeparators(problem.folder));
}

} // namespace

namespace Commands {

void checkAllArchives(CommandContext &ctx)
{
    ctx.session.requestCollectionCheck();
}

CheckInput collectionCheckInput(const CommandContext &ctx)
{
    CheckInput input;
    const CatalogueModel &catalogue = ctx.session.catalogue();
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (catalogue.isSection(i))
            continue;
        input.archives.append({catalogue.node(catalogue.sectionOf(i)).name, catalogue.node(i).name,
                               catalogue.node(i).path});
    }
    const WorkFolders &folders = ctx.archive.folders();
    input.dataFolder = folders.base();
    // No command runs while the check starts, so the second working folder
    // is not in use; the first is while an archive is open.
    if (!ctx.archive.isOpen())
        input.idleWorkFolders << folders.archive;
    input.idleWorkFolders << folders.moveTarget;
    return input;
}

bool applyCheckFix(CommandContext &ctx, const CheckProblem &problem, CheckFix fix,
                   const KnownZip &known)
{
    switch (fix) {
    case CheckFix::AddPagesToList:
        return addPagesToList(ctx, problem);
    case CheckFix::DropMissingPages:
        return dropMissingPages(ctx, problem);
    case CheckFix::FindZip:
        return findZip(ctx, problem, known);
    case CheckFix::RemoveArchive:
        return removeMissingArchive(ctx, problem);
    case CheckFix::OpenFolder:
        openFolder(ctx, problem);
        return false; // looking at it fixes nothing
    }
    return false;
}

void openCheckedArchive(CommandContext &ctx, const CheckProblem &problem)
{
    if (problem.isWorkingCopy()) {
        openFolder(ctx, problem);
        return;
    }
    const int node = nodeOrSay(ctx, problem);
    if (node < 0)
        return;
    ctx.session.selectNode(node);
    Commands::openArchiveAt(ctx, node);
}

void saveCheckReport(CommandContext &ctx, const QString &text)
{
    const QString path =
        ctx.interaction.askSaveFile(msg(MessageId::CheckReportFilter) + QStringLiteral(" (*.txt)"));
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) &&
        !ctx.interaction.askYesNo(msg(MessageId::SaveAsReplaceFile).arg(path)))
        return;
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        ctx.interaction.showError(msg(MessageId::CheckReportNotSaved) + kCrLf +
                                  QDir::toNativeSeparators(path));
}

} // namespace Commands
