#pragma once

#include <QFile>
#include <QString>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

// A file descriptor that closes itself: the one owner of every descriptor the
// core opens, so that no early return leaks one.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    // open(2) of a path in the file system's encoding; invalid (errno set) on failure.
    static UniqueFd open(const QString &path, int flags, mode_t mode = 0)
    {
        return UniqueFd(::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, mode));
    }

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    explicit operator bool() const { return isValid(); }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now, for callers that must know whether the close failed (a
    // write whose error shows only then); errno is set when it did.
    bool close()
    {
        const int result = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return result == 0;
    }

private:
    int m_fd = -1;
};
