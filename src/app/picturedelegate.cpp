#include "app/picturedelegate.h"

#include "catalogue/cataloguemodel.h"

PictureDelegate::PictureDelegate(const std::array<QIcon, 4> &pictures, QObject *parent)
    : QStyledItemDelegate(parent), m_pictures(pictures)
{
}

void PictureDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant picture = index.data(CatalogueModel::PictureRole);
    if (!picture.isValid())
        return;
    const int n = picture.toInt();
    if (n >= 0 && n < int(m_pictures.size())) {
        option->icon = m_pictures[n];
        option->features |= QStyleOptionViewItem::HasDecoration;
    }
}
