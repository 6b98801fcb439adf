#pragma once

#include "search/searchtypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class CatalogueModel;
class IndexFollower;
class OpenArchive;
class SearchIndex;

// The search across all archives as the program runs it: the index in its
// folder, kept in step with the catalogue and with every zip the open archive
// writes by its follower. It lives as long as the program's state and shows
// nothing; the window's search panel shows what it finds.
class SearchService : public QObject {
    Q_OBJECT
public:
    SearchService(const QString &indexFolder, CatalogueModel &catalogue, OpenArchive &archive,
                  QObject *parent = nullptr);
    ~SearchService() override;

    SearchIndex &index() { return *m_index; }
    IndexFollower &follower() { return *m_follower; }

    // The pages found, best first, the open archive's as its page list has them now.
    QList<SearchHit> search(const QString &query, int limit);

private:
    // The follower refers to the index: it goes first.
    std::unique_ptr<SearchIndex> m_index;
    std::unique_ptr<IndexFollower> m_follower;
};
