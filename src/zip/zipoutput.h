#pragma once

#include <QByteArray>
#include <cstdint>

// The zip file being written: small writes are gathered into one buffer, large
// copies from another file go from file to file inside the kernel. Every write
// goes to an explicit offset, so a header can be filled in afterwards.
class ZipOutput {
public:
    explicit ZipOutput(int fd);

    std::uint64_t offset() const { return m_flushed + std::uint64_t(m_buffer.size()); }
    bool append(const QByteArray &bytes) { return append(bytes.constData(), bytes.size()); }
    bool append(const char *data, qsizetype size);
    // Copies length bytes at from in the file open on source.
    bool copyFrom(int source, std::uint64_t from, std::uint64_t length);
    // Overwrites bytes already appended.
    bool patch(std::uint64_t at, const char *data, qsizetype size);
    bool flush();
    // errno of the first failure.
    int error() const { return m_error; }

private:
    bool writeAt(std::uint64_t at, const char *data, std::size_t size);
    bool fail(int error);
    void startWriteBack();

    int m_fd;
    QByteArray m_buffer;
    std::uint64_t m_flushed = 0;
    std::uint64_t m_startedToDisk = 0;
    int m_error = 0;
};
