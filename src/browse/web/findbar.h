#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

// A slim search row above the page: type, Enter for the next match,
// Shift+Enter for the previous one, Escape to close. Beside the field it says
// which match is shown and how many there are, or that there is none.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget *parent = nullptr);

    // Shows the bar with the search text selected, ready for typing.
    void activate();
    // The same with text in the field, without searching for it.
    void activate(const QString &text);
    QString text() const;

    // What the page found for the text in the field: the match now
    // highlighted (from 1) of count. No match for a text that is not empty
    // shows the not-found state.
    void showResult(int activeMatch, int count);
    // Forgets the last result (a new page is coming).
    void clearResult();
    bool isNotFound() const { return m_notFound; }
    // The text beside the field: "2 of 5", "Not found" or nothing.
    QString resultText() const;
    // Puts the texts of the active language on the bar, the shown result too.
    void retranslate();

Q_SIGNALS:
    void findRequested(const QString &text, bool backward);
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void close();
    void setNotFound(bool notFound);
    QString resultCaption() const;

    QLineEdit *m_edit;
    QLabel *m_result;
    QToolButton *m_previous;
    QToolButton *m_next;
    QToolButton *m_close;
    bool m_notFound = false;
    // The result shown, kept to say it again in another language; no count
    // while none is shown.
    int m_activeMatch = 0;
    int m_count = -1;
};
