#pragma once

#include <QIcon>
#include <QStyledItemDelegate>
#include <array>

// Shows each node of the catalogue with its picture: section, archive, open
// archive, archive whose zip is not found.
class PictureDelegate : public QStyledItemDelegate {
public:
    PictureDelegate(const std::array<QIcon, 4> &pictures, QObject *parent);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    std::array<QIcon, 4> m_pictures;
};
