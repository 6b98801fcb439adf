#include "browse/web/findbar.h"

#include "lang/messages.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>

FindBar::FindBar(QWidget *parent) : QWidget(parent), m_edit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("FindBar"));
    m_edit->setObjectName(QStringLiteral("FindEdit"));
    m_edit->setClearButtonEnabled(true);
    m_edit->installEventFilter(this);

    auto button = [this](QStyle::StandardPixmap picture, const char *name) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(style()->standardIcon(picture));
        b->setAutoRaise(true);
        return b;
    };
    QToolButton *previous = button(QStyle::SP_ArrowUp, "FindPrevious");
    QToolButton *next = button(QStyle::SP_ArrowDown, "FindNext");
    QToolButton *closeButton = button(QStyle::SP_DialogCloseButton, "FindClose");

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(2);
    layout->addWidget(m_edit, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(closeButton);

    connect(m_edit, &QLineEdit::returnPressed, this,
            [this] { Q_EMIT findRequested(m_edit->text(), false); });
    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString &text) { Q_EMIT findRequested(text, false); });
    connect(previous, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(m_edit->text(), true); });
    connect(next, &QToolButton::clicked, this,
            [this] { Q_EMIT findRequested(m_edit->text(), false); });
    connect(closeButton, &QToolButton::clicked, this, &FindBar::close);
}

void FindBar::activate()
{
    // The hint follows the interface language of the moment.
    m_edit->setPlaceholderText(msg(MessageId::FindOnPageHint));
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

QString FindBar::text() const
{
    return m_edit->text();
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
    Q_EMIT closed();
}
