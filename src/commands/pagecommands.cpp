#include "commands/pagecommands.h"

#include "browse/pageview.h"
#include "catalogue/names.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/openstate.h"
#include "commands/failuretext.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/folderremoval.h"
#include "storage/pagecopy.h"
#include "storage/pagesearch.h"
#include "storage/pagetransfer.h"
#include "storage/samefile.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <functional>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The focused page, or -1 when the list has none.
int focusedPage(CommandContext &ctx)
{
    const QModelIndex focused = ctx.session.pageSelection().currentIndex();
    if (!focused.isValid() || focused.row() >= ctx.archive.pages().count())
        return -1;
    return focused.row();
}

QString pagePath(const QString &folder, const QString &fileName)
{
    // Lists written on Windows may name a page in a folder with "\".
    return folder + u'/' + QString(fileName).replace(u'\\', u'/');
}

bool inside(const QString &folder, const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    return clean.startsWith(QDir::cleanPath(folder) + u'/');
}

// A page's file. A file whose own name holds "\" (taken in before such
// names were made storable) is found under that name, so that deleting its
// page removes what no write-back could store.
QString pageFilePath(const QString &folder, const QString &fileName)
{
    if (fileName.contains(u'\\') && !fileName.contains(u'/')) {
        const QFileInfo literal(folder + u'/' + fileName);
        if (literal.exists() || literal.isSymLink())
            return literal.filePath();
    }
    return pagePath(folder, fileName);
}

// Removes the files of a page that has left the page list: its companion
// folder, then its file. What the pages still listed use stays: their files
// and companion folders, and the folders that lead to them (two entries may
// name one file, a.htm and a.html share a_files, a page may lie in another
// page's folder). Nothing outside the working folder is ever touched.
void removePageFiles(CommandContext &ctx, const QString &fileName)
{
    const QString work = ctx.archive.workFolder();
    const QString file = QDir::cleanPath(pageFilePath(work, fileName));
    if (!inside(work, file))
        return;
    const QString companion =
        PageCopier::companionFolderOf(QFileInfo(file).absolutePath(), QFileInfo(file).fileName());
    QStringList used;
    for (const QString &other : ctx.archive.pages().fileNames()) {
        const QFileInfo otherFile(QDir::cleanPath(pageFilePath(work, other)));
        used << otherFile.filePath();
        const QString otherCompanion =
            PageCopier::companionFolderOf(otherFile.absolutePath(), otherFile.fileName());
        if (!otherCompanion.isEmpty())
            used << QDir::cleanPath(otherCompanion);
    }
    if (!companion.isEmpty() && inside(work, companion)) {
        if (auto removed = FolderRemoval::removeExcept(companion, used); !removed)
            showFailure(ctx.interaction, removed.failure());
    }
    const bool fileInUse = std::any_of(used.cbegin(), used.cend(), [&file](const QString &path) {
        return path == file || file.startsWith(path + u'/');
    });
    const QFileInfo info(file);
    if (!fileInUse && (info.isFile() || info.isSymLink()) && !QFile::remove(file))
        ctx.interaction.showError(msg(MessageId::CannotDeleteFile) +
                                  QDir::toNativeSeparators(file));
}

// The list is empty: the page controls stay off until an archive is opened
// again, and the view is blank.
void listEmptied(CommandContext &ctx)
{
    Session &session = ctx.session;
    session.setPagePosition(0, -1);
    session.setNavigation({});
    session.setPageControlsEnabled(false);
    ctx.view.navigate(QStringLiteral("about:blank"));
}

// Shows page row as the current one, with the focus on it.
void showAsCurrent(CommandContext &ctx, int row, int previous)
{
    Session &session = ctx.session;
    const int count = ctx.archive.pages().count();
    session.setPagePosition(row, previous);
    Commands::showPage(ctx, row);
    session.pageSelection().setCurrentIndex(ctx.archive.pages().index(row),
                                            QItemSelectionModel::Select);
    session.setNavigation(navigationFor(count, row));
}

// The pages at rows removed (highest first) have left the list: the two page
// indices keep naming the pages they named, and when the page shown was one
// that left, the page now at its place (or the new last one) is shown instead.
void pagesLeft(CommandContext &ctx, const QList<int> &removed)
{
    Session &session = ctx.session;
    const int count = ctx.archive.pages().count();
    if (count == 0) {
        listEmptied(ctx);
        return;
    }
    int current = session.currentPage();
    int previous = session.previousPage();
    bool shownLeft = false;
    // Highest first: each row still counts in the indices the rows above it left.
    for (const int row : removed) {
        if (current == row)
            shownLeft = true;
        else if (current > row)
            --current;
        if (previous == row)
            previous = -1;
        else if (previous > row)
            --previous;
    }
    current = qBound(0, current, count - 1);
    if (previous >= count)
        previous = -1;
    if (shownLeft) {
        showAsCurrent(ctx, current, previous);
        return;
    }
    session.setPagePosition(current, previous);
    NavigationButtons buttons = navigationFor(count, current);
    buttons.returnPage = buttons.returnPage && session.navigation().returnPage;
    session.setNavigation(buttons);
}

void movePage(CommandContext &ctx, int step)
{
    PageListModel &pages = ctx.archive.pages();
    const int from = focusedPage(ctx);
    const int to = from + step;
    if (from < 0 || to < 0 || to >= pages.count())
        return;
    pages.move(from, to);
    ctx.session.pageSelection().setCurrentIndex(pages.index(to), QItemSelectionModel::Select);
    // The view stays on its page; the indices follow that page, so that the
    // navigation goes on from the page the user sees.
    Session &session = ctx.session;
    auto follow = [from, to](int index) {
        if (index == from)
            return to;
        if (index == to)
            return from;
        return index;
    };
    const int current = follow(session.currentPage());
    session.setPagePosition(current, follow(session.previousPage()));
    NavigationButtons buttons = navigationFor(pages.count(), current);
    buttons.returnPage = buttons.returnPage && session.navigation().returnPage;
    session.setNavigation(buttons);
    ctx.archive.setChanged(true);
}

bool takenIn(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + u'/' + name);
    return info.exists() || info.isSymLink();
}

} // namespace

namespace Commands {

void renamePage(CommandContext &ctx)
{
    PageListModel &pages = ctx.archive.pages();
    const int row = focusedPage(ctx);
    if (row < 0)
        return;
    const QString title = ctx.interaction.askName(
        msg(MessageId::RenamePageTitle), msg(MessageId::RenamePagePrompt), pages.title(row));
    if (title.isEmpty())
        return;
    if (const Names::Problem problem = Names::checkPageTitle(title)) {
        ctx.interaction.showMessage(Names::message(problem));
        return;
    }
    // The page's own title counts: giving it the title it has is refused too.
    const QCollator collator = Names::nameCollator();
    for (int i = pages.count() - 1; i >= 0; --i) {
        if (collator.compare(pages.title(i), title) == 0) {
            ctx.interaction.showMessage(msg(MessageId::PageTitleTaken));
            return;
        }
    }
    pages.setTitle(row, title);
    ctx.archive.setChanged(true);
}

void movePageToArchive(CommandContext &ctx)
{
    Session &session = ctx.session;
    if (!session.pageSelection().hasSelection()) {
        ctx.interaction.showRefusal(msg(MessageId::MoveNoPagesSelected));
        return;
    }
    const int row = focusedPage(ctx);
    movePagesToNode(ctx, session.selectedNode(), row < 0 ? QList<int>{} : QList<int>{row});
}

void movePagesToNode(CommandContext &ctx, int target, QList<int> rows)
{
    Session &session = ctx.session;
    const CatalogueModel &catalogue = session.catalogue();
    if (target < 0 || target >= catalogue.nodeCount()) {
        ctx.interaction.showRefusal(msg(MessageId::MoveNoTarget));
        return;
    }
    if (catalogue.isSection(target)) {
        ctx.interaction.showRefusal(msg(MessageId::MoveTargetIsSection));
        return;
    }
    // Two entries of the catalogue may name one zip: the open archive's zip
    // is refused under any of them.
    const QString targetZip = catalogue.node(target).path;
    if (target == session.openNode() ||
        (ctx.archive.isOpen() && isSameFile(targetZip, ctx.archive.zipPath()))) {
        ctx.interaction.showRefusal(msg(MessageId::MoveTargetIsOpenArchive));
        return;
    }
    if (!Commands::zipIsThere(ctx, target))
        return;
    PageListModel &pages = ctx.archive.pages();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([&pages](int row) { return row < 0 || row >= pages.count(); });
    if (rows.isEmpty() || !ctx.archive.isOpen())
        return;

    // Highest first: the target lists them in that order.
    QList<PageTransfer::Page> moving;
    for (const int row : std::as_const(rows))
        moving.append({pages.title(row), pages.fileName(row)});
    const auto moved = ctx.interaction.run(
        MessageId::ProgressMovingPage,
        [folders = ctx.archive.folders(), moving, targetZip](WorkProgress &) {
            return PageTransfer::transfer(folders, moving, targetZip);
        });
    if (!moved) {
        showFailure(ctx.interaction, moved.failure());
        return;
    }
    // The target's zip holds the pages now: only then do they leave this archive.
    ctx.archive.reportZipWritten(targetZip);
    for (int i = 0; i < rows.size(); ++i) {
        pages.removeAt(rows[i]);
        removePageFiles(ctx, moving[i].fileName);
    }
    ctx.archive.setChanged(true);
    pagesLeft(ctx, rows);
}

void savePageToFolder(CommandContext &ctx)
{
    if (!ctx.archive.isOpen()) {
        ctx.interaction.showRefusal(msg(MessageId::AddPagesNeedsArchive));
        return;
    }
    const int row = focusedPage(ctx);
    if (row < 0)
        return;
    const QString chosen = ctx.interaction.askFolder(QString(), QString());
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    if (!PageSearch::protectedFolderOf(folder, ctx.archive.folders().protectedFolders())
             .isEmpty()) {
        ctx.interaction.showRefusal(msg(MessageId::SaveOutIntoWorkFolder));
        return;
    }
    const QString source = pagePath(ctx.archive.workFolder(), ctx.archive.pages().fileName(row));
    const QFileInfo page(source);
    if (!page.isFile()) {
        showFailure(ctx.interaction, StorageFailure{StorageFailure::Kind::NotRead, source});
        return;
    }
    // The user's files are never replaced: a page whose name or folder is
    // there already goes in under a free name, if the user agrees.
    const QString companion = PageCopier::companionFolderOf(page.absolutePath(), page.fileName());
    for (const QString &name : {page.fileName(), QFileInfo(companion).fileName()}) {
        if (!name.isEmpty() && takenIn(folder, name)) {
            if (!ctx.interaction.askYesNo(msg(MessageId::SaveOutNameTaken).arg(name)))
                return;
            break;
        }
    }
    if (!QDir().mkpath(folder)) {
        showFailure(ctx.interaction, StorageFailure{StorageFailure::Kind::NotCreated, folder});
        return;
    }
    const std::optional<StorageFailure> failed = ctx.interaction.run(
        MessageId::ProgressSavingPage,
        [folder, source](WorkProgress &) -> std::optional<StorageFailure> {
            PageCopier copier(folder);
            const PageCopier::Result result = copier.copyPage(source);
            if (result == PageCopier::Result::Refused || result == PageCopier::Result::Failed)
                return copier.failure();
            return std::nullopt;
        });
    // The page goes into a folder of the user's, not into the archive.
    if (failed && failed->kind == StorageFailure::Kind::NotRenamable)
        ctx.interaction.showMessage(msg(MessageId::SaveOutRefusedCannotRename) + kCrLf +
                                    QDir::toNativeSeparators(folder));
    else
        showFailure(ctx.interaction, failed);
}

void deletePage(CommandContext &ctx)
{
    PageListModel &pages = ctx.archive.pages();
    const int row = focusedPage(ctx);
    if (row < 0)
        return;
    const QString title = pages.title(row);
    const QString fileName = pages.fileName(row);
    if (!ctx.interaction.askYesNo(msg(MessageId::ConfirmDeletePage) + kCrLf + u'"' + title +
                                  QStringLiteral("\"?")))
        return;
    pages.removeAt(row);
    removePageFiles(ctx, fileName);
    ctx.archive.setChanged(true);
    if (pages.count() == 0) {
        listEmptied(ctx);
        return;
    }
    // The page before the deleted one (the first when it was the first).
    const int shown = row > 0 ? row - 1 : 0;
    showAsCurrent(ctx, shown, shown);
}

void movePageUp(CommandContext &ctx)
{
    movePage(ctx, -1);
}

void movePageDown(CommandContext &ctx)
{
    movePage(ctx, +1);
}

} // namespace Commands
