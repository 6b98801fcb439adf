#pragma once

#include "check/checkproblem.h"

#include <QAbstractTableModel>
#include <QList>

// The report of the check as a table: one row per problem, with its archive,
// section, what is wrong, what to do about it and the zip. Texts follow the
// interface language (retranslate() after a switch). Rows whose fix was made
// say so in place of the suggestion.
class CheckReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ArchiveColumn, SectionColumn, ProblemColumn, FixColumn, ZipColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setReport(const CheckReport &report);
    const CheckReport &report() const { return m_report; }
    const CheckProblem &problem(int row) const { return m_report.problems.at(row); }

    // The rows a fix of row takes care of too: the same kind of problem in
    // the same archive (a fix works on the whole archive), row among them.
    QList<int> rowsFixedWith(int row) const;
    void markFixed(const QList<int> &rows);
    bool isFixed(int row) const { return m_fixed.value(row); }

    // The rows as text, one line each with the columns separated by tabs.
    QString text(const QList<int> &rows) const;
    // The whole report: the summary, a line of column names, every row.
    QString wholeText() const;

    // The active language changed: every text is read again.
    void retranslate();

private:
    QString cell(int row, int column) const;

    CheckReport m_report;
    QList<bool> m_fixed;
};
