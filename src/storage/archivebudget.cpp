#include "storage/archivebudget.h"

#include "lang/messages.h"
#include "zip/zipguard.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

// A zip entry's headers: local and central, the name twice plus its Unicode
// Path field.
std::uint64_t headerBytes(std::uint64_t nameBytes)
{
    return 30 + 46 + 2 * (nameBytes + 9 + nameBytes);
}

// The most files of bytes in all, with names of nameBytes in all, can take.
std::uint64_t zipBound(std::uint64_t files, std::uint64_t bytes, std::uint64_t nameBytes)
{
    return ZipGuard::entryBound(bytes, 0) + files * (64 + headerBytes(0)) + 4 * nameBytes;
}

} // namespace

void ArchiveBudget::measure(const QString &workFolder)
{
    m_entries = 1;
    m_plainBytes = 0;
    m_zipBytes = 22;
    QDirIterator it(workFolder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        if (info.isSymLink())
            continue;
        const std::uint64_t size = std::uint64_t(qMax<qint64>(0, info.size()));
        const QString relative = QDir(workFolder).relativeFilePath(info.filePath());
        ++m_entries;
        m_plainBytes += size;
        m_zipBytes +=
            ZipGuard::entryBound(size, headerBytes(std::uint64_t(relative.toUtf8().size())));
    }
}

ArchiveBudget::Verdict ArchiveBudget::check(std::uint64_t files, std::uint64_t bytes,
                                            std::uint64_t largestBytes,
                                            std::uint64_t nameBytes) const
{
    using namespace ZipLimits;
    if (largestBytes > kMaxEntrySize)
        return Verdict::FileTooBig;
    if (m_entries + files > kMaxEntries)
        return Verdict::TooManyFiles;
    const std::uint64_t zipBytes = zipBound(files, bytes, nameBytes);
    if (m_plainBytes + bytes > kMaxTotalSize || m_zipBytes + zipBytes > kMaxZipSize)
        return Verdict::TooBig;
    return Verdict::Fits;
}

void ArchiveBudget::take(std::uint64_t files, std::uint64_t bytes, std::uint64_t nameBytes)
{
    m_entries += files;
    m_plainBytes += bytes;
    m_zipBytes += zipBound(files, bytes, nameBytes);
}

QString ArchiveBudget::refusal(Verdict verdict, const QString &path)
{
    MessageId id = MessageId::AddRefusedArchiveTooBig;
    if (verdict == Verdict::FileTooBig)
        id = MessageId::AddRefusedFileTooBig;
    else if (verdict == Verdict::TooManyFiles)
        id = MessageId::AddRefusedTooManyFiles;
    return msg(id) + QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
}
