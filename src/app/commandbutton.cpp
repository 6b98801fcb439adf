#include "app/commandbutton.h"

#include <QAction>

CommandButton::CommandButton(QAction *action, const QIcon &icon, QWidget *parent)
    : QToolButton(parent), m_icon(icon)
{
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setDefaultAction(action);
    setIcon(m_icon);
}

void CommandButton::actionEvent(QActionEvent *event)
{
    QToolButton::actionEvent(event);
    setIcon(m_icon);
}

void CommandButton::setPicture(const QIcon &icon)
{
    m_icon = icon;
    setIcon(m_icon);
}
