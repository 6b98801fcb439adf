#pragma once

#include "commands/userinteraction.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A scripted user: every call the code under test makes must match the next
// expected one (its kind and texts), and gets the scripted answer. An
// unexpected call fails the running test; so does an expectation left unused
// when verify() runs (the destructor runs it too). An empty expected text
// accepts any text. Long work is not scripted: it is waited for and logged.
class ScriptedInteraction : public UserInteraction {
public:
    enum class Kind {
        Message,
        Error,
        Warning,
        Refusal,
        YesNo,
        Choice,
        Name,
        OpenFiles,
        SaveFile,
        Folder,
        Settings,
        CreateArchive,
        Attach,
        OpenWithDesktop,
        About,
    };

    ~ScriptedInteraction() override;

    ScriptedInteraction &expectMessage(const QString &text = {});
    ScriptedInteraction &expectError(const QString &text = {});
    ScriptedInteraction &expectWarning(const QString &text = {});
    ScriptedInteraction &expectRefusal(const QString &text = {});
    ScriptedInteraction &expectYesNo(const QString &text, bool answer);
    // answer: the index of the choice made, -1 for Cancel.
    ScriptedInteraction &expectChoice(const QString &text, const QStringList &choices, int answer);
    // answer: the name typed, empty for cancel.
    ScriptedInteraction &expectName(const QString &caption, const QString &prompt,
                                    const QString &initial, const QString &answer);
    ScriptedInteraction &expectOpenFiles(const QString &caption, const QString &filter, bool many,
                                         const QStringList &answer);
    ScriptedInteraction &expectSaveFile(const QString &filter, const QString &answer);
    ScriptedInteraction &expectFolder(const QString &caption, const QString &startFolder,
                                      const QString &answer);
    ScriptedInteraction &expectOpenWithDesktop(const QString &target, bool answer = true);
    ScriptedInteraction &expectAbout();
    // The function gets the values the dialog was filled with, may change them
    // and returns whether the dialog is accepted.
    ScriptedInteraction &expectSettings(std::function<bool(SettingsDialogValues &)> answer);
    ScriptedInteraction &expectCreateArchive(std::function<bool(CreateArchiveValues &)> answer);
    ScriptedInteraction &expectAttach(std::function<bool(AttachValues &)> answer);

    // Fails the running test if expectations are left; true when none are.
    bool verify();

    // Every call made so far, as "kind: text", long work as "work: label".
    const QStringList &log() const { return m_log; }
    // The lists the boxes shown so far held apart from their text, in order
    // (their text above has them joined in); a box without one adds none.
    const QList<QStringList> &lists() const { return m_lists; }
    int workCount() const { return m_workCount; }

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

protected:
    void waitForWork(QFuture<void> work, const QString &label) override;

private:
    struct Step {
        Step(Kind k, const QStringList &t) : kind(k), texts(t) {}
        Kind kind;
        QStringList texts;
        bool yes = false;
        int choice = -1;
        QStringList answer;
        std::function<bool(SettingsDialogValues &)> settings;
        std::function<bool(CreateArchiveValues &)> createArchive;
        std::function<bool(AttachValues &)> attach;
    };
    ScriptedInteraction &expect(Step step);
    Step take(Kind kind, const QStringList &texts);
    // The box's whole text; its list, when it has one, is kept in m_lists.
    QString boxText(const BoxText &text);

    QList<Step> m_steps;
    QStringList m_log;
    QList<QStringList> m_lists;
    int m_workCount = 0;
    bool m_verified = false;
};
