#include "dialogs/attachdialog.h"
#include "lang/messages.h"
#include "scriptedinteraction.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class TestAttachDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    // Its own text keeps the language it was made in; the rest follow the
    // catalogue. With no zip file chosen it says so and stays open.
    void ownTextKeepsTheFirstLanguage_data()
    {
        QTest::addColumn<bool>("russianFirst");
        QTest::addColumn<QString>("noFiles");
        QTest::newRow("made in Russian") << true << u"Вы не выбрали ZIP-Файлы!"_qs;
        QTest::newRow("made in English") << false << "You did not choose ZIP-files!";
    }
    void ownTextKeepsTheFirstLanguage()
    {
        QFETCH(bool, russianFirst);
        QFETCH(QString, noFiles);
        russianFirst ? Messages::useRussian() : Messages::useEnglish();
        ScriptedInteraction ui;
        AttachDialog dialog(ui);
        russianFirst ? Messages::useEnglish() : Messages::useRussian();
        dialog.setTexts();
        QCOMPARE(dialog.windowTitle(), msg(MessageId::AttachDialogTitle));
        QCOMPARE(dialog.promptLabel->text(), msg(MessageId::AttachDialogPrompt));
        QCOMPARE(dialog.moveBox->text(), msg(MessageId::AttachDialogMoveBox));

        dialog.setValues({});
        ui.expectMessage(noFiles);
        dialog.show();
        dialog.yesButton->click();
        QVERIFY(ui.verify());
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        dialog.hide();
    }

    // Chosen files replace the list; the values come back as left.
    void chosenFilesReplaceTheList()
    {
        ScriptedInteraction ui;
        AttachDialog dialog(ui);
        dialog.setValues({{"/a/one.zip", "/a/two.zip"}, false});
        dialog.replaceFiles({"/b/three.zip"});
        dialog.moveBox->setChecked(true);
        const AttachValues values = dialog.values();
        QCOMPARE(values.zipFiles, QStringList{"/b/three.zip"});
        QVERIFY(values.moveToArchiveFolder);

        dialog.show();
        dialog.yesButton->click();
        QVERIFY(ui.verify());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.yesButton->isDefault());
    }
};

QTEST_MAIN(TestAttachDialog)
#include "tst_attachdialog.moc"
