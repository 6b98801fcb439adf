#pragma once

#include "commands/createarchivecheck.h"
#include "commands/dialogvalues.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class UserInteraction;

// The create-archive dialog: where the zip goes, the archive's name, the zip
// file's name and the pages it starts with. Made once and kept; its own texts
// (the OK checks' messages, the choose button once files were chosen) keep
// the language active when it was made, the rest follow the catalogue each
// time it is opened.
class CreateArchiveDialog : public QDialog {
    Q_OBJECT
public:
    // Messages and questions of the OK checks go through ui.
    CreateArchiveDialog(UserInteraction &ui, QWidget *parent = nullptr);

    void setTexts();
    void setValues(const CreateArchiveValues &values);
    CreateArchiveValues values() const;

    // Closes with OK only once every check passed.
    void accept() override;

    void chooseFolder();
    void chooseFiles();
    void searchFolder();
    void addPageFiles(const QStringList &paths);

    QGroupBox *infoGroup;
    QLabel *folderLabel;
    QLineEdit *folderEdit;
    QPushButton *browseButton;
    QLabel *nameLabel;
    QLineEdit *nameEdit;
    QLabel *zipLabel;
    QLineEdit *zipEdit;
    QLabel *zipSuffix;
    QListWidget *fileList;
    QPushButton *chooseButton;
    QPushButton *searchButton;
    QCheckBox *subfoldersBox;
    QPushButton *okButton;
    QPushButton *cancelButton;

private:
    UserInteraction &m_ui;
    const CreateDialogOwnTexts m_own;
    CreateArchiveValues m_values; // what the dialog was opened with
};
