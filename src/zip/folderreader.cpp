#include "zip/folderreader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FolderReader::FolderReader(int root) : m_root(root) {}

FolderReader::~FolderReader()
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

int FolderReader::openFolder(const QByteArray &relative)
{
    if (relative.isEmpty())
        return m_root;
    if (m_folderFd >= 0 && relative == m_folder)
        return m_folderFd;
    if (m_folderFd >= 0) {
        ::close(m_folderFd);
        m_folderFd = -1;
        m_folder.clear();
    }
    int fd = m_root;
    qsizetype start = 0;
    while (start < relative.size()) {
        qsizetype end = relative.indexOf('/', start);
        if (end < 0)
            end = relative.size();
        const QByteArray part = relative.mid(start, end - start);
        const int next =
            ::openat(fd, part.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        if (fd != m_root)
            ::close(fd);
        if (next < 0) {
            // A link where a folder should be reads as "not a folder".
            errno = error == ENOTDIR ? ELOOP : error;
            return -1;
        }
        fd = next;
        start = end + 1;
    }
    m_folderFd = fd;
    m_folder = relative;
    return fd;
}

int FolderReader::open(const QByteArray &relative)
{
    const qsizetype slash = relative.lastIndexOf('/');
    const int folder = openFolder(slash < 0 ? QByteArray() : relative.left(slash));
    if (folder < 0)
        return -1;
    const QByteArray name = relative.mid(slash + 1);
    return ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool FolderReader::status(const QByteArray &relative, struct stat *st)
{
    const qsizetype slash = relative.lastIndexOf('/');
    const int folder = openFolder(slash < 0 ? QByteArray() : relative.left(slash));
    if (folder < 0)
        return false;
    const QByteArray name = relative.mid(slash + 1);
    return fstatat(folder, name.constData(), st, AT_SYMLINK_NOFOLLOW) == 0;
}
