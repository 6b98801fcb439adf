#include "app/viewstyle.h"

#include <QAbstractItemView>
#include <QHash>
#include <QIconEngine>
#include <QMenu>
#include <QPainter>

namespace {

// Some themes draw pale pictures (the light arrows of the navigation buttons)
// that the style's own greying hardly changes: a disabled button looked like
// an enabled one. A disabled picture is the normal one in grey, faded.
class FadedWhenDisabled : public QIconEngine {
public:
    explicit FadedWhenDisabled(const QIcon &icon) : m_icon(icon) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        if (mode != QIcon::Disabled)
            return m_icon.pixmap(size, mode, state);
        const QImage normal = m_icon.pixmap(size, QIcon::Normal, state).toImage();
        const QImage grey = normal.convertToFormat(QImage::Format_Grayscale8)
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage faded(normal.size(), QImage::Format_ARGB32_Premultiplied);
        faded.setDevicePixelRatio(normal.devicePixelRatio());
        faded.fill(Qt::transparent);
        QPainter painter(&faded);
        painter.drawImage(0, 0, grey);
        // Keep the picture's own shape: grey only where it was drawn.
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(0, 0, normal);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(faded.rect(), QColor(0, 0, 0, 90));
        painter.end();
        return QPixmap::fromImage(faded);
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode, state);
    }

    QIconEngine *clone() const override { return new FadedWhenDisabled(m_icon); }

private:
    QIcon m_icon;
};

// An archive whose zip is not found: the archive's picture, faded, with a
// warning sign on its lower right corner.
class MarkedMissing : public QIconEngine {
public:
    MarkedMissing(const QIcon &icon, const QIcon &mark) : m_icon(icon), m_mark(mark) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->save();
        painter->setOpacity(0.4);
        m_icon.paint(painter, rect, Qt::AlignCenter, mode, state);
        painter->setOpacity(1.0);
        const int side = qMax(8, rect.width() * 11 / 16);
        m_mark.paint(painter, QRect(rect.right() + 1 - side, rect.bottom() + 1 - side, side, side),
                     Qt::AlignCenter, mode, state);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap drawn(size);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return drawn;
    }

    QIconEngine *clone() const override { return new MarkedMissing(m_icon, m_mark); }

private:
    QIcon m_icon;
    QIcon m_mark;
};

} // namespace

namespace ViewStyle {

QIcon markedMissing(const QIcon &icon, const QStyle *style)
{
    const QIcon mark = themeIcon("dialog-warning", QStyle::SP_MessageBoxWarning, style);
    return QIcon(new MarkedMissing(icon, mark));
}

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
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
    return icon.isNull() ? icon : QIcon(new FadedWhenDisabled(icon));
}

QIcon commandPicture(const char *name, const QStyle *style)
{
    // What the style draws where the theme has no such picture.
    static const QHash<QByteArray, QStyle::StandardPixmap> standIns{
        {"folder-new", QStyle::SP_FileDialogNewFolder},
        {"list-add", QStyle::SP_FileDialogNewFolder},
        {"insert-text", QStyle::SP_FileDialogDetailedView},
        {"document-new", QStyle::SP_FileIcon},
        {"mail-attachment", QStyle::SP_FileLinkIcon},
        {"go-jump", QStyle::SP_ArrowRight},
        {"edit-delete", QStyle::SP_TrashIcon},
        {"go-up", QStyle::SP_ArrowUp},
        {"go-down", QStyle::SP_ArrowDown},
        {"go-first", QStyle::SP_MediaSkipBackward},
        {"go-previous", QStyle::SP_ArrowBack},
        {"edit-undo", QStyle::SP_BrowserReload},
        {"go-next", QStyle::SP_ArrowForward},
        {"go-last", QStyle::SP_MediaSkipForward},
        {"view-fullscreen", QStyle::SP_TitleBarMaxButton},
        {"view-restore", QStyle::SP_TitleBarNormalButton},
        {"document-print", QStyle::SP_DialogSaveButton},
        {"document-print-preview", QStyle::SP_FileDialogContentsView},
        {"edit-find", QStyle::SP_FileDialogContentsView},
    };
    return themeIcon(name, standIns.value(name, QStyle::SP_CustomBase), style);
}

void paintNavy(QWidget *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, navy());
    label->setPalette(palette);
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
