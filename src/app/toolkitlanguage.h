#pragma once

#include <QObject>
#include <QTranslator>

class Session;

// The toolkit's own texts (the standard buttons of message boxes and dialog
// button boxes) in the interface's language. Without the toolkit's Russian
// translation on this machine they stay English, and nothing else changes.
class ToolkitLanguage : public QObject {
public:
    explicit ToolkitLanguage(QObject *parent = nullptr);
    ~ToolkitLanguage() override;

    // Takes the session's language now and on every switch from now on.
    void follow(Session &session);
    // Installs the Russian translation, or removes it for English. False
    // when Russian was asked for and its translation could not be loaded.
    bool use(bool russian);

private:
    QTranslator m_russian;
    bool m_loaded = false;
    bool m_installed = false;
};
