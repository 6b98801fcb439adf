#include "check/zipfinder.h"

#include "zip/zipreader.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

int pagesMatched(const QString &zip, const KnownZip &known)
{
    if (known.pages.isEmpty())
        return 0;
    ZipReader reader;
    if (!reader.open(zip))
        return 0;
    QHash<QString, const ZipReader::Entry *> byName;
    for (const ZipReader::Entry &entry : reader.entries())
        byName.insert(entry.name, &entry);
    int matched = 0;
    for (const KnownZip::Entry &page : known.pages) {
        const ZipReader::Entry *entry = byName.value(page.name);
        if (entry && entry->crc == page.crc && entry->size == page.size)
            ++matched;
    }
    return matched;
}

bool ranksBefore(const ZipFinder::Candidate &a, const ZipFinder::Candidate &b)
{
    if (a.sameName != b.sameName)
        return a.sameName;
    if (a.pagesMatched != b.pagesMatched)
        return a.pagesMatched > b.pagesMatched;
    return a.sameSize && !b.sameSize;
}

} // namespace

namespace ZipFinder {

bool sameRank(const Candidate &a, const Candidate &b)
{
    return !ranksBefore(a, b) && !ranksBefore(b, a);
}

QList<Candidate> find(const QString &folder, const QString &fileName, const KnownZip &known,
                      const QStringList &taken, const QStringList &skipped)
{
    QSet<QString> takenFiles;
    for (const QString &path : taken) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            takenFiles.insert(canonical);
    }
    QSet<QString> skippedFolders;
    for (const QString &path : skipped) {
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            skippedFolders.insert(canonical);
    }
    const qsizetype enoughPages = std::max<qsizetype>(1, (known.pages.size() + 1) / 2);

    QList<Candidate> found;
    QList<QString> folders{folder};
    while (!folders.isEmpty()) {
        QDirIterator it(folders.takeLast(),
                        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            if (info.isSymLink())
                continue;
            if (info.isDir()) {
                if (!skippedFolders.contains(info.canonicalFilePath()))
                    folders << info.filePath();
                continue;
            }
            const bool named = info.fileName() == fileName;
            const bool zip = info.suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0;
            if (!named && (!zip || known.isEmpty()))
                continue;
            if (takenFiles.contains(info.canonicalFilePath()))
                continue;
            Candidate candidate;
            candidate.path = info.absoluteFilePath();
            candidate.sameName = named;
            candidate.sameSize = known.sizeBytes && std::uint64_t(info.size()) == *known.sizeBytes;
            candidate.pagesMatched = pagesMatched(candidate.path, known);
            const bool likeKnown =
                known.pages.isEmpty() ? candidate.sameSize : candidate.pagesMatched >= enoughPages;
            if (named || likeKnown)
                found << candidate;
        }
    }
    std::stable_sort(found.begin(), found.end(), ranksBefore);
    return found;
}

} // namespace ZipFinder
