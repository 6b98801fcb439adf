#include "dialogs/createarchivedialog.h"
#include "lang/messages.h"
#include "scriptedinteraction.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestCreateArchiveDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    // Its own texts keep the language it was made in; the rest follow the catalogue.
    void ownTextsKeepTheFirstLanguage()
    {
        Messages::useRussian();
        ScriptedInteraction ui;
        CreateArchiveDialog dialog(ui);
        Messages::useEnglish();
        dialog.setTexts();
        QCOMPARE(dialog.windowTitle(), msg(MessageId::CreateDialogTitle));
        QCOMPARE(dialog.chooseButton->text(), QString("Choice HTML files"));
        QCOMPARE(dialog.zipSuffix->text(), QString(".zip"));

        dialog.setValues({"/tmp/", {}, {}, {}, false, {}, {}});
        ui.expectMessage("Вы не выбрали имя архива!");
        dialog.show();
        dialog.accept();
        QVERIFY(ui.verify());
        QVERIFY(dialog.isVisible()); // stays open with what was typed
        QCOMPARE(dialog.result(), 0);
        dialog.hide();
    }

    void valuesGoInAndComeBack()
    {
        QTemporaryDir dir;
        ScriptedInteraction ui;
        CreateArchiveDialog dialog(ui);
        CreateArchiveValues in{dir.path(), "Books",    "books", {"/a/b.htm"},
                               true,       {"Novels"}, {"/p"}};
        dialog.setValues(in);
        dialog.addPageFiles({"/a/c.htm", "/a/b.htm"});
        dialog.nameEdit->setText("Novels2");
        const CreateArchiveValues out = dialog.values();
        QCOMPARE(out.folder, dir.path());
        QCOMPARE(out.archiveName, QString("Novels2"));
        QCOMPARE(out.zipName, QString("books"));
        QCOMPARE(out.pageFiles, (QStringList{"/a/b.htm", "/a/c.htm", "/a/b.htm"}));
        QVERIFY(out.searchSubfolders);
        QCOMPARE(out.sectionArchiveNames, QStringList{"Novels"});
        QCOMPARE(out.protectedFolders, QStringList{"/p"});

        // Everything in order: OK closes.
        dialog.show();
        dialog.accept();
        QVERIFY(ui.verify());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestCreateArchiveDialog)
#include "tst_createarchivedialog.moc"
