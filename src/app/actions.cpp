#include "app/actions.h"

#include "app/viewstyle.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "lang/messages.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QWidget>

namespace {

// A command's action: the main menu's caption (from the catalogue, or one the
// catalogue leaves alone in both languages), the tool button's hint, its
// picture and shortcut. Commands with no menu item take the hint as text.
struct ActionEntry {
    Command command;
    const char *objectName;
    std::optional<MessageId> text;
    const char16_t *fixedText;
    std::optional<MessageId> hint;
    const char *icon;
    QStyle::StandardPixmap fallbackIcon;
    QKeySequence::StandardKey shortcut;
};

constexpr auto None = std::nullopt;
constexpr auto NoIcon = QStyle::SP_CustomBase;
constexpr auto NoKey = QKeySequence::UnknownKey;

using M = MessageId;
using C = Command;
using S = QStyle;

const ActionEntry kActionTable[] = {
    {C::CreateSection, "createSectionAction", M::CreateSectionMenuItem, nullptr,
     M::CreateSectionPopup, "folder-new", S::SP_FileDialogNewFolder, NoKey},
    {C::RenameNode, "renameNodeAction", M::RenameNodeMenuItem, nullptr, M::RenameNodeHint,
     "insert-text", S::SP_FileDialogDetailedView, NoKey},
    {C::DeleteSection, "deleteSectionAction", M::DeleteSectionMenuItem, nullptr, None, nullptr,
     NoIcon, NoKey},
    {C::CreateArchive, "createArchiveAction", M::CreateArchiveMenuItem, nullptr,
     M::CreateArchivePopup, "document-new", S::SP_FileIcon, NoKey},
    {C::AttachArchive, "attachArchiveAction", M::AttachArchiveMenuItem, nullptr,
     M::AttachArchivePopup, "mail-attachment", S::SP_FileLinkIcon, NoKey},
    {C::MoveArchiveToSection, "moveArchiveToSectionAction", M::MoveArchiveToSectionMenuItem,
     nullptr, M::MoveArchiveHint, "go-jump", S::SP_ArrowRight, NoKey},
    {C::SaveArchiveAs, "saveArchiveAsAction", M::SaveArchiveAsMenuItem, nullptr, None, nullptr,
     NoIcon, NoKey},
    {C::UpdateArchive, "updateArchiveAction", M::UpdateArchiveMenuItem, nullptr, None, nullptr,
     NoIcon, NoKey},
    {C::NewPageList, "newPageListAction", M::NewPageListMenuItem, nullptr, None, nullptr, NoIcon,
     NoKey},
    {C::RemoveArchive, "removeArchiveAction", M::RemoveArchiveMenuItem, nullptr,
     M::RemoveArchiveMenuItem, "edit-delete", S::SP_TrashIcon, NoKey},
    {C::ShowArchivePath, "showArchivePathAction", M::ArchivePathMenuItem, nullptr, None, nullptr,
     NoIcon, NoKey},
    {C::CheckAllArchives, "checkAllArchivesAction", M::CheckAllArchivesMenuItem, nullptr, None,
     nullptr, NoIcon, NoKey},
    {C::AddPages, "addPagesAction", M::AddPagesMenuItem, nullptr, M::AddPagesPopup, "list-add",
     S::SP_FileDialogNewFolder, NoKey},
    {C::SearchFolder, "searchFolderAction", M::SearchFolderMenuItem, nullptr, None, nullptr, NoIcon,
     NoKey},
    {C::AddFile, "addFileAction", M::AddFileMenuItem, nullptr, None, nullptr, NoIcon, NoKey},
    {C::AddFolder, "addFolderAction", M::AddFolderMenuItem, nullptr, None, nullptr, NoIcon, NoKey},
    {C::RenamePage, "renamePageAction", M::RenamePagePopup, nullptr, M::RenamePagePopup,
     "insert-text", S::SP_FileDialogDetailedView, NoKey},
    {C::MovePageToArchive, "movePageToArchiveAction", M::MovePageMenuItem, nullptr,
     M::MovePagePopup, "go-jump", S::SP_ArrowRight, NoKey},
    {C::SavePageToFolder, "savePageToFolderAction", M::SavePageMenuItem, nullptr, None, nullptr,
     NoIcon, NoKey},
    {C::DeletePage, "deletePageAction", M::DeletePagePopup, nullptr, M::DeletePagePopup,
     "edit-delete", S::SP_TrashIcon, NoKey},
    {C::MovePageUp, "movePageUpAction", None, nullptr, M::MovePageUpHint, "go-up", S::SP_ArrowUp,
     NoKey},
    {C::MovePageDown, "movePageDownAction", None, nullptr, M::MovePageDownHint, "go-down",
     S::SP_ArrowDown, NoKey},
    // Reached by a double-click on the tree and a click on the page list.
    {C::OpenSelectedArchive, "openSelectedArchiveAction", None, nullptr, None, nullptr, NoIcon,
     NoKey},
    {C::ShowFocusedPage, "showFocusedPageAction", None, nullptr, None, nullptr, NoIcon, NoKey},
    {C::FirstPage, "firstPageAction", None, nullptr, M::FirstPageHint, "go-first",
     S::SP_MediaSkipBackward, NoKey},
    {C::PreviousPage, "previousPageAction", None, nullptr, M::PreviousPageHint, "go-previous",
     S::SP_ArrowBack, NoKey},
    {C::ReturnPage, "returnPageAction", None, nullptr, M::ReturnPageHint, "edit-undo",
     S::SP_BrowserReload, NoKey},
    {C::NextPage, "nextPageAction", None, nullptr, M::NextPageHint, "go-next", S::SP_ArrowForward,
     NoKey},
    {C::LastPage, "lastPageAction", None, nullptr, M::LastPageHint, "go-last",
     S::SP_MediaSkipForward, NoKey},
    {C::ToggleLists, "toggleListsAction", None, nullptr, M::HideListsHint, "view-fullscreen",
     S::SP_TitleBarMaxButton, NoKey},
    // The Print and Info menus keep these captions in both languages.
    {C::Print, "printAction", None, u"Печать", M::PrintMenu, "document-print",
     S::SP_DialogSaveButton, QKeySequence::Print},
    {C::PrintPreview, "printPreviewAction", None, u"Предварительный просмотр", M::PrintPreviewHint,
     "document-print-preview", S::SP_FileDialogContentsView, NoKey},
    {C::Find, "findAction", None, nullptr, M::FindOnPageHint, "edit-find",
     S::SP_FileDialogContentsView, QKeySequence::Find},
    {C::Settings, "settingsAction", M::SettingsMenu, nullptr, None, nullptr, NoIcon, NoKey},
    {C::English, "englishAction", M::EnglishMenuItem, nullptr, None, nullptr, NoIcon, NoKey},
    {C::Russian, "russianAction", M::RussianMenuItem, nullptr, None, nullptr, NoIcon, NoKey},
    {C::About, "aboutAction", None, u"О программе", None, nullptr, NoIcon, NoKey},
    {C::Help, "helpAction", None, u"Помощь", None, nullptr, NoIcon, QKeySequence::HelpContents},
    // Ctrl+Shift+F, set below: no standard key stands for it.
    {C::SearchAllArchives, "searchAllArchivesAction", None, nullptr, M::SearchFieldName, nullptr,
     NoIcon, NoKey},
    // Reached by activating a result of the search across all archives.
    {C::ShowFoundPage, "showFoundPageAction", None, nullptr, None, nullptr, NoIcon, NoKey},
};
static_assert(std::size(kActionTable) == CommandCount, "one action per command");

// Places where the catalogue gives the same command another caption: the
// pop-up menus' own wording, and the Page menu's "Add". Each is an action of
// its own that runs the same command and follows its availability. The print
// and preview tool buttons have the menu's caption, but follow the page
// controls while the Print menu's items are always enabled.
struct VariantEntry {
    Command command;
    ActionPlace place;
    const char *objectName;
    std::optional<MessageId> caption; // none: the command's own text
};

const VariantEntry kVariantEntrys[] = {
    {C::CreateSection, ActionPlace::Popup, "createSectionPopupAction", M::CreateSectionPopup},
    {C::CreateArchive, ActionPlace::Popup, "createArchivePopupAction", M::CreateArchivePopup},
    {C::AttachArchive, ActionPlace::Popup, "attachArchivePopupAction", M::AttachArchivePopup},
    {C::DeleteSection, ActionPlace::Popup, "deleteSectionPopupAction", M::DeleteSectionPopup},
    {C::AddPages, ActionPlace::PageMenu, "addPagesPageMenuAction", M::AddPagesPageMenuItem},
    {C::AddPages, ActionPlace::Popup, "addPagesPopupAction", M::AddPagesPopup},
    {C::AddFile, ActionPlace::Popup, "addFilePopupAction", M::AddFilePopup},
    {C::AddFolder, ActionPlace::Popup, "addFolderPopupAction", M::AddFolderPopup},
    {C::SavePageToFolder, ActionPlace::Popup, "savePageToFolderPopupAction", M::SavePagePopup},
    {C::MovePageToArchive, ActionPlace::Popup, "movePageToArchivePopupAction", M::MovePagePopup},
    {C::Print, ActionPlace::ToolBar, "printToolAction", None},
    {C::PrintPreview, ActionPlace::ToolBar, "printPreviewToolAction", None},
};

const ActionEntry &entryOf(Command command)
{
    return kActionTable[static_cast<int>(command)];
}

} // namespace

Actions::Actions(QWidget *window) : QObject(window)
{
    for (const ActionEntry &entry : kActionTable) {
        Q_ASSERT(&entry == &entryOf(entry.command));
        auto *action = new QAction(window);
        action->setObjectName(QString::fromLatin1(entry.objectName));
        // The picture goes on the tool button only: an action with a picture
        // makes every menu holding it wider, even with the picture hidden.
        if (entry.icon)
            m_icons[static_cast<int>(entry.command)] =
                ViewStyle::themeIcon(entry.icon, entry.fallbackIcon, window->style());
        if (entry.shortcut != NoKey)
            action->setShortcut(QKeySequence(entry.shortcut));
        const Command command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { Q_EMIT triggered(command); });
        m_actions[static_cast<int>(command)] = action;
    }
    for (const VariantEntry &entry : kVariantEntrys) {
        auto *variant = new QAction(window);
        variant->setObjectName(QString::fromLatin1(entry.objectName));
        const Command command = entry.command;
        connect(variant, &QAction::triggered, this, [this, command] { Q_EMIT triggered(command); });
        m_variants.append({command, entry.place, variant, entry.caption});
    }

    m_languages = new QActionGroup(this);
    m_languages->setExclusive(true);
    for (Command command : {Command::English, Command::Russian}) {
        action(command)->setCheckable(true);
        m_languages->addAction(action(command));
    }
    action(Command::ToggleLists)->setCheckable(true);
    action(Command::SearchAllArchives)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    m_listsHiddenIcon =
        ViewStyle::themeIcon("view-restore", QStyle::SP_TitleBarNormalButton, window->style());
    retranslate();
}

QIcon Actions::listsPicture(bool hidden) const
{
    return hidden ? m_listsHiddenIcon : icon(Command::ToggleLists);
}

QAction *Actions::at(Command command, ActionPlace place) const
{
    for (const Variant &variant : m_variants) {
        if (variant.command == command && variant.place == place)
            return variant.action;
    }
    return action(command);
}

QList<QAction *> Actions::all() const
{
    QList<QAction *> list(m_actions.begin(), m_actions.end());
    for (const Variant &variant : m_variants)
        list << variant.action;
    return list;
}

void Actions::retranslate()
{
    for (const ActionEntry &entry : kActionTable) {
        const QString hint = entry.hint ? msg(*entry.hint) : QString();
        const QString text = entry.text        ? msg(*entry.text)
                             : entry.fixedText ? QString::fromUtf16(entry.fixedText)
                                               : hint;
        QAction *own = action(entry.command);
        own->setText(text);
        own->setToolTip(hint.isEmpty() ? text : hint);
    }
    for (const Variant &variant : m_variants) {
        const QAction *own = action(variant.command);
        variant.action->setText(variant.caption ? msg(*variant.caption) : own->text());
        variant.action->setToolTip(own->toolTip());
    }
}

void Actions::update(const Session &session)
{
    for (int i = 0; i < CommandCount; ++i)
        m_actions[i]->setEnabled(isAvailable(Command(i), session));
    for (const Variant &variant : m_variants) {
        variant.action->setEnabled(variant.place == ActionPlace::ToolBar
                                       ? isAvailableOnToolBar(variant.command, session)
                                       : isAvailable(variant.command, session));
    }
    const bool russian = session.settings().russianInterface;
    action(Command::Russian)->setChecked(russian);
    action(Command::English)->setChecked(!russian);
    action(Command::ToggleLists)->setChecked(session.listsHidden());
}

void Actions::showListsHidden(bool hidden)
{
    QAction *toggle = action(Command::ToggleLists);
    toggle->setChecked(hidden);
    toggle->setToolTip(msg(hidden ? MessageId::RevealListsHint : MessageId::HideListsHint));
}
