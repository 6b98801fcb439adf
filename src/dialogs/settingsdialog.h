#pragma once

#include "commands/dialogvalues.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The settings dialog: the default archive folder and three switches. Its
// texts follow the interface language of the moment it is opened.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget *parent = nullptr);

    // Title, group caption and check-box captions from the active language.
    void setTexts();
    void setValues(const SettingsDialogValues &values);
    SettingsDialogValues values() const;

    // The "..." button: the folder picker fills folderEdit unless it is cancelled.
    void chooseFolder();

    QGroupBox *folderGroup;
    QLineEdit *folderEdit;
    QPushButton *browseButton;
    QCheckBox *checkArchivesBox;
    QCheckBox *rememberWindowBox;
    QCheckBox *deleteOriginalsBox;
    QPushButton *okButton;
    QPushButton *cancelButton;
};
