#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The pages of the open archive: the visible titles (titles) and, as a second
// role of the same rows, their file names (fileNames). One row per page, so
// the two lists cannot drift apart.
class PageListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { TitleRole = Qt::DisplayRole, FileNameRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(m_titles.size()); }
    QString title(int row) const { return m_titles.value(row); }
    QString fileName(int row) const { return m_files.value(row); }
    const QStringList &titles() const { return m_titles; }
    const QStringList &fileNames() const { return m_files; }

    void append(const QString &title, const QString &fileName);
    void insert(int row, const QString &title, const QString &fileName);
    void removeAt(int row);
    void setTitle(int row, const QString &title);
    void setFileName(int row, const QString &fileName);
    void move(int from, int to);
    void clear();
    // Replaces every page at once; the two lists must be of the same length.
    void reset(const QStringList &titles, const QStringList &fileNames);

private:
    QStringList m_titles;
    QStringList m_files;
};
