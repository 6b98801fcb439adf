#pragma once

#include "commands/userinteraction.h"

#include <QPointer>

class QWidget;
class TForm5;

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
    TForm5 *settingsDialog();

private:
    QWidget *m_owner;
    QPointer<TForm5> m_settings;
    int m_busyDepth = 0;
};
