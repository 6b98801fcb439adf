#pragma once

#include "commands/command.h"
#include "lang/messageid.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <array>
#include <optional>

class QAction;
class QActionGroup;
class QWidget;

// Where an action is shown. A command shows its own action everywhere, except
// where the catalogue gives that place a caption of its own (see actions.cpp).
enum class ActionPlace { Menu, PageMenu, Popup, ToolBar };

// One QAction per command, shared by the main menu, the tool bars and the
// pop-up menus: the action's text is the main menu's caption, its tool tip the
// tool button's hint. Texts come from the message catalogue, enabled states
// from the commands' availability; triggering any of them reports the command.
class Actions : public QObject {
    Q_OBJECT
public:
    // Icons are taken from the window's style.
    explicit Actions(QWidget *window);

    QAction *action(Command command) const { return m_actions[static_cast<int>(command)]; }
    QAction *at(Command command, ActionPlace place) const;
    // Every action, the place variants included.
    QList<QAction *> all() const;
    // The picture of the command's tool button.
    QIcon icon(Command command) const { return m_icons[static_cast<int>(command)]; }
    // The hide/reveal button's picture: one while the lists show, another
    // while they are hidden.
    QIcon listsPicture(bool hidden) const;

    // Puts the texts of the active language on every action.
    void retranslate();
    // Enabled and checked states from the session.
    void update(const Session &session);
    // The hide/reveal button's pressed look and hint follow the lists.
    void showListsHidden(bool hidden);

Q_SIGNALS:
    void triggered(Command command);

private:
    struct Variant {
        Command command;
        ActionPlace place;
        QAction *action;
        std::optional<MessageId> caption; // none: the command's own text
    };

    std::array<QAction *, CommandCount> m_actions{};
    std::array<QIcon, CommandCount> m_icons;
    QIcon m_listsHiddenIcon;
    QList<Variant> m_variants;
    QActionGroup *m_languages = nullptr;
};
