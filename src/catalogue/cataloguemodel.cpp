#include "catalogue/cataloguemodel.h"

#include "lang/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <algorithm>
#include <chrono>

namespace {

// How long a look at a zip stands before the tree looks again.
constexpr qint64 kLookStandsMs = 3000;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// Model indexes carry, as internal id, 0 for a section and the section's
// absolute index + 1 for an archive. The index of sections turns a row into
// an absolute index and back by look-up or binary search, so no operation
// walks the whole list.

QModelIndex CatalogueModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid()) {
        if (row >= m_sections.size())
            return {};
        return createIndex(row, 0, quintptr(0));
    }
    const int section = absoluteIndex(parent);
    if (!isSection(section) || section + 1 + row >= sectionEnd(section))
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
    if (!parent.isValid())
        return static_cast<int>(m_sections.size());
    const int abs = absoluteIndex(parent);
    if (!isSection(abs))
        return 0;
    return sectionEnd(abs) - abs - 1;
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
    // The open archive is unpacked: what its zip does shows when it is closed.
    const auto shownMissing = [this, &n] {
        return n.level == 1 && n.picture != CatalogueNode::OpenArchivePicture && zipMissing(n.path);
    };
    switch (role) {
    case Qt::DisplayRole:
        return n.name;
    case PictureRole:
        return shownMissing() ? int(CatalogueNode::MissingArchivePicture) : n.picture;
    case Qt::ToolTipRole:
        if (shownMissing())
            return msg(MessageId::ArchiveZipMissingTip).arg(QDir::toNativeSeparators(n.path));
        return {};
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

const QString CatalogueModel::NodeMimeType =
    QStringLiteral("application/x-tomekeeper-catalogue-node");

QStringList CatalogueModel::mimeTypes() const
{
    return {NodeMimeType};
}

QMimeData *CatalogueModel::mimeData(const QModelIndexList &indexes) const
{
    QByteArray lines;
    for (const QModelIndex &index : indexes) {
        const int abs = absoluteIndex(index);
        if (abs >= 0)
            lines += QByteArray::number(abs) + '\n';
    }
    auto *data = new QMimeData;
    data->setData(NodeMimeType, lines);
    return data;
}

bool CatalogueModel::canDropMimeData(const QMimeData *, Qt::DropAction, int, int,
                                     const QModelIndex &) const
{
    return true;
}

QList<int> CatalogueModel::draggedNodes(const QMimeData *data)
{
    QList<int> nodes;
    if (!data)
        return nodes;
    for (const QByteArray &line : data->data(NodeMimeType).split('\n')) {
        bool ok = false;
        const int abs = line.toInt(&ok);
        if (ok && abs >= 0)
            nodes << abs;
    }
    return nodes;
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
    if (index.internalId() == 0)
        return m_sections.value(index.row(), -1);
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
    if (absoluteIndex < 0 || m_nodes.isEmpty())
        return -1;
    const int abs = qMin(absoluteIndex, nodeCount() - 1);
    // The last section at or before abs.
    const auto it = std::upper_bound(m_sections.cbegin(), m_sections.cend(), abs);
    return it == m_sections.cbegin() ? -1 : *(it - 1);
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
    const int end = sectionEnd(sectionIndex);
    list.reserve(end - sectionIndex - 1);
    for (int i = sectionIndex + 1; i < end; ++i)
        list << i;
    return list;
}

int CatalogueModel::rowOf(int absoluteIndex) const
{
    if (m_nodes[absoluteIndex].level == 1)
        return absoluteIndex - sectionOf(absoluteIndex) - 1;
    return sectionRow(absoluteIndex);
}

int CatalogueModel::sectionRow(int absoluteIndex) const
{
    const auto it = std::lower_bound(m_sections.cbegin(), m_sections.cend(), absoluteIndex);
    if (it == m_sections.cend() || *it != absoluteIndex)
        return -1;
    return static_cast<int>(it - m_sections.cbegin());
}

int CatalogueModel::sectionEnd(int sectionIndex) const
{
    const auto it = std::upper_bound(m_sections.cbegin(), m_sections.cend(), sectionIndex);
    return it == m_sections.cend() ? nodeCount() : *it;
}

void CatalogueModel::rebuildSectionIndex()
{
    m_sections.clear();
    for (int i = 0; i < nodeCount(); ++i) {
        if (m_nodes[i].level == 0)
            m_sections << i;
    }
}

int CatalogueModel::appendSection(const QString &name)
{
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_nodes.append({0, name, QStringLiteral(" "), CatalogueNode::SectionPicture});
    m_sections.append(nodeCount() - 1);
    endInsertRows();
    return nodeCount() - 1;
}

int CatalogueModel::appendArchive(const QString &name, const QString &path)
{
    return addArchive(m_sections.isEmpty() ? -1 : m_sections.last(), name, path);
}

int CatalogueModel::addArchive(int sectionIndex, const QString &name, const QString &path)
{
    if (!isSection(sectionIndex))
        return -1;
    const int abs = sectionEnd(sectionIndex);
    const int row = abs - sectionIndex - 1;
    beginInsertRows(modelIndex(sectionIndex), row, row);
    m_nodes.insert(abs, {1, name, path, CatalogueNode::ArchivePicture});
    // The sections after this one move down by one.
    for (auto it = std::upper_bound(m_sections.begin(), m_sections.end(), sectionIndex);
         it != m_sections.end(); ++it)
        ++*it;
    endInsertRows();
    return abs;
}

int CatalogueModel::moveArchive(int archiveIndex, int sectionIndex, Place place)
{
    if (archiveIndex < 0 || archiveIndex >= nodeCount() || isSection(archiveIndex) ||
        !isSection(sectionIndex))
        return -1;
    const QModelIndex from = modelIndex(archiveIndex);
    const QModelIndex to = modelIndex(sectionIndex);
    const int count = sectionEnd(sectionIndex) - sectionIndex - 1;
    int row = place == Place::First ? 0 : count;
    if (to == from.parent()) {
        // Within one section the destination row counts the archive itself.
        if (row == from.row() || row == from.row() + 1)
            return archiveIndex;
    }
    if (!beginMoveRows(from.parent(), from.row(), from.row(), to, row))
        return -1;
    const CatalogueNode node = m_nodes.takeAt(archiveIndex);
    // The section's absolute index, with the archive taken out before it.
    const int section = sectionIndex > archiveIndex ? sectionIndex - 1 : sectionIndex;
    if (to == from.parent() && row > from.row())
        --row;
    const int target = section + 1 + row;
    m_nodes.insert(target, node);
    rebuildSectionIndex();
    endMoveRows();
    return target;
}

void CatalogueModel::removeNode(int absoluteIndex)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount())
        return;
    const QModelIndex idx = modelIndex(absoluteIndex);
    const int count = isSection(absoluteIndex) ? sectionEnd(absoluteIndex) - absoluteIndex : 1;
    beginRemoveRows(idx.parent(), idx.row(), idx.row());
    m_nodes.remove(absoluteIndex, count);
    rebuildSectionIndex();
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
    m_sections.clear();
    m_zipLooks.clear();
    endResetModel();
}

bool CatalogueModel::checkZip(int absoluteIndex)
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount() || isSection(absoluteIndex))
        return false;
    const QString path = m_nodes[absoluteIndex].path;
    const bool missing = !QFileInfo(path).isFile();
    if (recordLook(path, missing)) {
        // Every entry of that zip shows the change.
        for (int i = 0; i < nodeCount(); ++i) {
            if (m_nodes[i].level == 1 && m_nodes[i].path == path) {
                const QModelIndex changed = modelIndex(i);
                Q_EMIT dataChanged(changed, changed,
                                   {PictureRole, Qt::DecorationRole, Qt::ToolTipRole});
            }
        }
    }
    return !missing;
}

bool CatalogueModel::isZipMissing(int absoluteIndex) const
{
    if (absoluteIndex < 0 || absoluteIndex >= nodeCount() || isSection(absoluteIndex))
        return false;
    return zipMissing(m_nodes[absoluteIndex].path);
}

bool CatalogueModel::zipMissing(const QString &path) const
{
    const auto look = m_zipLooks.constFind(path);
    if (look != m_zipLooks.cend() && nowMs() - look->atMs < kLookStandsMs)
        return look->missing;
    const bool missing = !QFileInfo(path).isFile();
    recordLook(path, missing);
    return missing;
}

bool CatalogueModel::recordLook(const QString &path, bool missing) const
{
    // A first look changes nothing shown: whatever was shown looked first.
    const auto known = m_zipLooks.find(path);
    const bool changed = known != m_zipLooks.end() && known->missing != missing;
    m_zipLooks.insert(path, {missing, nowMs()});
    return changed;
}
