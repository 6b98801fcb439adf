#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <minizip/ioapi.h>

// The file functions minizip reads a zip through: the reader's descriptor,
// read with pread through a small window. minizip reads its headers a byte at
// a time and seeks before every block; through stdio that costs a seek and a
// read per block, through the window mostly a copy. The safety check reads the
// same descriptor, so it judges exactly the file that is read.
class ZipReadStream {
public:
    // fd: open on the zip, of size bytes; it stays the caller's.
    ZipReadStream(int fd, std::uint64_t size);
    ZipReadStream(const ZipReadStream &) = delete;
    ZipReadStream &operator=(const ZipReadStream &) = delete;

    // For unzOpen2_64: whatever path minizip passes on, it reads fd.
    zlib_filefunc64_def functions();

private:
    static voidpf open(voidpf opaque, const void *path, int mode);
    static uLong read(voidpf opaque, voidpf stream, void *buffer, uLong size);
    static uLong write(voidpf opaque, voidpf stream, const void *buffer, uLong size);
    static ZPOS64_T tell(voidpf opaque, voidpf stream);
    static long seek(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
    static int close(voidpf opaque, voidpf stream);
    static int error(voidpf opaque, voidpf stream);

    static constexpr std::size_t kWindowSize = 8192;
    std::unique_ptr<char[]> m_window;
    int m_fd;
    bool m_open = false;
    int m_error = 0;
    std::uint64_t m_size = 0;
    std::uint64_t m_pos = 0;
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowLength = 0;
};
