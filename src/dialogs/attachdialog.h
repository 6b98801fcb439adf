#pragma once

#include "commands/attaching.h"
#include "commands/dialogvalues.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class UserInteraction;

// The attach dialog: the zip files to bring into the catalogue, and whether
// they move into the default archive folder. Made once and kept; its own text
// (the message when no zip file is chosen) keeps the language active when it
// was made, the rest follow the catalogue each time it is opened.
class AttachDialog : public QDialog {
    Q_OBJECT
public:
    // The message of the accept check goes through ui.
    AttachDialog(UserInteraction &ui, QWidget *parent = nullptr);

    void setTexts();
    void setValues(const AttachValues &values);
    AttachValues values() const;

    // Closes with the accept result only once a zip file is chosen.
    void accept() override;

    // The file dialog; the files chosen there replace the list.
    void chooseFiles();
    void replaceFiles(const QStringList &paths);

    QLabel *promptLabel;
    QPushButton *browseButton;
    QListWidget *fileList;
    QCheckBox *moveBox;
    QPushButton *yesButton;
    QPushButton *cancelButton;

private:
    UserInteraction &m_ui;
    const AttachDialogOwnTexts m_own;
};
