#include "zip/folderwalker.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FolderWalker::FolderWalker(int root, Missing missing) : m_root(root), m_missing(missing) {}

FolderWalker::~FolderWalker()
{
    forgetFolder();
}

void FolderWalker::forgetFolder()
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_folderFd = -1;
    m_folder.clear();
}

QByteArray FolderWalker::parentOf(const QByteArray &relative)
{
    const qsizetype slash = relative.lastIndexOf('/');
    return slash < 0 ? QByteArray() : relative.left(slash);
}

QByteArray FolderWalker::nameOf(const QByteArray &relative)
{
    return relative.mid(relative.lastIndexOf('/') + 1);
}

// One level down from the folder open on at; -1 with errno set.
int FolderWalker::openLevel(int at, const QByteArray &name)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int next = ::openat(at, name.constData(), flags);
    if (next < 0 && errno == ENOENT && m_missing == Missing::Create) {
        if (::mkdirat(at, name.constData(), 0777) == 0 || errno == EEXIST)
            next = ::openat(at, name.constData(), flags);
    }
    // A link where a folder should be reads as "not a folder".
    if (next < 0 && errno == ENOTDIR)
        errno = ELOOP;
    return next;
}

int FolderWalker::folder(const QByteArray &relative)
{
    if (relative.isEmpty())
        return m_root;
    if (m_folderFd >= 0 && relative == m_folder)
        return m_folderFd;

    // A folder below the last one is reached from there.
    int fd = m_root;
    qsizetype start = 0;
    if (m_folderFd >= 0 && relative.size() > m_folder.size() && relative.startsWith(m_folder) &&
        relative[m_folder.size()] == '/') {
        fd = m_folderFd;
        start = m_folder.size() + 1;
    }
    const int previous = m_folderFd;
    while (start < relative.size()) {
        qsizetype end = relative.indexOf('/', start);
        if (end < 0)
            end = relative.size();
        if (end > start) { // "a//b" is "a/b"
            const int next = openLevel(fd, relative.mid(start, end - start));
            const int error = errno;
            if (fd != m_root && fd != previous)
                ::close(fd);
            if (next < 0) {
                forgetFolder();
                errno = error;
                return -1;
            }
            fd = next;
        }
        start = end + 1;
    }
    if (fd == m_root)
        return fd;
    if (previous >= 0 && previous != fd)
        ::close(previous);
    m_folderFd = fd;
    m_folder = relative;
    return fd;
}

int FolderWalker::open(const QByteArray &relative)
{
    const int at = folder(parentOf(relative));
    if (at < 0)
        return -1;
    return ::openat(at, nameOf(relative).constData(),
                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

bool FolderWalker::status(const QByteArray &relative, struct stat *st)
{
    const int at = folder(parentOf(relative));
    if (at < 0)
        return false;
    return fstatat(at, nameOf(relative).constData(), st, AT_SYMLINK_NOFOLLOW) == 0;
}
