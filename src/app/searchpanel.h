#pragma once

#include "commands/command.h"
#include "search/searchtypes.h"

#include <QElapsedTimer>
#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListView;
class QStandardItemModel;
class QTimer;
class SearchService;

// The search across all archives as the window shows it: the search field,
// the list of pages found (title, archive and section, a snippet with the
// words found marked, best first) and the indexing state for the status bar.
// It only shows: the search itself is the service's. The field is this
// widget; the list and the status label are made as its own and placed by
// the window.
class SearchPanel : public QWidget {
    Q_OBJECT
public:
    SearchPanel(SearchService &service, QWidget *parent);

    QLineEdit *field() const { return m_field; }
    QListView *results() const { return m_results; }
    QLabel *indexingLabel() const { return m_indexing; }

    // The keyboard into the field, its text selected.
    void focusField();
    // Runs the query in the field now.
    void search();
    void retranslate();

Q_SIGNALS:
    // A result was activated.
    void pageChosen(const FoundPage &page);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showHits();
    // While pages found are listed, they get room to be read: the column
    // that holds the list is widened and the list given half of its height.
    // The splitters go back as they were when the list goes, unless the user
    // moved them meanwhile. Shows or hides the list.
    void giveResultsRoom(bool shown);
    void choose(int row);

    SearchService &m_search;
    QLineEdit *m_field;
    QListView *m_results;
    QStandardItemModel *m_model;
    QLabel *m_indexing;
    QTimer *m_queryTimer;
    QList<SearchHit> m_hits;
    // The splitter sizes before the list took its room, and the ones it took.
    QList<int> m_acrossBefore, m_acrossTaken, m_downBefore, m_downTaken;
    QString m_shownQuery;
    // A double click is a click and an activation: one choice.
    QElapsedTimer m_lastChoice;
    int m_lastChosenRow = -1;
};
