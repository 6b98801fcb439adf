#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for one name: a caption, a prompt above the field and a proposed text
// in it. Yes with an empty field ends it cancelled, as Cancel, Esc and closing
// the window do, so an accepted dialog always gives a name of at least one
// character (blanks count, nothing is trimmed). The buttons are the toolkit's
// own; the caller gives the texts, in the active language.
class NameInputDialog : public QDialog {
    Q_OBJECT
public:
    explicit NameInputDialog(QWidget *parent = nullptr);

    // Sets caption, prompt and field for the next use, and the size that
    // shows them whole.
    void setTexts(const QString &caption, const QString &prompt, const QString &initial);
    QString name() const;

    // Ends accepted only with a name in the field.
    void accept() override;

    QLabel *promptLabel;
    QLineEdit *nameEdit;
    QPushButton *yesButton;
    QPushButton *cancelButton;
};
