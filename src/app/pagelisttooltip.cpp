#include "app/pagelisttooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QToolTip>

namespace {

// The toolkit puts a tooltip below the mouse pointer; this one belongs over
// the entry. Its window is found by the name the toolkit gives it.
void moveToolTipTo(const QPoint &place)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"qtooltip_label" && window->isVisible())
            window->move(place);
    }
}

} // namespace

PageListToolTip::PageListToolTip(QListView *list) : QObject(list), m_list(list)
{
    m_list->viewport()->installEventFilter(this);
}

QPoint PageListToolTip::placeFor(int row) const
{
    const QRect entry = m_list->visualRect(m_list->model()->index(row, 0));
    return m_list->viewport()->mapToGlobal(QPoint(0, entry.top()));
}

bool PageListToolTip::isTooWide(int row) const
{
    const QString title = m_list->model()->index(row, 0).data().toString();
    return m_list->fontMetrics().horizontalAdvance(title) > m_list->viewport()->width();
}

bool PageListToolTip::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_list->viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    const auto *help = static_cast<QHelpEvent *>(event);
    // Only an entry counts: below the last one there is none.
    const QModelIndex index = m_list->indexAt(help->pos());
    if (!index.isValid() || !isTooWide(index.row())) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const QPoint place = placeFor(index.row());
    // Shown for this entry only: the pointer moving on to another entry takes it away.
    QToolTip::showText(place, index.data().toString(), m_list->viewport(),
                       m_list->visualRect(index));
    moveToolTipTo(place);
    return true;
}
