#include "storage/pagenames.h"

#include <QFileInfo>
#include <algorithm>

namespace {

// The text from the last dot on, the dot included; empty without a dot.
QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

bool isUnstorableInList(QChar c)
{
    return c == u'=' || c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

} // namespace

namespace PageNames {

bool isTaken(const QString &folder, const QString &name)
{
    const QFileInfo info(folder + u'/' + name);
    return info.exists() || info.isSymLink();
}

QString storable(const QString &name)
{
    QString n = name;
    std::replace_if(n.begin(), n.end(), isUnstorableInList, u'-');
    return n;
}

QString next(const QString &name)
{
    QString n = name;
    const QString ext = extensionOf(n);
    if (!ext.isEmpty()) {
        const qsizetype at = n.indexOf(ext);
        if (at > 0)
            n.truncate(at);
    }
    const QChar last = n.isEmpty() ? QChar() : n.back();
    if (last >= u'0' && last <= u'9') {
        const int digit = last.unicode() - u'0';
        n.chop(1);
        return n + QString::number(digit + 1) + ext;
    }
    return n + QStringLiteral("_1") + ext;
}

QString firstFree(const QString &name, const std::function<bool(const QString &)> &taken)
{
    QString n = storable(name);
    // Taking a free name only: "-" may give the name of a page already there.
    if (n != name && !taken(n))
        return n;
    while (taken(n))
        n = next(n);
    return n;
}

QString baseName(const QString &fileName)
{
    const QString ext = extensionOf(fileName);
    if (ext.isEmpty())
        return fileName;
    return fileName.left(fileName.indexOf(ext));
}

} // namespace PageNames
