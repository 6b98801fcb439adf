#pragma once

#include <QIcon>
#include <QStyledItemDelegate>
#include <array>

// Shows each node of the catalogue with its picture: section, archive, open archive.
class PictureDelegate : public QStyledItemDelegate {
public:
    PictureDelegate(const std::array<QIcon, 3> &pictures, QObject *parent);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    std::array<QIcon, 3> m_pictures;
};
