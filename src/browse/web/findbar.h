#pragma once

#include <QWidget>

class QLineEdit;

// A slim search row above the page: type, Enter for the next match,
// Shift+Enter for the previous one, Escape to close.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    // Shows the bar with the search text selected, ready for typing.
    void activate();
    // The same with text in the field, without searching for it.
    void activate(const QString &text);
    QString text() const;

Q_SIGNALS:
    void findRequested(const QString &text, bool backward);
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void close();

    QLineEdit *m_edit;
};
