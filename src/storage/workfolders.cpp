#include "storage/workfolders.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString WorkFolders::base() const
{
    return QFileInfo(archive).absolutePath();
}

WorkFolders WorkFolders::standard()
{
    return under(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

WorkFolders WorkFolders::under(const QString &base)
{
    return {base + QStringLiteral("/TEMP_ARCH"), base + QStringLiteral("/TEMP_ARCH2")};
}

QString moveToRecovered(const QString &folder, const QString &base)
{
    const QString stem = base + QStringLiteral("/recovered-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = stem + u'-' + QString::number(n);
    if (!QDir().mkpath(base) || !QDir().rename(folder, target))
        return folder;
    return target;
}
