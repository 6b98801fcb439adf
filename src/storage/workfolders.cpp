#include "storage/workfolders.h"

#include <QStandardPaths>

WorkFolders WorkFolders::standard()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("C:/TEMP_ARCH"), QStringLiteral("C:/TEMP_ARCH2")};
#else
    return under(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
#endif
}

WorkFolders WorkFolders::under(const QString &base)
{
    return {base + QStringLiteral("/TEMP_ARCH"), base + QStringLiteral("/TEMP_ARCH2")};
}
