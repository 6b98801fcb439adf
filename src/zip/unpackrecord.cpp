#include "zip/unpackrecord.h"

#include <QDir>
#include <sys/stat.h>

FileIdentity FileIdentity::of(const struct stat &st)
{
    FileIdentity id;
    id.device = std::uint64_t(st.st_dev);
    id.inode = std::uint64_t(st.st_ino);
    id.size = std::uint64_t(st.st_size);
    id.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

void UnpackRecord::clear()
{
    *this = UnpackRecord();
}

void UnpackRecord::setZip(const QString &path, const FileIdentity &identity)
{
    m_zipPath = path;
    m_zip = identity;
}

void UnpackRecord::setFolder(const QString &folder)
{
    m_folder = folderKey(folder);
}

void UnpackRecord::add(const RecordedEntry &entry)
{
    const auto it = m_byName.constFind(entry.name);
    if (it != m_byName.cend()) {
        m_entries[*it] = entry;
        return;
    }
    m_byName.insert(entry.name, m_entries.size());
    m_entries.push_back(entry);
}

const RecordedEntry *UnpackRecord::find(const QString &name) const
{
    const auto it = m_byName.constFind(name);
    return it == m_byName.cend() ? nullptr : &m_entries[*it];
}

QString UnpackRecord::folderKey(const QString &folder)
{
    return folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
}
