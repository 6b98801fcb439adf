#include "dialogs/createarchivedialog.h"

#include "app/viewstyle.h"
#include "dialogs/folderpicker.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CreateArchiveDialog::CreateArchiveDialog(UserInteraction &ui, QWidget *parent)
    : QDialog(parent), infoGroup(new QGroupBox(this)), folderLabel(new QLabel(infoGroup)),
      folderEdit(new QLineEdit(infoGroup)),
      browseButton(new QPushButton(QStringLiteral("..."), infoGroup)),
      nameLabel(new QLabel(infoGroup)), nameEdit(new QLineEdit(infoGroup)),
      zipLabel(new QLabel(infoGroup)), zipEdit(new QLineEdit(infoGroup)),
      zipSuffix(new QLabel(QStringLiteral(".zip"), infoGroup)), fileList(new QListWidget(this)),
      chooseButton(new QPushButton(this)), searchButton(new QPushButton(this)),
      subfoldersBox(new QCheckBox(this)), m_ui(ui),
      m_own(CreateDialogOwnTexts::inLanguage(Messages::russianActive()))
{
    setObjectName(QStringLiteral("CreateArchiveDialog"));
    folderEdit->setObjectName(QStringLiteral("folderEdit"));
    browseButton->setObjectName(QStringLiteral("browseButton"));
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    zipEdit->setObjectName(QStringLiteral("zipEdit"));
    fileList->setObjectName(QStringLiteral("fileList"));
    chooseButton->setObjectName(QStringLiteral("chooseButton"));
    searchButton->setObjectName(QStringLiteral("searchButton"));
    subfoldersBox->setObjectName(QStringLiteral("subfoldersBox"));

    // The group's caption is bold, its labels and fields are not. The weight is
    // set explicitly: a font equal to the inherited one would let the group's
    // bold through to them.
    QFont plain = font();
    plain.setBold(false);
    QFont bold = plain;
    bold.setBold(true);
    infoGroup->setFont(bold);
    for (QWidget *w : std::initializer_list<QWidget *>{folderLabel, folderEdit, nameLabel, nameEdit,
                                                       zipLabel, zipEdit})
        w->setFont(plain);
    QFont large = bold;
    large.setPixelSize(16);
    browseButton->setFont(large);
    browseButton->setFixedSize(27, 25);
    browseButton->setAutoDefault(false);
    zipSuffix->setFont(large);

    auto *grid = new QGridLayout(infoGroup);
    grid->addWidget(folderLabel, 0, 0, 1, 3);
    grid->addWidget(folderEdit, 1, 0, 1, 2);
    grid->addWidget(browseButton, 1, 2);
    grid->addWidget(nameLabel, 2, 0, 1, 3);
    grid->addWidget(nameEdit, 3, 0, 1, 2);
    grid->addWidget(zipLabel, 4, 0, 1, 3);
    grid->addWidget(zipEdit, 5, 0);
    grid->addWidget(zipSuffix, 5, 1, 1, 2);
    grid->setColumnStretch(0, 1);

    chooseButton->setFont(bold);
    QPalette olive = chooseButton->palette();
    olive.setColor(QPalette::ButtonText, ViewStyle::olive());
    chooseButton->setPalette(olive);
    searchButton->setFont(bold);
    for (QPushButton *button : {chooseButton, searchButton})
        button->setAutoDefault(false);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    cancelButton = buttons->button(QDialogButtonBox::Cancel);
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    okButton->setDefault(true);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(searchButton);
    searchRow->addWidget(subfoldersBox, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(infoGroup);
    layout->addWidget(fileList, 1);
    layout->addWidget(chooseButton);
    layout->addLayout(searchRow);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CreateArchiveDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &CreateArchiveDialog::chooseFolder);
    connect(chooseButton, &QPushButton::clicked, this, &CreateArchiveDialog::chooseFiles);
    connect(searchButton, &QPushButton::clicked, this, &CreateArchiveDialog::searchFolder);

    setTexts();
    setFixedSize(480, 470);
}

void CreateArchiveDialog::setTexts()
{
    setWindowTitle(msg(MessageId::CreateDialogTitle));
    infoGroup->setTitle(msg(MessageId::CreateDialogGroup));
    folderLabel->setText(msg(MessageId::CreateDialogFolder));
    nameLabel->setText(msg(MessageId::CreateDialogArchiveName));
    zipLabel->setText(msg(MessageId::CreateDialogZipName));
    chooseButton->setText(msg(MessageId::CreateDialogChooseFiles));
    searchButton->setText(msg(MessageId::CreateDialogSearchFolder));
    subfoldersBox->setText(msg(MessageId::CreateDialogSubfolders));
}

void CreateArchiveDialog::setValues(const CreateArchiveValues &values)
{
    m_values = values;
    folderEdit->setText(values.folder);
    nameEdit->setText(values.archiveName);
    zipEdit->setText(values.zipName);
    fileList->clear();
    fileList->addItems(values.pageFiles);
    subfoldersBox->setChecked(values.searchSubfolders);
}

CreateArchiveValues CreateArchiveDialog::values() const
{
    CreateArchiveValues values = m_values;
    values.folder = folderEdit->text();
    values.archiveName = nameEdit->text();
    values.zipName = zipEdit->text();
    values.pageFiles.clear();
    for (int i = 0; i < fileList->count(); ++i)
        values.pageFiles << fileList->item(i)->text();
    values.searchSubfolders = subfoldersBox->isChecked();
    return values;
}

void CreateArchiveDialog::accept()
{
    if (checkCreateArchive(values(), m_own, m_ui))
        QDialog::accept();
}

void CreateArchiveDialog::chooseFolder()
{
    const QString folder = FolderPicker::getFolder(this, msg(MessageId::CreateDialogFolder));
    if (!folder.isEmpty())
        folderEdit->setText(folder);
}

void CreateArchiveDialog::chooseFiles()
{
    const QString filter = msg(MessageId::PageFilesFilter) +
                           QStringLiteral(" (*.htm *.html *.shtml *.dhtml *.phtml *.mht)");
    const QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString(), filter);
    if (!files.isEmpty()) {
        addPageFiles(files);
        chooseButton->setText(m_own.addToList);
    }
}

void CreateArchiveDialog::searchFolder()
{
    const QString folder = FolderPicker::getFolder(this, msg(MessageId::CreateDialogSearchFolder));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return;
    QStringList found;
    PageSearch::findPages(QDir::cleanPath(folder), subfoldersBox->isChecked(),
                          m_values.protectedFolders, found);
    addPageFiles(found);
}

void CreateArchiveDialog::addPageFiles(const QStringList &paths)
{
    fileList->addItems(paths);
}
