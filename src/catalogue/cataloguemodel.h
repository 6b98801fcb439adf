#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QStringList>

// One node of the catalogue: a section (level 0) or an archive (level 1).
struct CatalogueNode {
    // MissingArchivePicture is never stored: it is how a closed archive
    // whose zip is not found is shown.
    enum Picture {
        SectionPicture = 0,
        ArchivePicture = 1,
        OpenArchivePicture = 2,
        MissingArchivePicture = 3
    };

    int level = 0;
    QString name;
    QString path; // the zip path of an archive; a single blank for a section
    int picture = SectionPicture;
};

// The two-level catalogue tree over one flat list of nodes in tree order: each
// section followed by its archives. Entry i of the list is the node with
// absolute index i, and so entry i of archivePaths and nodeNames, which
// therefore cannot drift from the tree.
//
// A closed archive whose zip is not found (a drive not mounted) stays in the
// catalogue and is shown marked, with a tooltip naming its zip. Whether the
// zip is there is looked at when the node is shown (at most every few seconds
// per zip) and when checkZip asks: a stat, nothing more.
class CatalogueModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { PictureRole = Qt::UserRole + 1, PathRole, LevelRole, AbsoluteIndexRole };

    using QAbstractItemModel::QAbstractItemModel;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // A drag of nodes carries their absolute indexes, one line each, as
    // NodeMimeType. Whatever comes over the tree may be dropped: what a drop
    // does is decided by the tree from where the drag came from.
    static const QString NodeMimeType;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // The absolute indexes a drag of this model carries; empty for any other data.
    static QList<int> draggedNodes(const QMimeData *data);

    int nodeCount() const { return static_cast<int>(m_nodes.size()); }
    const CatalogueNode &node(int absoluteIndex) const { return m_nodes.at(absoluteIndex); }
    QStringList archivePaths() const;
    QStringList nodeNames() const;

    // Absolute index of a model index, -1 for an invalid one, and back.
    int absoluteIndex(const QModelIndex &index) const;
    QModelIndex modelIndex(int absoluteIndex) const;
    // The section a node belongs to (the node itself for a section); -1 if none.
    int sectionOf(int absoluteIndex) const;
    bool isSection(int absoluteIndex) const;
    // Absolute indexes of the archives of a section, in tree order.
    QList<int> archivesOf(int sectionIndex) const;

    // Adds a section at the end; returns its absolute index.
    int appendSection(const QString &name);
    // Adds an archive as the last child of the last section; -1 when there is
    // no section to hold it.
    int appendArchive(const QString &name, const QString &path);
    // Adds an archive as the last child of the given section.
    int addArchive(int sectionIndex, const QString &name, const QString &path);
    // Where an archive goes among the archives of a section.
    enum class Place { First, Last };
    // Moves an archive, with its name, path and picture, into the given place
    // of a section (its own or another); returns its new absolute index, or -1
    // (nothing moved) when archiveIndex is no archive or sectionIndex no section.
    int moveArchive(int archiveIndex, int sectionIndex, Place place);
    void removeNode(int absoluteIndex); // an archive, or a section with its archives
    void setNodeName(int absoluteIndex, const QString &name);
    void setArchivePath(int absoluteIndex, const QString &path);
    void setPicture(int absoluteIndex, int picture);
    void clear();

    // Looks for the zip of archive absoluteIndex now; true when it is there.
    // The node's mark follows.
    bool checkZip(int absoluteIndex);
    // Whether the zip of archive absoluteIndex is missing, as the tree shows it.
    bool isZipMissing(int absoluteIndex) const;

private:
    int rowOf(int absoluteIndex) const;
    // Row of a section among the sections; -1 when absoluteIndex is not one.
    int sectionRow(int absoluteIndex) const;
    // Absolute index just past the archives of a section.
    int sectionEnd(int sectionIndex) const;
    void rebuildSectionIndex();

    // Whether the zip at path is missing, looked at again when the last look
    // is older than a few seconds.
    bool zipMissing(const QString &path) const;
    // Records a look at the zip at path; true when it found otherwise than
    // the look before it.
    bool recordLook(const QString &path, bool missing) const;

    struct ZipLook {
        bool missing = false;
        qint64 atMs = 0; // steady clock
    };

    QList<CatalogueNode> m_nodes;
    mutable QHash<QString, ZipLook> m_zipLooks;
    // Absolute index of every section, in tree order: a catalogue of tens of
    // thousands of sections is loaded and shown without walking the list.
    QList<int> m_sections;
};
