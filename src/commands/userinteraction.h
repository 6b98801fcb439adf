#pragma once

#include <QString>

struct SettingsDialogValues {
    QString folder;               // the folder field
    bool checkArchives = true;    // check archives at start-up
    bool rememberWindow = true;   // remember the window
    bool deleteOriginals = false; // delete originals
};

// Everything the commands ask of the user or tell the user goes through this
// interface: the widget layer implements it with message boxes and dialogs,
// tests with a scripted fake. Texts arrive already in the active language.
class UserInteraction {
public:
    virtual ~UserInteraction() = default;

    // A plain box with the program's title and OK.
    virtual void showMessage(const QString &text) = 0;
    // An error box with OK (copy failures, a folder that cannot be created).
    virtual void showError(const QString &text) = 0;
    // A warning with the single button Yes: a refused command.
    virtual void showRefusal(const QString &text) = 0;
    // A warning with Yes and No; true only when the user chose Yes.
    virtual bool askYesNo(const QString &text) = 0;
    // The settings dialog, filled from values; true when accepted, with values
    // changed to what the user left in it.
    virtual bool editSettings(SettingsDialogValues &values) = 0;

    // The busy mouse pointer; calls nest.
    virtual void beginBusy() = 0;
    virtual void endBusy() = 0;
};

// Shows the busy pointer for the lifetime of the guard.
class BusyGuard {
public:
    explicit BusyGuard(UserInteraction &ui) : m_ui(ui) { m_ui.beginBusy(); }
    ~BusyGuard() { m_ui.endBusy(); }
    BusyGuard(const BusyGuard &) = delete;
    BusyGuard &operator=(const BusyGuard &) = delete;

private:
    UserInteraction &m_ui;
};
