#include "app/searchpanel.h"

#include "lang/messages.h"
#include "search/searchindex.h"
#include "search/searchservice.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <numeric>

namespace {

constexpr int kHtmlRole = Qt::UserRole + 1;
constexpr int kHitRole = Qt::UserRole + 2;
constexpr int kMaxHits = 50;
// How wide the column with the pages found is made, at most half the window.
constexpr int kResultsWidth = 440;

// The splitter that widget, or one of its parents, is a pane of, with the
// pane's index; nullptr when there is none of that orientation.
QSplitter *splitterAbove(QWidget *widget, Qt::Orientation orientation, int &pane)
{
    for (QWidget *child = widget; child && child->parentWidget(); child = child->parentWidget()) {
        auto *splitter = qobject_cast<QSplitter *>(child->parentWidget());
        if (splitter && splitter->orientation() == orientation) {
            pane = splitter->indexOf(child);
            return pane >= 0 ? splitter : nullptr;
        }
    }
    return nullptr;
}

// text as HTML, the stretches of marks in bold on a light background.
QString markedHtml(const QString &text, const QList<TextMark> &marks)
{
    QString html;
    qsizetype at = 0;
    for (const TextMark &mark : marks) {
        if (mark.start < at || mark.start + mark.length > text.size())
            continue;
        html += text.mid(at, mark.start - at).toHtmlEscaped();
        html += QStringLiteral("<b style=\"background-color:#fff0a0; color:#000000\">") +
                text.mid(mark.start, mark.length).toHtmlEscaped() + QStringLiteral("</b>");
        at = mark.start + mark.length;
    }
    html += text.mid(at).toHtmlEscaped();
    return html;
}

// Draws a result's HTML, wrapped to the list's width.
class HitDelegate : public QStyledItemDelegate {
public:
    explicit HitDelegate(QListView *view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        m_view->style()->drawControl(QStyle::CE_ItemViewItem, &item, painter, m_view);

        QTextDocument document;
        prepare(document, index, option.rect.width());
        painter->save();
        painter->translate(option.rect.topLeft());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = option.palette;
        if (option.state & QStyle::State_Selected)
            context.palette.setColor(QPalette::Text,
                                     option.palette.color(QPalette::HighlightedText));
        document.documentLayout()->draw(painter, context);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        QTextDocument document;
        prepare(document, index, m_view->viewport()->width());
        return {int(document.idealWidth()), int(document.size().height())};
    }

private:
    void prepare(QTextDocument &document, const QModelIndex &index, int width) const
    {
        document.setDefaultFont(m_view->font());
        document.setDocumentMargin(3);
        document.setHtml(index.data(kHtmlRole).toString());
        document.setTextWidth(qMax(width, 60));
    }

    QListView *m_view;
};

} // namespace

SearchPanel::SearchPanel(SearchService &service, QWidget *parent)
    : QWidget(parent), m_search(service), m_field(new QLineEdit(this)),
      m_results(new QListView(this)), m_model(new QStandardItemModel(this)),
      m_indexing(new QLabel(this)), m_queryTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("searchPanel"));
    m_field->setObjectName(QStringLiteral("searchField"));
    m_field->installEventFilter(this);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->addWidget(m_field);

    m_results->setObjectName(QStringLiteral("searchResults"));
    m_results->setModel(m_model);
    m_results->setItemDelegate(new HitDelegate(m_results));
    m_results->setWordWrap(true);
    m_results->setResizeMode(QListView::Adjust);
    m_results->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->hide();
    m_indexing->setObjectName(QStringLiteral("indexingStatus"));
    m_indexing->setTextFormat(Qt::PlainText);

    SearchIndex *index = &m_search.index();
    m_queryTimer->setSingleShot(true);
    m_queryTimer->setInterval(250);
    connect(m_queryTimer, &QTimer::timeout, this, &SearchPanel::search);
    connect(m_field, &QLineEdit::textChanged, m_queryTimer, qOverload<>(&QTimer::start));
    connect(m_field, &QLineEdit::returnPressed, this, &SearchPanel::search);
    connect(m_results, &QListView::activated, this,
            [this](const QModelIndex &at) { choose(at.row()); });
    connect(m_results, &QListView::clicked, this,
            [this](const QModelIndex &at) { choose(at.row()); });

    connect(index, &SearchIndex::indexingProgress, this, [this](int done, int total) {
        m_indexing->setText(msg(MessageId::SearchIndexingStatus).arg(done).arg(total));
    });
    connect(index, &SearchIndex::indexingFinished, this, [this] {
        m_indexing->clear();
        // What was found while indexing ran may have grown.
        if (!m_shownQuery.isEmpty())
            search();
    });
    connect(index, &SearchIndex::archiveNotIndexed, this,
            [this](const QString &zipPath, const QString &why) {
                m_indexing->setToolTip(msg(MessageId::SearchArchiveNotIndexed).arg(zipPath) +
                                       QStringLiteral("\n") + why);
            });
    connect(index, &SearchIndex::indexingFailed, this, [this](const QString &why) {
        m_indexing->setText(msg(MessageId::SearchIndexFailed).arg(why));
    });
    retranslate();
}

void SearchPanel::focusField()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

bool SearchPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_field || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent *>(event)->key();
    // Down arrow from the field into the list of pages found.
    if (key == Qt::Key_Down && m_results->isVisible() && m_model->rowCount() > 0) {
        m_results->setFocus(Qt::TabFocusReason);
        m_results->setCurrentIndex(m_model->index(0, 0));
        return true;
    }
    // Escape empties the field and puts the list away.
    if (key == Qt::Key_Escape && !m_field->text().isEmpty()) {
        m_field->clear();
        search();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void SearchPanel::retranslate()
{
    const QString name = msg(MessageId::SearchFieldName);
    m_field->setPlaceholderText(name);
    m_field->setAccessibleName(name);
    m_results->setAccessibleName(name);
    if (m_hits.isEmpty() && !m_shownQuery.isEmpty())
        showHits();
}

void SearchPanel::search()
{
    m_queryTimer->stop();
    m_shownQuery = m_field->text().trimmed();
    m_hits =
        m_shownQuery.isEmpty() ? QList<SearchHit>() : m_search.search(m_shownQuery, kMaxHits);
    showHits();
}

void SearchPanel::giveResultsRoom(bool shown)
{
    int acrossPane = -1;
    int downPane = -1;
    QSplitter *across = splitterAbove(m_results, Qt::Horizontal, acrossPane);
    QSplitter *down = splitterAbove(m_results, Qt::Vertical, downPane);
    if (!shown) {
        // Compared while the list still holds its room: hiding it hands its
        // height to the others.
        const bool acrossKept =
            across && !m_acrossTaken.isEmpty() && across->sizes() == m_acrossTaken;
        const bool downKept = down && !m_downTaken.isEmpty() && down->sizes() == m_downTaken;
        m_results->hide();
        // The splitters lay out their panes anew now, not later over the sizes set.
        if (acrossKept) {
            across->refresh();
            across->setSizes(m_acrossBefore);
        }
        if (downKept) {
            down->refresh();
            down->setSizes(m_downBefore);
        }
        m_acrossTaken.clear();
        m_downTaken.clear();
        return;
    }
    // Read before the list shows: showing it takes room from the others.
    const QList<int> acrossBefore = across ? across->sizes() : QList<int>();
    const QList<int> downBefore = down ? down->sizes() : QList<int>();
    m_results->show();
    if (across && across->count() > 1) {
        QList<int> sizes = acrossBefore;
        const int total = std::accumulate(sizes.cbegin(), sizes.cend(), 0);
        const int wanted = qMin(kResultsWidth, total / 2);
        if (sizes.at(acrossPane) < wanted) {
            const int other = acrossPane == 0 ? 1 : acrossPane - 1;
            sizes[other] -= wanted - sizes.at(acrossPane);
            sizes[acrossPane] = wanted;
            across->setSizes(sizes);
            m_acrossBefore = acrossBefore;
            m_acrossTaken = across->sizes();
        }
    }
    if (down && down->count() > 1) {
        QList<int> sizes = downBefore;
        const int total = std::accumulate(sizes.cbegin(), sizes.cend(), 0);
        // The room comes from the other panes in proportion to their height.
        const int rest = total - sizes.at(downPane);
        const int restAfter = total - total / 2;
        for (int i = 0; i < sizes.size(); ++i) {
            if (i != downPane && rest > 0)
                sizes[i] = int(qint64(sizes.at(i)) * restAfter / rest);
        }
        sizes[downPane] = total / 2;
        down->setSizes(sizes);
        m_downBefore = downBefore;
        m_downTaken = down->sizes();
    }
}

void SearchPanel::showHits()
{
    m_model->clear();
    m_lastChosenRow = -1;
    const bool shown = !m_shownQuery.isEmpty();
    if (shown == m_results->isHidden())
        giveResultsRoom(shown);
    if (m_shownQuery.isEmpty())
        return;
    if (m_hits.isEmpty()) {
        auto *item = new QStandardItem(msg(MessageId::SearchNothingFound));
        item->setData(msg(MessageId::SearchNothingFound).toHtmlEscaped(), kHtmlRole);
        item->setFlags(Qt::ItemIsEnabled);
        m_model->appendRow(item);
        return;
    }
    for (int i = 0; i < m_hits.size(); ++i) {
        const SearchHit &hit = m_hits.at(i);
        const QString place = hit.section.isEmpty()
                                  ? hit.archiveName
                                  : hit.archiveName + QStringLiteral(" \u2014 ") + hit.section;
        const QString html = QStringLiteral("<div style=\"font-weight:bold\">") +
                             markedHtml(hit.pageTitle, hit.titleMarks) +
                             QStringLiteral("</div><div style=\"color:#5a6a7a\">") +
                             place.toHtmlEscaped() + QStringLiteral("</div><div>") +
                             markedHtml(hit.snippet, hit.snippetMarks) + QStringLiteral("</div>");
        auto *item = new QStandardItem(hit.pageTitle + QStringLiteral("\n") + place +
                                       QStringLiteral("\n") + hit.snippet);
        item->setData(html, kHtmlRole);
        item->setData(i, kHitRole);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_model->appendRow(item);
    }
}

void SearchPanel::choose(int row)
{
    const QModelIndex at = m_model->index(row, 0);
    const QVariant hitIndex = at.data(kHitRole);
    if (!hitIndex.isValid())
        return;
    if (row == m_lastChosenRow && m_lastChoice.isValid() &&
        m_lastChoice.elapsed() < QApplication::doubleClickInterval())
        return;
    m_lastChosenRow = row;
    m_lastChoice.start();
    const SearchHit &hit = m_hits.at(hitIndex.toInt());
    Q_EMIT pageChosen({hit.zipPath, hit.pageFile, hit.highlightWords.value(0), hit.highlightWords});
}
