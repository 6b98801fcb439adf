#pragma once

#include <QTranslator>

class QLocale;

// The toolkit's own texts (the standard buttons of message boxes and dialog
// button boxes: OK, Cancel, Yes, No) in the desktop's language, as every other
// program of the desktop shows them. Switching the interface language leaves
// them as they are. Without the toolkit's translation for that language on
// this machine they stay English.
class ToolkitLanguage {
public:
    ToolkitLanguage() = default;
    ToolkitLanguage(const ToolkitLanguage &) = delete;
    ToolkitLanguage &operator=(const ToolkitLanguage &) = delete;
    ~ToolkitLanguage();

    // Installs the toolkit's translation for locale (the desktop's, once at
    // start-up); false when there is none for it on this machine.
    bool load(const QLocale &locale);

private:
    QTranslator m_translation;
    bool m_installed = false;
};
