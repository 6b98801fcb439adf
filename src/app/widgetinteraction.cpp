#include "app/widgetinteraction.h"

#include "app/listmessagebox.h"
#include "app/workprogressdialog.h"
#include "dialogs/aboutdialog.h"
#include "dialogs/attachdialog.h"
#include "dialogs/createarchivedialog.h"
#include "dialogs/folderpicker.h"
#include "dialogs/nameinputdialog.h"
#include "dialogs/settingsdialog.h"
#include "version.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace {

// Texts are built with CR LF line ends; Qt lays out LF alone.
QString shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// Work done within this time shows only the busy pointer, no progress window.
constexpr int kProgressDelayMs = 400;

// A box with Ok, Yes and No as asked for: Ok or Yes is the default button,
// and closing the box answers No where there is one.
QMessageBox::StandardButton showBox(QWidget *owner, QMessageBox::Icon icon, const BoxText &text,
                                    QMessageBox::StandardButtons buttons)
{
    if (!ListMessageBox::showsApart(text)) {
        QMessageBox box(icon, QString::fromLatin1(kProgramTitle), shownText(text.text()), buttons,
                        owner);
        box.setTextFormat(Qt::PlainText);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    ListMessageBox box(icon, text, owner);
    QAbstractButton *first = nullptr;
    QAbstractButton *escape = nullptr;
    for (const QMessageBox::StandardButton which :
         {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No}) {
        if (!(buttons & which))
            continue;
        QAbstractButton *added = box.addButton(which);
        if (!first)
            first = added;
        if (!escape || which == QMessageBox::No)
            escape = added;
    }
    box.setDefaultButton(first);
    box.setEscapeButton(escape);
    box.exec();
    return box.standardButton(box.clickedButton());
}

} // namespace

WidgetInteraction::WidgetInteraction(QWidget *owner) : m_owner(owner) {}

WidgetInteraction::~WidgetInteraction() = default;

bool WidgetInteraction::unattended(const char *what, const QString &text) const
{
    if (m_unattended)
        qWarning("%s (not shown, the program is ending): %s", what, qUtf8Printable(text));
    return m_unattended;
}

void WidgetInteraction::showMessage(const BoxText &text)
{
    if (!unattended("message", text.text()))
        showBox(m_owner, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void WidgetInteraction::showError(const BoxText &text)
{
    if (!unattended("error", text.text()))
        showBox(m_owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

void WidgetInteraction::showWarning(const BoxText &text)
{
    if (!unattended("warning", text.text()))
        showBox(m_owner, QMessageBox::Warning, text, QMessageBox::Ok);
}

void WidgetInteraction::showRefusal(const BoxText &text)
{
    if (!unattended("refusal", text.text()))
        showBox(m_owner, QMessageBox::Warning, text, QMessageBox::Yes);
}

bool WidgetInteraction::askYesNo(const BoxText &text)
{
    if (unattended("question", text.text()))
        return false;
    return showBox(m_owner, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

int WidgetInteraction::askChoice(const BoxText &text, const QStringList &choices)
{
    if (unattended("choice", text.text()))
        return -1;
    if (ListMessageBox::showsApart(text)) {
        ListMessageBox box(QMessageBox::Warning, text, m_owner);
        QList<QAbstractButton *> buttons;
        for (const QString &choice : choices)
            buttons << box.addButton(choice);
        box.setEscapeButton(box.addButton(QMessageBox::Cancel));
        if (!buttons.isEmpty())
            box.setDefaultButton(buttons.first());
        box.exec();
        return int(buttons.indexOf(box.clickedButton()));
    }
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kProgramTitle),
                    shownText(text.text()), QMessageBox::NoButton, m_owner);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton *> buttons;
    for (const QString &choice : choices)
        buttons << box.addButton(choice, QMessageBox::AcceptRole);
    // Escape and the window's close button are Cancel, never a choice.
    box.setEscapeButton(box.addButton(QMessageBox::Cancel));
    if (!buttons.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

QString WidgetInteraction::askName(const QString &caption, const QString &prompt,
                                   const QString &initial)
{
    if (unattended("name", prompt))
        return {};
    NameInputDialog *dialog = nameInputDialog();
    dialog->setTexts(caption, prompt, initial);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    dialog->hide();
    return accepted ? dialog->name() : QString();
}

NameInputDialog *WidgetInteraction::nameInputDialog()
{
    if (!m_nameInput)
        m_nameInput = new NameInputDialog(m_owner);
    return m_nameInput;
}

QStringList WidgetInteraction::askOpenFiles(const QString &caption, const QString &filter,
                                            bool many)
{
    if (unattended("open files", caption))
        return {};
    if (many)
        return QFileDialog::getOpenFileNames(m_owner, caption, QString(), filter);
    const QString file = QFileDialog::getOpenFileName(m_owner, caption, QString(), filter);
    return file.isEmpty() ? QStringList() : QStringList{file};
}

QString WidgetInteraction::askSaveFile(const QString &filter)
{
    if (unattended("save file", filter))
        return {};
    // The commands confirm replacing a file themselves, after their own checks.
    return QFileDialog::getSaveFileName(m_owner, QString(), QString(), filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString WidgetInteraction::askFolder(const QString &caption, const QString &startFolder)
{
    if (unattended("folder", caption))
        return {};
    return FolderPicker::getFolder(m_owner, caption, startFolder);
}

SettingsDialog *WidgetInteraction::settingsDialog()
{
    if (!m_settings)
        m_settings = new SettingsDialog(m_owner);
    return m_settings;
}

bool WidgetInteraction::editSettings(SettingsDialogValues &values)
{
    if (unattended("settings", QString()))
        return false;
    SettingsDialog *dialog = settingsDialog();
    dialog->setTexts();
    dialog->setValues(values);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (accepted)
        values = dialog->values();
    dialog->hide();
    return accepted;
}

bool WidgetInteraction::editCreateArchive(CreateArchiveValues &values)
{
    if (unattended("create archive", QString()))
        return false;
    // Made at the first use and kept: its own texts stay in that language.
    if (!m_create)
        m_create = new CreateArchiveDialog(*this, m_owner);
    m_create->setTexts();
    m_create->setValues(values);
    const bool accepted = m_create->exec() == QDialog::Accepted;
    if (accepted)
        values = m_create->values();
    m_create->hide();
    return accepted;
}

bool WidgetInteraction::editAttach(AttachValues &values)
{
    if (unattended("attach archives", QString()))
        return false;
    // Made at the first use and kept: its own text stays in that language.
    if (!m_attach)
        m_attach = new AttachDialog(*this, m_owner);
    m_attach->setTexts();
    m_attach->setValues(values);
    const bool accepted = m_attach->exec() == QDialog::Accepted;
    // The list is given back after a cancel too: the next opening shows it.
    values = m_attach->values();
    m_attach->hide();
    return accepted;
}

bool WidgetInteraction::openWithDesktop(const QString &fileOrAddress)
{
    // A path is never read as an address: "#", "?" and "%" are file name
    // characters in it, not parts of an address.
    const bool isFile = fileOrAddress.startsWith(u'/') || QFileInfo::exists(fileOrAddress);
    const QUrl url = isFile ? QUrl::fromLocalFile(QFileInfo(fileOrAddress).absoluteFilePath())
                            : QUrl(fileOrAddress);
    return QDesktopServices::openUrl(url);
}

void WidgetInteraction::showAbout()
{
    if (unattended("about box", QString()))
        return;
    AboutDialog *box = AboutDialog::of(m_owner);
    // A link is opened like everything else handed to the desktop; the box
    // stays open, and a link that could not be opened is not reported.
    box->setUrlOpener([this](const QUrl &url) {
        [[maybe_unused]] const bool opened = openWithDesktop(url.toString());
    });
    AboutDialog::showFor(m_owner);
}

bool WidgetInteraction::isWorkProgress(const QWidget *window)
{
    return qobject_cast<const WorkProgressDialog *>(window) != nullptr;
}

void WidgetInteraction::waitForWork(QFuture<void> work, const QString &label)
{
    ++m_working;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(work);

    // Short work: the window keeps repainting, the user's input waits.
    QTimer delay;
    delay.setSingleShot(true);
    QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kProgressDelayMs);
    if (!work.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    delay.stop();

    if (!work.isFinished()) {
        WorkProgressDialog progress(label, m_owner);
        QObject::connect(&watcher, &QFutureWatcher<void>::progressRangeChanged, &progress,
                         &QProgressDialog::setRange);
        QObject::connect(&watcher, &QFutureWatcher<void>::progressValueChanged, &progress,
                         &QProgressDialog::setValue);
        if (work.progressMaximum() > 0)
            progress.setRange(work.progressMinimum(), work.progressMaximum());
        progress.setValue(work.progressValue());
        progress.show();
        if (!work.isFinished())
            loop.exec();
        progress.hide();
    }
    work.waitForFinished();
    QApplication::restoreOverrideCursor();
    --m_working;
}
