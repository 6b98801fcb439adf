#include "lang/boxtext.h"

BoxText BoxText::listed(const QString &before, const QStringList &items, const QString &after,
                        const QString &separator)
{
    BoxText box(before);
    box.m_items = items;
    box.m_separator = separator;
    box.m_after = after;
    return box;
}

QString BoxText::text() const
{
    return m_before + m_items.join(m_separator) + m_after;
}

BoxText &BoxText::operator+=(const QString &more)
{
    if (hasList())
        m_after += more;
    else
        m_before += more;
    return *this;
}
