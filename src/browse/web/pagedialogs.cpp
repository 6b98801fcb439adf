#include "browse/web/pagedialogs.h"

#include "lang/messages.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr qsizetype kMaxTitle = 80;
constexpr qsizetype kMaxMessage = 4000;
constexpr int kMaxWidth = 560;

// A page's text cut to a length a dialog can show.
QString shortened(const QString &text, qsizetype length)
{
    return text.size() <= length ? text : text.left(length) + QChar(0x2026);
}

} // namespace

ScriptDialog::ScriptDialog(Kind kind, const QString &title, const QString &message,
                           const QString &text, bool offerStop)
    : m_kind(kind)
{
    setObjectName(QStringLiteral("scriptDialog"));
    setWindowTitle(shortened(title.simplified(), kMaxTitle));
    setMaximumWidth(kMaxWidth);
    auto *layout = new QVBoxLayout(this);

    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("scriptMessage"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    if (kind == Kind::OpenElsewhere) {
        label->setText(msg(MessageId::OpenElsewhereQuestion));
        // The whole address, however long, broken anywhere to fit.
        auto *address = new QPlainTextEdit(text, this);
        address->setObjectName(QStringLiteral("address"));
        address->setReadOnly(true);
        address->setWordWrapMode(QTextOption::WrapAnywhere);
        address->setMaximumHeight(fontMetrics().lineSpacing() * 8);
        layout->addWidget(address);
    } else {
        label->setText(shortened(message, kMaxMessage));
    }
    if (kind == Kind::Prompt) {
        m_text = new QLineEdit(text, this);
        m_text->setObjectName(QStringLiteral("promptText"));
        layout->addWidget(m_text);
    }
    if (offerStop) {
        m_stop = new QCheckBox(msg(MessageId::ScriptDialogStop), this);
        m_stop->setObjectName(QStringLiteral("stopDialogs"));
        layout->addWidget(m_stop);
    }

    QDialogButtonBox::StandardButtons buttons = QDialogButtonBox::Ok;
    if (kind == Kind::Confirm || kind == Kind::Prompt)
        buttons |= QDialogButtonBox::Cancel;
    else if (kind == Kind::OpenElsewhere)
        buttons = QDialogButtonBox::Open | QDialogButtonBox::Cancel;
    auto *box = new QDialogButtonBox(buttons, this);
    m_accept =
        box->button(kind == Kind::OpenElsewhere ? QDialogButtonBox::Open : QDialogButtonBox::Ok);
    // Nothing goes to another program by a stray Enter.
    if (kind == Kind::OpenElsewhere)
        box->button(QDialogButtonBox::Cancel)->setDefault(true);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString ScriptDialog::text() const
{
    return m_text ? m_text->text() : QString();
}

bool ScriptDialog::stopAsked() const
{
    return m_stop && m_stop->isChecked();
}

PageDialogs::PageDialogs(QWidget *view) : QObject(view), m_view(view) {}

PageDialogs::Answer PageDialogs::ask(ScriptDialog::Kind kind, const QString &title,
                                     const QString &message, const QString &text)
{
    if (m_stopped || m_depth > 0)
        return {};
    QPointer<QWidget> window = m_view->window();
    // Not a child of the window: the window is disabled below it. Not modal
    // either: the window's own close button must still reach it.
    ScriptDialog dialog(kind, title, message, text, m_shown > 0);
    ++m_shown;
    ++m_depth;
    m_dialog = &dialog;
    dialog.adjustSize();
    dialog.winId();
    if (window && window->isVisible()) {
        dialog.windowHandle()->setTransientParent(window->windowHandle());
        dialog.move(window->frameGeometry().center() - dialog.rect().center());
    }
    const bool wasEnabled = window && window->isEnabled();
    if (window) {
        window->setEnabled(false);
        window->installEventFilter(this);
    }

    QEventLoop loop;
    connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec(QEventLoop::DialogExec);

    if (window) {
        window->removeEventFilter(this);
        window->setEnabled(wasEnabled);
    }
    m_dialog = nullptr;
    --m_depth;
    if (dialog.stopAsked())
        m_stopped = true;
    Answer answer;
    answer.accepted = dialog.result() == QDialog::Accepted;
    answer.text = dialog.text();
    if (m_closeWindow && window) {
        m_closeWindow = false;
        // Once the page has its answer and the browser is out of the call.
        QTimer::singleShot(0, window.data(), [window] {
            if (window)
                window->close();
        });
    }
    Q_EMIT closed();
    return answer;
}

void PageDialogs::startPage()
{
    if (m_depth == 0) {
        m_shown = 0;
        m_stopped = false;
    }
}

void PageDialogs::stop()
{
    m_stopped = true;
    if (m_dialog)
        m_dialog->reject();
}

bool PageDialogs::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && m_dialog) {
        // The close is done again once the dialog is out of the way.
        event->ignore();
        m_closeWindow = true;
        stop();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
