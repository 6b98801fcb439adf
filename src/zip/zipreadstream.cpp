#include "zip/zipreadstream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

ZipReadStream::ZipReadStream(int fd, std::uint64_t size)
    : m_window(new char[kWindowSize]), m_fd(fd), m_size(size)
{
}

zlib_filefunc64_def ZipReadStream::functions()
{
    zlib_filefunc64_def def{};
    def.zopen64_file = &ZipReadStream::open;
    def.zread_file = &ZipReadStream::read;
    def.zwrite_file = &ZipReadStream::write;
    def.ztell64_file = &ZipReadStream::tell;
    def.zseek64_file = &ZipReadStream::seek;
    def.zclose_file = &ZipReadStream::close;
    def.zerror_file = &ZipReadStream::error;
    def.opaque = this;
    return def;
}

voidpf ZipReadStream::open(voidpf opaque, const void *, int mode)
{
    auto *s = static_cast<ZipReadStream *>(opaque);
    if (s->m_open || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    s->m_open = true;
    s->m_error = 0;
    s->m_pos = 0;
    s->m_windowStart = 0;
    s->m_windowLength = 0;
    return s;
}

uLong ZipReadStream::read(voidpf, voidpf stream, void *buffer, uLong size)
{
    auto *s = static_cast<ZipReadStream *>(stream);
    auto *out = static_cast<char *>(buffer);
    uLong done = 0;
    while (done < size) {
        if (s->m_pos >= s->m_windowStart && s->m_pos < s->m_windowStart + s->m_windowLength) {
            const std::size_t offset = s->m_pos - s->m_windowStart;
            const std::size_t n = std::min<std::size_t>(size - done, s->m_windowLength - offset);
            std::memcpy(out + done, s->m_window.get() + offset, n);
            done += n;
            s->m_pos += n;
            continue;
        }
        // Large blocks go straight to the caller; small reads fill the window.
        const bool direct = size - done >= kWindowSize;
        char *target = direct ? out + done : s->m_window.get();
        const std::size_t want = direct ? size - done : kWindowSize;
        ssize_t n;
        do
            n = ::pread(s->m_fd, target, want, off_t(s->m_pos));
        while (n < 0 && errno == EINTR);
        if (n <= 0) {
            if (n < 0)
                s->m_error = errno;
            break;
        }
        if (direct) {
            done += uLong(n);
            s->m_pos += std::uint64_t(n);
        } else {
            s->m_windowStart = s->m_pos;
            s->m_windowLength = std::size_t(n);
        }
    }
    return done;
}

uLong ZipReadStream::write(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZipReadStream::tell(voidpf, voidpf stream)
{
    return static_cast<ZipReadStream *>(stream)->m_pos;
}

long ZipReadStream::seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *s = static_cast<ZipReadStream *>(stream);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        s->m_pos = offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
        s->m_pos += offset; // minizip passes backward steps as wrapped-around values
        return 0;
    case ZLIB_FILEFUNC_SEEK_END:
        s->m_pos = s->m_size + offset;
        return 0;
    default:
        return -1;
    }
}

int ZipReadStream::close(voidpf, voidpf stream)
{
    static_cast<ZipReadStream *>(stream)->m_open = false; // the descriptor is the reader's
    return 0;
}

int ZipReadStream::error(voidpf, voidpf stream)
{
    return static_cast<ZipReadStream *>(stream)->m_error;
}
