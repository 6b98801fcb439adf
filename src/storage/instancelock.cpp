#include "storage/instancelock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <cerrno>
#include <csignal>
#include <memory>

namespace {
std::unique_ptr<QLockFile> g_lock;

QString lockPath(const QString &lockDir)
{
    const QString dir = lockDir.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                            : lockDir;
    return dir + QStringLiteral("/tomekeeper.lock");
}
} // namespace

bool acquireInstanceLock(QString *holderInfo, const QString &lockDir)
{
    if (g_lock)
        return true;
    const QString path = lockPath(lockDir);
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto lock = std::make_unique<QLockFile>(path);
    // Never let a running copy's lock go stale by age: only a dead owner frees it.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (holderInfo) {
            qint64 pid = 0;
            QString host, app;
            if (lock->getLockInfo(&pid, &host, &app))
                *holderInfo = QStringLiteral("%1 (pid %2)").arg(app).arg(pid);
        }
        return false;
    }
    g_lock = std::move(lock);
    return true;
}

void releaseInstanceLock()
{
    g_lock.reset();
}

bool instanceLockHeld(const QString &lockDir)
{
    QLockFile lock(lockPath(lockDir));
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app) || pid <= 0)
        return false;
    // A lock of another machine (a shared home folder) counts as held.
    if (host != QSysInfo::machineHostName())
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}
