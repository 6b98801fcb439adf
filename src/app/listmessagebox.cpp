#include "app/listmessagebox.h"

#include "lang/boxtext.h"
#include "version.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// A list of more lines than this goes into its own scrolling area.
constexpr int kLinesInABox = 12;

QString shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// The text around the list, without the blank lines that set it off in the
// written text: the list area sets it off now.
QString aroundTheList(const QString &text)
{
    QString shown = shownText(text);
    while (shown.startsWith(u'\n'))
        shown.remove(0, 1);
    while (shown.endsWith(u'\n'))
        shown.chop(1);
    return shown;
}

QStringList listLines(const BoxText &text)
{
    return shownText(text.items().join(text.separator())).split(u'\n');
}

// The list: as high as its lines, up to about two thirds of the screen; as
// wide as its longest line, up to two thirds of the screen.
class ListArea : public QPlainTextEdit {
public:
    ListArea(const QStringList &lines, const QScreen *screen, QWidget *parent)
        : QPlainTextEdit(parent)
    {
        setReadOnly(true);
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setPlainText(lines.join(u'\n'));

        const QFontMetrics metrics(font());
        int widest = 0;
        for (const QString &line : lines)
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const int margins = 2 * (frameWidth() + int(document()->documentMargin()) + 2);
        const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
        const int width = qBound(360, widest + margins + scrollBar, available.width() * 2 / 3);
        const int height = qMin(int(lines.size()) * metrics.lineSpacing() + margins + scrollBar,
                                available.height() * 2 / 3);
        m_hint = QSize(width, height);
        // Never taller than the hint, so the box cannot outgrow the screen;
        // shorter when the screen is crowded, a few lines at least.
        setMaximumHeight(height);
        setMinimumHeight(qMin(height, 4 * metrics.lineSpacing() + margins));
    }

    QSize sizeHint() const override { return m_hint; }

private:
    QSize m_hint;
};

QStyle::StandardPixmap pixmapOf(QMessageBox::Icon icon)
{
    switch (icon) {
    case QMessageBox::Information:
        return QStyle::SP_MessageBoxInformation;
    case QMessageBox::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QMessageBox::Critical:
        return QStyle::SP_MessageBoxCritical;
    case QMessageBox::Question:
        return QStyle::SP_MessageBoxQuestion;
    case QMessageBox::NoIcon:
        break;
    }
    return QStyle::SP_CustomBase;
}

QLabel *textLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setVisible(!text.isEmpty());
    return label;
}

} // namespace

ListMessageBox::ListMessageBox(QMessageBox::Icon icon, const BoxText &text, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("listMessageBox"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    setModal(true);
    const QScreen *shownOn = parent ? parent->screen() : QGuiApplication::primaryScreen();

    auto *layout = new QVBoxLayout(this);
    auto *body = new QHBoxLayout;
    layout->addLayout(body, 1);
    if (icon != QMessageBox::NoIcon) {
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        auto *picture = new QLabel(this);
        picture->setPixmap(style()->standardIcon(pixmapOf(icon), nullptr, this).pixmap(size));
        picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
        body->addWidget(picture, 0, Qt::AlignTop);
    }
    auto *texts = new QVBoxLayout;
    body->addLayout(texts, 1);
    auto *before = textLabel(aroundTheList(text.before()), this);
    before->setObjectName(QStringLiteral("textBeforeList"));
    texts->addWidget(before);
    m_list = new ListArea(listLines(text), shownOn, this);
    m_list->setObjectName(QStringLiteral("listArea"));
    m_list->setAccessibleName(before->text());
    texts->addWidget(m_list, 1);
    auto *after = textLabel(aroundTheList(text.after()), this);
    after->setObjectName(QStringLiteral("textAfterList"));
    texts->addWidget(after);

    m_buttons = new QDialogButtonBox(Qt::Horizontal, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::clicked, this, [this](QAbstractButton *clicked) {
        m_clicked = clicked;
        accept();
    });
}

bool ListMessageBox::showsApart(const BoxText &text)
{
    return text.hasList() && listLines(text).size() > kLinesInABox;
}

QAbstractButton *ListMessageBox::addButton(QMessageBox::StandardButton which)
{
    // The two kinds of standard button are numbered alike.
    QAbstractButton *added =
        m_buttons->addButton(static_cast<QDialogButtonBox::StandardButton>(which));
    m_standard.append({added, which});
    return added;
}

QAbstractButton *ListMessageBox::addButton(const QString &caption)
{
    return m_buttons->addButton(caption, QDialogButtonBox::AcceptRole);
}

QAbstractButton *ListMessageBox::button(QMessageBox::StandardButton which) const
{
    for (const auto &[added, kind] : m_standard) {
        if (kind == which)
            return added;
    }
    return nullptr;
}

QMessageBox::StandardButton ListMessageBox::standardButton(const QAbstractButton *button) const
{
    for (const auto &[added, kind] : m_standard) {
        if (added == button)
            return kind;
    }
    return QMessageBox::NoButton;
}

void ListMessageBox::setDefaultButton(QAbstractButton *button)
{
    if (auto *push = qobject_cast<QPushButton *>(button)) {
        push->setDefault(true);
        push->setFocus();
    }
}

void ListMessageBox::reject()
{
    if (!m_clicked)
        m_clicked = m_escape;
    QDialog::reject();
}
