#pragma once

#include <QString>

namespace Trash {

// Sends the file to the desktop's trash; false when it is missing or that failed.
bool moveToTrash(const QString &path);

} // namespace Trash
