#include "app/viewstyle.h"

#include <QAbstractItemView>
#include <QMenu>

namespace ViewStyle {

QIcon themeIcon(const char *name, QStyle::StandardPixmap fallback, const QStyle *style)
{
    static const bool themeReady = [] {
        // Without a desktop session Qt knows no theme beyond the bare hicolor
        // one; Adwaita comes with the toolkit's dependencies on Debian.
        const QString current = QIcon::themeName();
        if (current.isEmpty() || current == u"hicolor")
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(themeReady);
    return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

void dressView(QAbstractItemView *view, const QColor &textColor, QMenu *popup)
{
    QFont font = view->font();
    font.setPixelSize(11);
    font.setBold(true);
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Text, textColor);
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(palette);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        view, &QWidget::customContextMenuRequested, popup,
        [view, popup](const QPoint &pos) { popup->popup(view->viewport()->mapToGlobal(pos)); });
}

} // namespace ViewStyle
