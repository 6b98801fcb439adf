#pragma once

#include <QString>

// Whether two paths lead to one file or folder. Where both exist, by device
// and inode (links followed): one zip reached through a bind mount, two mounts
// of one share, a hard link or another letter case on a case-folding file
// system is still one zip. Where either does not exist yet, by their resolved
// paths.
bool isSameFile(const QString &a, const QString &b);
