#pragma once

#include <QFileDialog>

// A folder picker that also takes the name of a folder that does not exist
// yet: it asks whether to create it and stays open unless the answer is Yes.
// It creates nothing itself; whoever asked for the folder does.
class FolderPicker : public QFileDialog {
    Q_OBJECT
public:
    explicit FolderPicker(QWidget *parent = nullptr);

    // The folder chosen, once the picker was accepted.
    QString folder() const { return m_folder; }

    // Shows the picker, starting in startFolder (the current folder when
    // empty); the folder chosen, or empty when cancelled.
    static QString getFolder(QWidget *parent, const QString &title,
                             const QString &startFolder = {});

    static QString createQuestion();

public Q_SLOTS:
    void accept() override;

private:
    QString m_folder;
};
