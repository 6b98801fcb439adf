#include "commands/commandtable.h"

#include "commands/addingcommands.h"
#include "commands/appcommands.h"
#include "commands/archivecommands.h"
#include "commands/attaching.h"
#include "commands/browsercommands.h"
#include "commands/checkcommands.h"
#include "commands/dropcommands.h"
#include "commands/maintenancecommands.h"
#include "commands/navigationcommands.h"
#include "commands/pagecommands.h"
#include "commands/searchcommands.h"
#include "commands/sectioncommands.h"

namespace {

// A command that takes no argument.
template <void (*Function)(CommandContext &)>
void plain(CommandContext &ctx, const CommandArgument &)
{
    Function(ctx);
}

// A command that runs only with its argument: an action alone gives it none.
template <typename Argument, void (*Function)(CommandContext &, const Argument &)>
void given(CommandContext &ctx, const CommandArgument &argument)
{
    if (const Argument *value = std::get_if<Argument>(&argument))
        Function(ctx, *value);
}

void dropFiles(CommandContext &ctx, const FilesDropped &drop)
{
    Commands::addDroppedFiles(ctx, drop.paths);
}

void dropPages(CommandContext &ctx, const PagesDropped &drop)
{
    Commands::dropPagesOnNode(ctx, drop.target);
}

void dropNode(CommandContext &ctx, const NodeDropped &drop)
{
    Commands::dropNodeOnNode(ctx, drop.dragged, drop.target);
}

using namespace Commands;
using A = Availability;
using C = Command;
using M = MessageId;
constexpr auto None = std::nullopt;

// clang-format off
const CommandRow kRows[] = {
    // command, name, caption, fixed caption, hint, picture, shortcut, availability, function
    {C::CreateSection, "createSection", M::CreateSectionMenuItem, nullptr, M::CreateSectionPopup,
     "folder-new", nullptr, A::Always, plain<createSection>},
    {C::RenameNode, "renameNode", M::RenameNodeMenuItem, nullptr, M::RenameNodeHint,
     "insert-text", nullptr, A::Always, plain<renameNode>},
    {C::DeleteSection, "deleteSection", M::DeleteSectionMenuItem, nullptr, None,
     nullptr, nullptr, A::Always, plain<deleteSection>},
    {C::CreateArchive, "createArchive", M::CreateArchiveMenuItem, nullptr, M::CreateArchivePopup,
     "document-new", nullptr, A::Always, plain<createArchive>},
    {C::AttachArchive, "attachArchive", M::AttachArchiveMenuItem, nullptr, M::AttachArchivePopup,
     "mail-attachment", nullptr, A::Always, plain<attachArchive>},
    {C::MoveArchiveToSection, "moveArchiveToSection", M::MoveArchiveToSectionMenuItem, nullptr,
     M::MoveArchiveHint, "go-jump", nullptr, A::Always, plain<moveArchiveToSection>},
    {C::SaveArchiveAs, "saveArchiveAs", M::SaveArchiveAsMenuItem, nullptr, None,
     nullptr, nullptr, A::Always, plain<saveArchiveAs>},
    {C::UpdateArchive, "updateArchive", M::UpdateArchiveMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<updateArchive>},
    {C::NewPageList, "newPageList", M::NewPageListMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<newPageList>},
    {C::RemoveArchive, "removeArchive", M::RemoveArchiveMenuItem, nullptr, M::RemoveArchiveMenuItem,
     "edit-delete", nullptr, A::Always, plain<removeArchive>},
    {C::ShowArchivePath, "showArchivePath", M::ArchivePathMenuItem, nullptr, None,
     nullptr, nullptr, A::Always, plain<showArchivePath>},
    {C::CheckAllArchives, "checkAllArchives", M::CheckAllArchivesMenuItem, nullptr, None, nullptr,
     nullptr, A::Always, plain<checkAllArchives>},
    {C::AddPages, "addPages", M::AddPagesMenuItem, nullptr, M::AddPagesPopup,
     "list-add", nullptr, A::WithPages, plain<addPages>},
    {C::SearchFolder, "searchFolder", M::SearchFolderMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<searchFolder>},
    {C::AddFile, "addFile", M::AddFileMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<addFile>},
    {C::AddFolder, "addFolder", M::AddFolderMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<addFolder>},
    {C::RenamePage, "renamePage", M::RenamePagePopup, nullptr, M::RenamePagePopup,
     "insert-text", nullptr, A::WithPages, plain<renamePage>},
    {C::MovePageToArchive, "movePageToArchive", M::MovePageMenuItem, nullptr, M::MovePagePopup,
     "go-jump", nullptr, A::WithPages, plain<movePageToArchive>},
    {C::SavePageToFolder, "savePageToFolder", M::SavePageMenuItem, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<savePageToFolder>},
    {C::DeletePage, "deletePage", M::DeletePagePopup, nullptr, M::DeletePagePopup,
     "edit-delete", nullptr, A::WithPages, plain<deletePage>},
    {C::MovePageUp, "movePageUp", None, nullptr, M::MovePageUpHint,
     "go-up", nullptr, A::WithPages, plain<movePageUp>},
    {C::MovePageDown, "movePageDown", None, nullptr, M::MovePageDownHint,
     "go-down", nullptr, A::WithPages, plain<movePageDown>},
    // Reached by a double-click on the tree and a click on the page list.
    {C::OpenSelectedArchive, "openSelectedArchive", None, nullptr, None,
     nullptr, nullptr, A::Always, plain<openSelectedArchive>},
    {C::ShowFocusedPage, "showFocusedPage", None, nullptr, None,
     nullptr, nullptr, A::WithPages, plain<showFocusedPage>},
    {C::FirstPage, "firstPage", None, nullptr, M::FirstPageHint,
     "go-first", nullptr, A::FirstPage, plain<showFirstPage>},
    {C::PreviousPage, "previousPage", None, nullptr, M::PreviousPageHint,
     "go-previous", nullptr, A::PreviousPage, plain<showPreviousPage>},
    {C::ReturnPage, "returnPage", None, nullptr, M::ReturnPageHint,
     "edit-undo", nullptr, A::ReturnPage, plain<returnToPage>},
    {C::NextPage, "nextPage", None, nullptr, M::NextPageHint,
     "go-next", nullptr, A::NextPage, plain<showNextPage>},
    {C::LastPage, "lastPage", None, nullptr, M::LastPageHint,
     "go-last", nullptr, A::LastPage, plain<showLastPage>},
    {C::ToggleLists, "toggleLists", None, nullptr, M::HideListsHint,
     "view-fullscreen", nullptr, A::Always, plain<toggleLists>},
    // The Print and Info menus keep these captions in both languages.
    {C::Print, "print", None, u"Печать", M::PrintMenu,
     "document-print", "Ctrl+P", A::WithPagesOnToolBar, plain<printPage>},
    {C::PrintPreview, "printPreview", None, u"Предварительный просмотр", M::PrintPreviewHint,
     "document-print-preview", nullptr, A::WithPagesOnToolBar, plain<previewPage>},
    {C::Find, "find", None, nullptr, M::FindOnPageHint,
     "edit-find", "Ctrl+F", A::WithPages, plain<findOnPage>},
    {C::Settings, "settings", M::SettingsMenu, nullptr, None,
     nullptr, nullptr, A::Always, plain<editSettings>},
    {C::English, "english", M::EnglishMenuItem, nullptr, None,
     nullptr, nullptr, A::Always, plain<switchToEnglish>},
    {C::Russian, "russian", M::RussianMenuItem, nullptr, None,
     nullptr, nullptr, A::Always, plain<switchToRussian>},
    {C::About, "about", None, u"О программе", None,
     nullptr, nullptr, A::Always, plain<showAbout>},
    {C::Help, "help", None, u"Помощь", None,
     nullptr, "F1", A::Always, plain<showHelp>},
    {C::SearchAllArchives, "searchAllArchives", None, nullptr, M::SearchFieldName,
     nullptr, "Ctrl+Shift+F", A::Always, plain<searchAllArchives>},
    // Reached by choosing a result of the search across all archives.
    {C::ShowFoundPage, "showFoundPage", None, nullptr, None,
     nullptr, nullptr, A::Always, given<FoundPage, showFoundPage>},
    // Reached by dropping on the window or the catalogue tree.
    {C::DropFiles, "dropFiles", None, nullptr, None,
     nullptr, nullptr, A::Always, given<FilesDropped, dropFiles>},
    {C::DropPages, "dropPages", None, nullptr, None,
     nullptr, nullptr, A::Always, given<PagesDropped, dropPages>},
    {C::DropNode, "dropNode", None, nullptr, None,
     nullptr, nullptr, A::Always, given<NodeDropped, dropNode>},
};
// clang-format on
static_assert(std::size(kRows) == CommandCount, "one row per command");

} // namespace

std::span<const CommandRow> commandRows()
{
    return kRows;
}

const CommandRow &commandRow(Command command)
{
    const CommandRow &row = kRows[static_cast<int>(command)];
    Q_ASSERT(row.command == command);
    return row;
}
