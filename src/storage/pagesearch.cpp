#include "storage/pagesearch.h"

#include "storage/pagenames.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString resolved(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

} // namespace

namespace PageSearch {

bool isPageFile(const QString &fileName)
{
    static const QStringList extensions{QStringLiteral(".htm"),   QStringLiteral(".html"),
                                        QStringLiteral(".shtml"), QStringLiteral(".dhtml"),
                                        QStringLiteral(".phtml"), QStringLiteral(".mht")};
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot >= 0 && extensions.contains(fileName.mid(dot));
}

bool isInside(const QString &path, const QString &folder)
{
    if (path.isEmpty() || folder.isEmpty())
        return false;
    const QString p = resolved(path);
    const QString f = resolved(folder);
    return p == f || p.startsWith(f.endsWith(u'/') ? f : f + u'/');
}

QString protectedFolderOf(const QString &path, const QStringList &protectedFolders)
{
    for (const QString &folder : protectedFolders) {
        if (isInside(path, folder))
            return folder;
    }
    return {};
}

void findPages(const QString &folder, bool subfolders, const QStringList &protectedFolders,
               QStringList &found)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString path = folder + u'/' + entry.fileName();
        if (entry.isDir()) {
            if (subfolders && !entry.isSymLink() &&
                protectedFolderOf(path, protectedFolders).isEmpty())
                findPages(path, true, protectedFolders, found);
        } else if (entry.isFile() && isPageFile(entry.fileName())) {
            found << path;
        }
    }
}

void listTopLevelPages(const QString &folder, QStringList &titles, QStringList &fileNames)
{
    QStringList found;
    findPages(folder, false, {}, found);
    for (const QString &path : std::as_const(found)) {
        const QString name = QFileInfo(path).fileName();
        fileNames << name;
        titles << PageNames::storable(PageNames::baseName(name));
    }
}

} // namespace PageSearch
