#include "browse/web/findbar.h"

#include "lang/messages.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

namespace {

// The field's background while nothing matches: the tint browsers use, light
// enough to keep the text readable in light and dark themes' text colours.
const QColor kNotFoundBase(0xff, 0xcc, 0xcc);
const QColor kNotFoundText(0x20, 0x00, 0x00);

} // namespace

FindBar::FindBar(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_result(new QLabel(this))
{
    setObjectName(QStringLiteral("FindBar"));
    m_edit->setObjectName(QStringLiteral("FindEdit"));
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);
    m_result->setObjectName(QStringLiteral("FindResult"));
    m_result->setTextFormat(Qt::PlainText);

    auto button = [this](QStyle::StandardPixmap picture, const char *name) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(picture));
        b->setAutoRaise(true);
        return b;
    };
    m_previous = button(QStyle::SP_ArrowUp, "FindPrevious");
    m_next = button(QStyle::SP_ArrowDown, "FindNext");
    m_close = button(QStyle::SP_DialogCloseButton, "FindClose");

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addSpacing(4);
    layout->addWidget(m_result);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_close);

    connect(m_edit, &QLineEdit::returnPressed, this,
            [this] { Q_EMIT findRequested(m_edit->text(), false); });
    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString &text) { Q_EMIT findRequested(text, false); });
    connect(m_previous, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(m_edit->text(), true); });
    connect(m_next, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(m_edit->text(), false); });
    connect(m_close, &QToolButton::clicked, this, &FindBar::close);
    retranslate();
}

void FindBar::activate()
{
    // The texts follow the interface language of the moment.
    retranslate();
    show();
    m_edit->setFocus();
    m_edit->selectAll();
}

void FindBar::activate(const QString &text)
{
    const QSignalBlocker quiet(m_edit);
    m_edit->setText(text);
    activate();
}

void FindBar::retranslate()
{
    m_edit->setPlaceholderText(msg(MessageId::FindOnPageHint));
    m_edit->setAccessibleName(msg(MessageId::FindOnPageHint));
    m_previous->setToolTip(msg(MessageId::FindPreviousHint));
    m_next->setToolTip(msg(MessageId::FindNextHint));
    m_close->setToolTip(msg(MessageId::FindCloseHint));
    for (QToolButton *b : {m_previous, m_next, m_close})
        b->setAccessibleName(b->toolTip());
    // Room for the longest result, so the field does not jump while typing.
    const QFontMetrics metrics = m_result->fontMetrics();
    m_result->setMinimumWidth(
        qMax(metrics.horizontalAdvance(msg(MessageId::FindMatches).arg(999).arg(999)),
             metrics.horizontalAdvance(msg(MessageId::FindNotFound))));
    m_result->setText(resultCaption());
}

QString FindBar::resultCaption() const
{
    if (m_count < 0)
        return QString();
    return m_count == 0 ? msg(MessageId::FindNotFound)
                        : msg(MessageId::FindMatches).arg(m_activeMatch).arg(m_count);
}

QString FindBar::text() const
{
    return m_edit->text();
}

void FindBar::showResult(int activeMatch, int count)
{
    if (m_edit->text().isEmpty()) {
        clearResult();
        return;
    }
    setNotFound(count == 0);
    m_activeMatch = activeMatch;
    m_count = qMax(count, 0);
    m_result->setText(resultCaption());
}

void FindBar::clearResult()
{
    setNotFound(false);
    m_count = -1;
    m_result->clear();
}

QString FindBar::resultText() const
{
    return m_result->text();
}

void FindBar::setNotFound(bool notFound)
{
    m_notFound = notFound;
    QPalette colours = palette();
    if (notFound) {
        colours.setColor(QPalette::Base, kNotFoundBase);
        colours.setColor(QPalette::Text, kNotFoundText);
    }
    m_edit->setPalette(colours);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & Qt::ShiftModifier)) {
            Q_EMIT findRequested(m_edit->text(), true);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::close()
{
    hide();
    clearResult();
    Q_EMIT closed();
}
