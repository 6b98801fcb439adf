#include "storage/instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <memory>

namespace {
std::unique_ptr<QLockFile> g_lock;
}

bool acquireInstanceLock(QString *holderInfo, const QString &lockDir)
{
    if (g_lock)
        return true;
    const QString dir = lockDir.isEmpty()
                            ? QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                            : lockDir;
    QDir().mkpath(dir);
    auto lock = std::make_unique<QLockFile>(dir + QStringLiteral("/tomekeeper.lock"));
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
