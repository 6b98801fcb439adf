#pragma once

#include "search/searchtypes.h"

#include <QList>
#include <QObject>
#include <QString>

class CatalogueModel;
class OpenArchive;
class QTimer;
class SearchIndex;

// Keeps the search index in step with what the program does: every change of
// the catalogue (archives attached, created, removed, renamed, moved between
// sections) and every zip written (write-backs, pages moved into another
// archive). It also answers searches the way the window shows them: pages of
// the open archive are as its page list has them now, so a page renamed or
// taken out since the last write-back shows its new title or is not offered.
class IndexFollower : public QObject {
    Q_OBJECT
public:
    IndexFollower(SearchIndex &index, CatalogueModel &catalogue, OpenArchive &archive,
                  QObject *parent = nullptr);
    ~IndexFollower() override;

    // Hands a catalogue change still waiting (edits come in bursts and are
    // passed on once they are over) to the index now.
    void flush();
    // The index's search, the open archive's pages as they are now.
    QList<SearchHit> search(const QString &query, int limit);

private:
    void catalogueChanged();

    SearchIndex &m_index;
    CatalogueModel &m_catalogue;
    OpenArchive &m_archive;
    QTimer *m_catalogueTimer;
};
