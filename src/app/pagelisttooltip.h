#pragma once

#include <QObject>

class QListView;

// The whole title of a page too long for the page list, in a tooltip placed
// exactly over its own entry, aligned with the list's left edge, so it reads
// as the entry itself shown whole. A title that fits shows no tooltip.
class PageListToolTip : public QObject {
    Q_OBJECT
public:
    // Serves list for as long as it lives.
    explicit PageListToolTip(QListView *list);

    // Where the tooltip for the entry at row goes, in screen coordinates, and
    // whether its title is too wide for the list; for tests and the filter.
    QPoint placeFor(int row) const;
    bool isTooWide(int row) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QListView *m_list;
};
