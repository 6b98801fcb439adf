#pragma once

#include "commands/userinteraction.h"

#include <QPointer>

class QWidget;
class SettingsDialog;

// The user's side of every question and message: message boxes and the
// dialogs, shown over the main window.
class WidgetInteraction : public UserInteraction {
public:
    explicit WidgetInteraction(QWidget *owner);
    ~WidgetInteraction() override;

    void showMessage(const QString &text) override;
    void showError(const QString &text) override;
    void showRefusal(const QString &text) override;
    bool askYesNo(const QString &text) override;
    bool editSettings(SettingsDialogValues &values) override;
    void beginBusy() override;
    void endBusy() override;

    // The settings dialog, made the first time it is needed and kept.
    SettingsDialog *settingsDialog();

private:
    QWidget *m_owner;
    QPointer<SettingsDialog> m_settings;
    int m_busyDepth = 0;
};
