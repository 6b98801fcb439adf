#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLineEdit;
class QPushButton;

// One dialog of a page: the message of alert(), confirm() or prompt(), or the
// question whether an address the page holds may go to another program.
// It is titled with the page's title, never with a path, and shows the
// page's text as plain text.
class ScriptDialog : public QDialog {
    Q_OBJECT
public:
    enum class Kind { Alert, Confirm, Prompt, OpenElsewhere };

    // offerStop: the box that stops further dialogs of the page is shown.
    ScriptDialog(Kind kind, const QString &title, const QString &message, const QString &text,
                 bool offerStop);

    Kind kind() const { return m_kind; }
    // The text typed into a prompt.
    QString text() const;
    // Whether the user asked for no more dialogs from the page.
    bool stopAsked() const;
    QPushButton *acceptButton() const { return m_accept; }
    QCheckBox *stopBox() const { return m_stop; }

private:
    Kind m_kind;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_stop = nullptr;
    QPushButton *m_accept = nullptr;
};

// The dialogs of the pages shown in one view. One is open at a time; while
// it is, the window below takes no input, yet closing it still works: the
// dialog goes as if cancelled, the page gets no more dialogs, and the window
// closes once the page has its answer. From a page's second dialog on, the
// dialog offers to stop further dialogs from it.
class PageDialogs : public QObject {
    Q_OBJECT
public:
    // view: the widget whose window the dialogs belong to.
    explicit PageDialogs(QWidget *view);

    struct Answer {
        bool accepted = false;
        QString text;
    };
    // Shows a dialog and waits for the answer; a page whose dialogs are
    // stopped gets "cancelled" at once, as does one asking while another of
    // its dialogs is open.
    Answer ask(ScriptDialog::Kind kind, const QString &title, const QString &message,
               const QString &text = QString());

    // A page asked for by the user: its dialogs counted from none, allowed.
    void startPage();
    // No more dialogs for the page shown; an open one goes as cancelled.
    void stop();
    bool stopped() const { return m_stopped; }
    // A dialog is open (its answer not yet given back).
    bool isOpen() const { return m_depth > 0; }
    ScriptDialog *openDialog() const { return m_dialog; }

Q_SIGNALS:
    // The last open dialog has given its answer back and is gone.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_view;
    QPointer<ScriptDialog> m_dialog;
    int m_shown = 0;
    int m_depth = 0;
    bool m_stopped = false;
    bool m_closeWindow = false;
};
