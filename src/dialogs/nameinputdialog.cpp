#include "dialogs/nameinputdialog.h"

#include "app/viewstyle.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The dialog's usual size; it grows only when a prompt or a font needs more.
constexpr QSize kUsualSize(314, 98);
constexpr int kFieldWidth = 265;

} // namespace

NameInputDialog::NameInputDialog(QWidget *parent)
    : QDialog(parent), promptLabel(new QLabel(this)), nameEdit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("NameInputDialog"));
    promptLabel->setObjectName(QStringLiteral("promptLabel"));
    nameEdit->setObjectName(QStringLiteral("nameEdit"));

    // The prompt in bold navy, 13 pixels high.
    promptLabel->setTextFormat(Qt::PlainText);
    QFont promptFont = promptLabel->font();
    promptFont.setBold(true);
    promptFont.setPixelSize(13);
    promptLabel->setFont(promptFont);
    ViewStyle::paintNavy(promptLabel);
    promptLabel->setBuddy(nameEdit);

    nameEdit->setMinimumWidth(kFieldWidth);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::Cancel, this);
    yesButton = buttons->button(QDialogButtonBox::Yes);
    cancelButton = buttons->button(QDialogButtonBox::Cancel);
    yesButton->setObjectName(QStringLiteral("yesButton"));
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    yesButton->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(promptLabel);
    layout->addWidget(nameEdit);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &NameInputDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setFixedSize(kUsualSize);
}

void NameInputDialog::setTexts(const QString &caption, const QString &prompt,
                               const QString &initial)
{
    setWindowTitle(caption);
    promptLabel->setText(prompt);
    nameEdit->setText(initial);
    nameEdit->selectAll();
    nameEdit->setFocus();
    // Not resizable; as large as the texts and the fonts of this desktop need.
    layout()->activate();
    setFixedSize(
        kUsualSize.expandedTo(layout()->totalMinimumSize()).expandedTo(layout()->totalSizeHint()));
}

QString NameInputDialog::name() const
{
    return nameEdit->text();
}

void NameInputDialog::accept()
{
    if (nameEdit->text().isEmpty())
        reject();
    else
        QDialog::accept();
}
