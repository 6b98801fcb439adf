#include "zip/zipextraction.h"

#include "zip/entryname.h"
#include "zip/folderwalker.h"
#include "zip/zipformat.h"
#include "zip/zipreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

bool writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ZipFailure stoppedAt(const QString &zipPath)
{
    return {ZipFailure::Kind::Cancelled, zipPath, 0, QStringLiteral("the unpacking was stopped")};
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

ZipExtraction::ZipExtraction(ZipReader &reader, const QString &folder)
    : m_reader(reader), m_folder(withSlash(folder))
{
    const QList<ZipReader::Entry> &entries = reader.entries();
    m_unpacked.assign(std::size_t(entries.size()), false);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        m_pending.push_back(i);
        m_byName.insert(entries.at(i).name, i);
    }
}

ZipExtraction::~ZipExtraction() = default;

void ZipExtraction::prioritise(const QStringList &names)
{
    const std::lock_guard lock(m_mutex);
    for (auto name = names.crbegin(); name != names.crend(); ++name) {
        const qsizetype index = m_byName.value(*name, -1);
        const auto at = std::find(m_pending.begin(), m_pending.end(), index);
        if (at == m_pending.end())
            continue; // unpacked already, or no such entry
        m_pending.erase(at);
        m_pending.push_front(index);
    }
}

void ZipExtraction::cancel()
{
    m_cancelled = true;
}

bool ZipExtraction::isUnpacked(qsizetype index) const
{
    const std::lock_guard lock(m_mutex);
    return index >= 0 && std::size_t(index) < m_unpacked.size() && m_unpacked[std::size_t(index)];
}

qsizetype ZipExtraction::pendingCount() const
{
    const std::lock_guard lock(m_mutex);
    return qsizetype(m_pending.size());
}

bool ZipExtraction::fail(const ZipFailure &failure)
{
    m_failure = failure;
    m_over = true;
    m_walker.reset();
    m_folderFd.reset();
    return false;
}

// The folder itself is made as the caller named it, links and all.
bool ZipExtraction::openFolder()
{
    if (!QDir().mkpath(m_folder))
        return fail({ZipFailure::Kind::NotWritten, m_folder, 0,
                     QStringLiteral("the folder \"%1\" cannot be created").arg(m_folder)});
    m_folderFd = UniqueFd::open(m_folder, O_RDONLY | O_DIRECTORY);
    if (!m_folderFd)
        return fail({ZipFailure::Kind::NotWritten, m_folder, errno,
                     QStringLiteral("the folder \"%1\" cannot be opened: %2")
                         .arg(m_folder, qt_error_string(errno))});
    m_walker = std::make_unique<FolderWalker>(m_folderFd.get(), FolderWalker::Missing::Create);
    return true;
}

bool ZipExtraction::step()
{
    if (m_over)
        return false;
    if (m_cancelled)
        return fail(stoppedAt(m_reader.zipPath()));
    if (!m_folderFd && !openFolder())
        return false;
    qsizetype index = -1;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_pending.empty()) {
            index = m_pending.front();
            m_pending.pop_front();
        }
    }
    if (index < 0) {
        finish();
        return false;
    }
    if (!unpack(index))
        return false;
    const std::lock_guard lock(m_mutex);
    m_unpacked[std::size_t(index)] = true;
    return true;
}

Expected<UnpackRecord, ZipFailure> ZipExtraction::run()
{
    while (step()) {
    }
    return result();
}

Expected<UnpackRecord, ZipFailure> ZipExtraction::result() const
{
    if (m_failure)
        return *m_failure;
    return m_record;
}

// The record names the zip by what identifies its content; a zip that
// changed while it was read is not recorded.
void ZipExtraction::finish()
{
    m_over = true;
    m_walker.reset();
    m_folderFd.reset();
    if (m_reader.entries().isEmpty() || !m_recording ||
        m_reader.identityNow() != m_reader.identity()) {
        m_record.clear();
        return;
    }
    m_record.setZip(QFileInfo(m_reader.zipPath()).absoluteFilePath(), m_reader.identity());
    m_record.setFolder(m_folder);
    m_record.seal();
}

bool ZipExtraction::unpack(qsizetype index)
{
    const ZipReader::Entry &entry = m_reader.entries().at(index);
    const QByteArray relative = QFile::encodeName(entry.name);
    const bool isFolder = relative.endsWith('/');
    const QByteArray path = isFolder ? relative.chopped(1) : relative;
    const int parent = m_walker->folder(isFolder ? path : FolderWalker::parentOf(path));
    if (parent < 0) {
        const int error = errno;
        return fail({ZipFailure::Kind::NotWritten, entry.name, error,
                     QStringLiteral("\"%1\": its folder cannot be created: %2")
                         .arg(EntryName::forMessage(entry.name), qt_error_string(error))});
    }
    if (isFolder)
        return true;
    return unpackFile(index, parent, FolderWalker::nameOf(path));
}

std::optional<ZipFailure> ZipExtraction::writeContent(qsizetype index, int fd,
                                                       std::uint64_t &dataOffset)
{
    int writeError = 0;
    bool stopped = false;
    auto streamed = m_reader.stream(
        index,
        [&](const char *data, qsizetype size) {
            // A big entry does not hold up the end of the unpacking.
            if (m_cancelled) {
                stopped = true;
                return false;
            }
            if (writeAll(fd, data, std::size_t(size)))
                return true;
            writeError = errno;
            return false;
        },
        &dataOffset);
    if (stopped)
        return stoppedAt(m_reader.zipPath());
    if (writeError != 0)
        return cannotWrite(index, writeError);
    if (!streamed)
        return streamed.failure();
    return std::nullopt;
}

ZipFailure ZipExtraction::cannotWrite(qsizetype index, int error) const
{
    const QString &name = m_reader.entries().at(index).name;
    return {ZipFailure::Kind::NotWritten, name, error,
            QStringLiteral("\"%1\": the file cannot be written: %2")
                .arg(EntryName::forMessage(name), qt_error_string(error))};
}

bool ZipExtraction::unpackFile(qsizetype index, int parent, const QByteArray &name)
{
    const ZipReader::Entry &entry = m_reader.entries().at(index);
    // A new file is made even where one exists: writing into the old one
    // would follow a link or change every hard link to it.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd file(::openat(parent, name.constData(), flags, 0666));
    if (!file && errno == EEXIST && ::unlinkat(parent, name.constData(), 0) == 0)
        file.reset(::openat(parent, name.constData(), flags, 0666));
    if (!file)
        return fail({ZipFailure::Kind::NotWritten, entry.name, errno,
                     QStringLiteral("\"%1\": the file cannot be created: %2")
                         .arg(EntryName::forMessage(entry.name), qt_error_string(errno))});

    std::uint64_t dataOffset = 0;
    std::optional<ZipFailure> failed = writeContent(index, file.get(), dataOffset);
    if (!failed) {
        const time_t when = ZipFormat::fromDosDate(entry.dosDate);
        if (when != time_t(-1)) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
            futimens(file.get(), times);
        }
    }
    // Taken last: setting the time changes the change time.
    struct stat written {};
    if (!failed && m_recording && fstat(file.get(), &written) != 0)
        m_recording = false;
    if (!file.close() && !failed)
        failed = cannotWrite(index, errno);
    if (failed) {
        ::unlinkat(parent, name.constData(), 0); // no half-written file is left behind
        return fail(*failed);
    }
    if (m_recording)
        m_record.add({entry.name, dataOffset, std::uint32_t(entry.compressedSize),
                      std::uint32_t(entry.size), entry.crc, entry.method, entry.flags,
                      entry.internalAttributes, FileIdentity::of(written)});
    return true;
}
