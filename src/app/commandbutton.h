#pragma once

#include <QIcon>
#include <QToolButton>

class QAction;

// A tool button for a command's action, with a picture of its own: the
// action has none (see Actions), and the button would take the action's
// empty one on every change of the action.
class CommandButton : public QToolButton {
    Q_OBJECT
public:
    CommandButton(QAction *action, const QIcon &icon, QWidget *parent);

    // Another picture for another state of the command (the lists hidden).
    void setPicture(const QIcon &icon);

protected:
    void actionEvent(QActionEvent *event) override;

private:
    QIcon m_icon;
};
