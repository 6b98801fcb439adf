#include "catalogue/cataloguemodel.h"

// Model indexes carry, as internal id, 0 for a section and the section's
// absolute index + 1 for an archive; everything else is found by walking the
// flat list, which is short (a catalogue holds hundreds of nodes, not millions).

QModelIndex CatalogueModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid()) {
        int seen = -1;
        for (int i = 0; i < nodeCount(); ++i) {
            if (m_nodes[i].level == 0 && ++seen == row)
                return createIndex(row, 0, quintptr(0));
        }
        return {};
    }
    const int section = absoluteIndex(parent);
    if (section < 0 || m_nodes[section].level != 0)
        return {};
    const int child = section + 1 + row;
    if (child >= nodeCount() || m_nodes[child].level != 1)
        return {};
    return createIndex(row, 0, quintptr(section + 1));
}

QModelIndex CatalogueModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    const int section = static_cast<int>(child.internalId()) - 1;
    return createIndex(rowOf(section), 0, quintptr(0));
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid()) {
        int count = 0;
        for (const CatalogueNode &n : m_nodes)
            count += n.level == 0 ? 1 : 0;
        return count;
    }
    const int abs = absoluteIndex(parent);
    if (abs < 0 || m_nodes[abs].level != 0)
        return 0;
    return static_cast<int>(archivesOf(abs).size());
}

int CatalogueModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    const int abs = absoluteIndex(index);
    if (abs < 0)
        return {};
    const CatalogueNode &n = m_nodes[abs];
    switch (role) {
    case Qt::DisplayRole:
        return n.name;
    case PictureRole:
        return n.picture;
    case PathRole:
        return n.path;
    case LevelRole:
        return n.level;
    case AbsoluteIndexRole:
        return abs;
    default:
        return {};
    }
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex &index) const
{
    const int abs = absoluteIndex(index);
    if (abs < 0)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (m_nodes[abs].level == 1)
        f |= Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    return f;
}

QStringList CatalogueModel::archivePaths() const
{
    QStringList list;
    list.reserve(nodeCount());
    for (const CatalogueNode &n : m_nodes)
        list << n.path;
    return list;
}

QStringList CatalogueModel::nodeNames() const
{
    QStringList list;
    list.reserve(nodeCount());
    for (const CatalogueNode &n : m_nodes)
        list << n.name;
    return list;
}

int CatalogueModel::absoluteIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    if (index.internalId() == 0) {
        int seen = -1;
        for (int i = 0; i < nodeCount(); ++i) {
            if (m_nodes[i].level == 0 && ++seen == index.row())
                return i;
        }
        return -1;
    }
    const int abs = static_cast<int>(index.internalId()) + index.row();
    return abs < nodeCount() ? abs : -1;
}

QModelIndex CatalogueModel::modelIndex(int absoluteIndex) const
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return {};
    if (m_nodes[absoluteIndex].level == 0)
        return createIndex(rowOf(absoluteIndex), 0, quintptr(0));
    const int section = sectionOf(absoluteIndex);
    if (section < 0)
        return {};
    return createIndex(absoluteIndex - section - 1, 0, quintptr(section + 1));
}

int CatalogueModel::sectionOf(int absoluteIndex) const
{
    for (int i = qMin(absoluteIndex, nodeCount() - 1); i >= 0; --i) {
        if (m_nodes[i].level == 0)
            return i;
    }
    return -1;
}

bool CatalogueModel::isSection(int absoluteIndex) const
{
    return absoluteIndex >= 0 && absoluteIndex < nodeCount() && m_nodes[absoluteIndex].level == 0;
}

QList<int> CatalogueModel::archivesOf(int sectionIndex) const
{
    QList<int> list;
    if (!isSection(sectionIndex))
        return list;
    for (int i = sectionIndex + 1; i < nodeCount() && m_nodes[i].level == 1; ++i)
        list << i;
    return list;
}

int CatalogueModel::rowOf(int absoluteIndex) const
{
    if (m_nodes[absoluteIndex].level == 1)
        return absoluteIndex - sectionOf(absoluteIndex) - 1;
    int row = 0;
    for (int i = 0; i < absoluteIndex; ++i)
        row += m_nodes[i].level == 0 ? 1 : 0;
    return row;
}

int CatalogueModel::appendSection(const QString &name)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_nodes.append({0, name, QStringLiteral(" "), CatalogueNode::SectionPicture});
    endInsertRows();
    return nodeCount() - 1;
}

int CatalogueModel::appendArchive(const QString &name, const QString &path)
{
    return addArchive(sectionOf(nodeCount() - 1), name, path);
}

int CatalogueModel::addArchive(int sectionIndex, const QString &name, const QString &path)
{
    if (!isSection(sectionIndex))
        return -1;
    const int row = static_cast<int>(archivesOf(sectionIndex).size());
    const int abs = sectionIndex + 1 + row;
    beginInsertRows(modelIndex(sectionIndex), row, row);
    m_nodes.insert(abs, {1, name, path, CatalogueNode::ArchivePicture});
    endInsertRows();
    return abs;
}

void CatalogueModel::removeNode(int absoluteIndex)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return;
    const QModelIndex idx = modelIndex(absoluteIndex);
    const int count =
        isSection(absoluteIndex) ? 1 + static_cast<int>(archivesOf(absoluteIndex).size()) : 1;
    beginRemoveRows(idx.parent(), idx.row(), idx.row());
    m_nodes.remove(absoluteIndex, count);
    endRemoveRows();
}

void CatalogueModel::setNodeName(int absoluteIndex, const QString &name)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return;
    m_nodes[absoluteIndex].name = name;
    const QModelIndex i = modelIndex(absoluteIndex);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

void CatalogueModel::setArchivePath(int absoluteIndex, const QString &path)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return;
    m_nodes[absoluteIndex].path = path;
    const QModelIndex i = modelIndex(absoluteIndex);
    Q_EMIT dataChanged(i, i, {PathRole});
}

void CatalogueModel::setPicture(int absoluteIndex, int picture)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return;
    m_nodes[absoluteIndex].picture = picture;
    const QModelIndex i = modelIndex(absoluteIndex);
    Q_EMIT dataChanged(i, i, {PictureRole, Qt::DecorationRole});
}

void CatalogueModel::clear()
{
    beginResetModel();
    m_nodes.clear();
    endResetModel();
}
