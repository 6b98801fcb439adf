#include "dialogs/attachdialog.h"
#include "dialogs/createarchivedialog.h"
#include "dialogs/folderpicker.h"
#include "dialogs/nameinputdialog.h"
#include "dialogs/settingsdialog.h"
#include "lang/messages.h"
#include "scriptedinteraction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Every caption of the dialog is shown whole: no label, check box or button
// narrower or lower than its text needs.
void checkNothingIsCut(QDialog &dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QList<QWidget *> widgets = dialog.findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        const bool captioned =
            qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget);
        if (!captioned || !widget->isVisible())
            continue;
        QSize needed = widget->minimumSizeHint().expandedTo(widget->sizeHint());
        // A push button's hint holds the style's least width; its caption is
        // what must fit (the "..." buttons are smaller than that by design).
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            QString caption = button->text();
            caption.remove(u'&');
            int width = button->fontMetrics().horizontalAdvance(caption) + 4;
            if (!button->icon().isNull())
                width += button->iconSize().width() + 4;
            needed = QSize(width, button->fontMetrics().height());
        }
        const QString what = widget->metaObject()->className() + QStringLiteral(" ") +
                             widget->objectName() + QStringLiteral(" \"") +
                             widget->property("text").toString() + u'"';
        QVERIFY2(widget->width() >= needed.width(), qPrintable(what + " is cut on the right"));
        QVERIFY2(widget->height() >= needed.height(), qPrintable(what + " is cut below"));
        // And it lies inside the dialog.
        const QRect inDialog(widget->mapTo(&dialog, QPoint(0, 0)), widget->size());
        QVERIFY2(dialog.rect().contains(inDialog), qPrintable(what + " reaches out of the dialog"));
    }
    dialog.hide();
}

// The title of the folder picker that clicking button opens; the picker is
// then cancelled.
QString pickerTitle(QAbstractButton *button)
{
    QString title = QStringLiteral("<no picker>");
    QTimer::singleShot(0, button, [&title] {
        if (auto *picker = qobject_cast<FolderPicker *>(QApplication::activeModalWidget())) {
            title = picker->windowTitle();
            picker->reject();
        }
    });
    button->click();
    return title;
}

} // namespace

class TestDialogLayout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    // A bold group caption stays on the caption: the labels and fields in the
    // group keep the dialog's plain font.
    void boldGroupsKeepTheirFieldsPlain()
    {
        ScriptedInteraction ui;
        CreateArchiveDialog create(ui);
        const QList<QWidget *> fields = {create.folderLabel, create.folderEdit, create.nameLabel,
                                         create.nameEdit,    create.zipLabel,   create.zipEdit};
        QVERIFY(create.infoGroup->font().bold());
        for (QWidget *field : fields)
            QVERIFY2(!field->font().bold(), qPrintable(field->objectName()));
        QVERIFY(create.browseButton->font().bold());

        SettingsDialog settings;
        QVERIFY(settings.folderGroup->font().bold());
        QVERIFY(!settings.folderEdit->font().bold());
        QVERIFY(settings.browseButton->font().bold());
        QVERIFY(!settings.checkArchivesBox->font().bold());
    }

    // A folder picker named after a field's label is titled without its colon.
    void folderPickerTitles()
    {
        Messages::useRussian();
        ScriptedInteraction ui;
        CreateArchiveDialog create(ui);
        create.setTexts();
        QCOMPARE(pickerTitle(create.browseButton), QString("Выбор папки для сохранения архива"));
        SettingsDialog settings;
        settings.setTexts();
        QCOMPARE(pickerTitle(settings.browseButton),
                 QString("Выберите или создайте папку для хранения архивов \"по умолчанию\""));
    }

    // The dialogs hold their texts in both languages.
    void textsFit_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::newRow("English") << false;
        QTest::newRow("Russian") << true;
    }

    void textsFit()
    {
        QFETCH(bool, russian);
        if (russian)
            Messages::useRussian();

        ScriptedInteraction ui;
        CreateArchiveDialog create(ui);
        create.setTexts();
        checkNothingIsCut(create);

        SettingsDialog settings;
        settings.setTexts();
        checkNothingIsCut(settings);

        AttachDialog attach(ui);
        attach.setTexts();
        checkNothingIsCut(attach);

        const QList<std::pair<MessageId, MessageId>> questions = {
            {MessageId::NewSectionTitle, MessageId::NewSectionPrompt},
            {MessageId::RenameNodeTitle, MessageId::RenameNodePrompt},
            {MessageId::RenamePageTitle, MessageId::RenamePagePrompt}};
        for (const auto &[title, prompt] : questions) {
            NameInputDialog name;
            name.setTexts(msg(title), msg(prompt), QStringLiteral("A name"));
            checkNothingIsCut(name);
        }
    }
};

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
