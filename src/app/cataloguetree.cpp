#include "app/cataloguetree.h"

#include "catalogue/cataloguemodel.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

CatalogueTree::CatalogueTree(QWidget *parent) : QTreeView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    // A drop lands on a node, never between two.
    setDragDropOverwriteMode(true);
}

void CatalogueTree::changeEvent(QEvent *event)
{
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        viewport()->update();
}

QStringList CatalogueTree::localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    return paths;
}

void CatalogueTree::acceptAsCopy(QDropEvent *event)
{
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

int CatalogueTree::nodeAt(const QPoint &pos) const
{
    const auto *catalogue = qobject_cast<const CatalogueModel *>(model());
    return catalogue ? catalogue->absoluteIndex(indexAt(pos)) : -1;
}

void CatalogueTree::dropFrom(const QObject *source, const QMimeData *data, const QPoint &pos)
{
    const int target = nodeAt(pos);
    if (source && source == m_pageList) {
        Q_EMIT pagesDropped(target);
    } else if (source == this) {
        const QList<int> dragged = CatalogueModel::draggedNodes(data);
        if (dragged.size() == 1)
            Q_EMIT nodeDropped(dragged.first(), target);
    } else if (!source) {
        const QStringList paths = localFiles(data);
        if (!paths.isEmpty())
            Q_EMIT filesDropped(paths);
    }
    // A drag from anywhere else in the program (the page view) does nothing.
}

void CatalogueTree::dragEnterEvent(QDragEnterEvent *event)
{
    QTreeView::dragEnterEvent(event);
    acceptAsCopy(event);
}

void CatalogueTree::dragMoveEvent(QDragMoveEvent *event)
{
    // The base shows the node under the pointer as the target, scrolls and
    // unfolds a section held over.
    QTreeView::dragMoveEvent(event);
    acceptAsCopy(event);
}

void CatalogueTree::dropEvent(QDropEvent *event)
{
    // Not the base: the model takes no data, the commands do the work.
    acceptAsCopy(event);
    if (event->isAccepted())
        dropFrom(event->source(), event->mimeData(), event->position().toPoint());
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
}
