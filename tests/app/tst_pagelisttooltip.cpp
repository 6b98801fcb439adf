#include "app/pagelisttooltip.h"

#include <QApplication>
#include <QHelpEvent>
#include <QListView>
#include <QStringListModel>
#include <QTest>
#include <QToolTip>

namespace {

QWidget *shownToolTip()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == u"qtooltip_label" && window->isVisible())
            return window;
    }
    return nullptr;
}

} // namespace

// The tooltip over the page list, on the real list widget: the whole title of
// an entry too narrow for it, placed over that entry; nothing for a title that fits.
class TestPageListToolTip : public QObject {
    Q_OBJECT

    QStringListModel m_model{
        {"Short", "A title far too long to fit into a narrow page list at all", "Tiny"}};
    std::unique_ptr<QListView> m_list;

    // Asks the list for its tooltip as the toolkit does after its delay, with
    // the pointer over the middle of the point given in the viewport.
    void hover(const QPoint &at)
    {
        QHelpEvent event(QEvent::ToolTip, at, m_list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(m_list->viewport(), &event);
    }
    QPoint middleOf(int row) const { return m_list->visualRect(m_model.index(row, 0)).center(); }

private Q_SLOTS:
    void init()
    {
        m_list = std::make_unique<QListView>();
        m_list->setModel(&m_model);
        m_list->resize(140, 200);
        m_list->move(300, 200);
        new PageListToolTip(m_list.get());
        m_list->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    }
    void cleanup()
    {
        QToolTip::hideText();
        m_list.reset();
    }

    void aLongTitleShowsWholeOverItsEntry()
    {
        hover(middleOf(1));
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), m_model.index(1, 0).data().toString());
        QWidget *tip = shownToolTip();
        QVERIFY(tip);
        const QRect entry = m_list->visualRect(m_model.index(1, 0));
        // Aligned with the list's left edge, at the top of its own entry.
        QCOMPARE(tip->pos(), m_list->viewport()->mapToGlobal(QPoint(0, entry.top())));
    }

    void aTitleThatFitsShowsNothing()
    {
        hover(middleOf(1));
        QTRY_VERIFY(QToolTip::isVisible());
        // Moving to a short title takes the long one's tooltip away.
        hover(middleOf(0));
        QTRY_VERIFY(!QToolTip::isVisible());
        hover(middleOf(2));
        QTest::qWait(50);
        QVERIFY(!QToolTip::isVisible());
    }

    void belowTheLastEntryShowsNothing()
    {
        hover(middleOf(1));
        QTRY_VERIFY(QToolTip::isVisible());
        hover(QPoint(10, m_list->visualRect(m_model.index(2, 0)).bottom() + 30));
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    // The same title fits once the list is wide enough.
    void widthDecides()
    {
        auto *tip = m_list->findChild<PageListToolTip *>();
        QVERIFY(tip->isTooWide(1));
        QVERIFY(!tip->isTooWide(0));
        m_list->resize(2000, 200);
        QVERIFY(!tip->isTooWide(1));
    }
};

QTEST_MAIN(TestPageListToolTip)
#include "tst_pagelisttooltip.moc"
