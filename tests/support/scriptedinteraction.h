#pragma once

#include "commands/userinteraction.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A scripted user: every call the code under test makes must match the next
// expected one (its kind and text), and gets the scripted answer. An
// unexpected call fails the running test; so does an expectation left unused
// when verify() runs (the destructor runs it too).
class ScriptedInteraction : public UserInteraction {
public:
    enum class Kind { Message, Error, Refusal, YesNo, Settings };

    ~ScriptedInteraction() override;

    // text: the exact text expected; leave empty to accept any text.
    ScriptedInteraction &expectMessage(const QString &text = {});
    ScriptedInteraction &expectError(const QString &text = {});
    ScriptedInteraction &expectRefusal(const QString &text = {});
    ScriptedInteraction &expectYesNo(const QString &text, bool answer);
    // The function gets the values the dialog was filled with, may change them
    // and returns whether the dialog is accepted.
    ScriptedInteraction &expectSettings(std::function<bool(SettingsDialogValues &)> answer);

    // Fails the running test if expectations are left; true when none are.
    bool verify();

    // Every call made so far, as "kind: text".
    const QStringList &log() const { return m_log; }
    int busyDepth() const { return m_busyDepth; }
    int busyCount() const { return m_busyCount; }

    void showMessage(const QString &text) override;
    void showError(const QString &text) override;
    void showRefusal(const QString &text) override;
    bool askYesNo(const QString &text) override;
    bool editSettings(SettingsDialogValues &values) override;
    void beginBusy() override;
    void endBusy() override;

private:
    struct Step {
        Kind kind;
        QString text;
        bool answer = false;
        std::function<bool(SettingsDialogValues &)> settings;
    };
    Step take(Kind kind, const QString &text);

    QList<Step> m_steps;
    QStringList m_log;
    int m_busyDepth = 0;
    int m_busyCount = 0;
    bool m_verified = false;
};
