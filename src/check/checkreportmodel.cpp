#include "check/checkreportmodel.h"

#include "check/checkwording.h"
#include "lang/messages.h"

#include <QDir>

namespace {

const MessageId kColumnNames[CheckReportModel::ColumnCount] = {
    MessageId::CheckColumnArchive, MessageId::CheckColumnSection, MessageId::CheckColumnProblem,
    MessageId::CheckColumnFix, MessageId::CheckColumnZip};

// A cell of the text: one line, tabs kept for the columns.
QString oneLine(QString text)
{
    text.replace(u'\t', u' ');
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

} // namespace

int CheckReportModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_report.problems.size());
}

int CheckReportModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString CheckReportModel::cell(int row, int column) const
{
    const CheckProblem &p = m_report.problems.at(row);
    switch (column) {
    case ArchiveColumn:
        return p.archive;
    case SectionColumn:
        return p.section;
    case ProblemColumn:
        return CheckWording::problemText(p);
    case FixColumn:
        return m_fixed.value(row) ? msg(MessageId::CheckFixDone) : CheckWording::suggestion(p);
    case ZipColumn:
        return QDir::toNativeSeparators(p.zipPath);
    default:
        return {};
    }
}

QVariant CheckReportModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    return {};
}

QVariant CheckReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return msg(kColumnNames[section]);
}

void CheckReportModel::setReport(const CheckReport &report)
{
    beginResetModel();
    m_report = report;
    m_fixed = QList<bool>(report.problems.size(), false);
    endResetModel();
}

QList<int> CheckReportModel::rowsFixedWith(int row) const
{
    const CheckProblem &p = m_report.problems.at(row);
    if (p.isWorkingCopy())
        return {row};
    // A missing list and the pages it would list are one fix.
    auto sameFix = [&p](const CheckProblem &other) {
        using Kind = CheckProblem::Kind;
        const auto group = [](Kind kind) {
            return kind == Kind::ListMissing ? Kind::PageUnlisted : kind;
        };
        return group(other.kind) == group(p.kind);
    };
    QList<int> rows;
    for (int i = 0; i < rowCount(); ++i) {
        const CheckProblem &other = m_report.problems.at(i);
        if (other.zipPath == p.zipPath && other.section == p.section &&
            other.archive == p.archive && sameFix(other))
            rows << i;
    }
    return rows;
}

void CheckReportModel::markFixed(const QList<int> &rows)
{
    for (int row : rows) {
        if (row < 0 || row >= rowCount())
            continue;
        m_fixed[row] = true;
        Q_EMIT dataChanged(index(row, FixColumn), index(row, FixColumn));
    }
}

QString CheckReportModel::text(const QList<int> &rows) const
{
    QString text;
    for (int row : rows) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << oneLine(cell(row, column));
        text += cells.join(u'\t') + u'\n';
    }
    return text;
}

QString CheckReportModel::wholeText() const
{
    QStringList names;
    for (MessageId id : kColumnNames)
        names << msg(id);
    QList<int> rows;
    for (int i = 0; i < rowCount(); ++i)
        rows << i;
    return CheckWording::summary(m_report) + u'\n' + names.join(u'\t') + u'\n' + text(rows);
}

void CheckReportModel::retranslate()
{
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}
