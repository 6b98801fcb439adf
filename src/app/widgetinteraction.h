#pragma once

#include "commands/userinteraction.h"

#include <QPointer>

class AttachDialog;
class NameInputDialog;
class CreateArchiveDialog;
class QWidget;
class SettingsDialog;

// The user's side of every question and message: message boxes, the dialogs
// and the progress of long work, shown over the main window.
class WidgetInteraction : public UserInteraction {
public:
    explicit WidgetInteraction(QWidget *owner);
    ~WidgetInteraction() override;

    void showMessage(const BoxText &text) override;
    void showError(const BoxText &text) override;
    void showWarning(const BoxText &text) override;
    void showRefusal(const BoxText &text) override;
    bool askYesNo(const BoxText &text) override;
    int askChoice(const BoxText &text, const QStringList &choices) override;
    QString askName(const QString &caption, const QString &prompt, const QString &initial) override;
    QStringList askOpenFiles(const QString &caption, const QString &filter, bool many) override;
    QString askSaveFile(const QString &filter) override;
    QString askFolder(const QString &caption, const QString &startFolder) override;
    bool editSettings(SettingsDialogValues &values) override;
    bool editCreateArchive(CreateArchiveValues &values) override;
    bool editAttach(AttachValues &values) override;
    bool openWithDesktop(const QString &fileOrAddress) override;
    void showAbout() override;

    // The session is ending (a termination signal): nothing is shown any
    // more, every question gets its cancel answer, and the texts go to the
    // log instead.
    void setUnattended(bool unattended) { m_unattended = unattended; }
    // Whether long work is running now.
    bool isWorking() const { return m_working > 0; }
    // Whether window is the progress of long work, which stays until the work is done.
    static bool isWorkProgress(const QWidget *window);

    // The settings and name input dialogs, each made the first time it is
    // needed and kept.
    SettingsDialog *settingsDialog();
    NameInputDialog *nameInputDialog();

protected:
    void waitForWork(QFuture<void> work, const QString &label) override;

private:
    bool unattended(const char *what, const QString &text) const;

    QWidget *m_owner;
    QPointer<SettingsDialog> m_settings;
    QPointer<NameInputDialog> m_nameInput;
    QPointer<CreateArchiveDialog> m_create;
    QPointer<AttachDialog> m_attach;
    bool m_unattended = false;
    int m_working = 0;
};
