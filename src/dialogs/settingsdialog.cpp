#include "dialogs/settingsdialog.h"

#include "app/viewstyle.h"
#include "dialogs/folderpicker.h"
#include "lang/messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent), folderGroup(new QGroupBox(this)), folderEdit(new QLineEdit(folderGroup)),
      browseButton(new QPushButton(QStringLiteral("..."), folderGroup)),
      checkArchivesBox(new QCheckBox(this)), rememberWindowBox(new QCheckBox(this)),
      deleteOriginalsBox(new QCheckBox(this))
{
    setObjectName(QStringLiteral("SettingsDialog"));
    setSizeGripEnabled(true);
    folderGroup->setObjectName(QStringLiteral("folderGroup"));
    folderEdit->setObjectName(QStringLiteral("folderEdit"));
    browseButton->setObjectName(QStringLiteral("browseButton"));
    checkArchivesBox->setObjectName(QStringLiteral("checkArchivesBox"));
    rememberWindowBox->setObjectName(QStringLiteral("rememberWindowBox"));
    deleteOriginalsBox->setObjectName(QStringLiteral("deleteOriginalsBox"));

    // Bold navy caption; the field inside keeps the dialog's plain font, its
    // weight set explicitly so that the group's bold does not reach it.
    QFont plain = font();
    plain.setBold(false);
    QFont bold = plain;
    bold.setBold(true);
    folderGroup->setFont(bold);
    ViewStyle::paintNavy(folderGroup);
    folderEdit->setFont(plain);
    folderEdit->setMinimumWidth(361);

    QFont large = plain;
    large.setBold(true);
    large.setPixelSize(16);
    browseButton->setFont(large);
    browseButton->setFixedSize(27, 25);
    browseButton->setAutoDefault(false);

    auto *groupLayout = new QHBoxLayout(folderGroup);
    groupLayout->addWidget(folderEdit, 1);
    groupLayout->addWidget(browseButton);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    cancelButton = buttons->button(QDialogButtonBox::Cancel);
    okButton->setObjectName(QStringLiteral("okButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton *button : {okButton, cancelButton}) {
        button->setFont(bold);
        button->setMinimumSize(153, 25);
    }
    okButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(folderGroup);
    layout->addWidget(checkArchivesBox);
    layout->addWidget(rememberWindowBox);
    layout->addWidget(deleteOriginalsBox);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, &SettingsDialog::chooseFolder);

    setTexts();
    resize(454, 202);
}

void SettingsDialog::setTexts()
{
    setWindowTitle(msg(MessageId::SettingsDialogTitle));
    folderGroup->setTitle(msg(MessageId::SettingsFolderGroup));
    checkArchivesBox->setText(msg(MessageId::SettingsCheckArchives));
    rememberWindowBox->setText(msg(MessageId::SettingsRememberWindow));
    deleteOriginalsBox->setText(msg(MessageId::SettingsDeleteOriginals));
}

void SettingsDialog::setValues(const SettingsDialogValues &values)
{
    folderEdit->setText(values.folder);
    checkArchivesBox->setChecked(values.checkArchives);
    rememberWindowBox->setChecked(values.rememberWindow);
    deleteOriginalsBox->setChecked(values.deleteOriginals);
}

SettingsDialogValues SettingsDialog::values() const
{
    SettingsDialogValues values;
    values.folder = folderEdit->text();
    values.checkArchives = checkArchivesBox->isChecked();
    values.rememberWindow = rememberWindowBox->isChecked();
    values.deleteOriginals = deleteOriginalsBox->isChecked();
    return values;
}

void SettingsDialog::chooseFolder()
{
    const QString folder = FolderPicker::getFolder(this, msg(MessageId::SettingsFolderGroup));
    if (!folder.isEmpty())
        folderEdit->setText(folder);
}
