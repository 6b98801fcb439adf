#include "zip/unpackrecord.h"

#include <QDir>
#include <sys/stat.h>
#include <time.h>

namespace {

// Change times with a fraction of a second come from a file system that keeps
// them to the tick (a few milliseconds); without, it may keep whole seconds,
// or two of them.
constexpr std::int64_t kFineUnsureNs = 100'000'000;
constexpr std::int64_t kCoarseUnsureNs = 2'100'000'000;

} // namespace

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

void UnpackRecord::seal()
{
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    m_sealedNs = std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    bool fine = false;
    for (const RecordedEntry &entry : m_entries)
        fine = fine || entry.file.ctimeNs % 1000000000 != 0;
    m_unsureNs = fine ? kFineUnsureNs : kCoarseUnsureNs;
}

bool UnpackRecord::mayHaveChangedUnseen(const FileIdentity &file) const
{
    return m_sealedNs == 0 || file.ctimeNs >= m_sealedNs - m_unsureNs;
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
