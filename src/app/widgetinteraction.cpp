#include "app/widgetinteraction.h"

#include "dialogs/settingsdialog.h"

#include <QApplication>
#include <QMessageBox>

namespace {

const QString kTitle = QStringLiteral("Tomekeeper v3.0");

QMessageBox::StandardButton showBox(QWidget *owner, QMessageBox::Icon icon, const QString &text,
                                    QMessageBox::StandardButtons buttons)
{
    // Texts are built with CR LF line ends; Qt lays out LF alone.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, kTitle, shown, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

WidgetInteraction::WidgetInteraction(QWidget *owner) : m_owner(owner) {}

WidgetInteraction::~WidgetInteraction()
{
    // A pointer left over by an unbalanced guard would outlive the program's use of it.
    while (m_busyDepth > 0)
        endBusy();
}

void WidgetInteraction::showMessage(const QString &text)
{
    showBox(m_owner, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void WidgetInteraction::showError(const QString &text)
{
    showBox(m_owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

void WidgetInteraction::showRefusal(const QString &text)
{
    showBox(m_owner, QMessageBox::Warning, text, QMessageBox::Yes);
}

bool WidgetInteraction::askYesNo(const QString &text)
{
    return showBox(m_owner, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

SettingsDialog *WidgetInteraction::settingsDialog()
{
    if (!m_settings)
        m_settings = new SettingsDialog(m_owner);
    return m_settings;
}

bool WidgetInteraction::editSettings(SettingsDialogValues &values)
{
    SettingsDialog *dialog = settingsDialog();
    dialog->setTexts();
    dialog->setValues(values);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (accepted)
        values = dialog->values();
    dialog->hide();
    return accepted;
}

void WidgetInteraction::beginBusy()
{
    ++m_busyDepth;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void WidgetInteraction::endBusy()
{
    if (m_busyDepth == 0)
        return;
    --m_busyDepth;
    QApplication::restoreOverrideCursor();
}
