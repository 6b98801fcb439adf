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

QString WorkFolders::beingRemoved() const
{
    return base() + QStringLiteral("/being-removed");
}

QStringList WorkFolders::protectedFolders() const
{
    QStringList list{archive, moveTarget, beingRemoved()};
    const QDir folder(base());
    const QStringList recovered = folder.entryList(
        {QStringLiteral("recovered-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : recovered)
        list << folder.filePath(name);
    return list;
}

WorkFolders WorkFolders::standard()
{
    return under(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

WorkFolders WorkFolders::under(const QString &base)
{
    WorkFolders folders;
    folders.archive = base + QStringLiteral("/TEMP_ARCH");
    folders.moveTarget = base + QStringLiteral("/TEMP_ARCH2");
    return folders;
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

QString moveToRecovered(const WorkFolders &folders, const QString &target)
{
    const QString base = folders.base();
    const QString to = target.isEmpty() || taken(target) ? freeRecoveredFolder(base) : target;
    const bool moved =
        QDir().mkpath(base) && (folders.renameFolder ? folders.renameFolder(folders.archive, to)
                                                     : QDir().rename(folders.archive, to));
    if (!moved)
        return folders.archive;
    // Its record goes with it, so that it still says which archive the copy
    // belongs to; the record left behind is the caller's to remove.
    const QString record = WorkRecord::pathFor(folders.archive);
    if (QFileInfo(record).isFile() && !QFileInfo(record).isSymLink())
        QFile::copy(record, WorkRecord::pathFor(to));
    return to;
}
