#include "storage/trash.h"

#include <QFile>
#include <QFileInfo>

namespace Trash {

bool moveToTrash(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    return QFile::moveToTrash(path);
}

} // namespace Trash
