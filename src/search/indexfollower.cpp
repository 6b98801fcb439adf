#include "search/indexfollower.h"

#include "catalogue/cataloguemodel.h"
#include "search/searchindex.h"
#include "storage/openarchive.h"

#include <QTimer>

namespace {

// A list made on Windows may spell a page's name with a backslash or in
// another case than its entry in the zip.
int rowOf(const QStringList &files, const QString &pageFile)
{
    const int row = int(files.indexOf(pageFile));
    if (row >= 0)
        return row;
    for (int i = 0; i < files.size(); ++i) {
        QString file = files.at(i);
        file.replace(u'\\', u'/');
        if (file.compare(pageFile, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

IndexFollower::IndexFollower(SearchIndex &index, CatalogueModel &catalogue, OpenArchive &archive,
                             QObject *parent)
    : QObject(parent), m_index(index), m_catalogue(catalogue), m_archive(archive),
      m_catalogueTimer(new QTimer(this))
{
    // Catalogue edits come in bursts (a whole settings file, a section with its
    // archives): the index hears of them once they are over.
    m_catalogueTimer->setSingleShot(true);
    m_catalogueTimer->setInterval(300);
    connect(m_catalogueTimer, &QTimer::timeout, this, &IndexFollower::catalogueChanged);
    auto later = [this] { m_catalogueTimer->start(); };
    connect(&catalogue, &QAbstractItemModel::modelReset, this, later);
    connect(&catalogue, &QAbstractItemModel::rowsInserted, this, later);
    connect(&catalogue, &QAbstractItemModel::rowsRemoved, this, later);
    connect(&catalogue, &QAbstractItemModel::rowsMoved, this, later);
    connect(&catalogue, &QAbstractItemModel::dataChanged, this, later);
    m_catalogueTimer->start();

    // The zip just written is read again at once, ahead of the rest.
    SearchIndex *indexed = &m_index;
    archive.setWrittenBackHook(
        [indexed](const QString &zipPath) { indexed->archiveChanged(zipPath); });
}

IndexFollower::~IndexFollower()
{
    m_archive.setWrittenBackHook({});
}

void IndexFollower::flush()
{
    if (m_catalogueTimer->isActive())
        catalogueChanged();
}

void IndexFollower::catalogueChanged()
{
    m_catalogueTimer->stop();
    QList<CatalogueArchive> archives;
    for (int i = 0; i < m_catalogue.nodeCount(); ++i) {
        if (m_catalogue.isSection(i))
            continue;
        const CatalogueNode &node = m_catalogue.node(i);
        const int section = m_catalogue.sectionOf(i);
        archives.append(
            {node.path, node.name, section >= 0 ? m_catalogue.node(section).name : QString()});
    }
    m_index.catalogueChanged(archives);
}

QList<SearchHit> IndexFollower::search(const QString &query, int limit)
{
    QList<SearchHit> hits = m_index.search(query, limit);
    if (!m_archive.isOpen())
        return hits;
    // The open archive's zip is written back only when it is left: until then
    // its page list is what the user sees of it.
    const PageListModel &pages = m_archive.pages();
    const QString zipPath = m_archive.zipPath();
    for (auto hit = hits.begin(); hit != hits.end();) {
        if (hit->zipPath != zipPath) {
            ++hit;
            continue;
        }
        const int row = rowOf(pages.fileNames(), hit->pageFile);
        if (row < 0) {
            hit = hits.erase(hit); // deleted or moved to another archive
            continue;
        }
        const QString title = pages.title(row);
        if (!title.trimmed().isEmpty() && title != hit->pageTitle) {
            hit->pageTitle = title;
            hit->titleMarks.clear(); // they marked the old title
        }
        ++hit;
    }
    return hits;
}
