#include "app/toolkitlanguage.h"

#include "catalogue/session.h"

#include <QCoreApplication>
#include <QLibraryInfo>

ToolkitLanguage::ToolkitLanguage(QObject *parent) : QObject(parent) {}

ToolkitLanguage::~ToolkitLanguage()
{
    use(false);
}

void ToolkitLanguage::follow(Session &session)
{
    connect(&session, &Session::languageChanged, this,
            [this, &session] { use(session.settings().russianInterface); });
    use(session.settings().russianInterface);
}

bool ToolkitLanguage::use(bool russian)
{
    if (m_installed == russian)
        return true;
    if (!russian) {
        QCoreApplication::removeTranslator(&m_russian);
        m_installed = false;
        return true;
    }
    if (!m_loaded) {
        m_loaded = m_russian.load(QStringLiteral("qtbase_ru"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        if (!m_loaded)
            return false;
    }
    m_installed = QCoreApplication::installTranslator(&m_russian);
    return m_installed;
}
