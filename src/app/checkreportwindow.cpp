#include "app/checkreportwindow.h"

#include "check/checkreportmodel.h"
#include "lang/messages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int kMostColumnWidth = 400;

QPushButton *button(QWidget *parent, const char *name)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

CheckReportWindow::CheckReportWindow(QWidget *parent)
    : QDialog(parent), m_model(new CheckReportModel(this)), m_proxy(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("checkReportWindow"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(1100, 460);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("checkSummary"));
    m_summary->setWordWrap(true);

    m_proxy->setSourceModel(m_model);
    m_proxy->setSortLocaleAware(true);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("checkTable"));
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder); // the check's order until a header is clicked
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_open = button(this, "checkOpenButton");
    m_fix = button(this, "checkFixButton");
    m_fixMenu = new QMenu(m_fix);
    m_fixMenu->setObjectName(QStringLiteral("checkFixMenu"));
    m_fix->setMenu(m_fixMenu);
    m_copy = button(this, "checkCopyButton");
    m_save = button(this, "checkSaveButton");
    m_close = button(this, "checkCloseButton");

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addWidget(m_fix);
    buttons->addStretch(1);
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);

    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        Q_EMIT openRequested(m_proxy->mapToSource(index).row());
    });
    connect(m_table, &QWidget::customContextMenuRequested, this, &CheckReportWindow::showPopup);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CheckReportWindow::updateButtons);
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (currentRow() >= 0)
            Q_EMIT openRequested(currentRow());
    });
    connect(m_fixMenu, &QMenu::aboutToShow, this, [this] { fillFixMenu(m_fixMenu, currentRow()); });
    connect(m_copy, &QPushButton::clicked, this, &CheckReportWindow::copy);
    connect(m_save, &QPushButton::clicked, this,
            [this] { Q_EMIT saveRequested(m_model->wholeText()); });
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    auto *copyKey = new QShortcut(QKeySequence::Copy, m_table);
    copyKey->setContext(Qt::WidgetShortcut);
    connect(copyKey, &QShortcut::activated, this, &CheckReportWindow::copy);
    retranslate();
}

void CheckReportWindow::setReport(const CheckReport &report)
{
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_model->setReport(report);
    m_table->resizeColumnsToContents();
    for (int column = 0; column < CheckReportModel::ColumnCount - 1; ++column)
        m_table->setColumnWidth(column, qMin(m_table->columnWidth(column), kMostColumnWidth));
    if (m_model->rowCount() > 0)
        m_table->setCurrentIndex(m_proxy->index(0, 0));
    retranslate();
}

int CheckReportWindow::currentRow() const
{
    const QModelIndex current = m_table->currentIndex();
    return current.isValid() ? m_proxy->mapToSource(current).row() : -1;
}

QList<int> CheckReportWindow::selectedRows() const
{
    QList<int> rows;
    for (int viewRow = 0; viewRow < m_proxy->rowCount(); ++viewRow) {
        if (m_table->selectionModel()->isRowSelected(viewRow, {}))
            rows << m_proxy->mapToSource(m_proxy->index(viewRow, 0)).row();
    }
    return rows;
}

void CheckReportWindow::markFixed(int row)
{
    m_model->markFixed(m_model->rowsFixedWith(row));
    updateButtons();
}

void CheckReportWindow::updateButtons()
{
    const int row = currentRow();
    m_open->setEnabled(row >= 0);
    m_fix->setEnabled(row >= 0 && !m_model->isFixed(row) &&
                      !CheckWording::fixesFor(m_model->problem(row)).isEmpty());
    m_copy->setEnabled(m_model->rowCount() > 0);
}

void CheckReportWindow::fillFixMenu(QMenu *menu, int row)
{
    if (menu == m_fixMenu)
        menu->clear();
    if (row < 0 || m_model->isFixed(row))
        return;
    for (const CheckFix fix : CheckWording::fixesFor(m_model->problem(row))) {
        QAction *item = menu->addAction(CheckWording::fixCaption(fix));
        connect(item, &QAction::triggered, this,
                [this, row, fix] { Q_EMIT fixRequested(row, fix); });
    }
}

void CheckReportWindow::copy()
{
    QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        for (int viewRow = 0; viewRow < m_proxy->rowCount(); ++viewRow)
            rows << m_proxy->mapToSource(m_proxy->index(viewRow, 0)).row();
    }
    QGuiApplication::clipboard()->setText(m_model->text(rows));
}

void CheckReportWindow::showPopup(const QPoint &at)
{
    const QModelIndex index = m_table->indexAt(at);
    if (!index.isValid())
        return;
    const int row = m_proxy->mapToSource(index).row();
    QMenu popup(this);
    connect(popup.addAction(m_open->text()), &QAction::triggered, this,
            [this, row] { Q_EMIT openRequested(row); });
    fillFixMenu(&popup, row);
    popup.addSeparator();
    connect(popup.addAction(m_copy->text()), &QAction::triggered, this, &CheckReportWindow::copy);
    popup.exec(m_table->viewport()->mapToGlobal(at));
}

void CheckReportWindow::retranslate()
{
    setWindowTitle(msg(MessageId::CheckReportTitle));
    m_summary->setText(CheckWording::summary(m_model->report()));
    m_open->setText(msg(MessageId::CheckOpenButton));
    m_fix->setText(msg(MessageId::CheckFixButton));
    m_copy->setText(msg(MessageId::CheckCopyButton));
    m_save->setText(msg(MessageId::CheckSaveButton));
    m_close->setText(msg(MessageId::CheckCloseButton));
    m_table->setAccessibleName(msg(MessageId::CheckReportTitle));
    m_model->retranslate();
    updateButtons();
}
