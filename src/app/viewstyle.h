#pragma once

#include <QColor>
#include <QIcon>
#include <QStyle>

class QAbstractItemView;
class QMenu;
class QWidget;

// The look the window's parts share.
namespace ViewStyle {

// A picture from the desktop's icon theme, or the style's own when the theme
// has none.
QIcon themeIcon(const char *name, QStyle::StandardPixmap fallback, const QStyle *style);
// A command's picture by its theme name (commands/commandtable.h), with the
// style's picture that stands in for it when the theme has none.
QIcon commandPicture(const char *name, const QStyle *style);
// The picture of something that is not found where it should be (an archive
// whose zip is missing): icon, faded, with a warning sign.
QIcon markedMissing(const QIcon &icon, const QStyle *style);

inline QColor navy()
{
    return QColor(0x00, 0x00, 0x80);
}
inline QColor olive()
{
    return QColor(0x80, 0x80, 0x00);
}

// The colour of the catalogue and of the dialogs' prompts.
void paintNavy(QWidget *label);

// Bold 11-pixel text in the view's colour, the selection kept in full colour
// when the view loses the focus, and popup shown on a right click.
void dressView(QAbstractItemView *view, const QColor &textColor, QMenu *popup);

} // namespace ViewStyle
