#pragma once

#include <QDialog>
#include <QList>
#include <QMessageBox>

class BoxText;
class QDialogButtonBox;
class QPlainTextEdit;

// A message box whose text holds a long list (thousands of zip paths or
// files): the text before the list, the list in a scrolling area of its own,
// the text after it, and the buttons below. The list area takes the height
// of its lines up to about two thirds of the screen, so the box fits the
// screen with its buttons however long the list is; the list can be selected
// and copied. Buttons and answers work as in QMessageBox.
class ListMessageBox : public QDialog {
    Q_OBJECT
public:
    ListMessageBox(QMessageBox::Icon icon, const BoxText &text, QWidget *parent);

    // Whether text's list is long enough to be shown apart; a short one reads
    // best inside an ordinary message box.
    static bool showsApart(const BoxText &text);

    // A standard button (its caption is the toolkit's) or one with caption.
    QAbstractButton *addButton(QMessageBox::StandardButton which);
    QAbstractButton *addButton(const QString &caption);
    QAbstractButton *button(QMessageBox::StandardButton which) const;
    QMessageBox::StandardButton standardButton(const QAbstractButton *button) const;
    // Pressed by Enter; and the answer when the box is closed or Escape pressed.
    void setDefaultButton(QAbstractButton *button);
    void setEscapeButton(QAbstractButton *button) { m_escape = button; }
    // The button the box was answered with (the escape button when closed).
    QAbstractButton *clickedButton() const { return m_clicked; }

    QPlainTextEdit *listArea() const { return m_list; }

public Q_SLOTS:
    void reject() override;

private:
    QPlainTextEdit *m_list = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    QList<std::pair<QAbstractButton *, QMessageBox::StandardButton>> m_standard;
    QAbstractButton *m_escape = nullptr;
    QAbstractButton *m_clicked = nullptr;
};
