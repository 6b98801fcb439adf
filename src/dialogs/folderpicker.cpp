#include "dialogs/folderpicker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

FolderPicker::FolderPicker(QWidget *parent) : QFileDialog(parent)
{
    setObjectName(QStringLiteral("FolderPicker"));
    setFileMode(QFileDialog::Directory);
    // The platform's own dialog would refuse a folder that does not exist.
    setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    setDirectory(QDir::currentPath());

    // The dialog keeps its accept button disabled while the typed name is no
    // existing folder; here any name may be chosen. Our connections run after
    // the dialog's own, so they have the last word.
    auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    auto *box = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    if (edit && box) {
        auto enable = [edit, box] {
            for (QAbstractButton *button : box->buttons()) {
                if (box->buttonRole(button) == QDialogButtonBox::AcceptRole &&
                    !edit->text().trimmed().isEmpty())
                    button->setEnabled(true);
            }
        };
        connect(edit, &QLineEdit::textChanged, this, enable);
        connect(this, &QFileDialog::directoryEntered, this, enable);
        connect(this, &QFileDialog::currentChanged, this, enable);
    }
}

QString FolderPicker::createQuestion()
{
    return QStringLiteral("The specified directory does not exist. Create it?");
}

void FolderPicker::accept()
{
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty())
        return;
    const QString path = QDir::cleanPath(chosen.first());
    const QFileInfo info(path);
    if (info.exists()) {
        // An existing folder, or a file the dialog itself refuses.
        if (info.isDir())
            m_folder = QDir::toNativeSeparators(path);
        QFileDialog::accept();
        return;
    }
    QMessageBox box(QMessageBox::Question, windowTitle(), createQuestion(),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("CreateFolderQuestion"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes)
        return;
    m_folder = QDir::toNativeSeparators(path);
    // Past the file dialog's own check, which accepts existing folders only.
    QDialog::accept();
}

QString FolderPicker::getFolder(QWidget *parent, const QString &title, const QString &startFolder)
{
    FolderPicker picker(parent);
    // Captions taken from a field's label lose its colon in a window title.
    QString caption = title;
    if (caption.endsWith(u':'))
        caption.chop(1);
    picker.setWindowTitle(caption);
    if (!startFolder.isEmpty())
        picker.setDirectory(startFolder);
    if (picker.exec() != QDialog::Accepted)
        return {};
    return picker.folder();
}
