#pragma once

#include <QString>

// One program per user owns the working folders. The first copy takes a lock
// file beside them and keeps it until it ends; a second copy gets false and
// must leave the folders alone. A lock left by a copy that crashed is taken over.
bool acquireInstanceLock(QString *holderInfo = nullptr, const QString &lockDir = {});
void releaseInstanceLock();

// Whether a running program holds the lock in lockDir (the data folder when
// empty), without taking it: the command line's check must not keep a
// program from starting, nor take its working folders for leftovers.
bool instanceLockHeld(const QString &lockDir = {});
