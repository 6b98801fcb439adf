#pragma once

#include "check/checkproblem.h"
#include "check/checkwording.h"

#include <QDialog>

class CheckReportModel;
class QLabel;
class QMenu;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// The report of the check of all archives: one row per problem (archive,
// section, what is wrong, what to do, the zip), sorted by any column, copied
// (Ctrl+C, or the whole report when nothing is selected) and saved as text.
// A double-click opens the row's archive; the fixes a row offers are in the
// Fix button's menu and the row's pop-up menu. The window does none of it
// itself: it asks through its signals, and is told which rows were fixed.
class CheckReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit CheckReportWindow(QWidget *parent = nullptr);

    void setReport(const CheckReport &report);
    CheckReportModel &model() { return *m_model; }
    QTableView *table() const { return m_table; }
    // The rows of the model selected, in the order the table shows them.
    QList<int> selectedRows() const;
    // The fixes of row made: it and the rows fixed with it say so.
    void markFixed(int row);
    void retranslate();

Q_SIGNALS:
    void openRequested(int row);
    void fixRequested(int row, CheckFix fix);
    void saveRequested(const QString &text);

private:
    int currentRow() const;
    void updateButtons();
    // The fix menu of the current row (or menu itself filled with them).
    void fillFixMenu(QMenu *menu, int row);
    void copy();
    void showPopup(const QPoint &at);

    CheckReportModel *m_model;
    QSortFilterProxyModel *m_proxy;
    QTableView *m_table;
    QLabel *m_summary;
    QPushButton *m_open;
    QPushButton *m_fix;
    QPushButton *m_copy;
    QPushButton *m_save;
    QPushButton *m_close;
    QMenu *m_fixMenu;
};
