#include "app/toolkitlanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

ToolkitLanguage::~ToolkitLanguage()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translation);
}

bool ToolkitLanguage::load(const QLocale &locale)
{
    if (m_installed) {
        QCoreApplication::removeTranslator(&m_translation);
        m_installed = false;
    }
    if (!m_translation.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    m_installed = QCoreApplication::installTranslator(&m_translation);
    return m_installed;
}
