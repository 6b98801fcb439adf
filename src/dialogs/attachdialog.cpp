#include "dialogs/attachdialog.h"

#include "app/viewstyle.h"
#include "lang/messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

AttachDialog::AttachDialog(UserInteraction &ui, QWidget *parent)
    : QDialog(parent), promptLabel(new QLabel(this)),
      browseButton(new QPushButton(QStringLiteral("..."), this)), fileList(new QListWidget(this)),
      moveBox(new QCheckBox(this)), m_ui(ui),
      m_own(AttachDialogOwnTexts::inLanguage(Messages::russianActive()))
{
    setObjectName(QStringLiteral("AttachDialog"));
    browseButton->setObjectName(QStringLiteral("browseButton"));
    fileList->setObjectName(QStringLiteral("fileList"));
    moveBox->setObjectName(QStringLiteral("moveBox"));

    QFont bold = font();
    bold.setBold(true);
    promptLabel->setFont(bold);
    ViewStyle::paintNavy(promptLabel);
    QFont large = bold;
    large.setPixelSize(16);
    browseButton->setFont(large);
    browseButton->setFixedSize(27, 25);
    browseButton->setAutoDefault(false);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::Cancel, this);
    yesButton = buttons->button(QDialogButtonBox::Yes);
    cancelButton = buttons->button(QDialogButtonBox::Cancel);
    yesButton->setObjectName(QStringLiteral("yesButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    yesButton->setDefault(true);

    auto *layout = new QGridLayout(this);
    layout->addWidget(promptLabel, 0, 0);
    layout->addWidget(browseButton, 0, 1);
    layout->addWidget(fileList, 1, 0, 1, 2);
    layout->addWidget(moveBox, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(1, 1);

    connect(buttons, &QDialogButtonBox::accepted, this, &AttachDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &AttachDialog::chooseFiles);

    setTexts();
    setFixedSize(440, 300);
}

void AttachDialog::setTexts()
{
    setWindowTitle(msg(MessageId::AttachDialogTitle));
    promptLabel->setText(msg(MessageId::AttachDialogPrompt));
    moveBox->setText(msg(MessageId::AttachDialogMoveBox));
}

void AttachDialog::setValues(const AttachValues &values)
{
    replaceFiles(values.zipFiles);
    moveBox->setChecked(values.moveToArchiveFolder);
}

AttachValues AttachDialog::values() const
{
    AttachValues values;
    for (int i = 0; i < fileList->count(); ++i)
        values.zipFiles << fileList->item(i)->text();
    values.moveToArchiveFolder = moveBox->isChecked();
    return values;
}

void AttachDialog::accept()
{
    if (checkAttach(values(), m_own, m_ui))
        QDialog::accept();
}

void AttachDialog::chooseFiles()
{
    const QString filter = msg(MessageId::ZipFilesFilter) + QStringLiteral(" (*.zip)");
    const QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString(), filter);
    if (!files.isEmpty())
        replaceFiles(files);
}

void AttachDialog::replaceFiles(const QStringList &paths)
{
    fileList->clear();
    fileList->addItems(paths);
}
