#include "search/indexedzip.h"

#include "search/indexdatabase.h"
#include "search/indexstore.h"

std::optional<KnownZip> indexedZip(const QString &indexFolder, const QString &zipPath)
{
    // A connection of its own, read only: an index that cannot be opened as
    // it is knows nothing, and is not rebuilt for this.
    IndexDatabase db(indexFolder);
    if (!db.open(false))
        return std::nullopt;
    IndexStore store(db);
    const std::optional<IndexStore::Archive> archive = store.archive(zipPath);
    if (!archive)
        return std::nullopt;
    KnownZip known;
    if (archive->stamp)
        known.sizeBytes = archive->stamp->size;
    if (const std::optional<QList<IndexStore::Page>> pages = store.pages(archive->id)) {
        for (const IndexStore::Page &page : *pages)
            known.pages.append({page.file, page.crc, page.size});
    }
    return known;
}
