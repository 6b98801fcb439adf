#include "zip/zipoutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype kBufferSize = 256 * 1024;
// Shorter copies go through the buffer: one read instead of a flush and a copy.
constexpr std::uint64_t kDirectCopy = 64 * 1024;
// The disk starts on what is written every so much, so that the caller's
// fsync at the end finds little left to do.
constexpr std::uint64_t kWriteBackStep = 8 << 20;

} // namespace

ZipOutput::ZipOutput(int fd) : m_fd(fd)
{
    m_buffer.reserve(kBufferSize);
}

bool ZipOutput::fail(int error)
{
    if (m_error == 0)
        m_error = error ? error : EIO;
    return false;
}

bool ZipOutput::writeAt(std::uint64_t at, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, data, size, off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        data += n;
        at += std::uint64_t(n);
        size -= std::size_t(n);
    }
    return true;
}

void ZipOutput::startWriteBack()
{
    if (m_flushed - m_startedToDisk < kWriteBackStep)
        return;
    // Only a hint: errors show in the caller's fsync.
    ::sync_file_range(m_fd, off_t(m_startedToDisk), off_t(m_flushed - m_startedToDisk),
                      SYNC_FILE_RANGE_WRITE);
    m_startedToDisk = m_flushed;
}

bool ZipOutput::flush()
{
    if (m_error)
        return false;
    if (m_buffer.isEmpty())
        return true;
    if (!writeAt(m_flushed, m_buffer.constData(), std::size_t(m_buffer.size())))
        return false;
    m_flushed += std::uint64_t(m_buffer.size());
    m_buffer.clear();
    startWriteBack();
    return true;
}

bool ZipOutput::append(const char *data, qsizetype size)
{
    if (m_error)
        return false;
    if (m_buffer.size() + size > kBufferSize && !flush())
        return false;
    if (size >= kBufferSize) {
        if (!writeAt(m_flushed, data, std::size_t(size)))
            return false;
        m_flushed += std::uint64_t(size);
        startWriteBack();
        return true;
    }
    m_buffer.append(data, size);
    return true;
}

bool ZipOutput::patch(std::uint64_t at, const char *data, qsizetype size)
{
    if (m_error)
        return false;
    if (at >= m_flushed) {
        std::memcpy(m_buffer.data() + (at - m_flushed), data, std::size_t(size));
        return true;
    }
    if (at + std::uint64_t(size) > m_flushed && !flush())
        return false;
    return writeAt(at, data, std::size_t(size));
}

bool ZipOutput::copyFrom(int source, std::uint64_t from, std::uint64_t length)
{
    if (m_error)
        return false;
    if (length < kDirectCopy) {
        if (m_buffer.size() + qsizetype(length) > kBufferSize && !flush())
            return false;
        const qsizetype start = m_buffer.size();
        m_buffer.resize(start + qsizetype(length));
        std::uint64_t done = 0;
        while (done < length) {
            const ssize_t n =
                ::pread(source, m_buffer.data() + start + done, length - done, off_t(from + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_buffer.truncate(start);
                return fail(n < 0 ? errno : EIO); // the older zip is shorter than recorded
            }
            done += std::uint64_t(n);
        }
        return true;
    }
    if (!flush())
        return false;
    auto in = off_t(from);
    auto out = off_t(m_flushed);
    std::uint64_t left = length;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(source, &in, m_fd, &out, left, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && left == length &&
            (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            break; // not between these two files: copy through memory below
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        left -= std::uint64_t(n);
    }
    if (left > 0) {
        QByteArray block(kBufferSize, Qt::Uninitialized);
        while (left > 0) {
            const ssize_t n = ::pread(source, block.data(),
                                      std::size_t(std::min<std::uint64_t>(left, kBufferSize)), in);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(n < 0 ? errno : EIO);
            if (!writeAt(std::uint64_t(out), block.constData(), std::size_t(n)))
                return false;
            in += n;
            out += n;
            left -= std::uint64_t(n);
        }
    }
    m_flushed += length;
    startWriteBack();
    return true;
}
