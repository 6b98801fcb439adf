#include "dialogs/Unit5.h"

#include "dialogs/folderpicker.h"
#include "lang/messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TForm5::TForm5(QWidget *parent)
    : QDialog(parent), GroupBox1(new QGroupBox(this)), Edit1(new QLineEdit(GroupBox1)),
      Button1(new QPushButton(QStringLiteral("..."), GroupBox1)), CheckBox1(new QCheckBox(this)),
      CheckBox3(new QCheckBox(this)), CheckBox2(new QCheckBox(this))
{
    setObjectName(QStringLiteral("Form5"));
    setSizeGripEnabled(true);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Button1->setObjectName(QStringLiteral("Button1"));
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));

    // Bold navy caption; the field inside keeps the dialog's plain font.
    const QFont plain = font();
    QFont bold = plain;
    bold.setBold(true);
    GroupBox1->setFont(bold);
    QPalette captionPalette = GroupBox1->palette();
    captionPalette.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    GroupBox1->setPalette(captionPalette);
    Edit1->setFont(plain);
    Edit1->setMinimumWidth(361);

    QFont large = plain;
    large.setBold(true);
    large.setPixelSize(16);
    Button1->setFont(large);
    Button1->setFixedSize(27, 25);
    Button1->setAutoDefault(false);

    auto *groupLayout = new QHBoxLayout(GroupBox1);
    groupLayout->addWidget(Edit1, 1);
    groupLayout->addWidget(Button1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    BitBtn1 = buttons->button(QDialogButtonBox::Ok);
    BitBtn2 = buttons->button(QDialogButtonBox::Cancel);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton *button : {BitBtn1, BitBtn2}) {
        button->setFont(bold);
        button->setMinimumSize(153, 25);
    }
    BitBtn1->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(CheckBox1);
    layout->addWidget(CheckBox3);
    layout->addWidget(CheckBox2);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);

    setTexts();
    resize(454, 202);
}

void TForm5::setTexts()
{
    setWindowTitle(msg(MessageId::txtStartingProperties));
    GroupBox1->setTitle(msg(MessageId::txtChooseOrCreateDirectoryFor));
    CheckBox1->setText(msg(MessageId::txtExecuteCheckOfPresenceArchive));
    CheckBox3->setText(msg(MessageId::txtRememberWindowSizeAndPosition));
    CheckBox2->setText(msg(MessageId::txtDeleteAllFilesOriginalsAdditing));
}

void TForm5::setValues(const SettingsDialogValues &values)
{
    Edit1->setText(values.folder);
    CheckBox1->setChecked(values.checkArchives);
    CheckBox3->setChecked(values.rememberWindow);
    CheckBox2->setChecked(values.deleteOriginals);
}

SettingsDialogValues TForm5::values() const
{
    SettingsDialogValues values;
    values.folder = Edit1->text();
    values.checkArchives = CheckBox1->isChecked();
    values.rememberWindow = CheckBox3->isChecked();
    values.deleteOriginals = CheckBox2->isChecked();
    return values;
}

void TForm5::Button1Click()
{
    QString title = msg(MessageId::txtChooseOrCreateDirectoryFor);
    if (title.endsWith(u':'))
        title.chop(1);
    const QString folder = FolderPicker::getFolder(this, title);
    if (!folder.isEmpty())
        Edit1->setText(folder);
}
