#include "storage/archivebudget.h"

#include "zip/zipformat.h"
#include "zip/zipguard.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

// The most files of bytes in all, with names of nameBytes in all, can take.
std::uint64_t zipBound(std::uint64_t files, std::uint64_t bytes, std::uint64_t nameBytes)
{
    return ZipGuard::entryBound(bytes, 0) + files * (64 + ZipFormat::mostHeaderBytes(0)) + 4 * nameBytes;
}

} // namespace

void ArchiveBudget::measure(const QString &workFolder)
{
    m_entries = 1;
    m_plainBytes = 0;
    m_zipBytes = ZipFormat::kEndRecordSize;
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
            ZipGuard::entryBound(size, ZipFormat::mostHeaderBytes(std::uint64_t(relative.toUtf8().size())));
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

StorageFailure ArchiveBudget::refusal(Verdict verdict, const QString &path)
{
    StorageFailure::Kind kind = StorageFailure::Kind::ArchiveTooBig;
    if (verdict == Verdict::FileTooBig)
        kind = StorageFailure::Kind::FileTooBig;
    else if (verdict == Verdict::TooManyFiles)
        kind = StorageFailure::Kind::TooManyFiles;
    return {kind, path, 0, {}, QStringLiteral("more than an archive may hold")};
}
