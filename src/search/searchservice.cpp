#include "search/searchservice.h"

#include "search/indexfollower.h"
#include "search/searchindex.h"

SearchService::SearchService(const QString &indexFolder, CatalogueModel &catalogue,
                             OpenArchive &archive, QObject *parent)
    : QObject(parent), m_index(std::make_unique<SearchIndex>(indexFolder)),
      m_follower(std::make_unique<IndexFollower>(*m_index, catalogue, archive))
{
}

SearchService::~SearchService() = default;

QList<SearchHit> SearchService::search(const QString &query, int limit)
{
    return m_follower->search(query, limit);
}
