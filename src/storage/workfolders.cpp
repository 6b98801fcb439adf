#include "storage/workfolders.h"

#include "storage/workrecord.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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

namespace {

bool taken(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

} // namespace

QString freeRecoveredFolder(const QString &base)
{
    const QString stem = base + QStringLiteral("/recovered-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = stem;
    for (int n = 2; taken(target); ++n)
        target = stem + u'-' + QString::number(n);
    return target;
}

QString moveToRecovered(const QString &folder, const QString &base, const QString &target)
{
    const QString to = target.isEmpty() || taken(target) ? freeRecoveredFolder(base) : target;
    if (!QDir().mkpath(base) || !QDir().rename(folder, to))
        return folder;
    // Its record goes with it, so that it still says which archive the copy
    // belongs to; a record left behind is the caller's to remove.
    const QString record = WorkRecord::pathFor(folder);
    if (QFileInfo(record).isFile() && !QFileInfo(record).isSymLink())
        QFile::copy(record, WorkRecord::pathFor(to));
    return to;
}
