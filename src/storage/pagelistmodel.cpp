#include "storage/pagelistmodel.h"

int PageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant PageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= count())
        return {};
    switch (role) {
    case TitleRole:
    case Qt::EditRole:
        return m_titles.at(index.row());
    case FileNameRole:
        return m_files.at(index.row());
    default:
        return {};
    }
}

Qt::ItemFlags PageListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> PageListModel::roleNames() const
{
    return {{TitleRole, "title"}, {FileNameRole, "fileName"}};
}

void PageListModel::append(const QString &title, const QString &fileName)
{
    insert(count(), title, fileName);
}

void PageListModel::insert(int row, const QString &title, const QString &fileName)
{
    row = qBound(0, row, count());
    beginInsertRows({}, row, row);
    m_titles.insert(row, title);
    m_files.insert(row, fileName);
    endInsertRows();
}

void PageListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_titles.removeAt(row);
    m_files.removeAt(row);
    endRemoveRows();
}

void PageListModel::setTitle(int row, const QString &title)
{
    if (row < 0 || row >= count())
        return;
    m_titles[row] = title;
    const QModelIndex i = index(row);
    Q_EMIT dataChanged(i, i, {TitleRole, Qt::EditRole});
}

void PageListModel::setFileName(int row, const QString &fileName)
{
    if (row < 0 || row >= count())
        return;
    m_files[row] = fileName;
    const QModelIndex i = index(row);
    Q_EMIT dataChanged(i, i, {FileNameRole});
}

void PageListModel::move(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to)
        return;
    // beginMoveRows wants the destination as the row before which to insert.
    const int destination = to > from ? to + 1 : to;
    beginMoveRows({}, from, from, {}, destination);
    m_titles.move(from, to);
    m_files.move(from, to);
    endMoveRows();
}

void PageListModel::clear()
{
    if (count() == 0)
        return;
    beginResetModel();
    m_titles.clear();
    m_files.clear();
    endResetModel();
}

void PageListModel::reset(const QStringList &titles, const QStringList &fileNames)
{
    Q_ASSERT(titles.size() == fileNames.size());
    beginResetModel();
    m_titles = titles;
    m_files = fileNames;
    endResetModel();
}
