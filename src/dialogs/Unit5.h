#pragma once

#include "commands/userinteraction.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The settings dialog: the default archive folder and three switches. Its
// texts follow the interface language of the moment it is opened.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent = nullptr);

    // Title, group caption and check-box captions from the active language.
    void setTexts();
    void setValues(const SettingsDialogValues &values);
    SettingsDialogValues values() const;

    // The "..." button: the folder picker fills Edit1 unless it is cancelled.
    void Button1Click();

    QGroupBox *GroupBox1;
    QLineEdit *Edit1;
    QPushButton *Button1;
    QCheckBox *CheckBox1;
    QCheckBox *CheckBox3;
    QCheckBox *CheckBox2;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
};
