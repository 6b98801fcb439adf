#pragma once

#include <QStringList>
#include <QTreeView>

class QMimeData;
class QDropEvent;

// The catalogue tree as a drop target. Every drag that comes over it is
// accepted and the node under the pointer is highlighted; what a drop does
// depends on where the drag came from, never on what it carries: pages from
// the page list, a node from the tree itself, files from another program.
// The tree only reports the drop; the window runs the command once the drop
// is over, since a command may ask the user.
class CatalogueTree : public QTreeView {
    Q_OBJECT
public:
    explicit CatalogueTree(QWidget *parent = nullptr);

    // The view whose drags carry the selected pages of the open archive.
    void setPageList(QObject *pageList) { m_pageList = pageList; }

    // What a drop at pos (viewport coordinates) does. source is the object
    // the drag started from: null when it came from another program.
    void dropFrom(const QObject *source, const QMimeData *data, const QPoint &pos);

    // The local files a drag from another program carries, in order.
    static QStringList localFiles(const QMimeData *data);
    // Accepts a drop as a copy: whatever the other side offered, it must
    // never delete what it gave (the program takes copies).
    static void acceptAsCopy(QDropEvent *event);

Q_SIGNALS:
    // The selected pages were dropped on catalogue node target (-1: none).
    void pagesDropped(int target);
    // Catalogue node dragged was dropped on node target (-1: none).
    void nodeDropped(int dragged, int target);
    // Local files from another program, in the order given.
    void filesDropped(const QStringList &paths);

protected:
    // Back in the window: the archives shown look for their zips again (a
    // drive mounted meanwhile takes their mark away).
    void changeEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    int nodeAt(const QPoint &pos) const;

    const QObject *m_pageList = nullptr;
};
