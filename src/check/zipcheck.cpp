// The check of one zip of the catalogue: CollectionCheck::checkZip.

#include "check/collectioncheck.h"
#include "storage/archivebudget.h"
#include "storage/listfile.h"
#include "storage/pagenames.h"
#include "storage/pagesearch.h"
#include "zip/entryname.h"
#include "zip/zipguard.h"
#include "zip/zipreader.h"

#include <QSet>

namespace {

using Kind = CheckProblem::Kind;
using CollectionCheck::landing;

// A list file larger than this cannot be a page list of an archive (it would
// have more lines than an archive may have entries).
constexpr std::uint64_t kMaxListBytes = 64u << 20;

// A top-level folder named as a page's companion folder: the page's base name.
std::optional<QString> companionBase(const QString &folder)
{
    for (const QLatin1String suffix : {QLatin1String(".files"), QLatin1String("_files")}) {
        if (folder.size() > suffix.size() && folder.endsWith(suffix))
            return folder.chopped(suffix.size());
    }
    return std::nullopt;
}

// What the zip holds, as the check compares it with the list.
struct Layout {
    QSet<QString> files;      // every file, by where it lands
    QStringList topPages;     // page files at the top level, in zip order
    QStringList topFolders;   // folders at the top level, in zip order
    qsizetype listIndex = -1; // the entry of the list file
};

Layout layoutOf(const QList<ZipReader::Entry> &entries)
{
    Layout layout;
    QSet<QString> folders;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString path = landing(entries.at(i).name);
        const qsizetype slash = path.indexOf(u'/');
        const QString top = slash < 0 ? path : path.left(slash);
        if (slash >= 0 || entries.at(i).isFolder()) {
            if (!top.isEmpty() && !folders.contains(top)) {
                folders.insert(top);
                layout.topFolders << top;
            }
            if (entries.at(i).isFolder())
                continue;
        }
        layout.files.insert(path);
        if (slash >= 0)
            continue;
        if (path == QLatin1String(ListFile::FileName))
            layout.listIndex = i;
        else if (PageSearch::isPageFile(path))
            layout.topPages << path;
    }
    return layout;
}

// Why opening would not read the list as a page list (the archive then opens
// with no pages, and its titles are at stake); empty when it reads.
QString unreadableReason(const QByteArray &bytes, const ListFileRead &read, qsizetype pages)
{
    if (read.status == ListFileRead::Status::Damaged)
        return read.reason;
    if (!ListFile::isUnreadable(bytes, read, pages))
        return {};
    return read.status == ListFileRead::Status::NoHeader
               ? QStringLiteral("it has no header line; no page reads")
               : QStringLiteral("its lines do not end with CR; no page reads");
}

QString limitsDetail(ArchiveBudget::Verdict verdict, std::uint64_t files, std::uint64_t bytes,
                     const QString &largest, std::uint64_t largestBytes)
{
    switch (verdict) {
    case ArchiveBudget::Verdict::FileTooBig:
        return QStringLiteral("\"%1\" has %2 bytes; an entry may hold at most 1 GiB")
            .arg(EntryName::forMessage(largest))
            .arg(largestBytes);
    case ArchiveBudget::Verdict::TooManyFiles:
        return QStringLiteral("%1 files and the page list; an archive may hold at most %2")
            .arg(files)
            .arg(ZipLimits::kMaxEntries);
    case ArchiveBudget::Verdict::TooBig:
        return QStringLiteral("%1 bytes in %2 files; a write-back could pass 4 GiB")
            .arg(bytes)
            .arg(files);
    case ArchiveBudget::Verdict::Fits:
        break;
    }
    return {};
}

using Add = std::function<void(Kind, const QString &)>;

// The list, read as opening reads it: false when there is none or it does
// not read as a page list.
bool readList(ZipReader &reader, const Layout &layout, QStringList &titles, QStringList &files,
              const Add &add)
{
    if (layout.listIndex < 0) {
        add(Kind::ListMissing, {});
        return false;
    }
    const auto listBytes = reader.read(layout.listIndex, kMaxListBytes);
    if (!listBytes) {
        add(Kind::ListUnreadable, listBytes.failure().detail);
        return false;
    }
    const ListFileRead read = ListFile::parseChecked(*listBytes, titles, files);
    const QString why = unreadableReason(*listBytes, read, titles.size());
    if (!why.isEmpty()) {
        add(Kind::ListUnreadable, why);
        return false;
    }
    for (const QString &name : read.refusedFileNames)
        add(Kind::ListRefusedLine, name);
    return true;
}

// Pages against a list that reads (only such a list says which are missing
// or unlisted: a missing list is one problem, not one per page).
void checkPagesAgainstList(const Layout &layout, const QStringList &files, const Add &add)
{
    QSet<QString> listed;
    for (const QString &file : files) {
        if (file.isEmpty())
            continue; // a page without a file, shown blank
        const QString path = landing(file);
        listed.insert(path);
        if (!layout.files.contains(path))
            add(Kind::PageMissing, file);
    }
    for (const QString &page : layout.topPages) {
        if (!listed.contains(page))
            add(Kind::PageUnlisted, page);
    }
}

// Companion folders without their page.
void checkCompanionFolders(const Layout &layout, const Add &add)
{
    QSet<QString> pageBases;
    for (const QString &page : layout.topPages)
        pageBases.insert(PageNames::baseName(page));
    for (const QString &folder : layout.topFolders) {
        const std::optional<QString> base = companionBase(folder);
        if (base && !pageBases.contains(*base))
            add(Kind::FolderWithoutPage, folder + u'/');
    }
}

// What a write-back of this archive would have to take.
void checkLimits(const QList<ZipReader::Entry> &entries, const Layout &layout, const Add &add)
{
    std::uint64_t fileCount = 0;
    std::uint64_t bytes = 0;
    std::uint64_t nameBytes = 0;
    std::uint64_t largestBytes = 0;
    QString largest;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const ZipReader::Entry &entry = entries.at(i);
        if (entry.isFolder() || i == layout.listIndex)
            continue;
        ++fileCount;
        bytes += entry.size;
        nameBytes += std::uint64_t(entry.name.toUtf8().size());
        if (entry.size >= largestBytes) {
            largestBytes = entry.size;
            largest = entry.name;
        }
    }
    const ArchiveBudget::Verdict verdict =
        ArchiveBudget().check(fileCount, bytes, largestBytes, nameBytes);
    if (verdict != ArchiveBudget::Verdict::Fits)
        add(Kind::PastLimits, limitsDetail(verdict, fileCount, bytes, largest, largestBytes));
}

} // namespace

namespace CollectionCheck {

QString landing(QString name)
{
    name.replace(u'\\', u'/');
    return name.split(u'/', Qt::SkipEmptyParts).join(u'/');
}

QList<CheckProblem> checkZip(const CheckedArchive &archive, qint64 *pagesListed,
                             const std::function<bool()> &stopped)
{
    QList<CheckProblem> found;
    const Add add = [&](Kind kind, const QString &detail) {
        found.append({kind, archive.section, archive.archive, archive.zipPath, detail});
    };
    ZipReader reader;
    if (const auto opened = reader.open(archive.zipPath); !opened) {
        add(Kind::ZipDamaged, opened.failure().detail);
        return found;
    }
    const QList<ZipReader::Entry> &entries = reader.entries();
    const Layout layout = layoutOf(entries);

    // Every entry inflated and its CRC checked; the list file is read below.
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (stopped && stopped())
            return found;
        if (i == layout.listIndex)
            continue;
        if (const auto verified = reader.verify(i); !verified)
            add(Kind::ZipDamaged, verified.failure().detail);
    }

    QStringList titles;
    QStringList files;
    if (readList(reader, layout, titles, files, add)) {
        if (pagesListed)
            *pagesListed += titles.size();
        checkPagesAgainstList(layout, files, add);
    }
    checkCompanionFolders(layout, add);
    checkLimits(entries, layout, add);
    return found;
}

} // namespace CollectionCheck
