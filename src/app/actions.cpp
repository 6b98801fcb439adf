#include "app/actions.h"

#include "app/viewstyle.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/commandtable.h"
#include "lang/messages.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QWidget>

namespace {

using M = MessageId;
using C = Command;
constexpr auto None = std::nullopt;

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

const VariantEntry kVariants[] = {
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

} // namespace

Actions::Actions(QWidget *window) : QObject(window)
{
    for (const CommandRow &row : commandRows()) {
        auto *action = new QAction(window);
        action->setObjectName(QString::fromLatin1(row.name) + QStringLiteral("Action"));
        // The picture goes on the tool button only: an action with a picture
        // makes every menu holding it wider, even with the picture hidden.
        if (row.picture)
            m_icons[static_cast<int>(row.command)] =
                ViewStyle::commandPicture(row.picture, window->style());
        if (row.shortcut)
            action->setShortcut(
                QKeySequence::fromString(QString::fromLatin1(row.shortcut), QKeySequence::PortableText));
        const Command command = row.command;
        connect(action, &QAction::triggered, this, [this, command] { Q_EMIT triggered(command); });
        m_actions[static_cast<int>(command)] = action;
    }
    for (const VariantEntry &entry : kVariants) {
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
    m_listsHiddenIcon = ViewStyle::commandPicture("view-restore", window->style());
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
    for (const CommandRow &row : commandRows()) {
        const QString hint = row.hint ? msg(*row.hint) : QString();
        const QString text = row.caption        ? msg(*row.caption)
                             : row.fixedCaption ? QString::fromUtf16(row.fixedCaption)
                                                : hint;
        QAction *own = action(row.command);
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
