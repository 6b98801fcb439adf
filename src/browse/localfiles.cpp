#include "browse/localfiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool present(const QFileInfo &info)
{
    return info.exists() || info.isSymLink();
}

// The entry of folder whose name equals name but for letter case; the first
// in name order when several do, so the same request always finds the same file.
QString nameWithoutCase(const QString &folder, const QString &name)
{
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &candidate : names) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return {};
}

} // namespace

namespace LocalFiles {

QString resolveWithoutCase(const QString &root, const QString &path)
{
    if (root.isEmpty() || path.isEmpty())
        return {};
    const QString base = QDir::cleanPath(QDir(root).absolutePath());
    QString asked = path;
    asked.replace(u'\\', u'/');
    if (!asked.startsWith(base + u'/'))
        return {};
    // ".." is judged on the path as asked, before anything could fold it away.
    QStringList parts = asked.mid(base.size() + 1).split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    if (parts.isEmpty() || parts.contains(QStringLiteral("..")))
        return {};
    if (present(QFileInfo(base + u'/' + parts.join(u'/'))))
        return {};

    QString current = base;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        QString next = current + u'/' + part;
        if (!present(QFileInfo(next))) {
            const QString found = nameWithoutCase(current, part);
            if (found.isEmpty())
                return {};
            next = current + u'/' + found;
        }
        const QFileInfo info(next);
        // A link could lead anywhere: it is never followed.
        if (info.isSymLink())
            return {};
        const bool last = i == parts.size() - 1;
        if (last ? !info.isFile() : !info.isDir())
            return {};
        current = next;
    }
    return current;
}

} // namespace LocalFiles
