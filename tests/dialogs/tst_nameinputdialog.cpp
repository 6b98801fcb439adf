#include "dialogs/nameinputdialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Runs act on the dialog as soon as it is the modal window, so exec()
// returns; a dialog that never comes fails the test instead of hanging it.
void whenModal(const std::function<void(NameInputDialog *)> &act)
{
    auto *timer = new QTimer(qApp);
    auto *tries = new int(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto *dialog = qobject_cast<NameInputDialog *>(QApplication::activeModalWidget());
        if (dialog || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            delete tries;
        }
        if (dialog)
            act(dialog);
    });
    timer->start(20);
}

} // namespace

class TestNameInputDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // How the user ends the dialog, and what it gives: only a field with at
    // least one character is a name; blanks count and stay as typed.
    void ending_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("Enter with a name") << "News"
                                           << "enter" << true;
        QTest::newRow("Yes with a name") << "News"
                                         << "yes" << true;
        QTest::newRow("Yes with blanks only") << "  "
                                              << "yes" << true;
        QTest::newRow("Enter on an empty field") << ""
                                                 << "enter" << false;
        QTest::newRow("Yes on an empty field") << ""
                                               << "yes" << false;
        QTest::newRow("Cancel") << "News"
                                << "cancel" << false;
        QTest::newRow("Esc") << "News"
                             << "esc" << false;
        QTest::newRow("window closed") << "News"
                                       << "close" << false;
    }
    void ending()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(bool, accepted);
        QWidget owner;
        NameInputDialog dialog(&owner);
        dialog.setTexts("Entering the name of the section",
                        "Input name of the section:", "New Section");
        whenModal([&](NameInputDialog *shown) {
            // The proposed text is selected: typing replaces it.
            QTest::keyClick(shown->nameEdit, Qt::Key_Delete);
            QTest::keyClicks(shown->nameEdit, typed);
            if (how == "enter")
                QTest::keyClick(shown->nameEdit, Qt::Key_Return);
            else if (how == "yes")
                QTest::mouseClick(shown->yesButton, Qt::LeftButton);
            else if (how == "cancel")
                QTest::mouseClick(shown->cancelButton, Qt::LeftButton);
            else if (how == "esc")
                QTest::keyClick(shown->nameEdit, Qt::Key_Escape);
            else
                shown->close();
        });
        QCOMPARE(dialog.exec() == QDialog::Accepted, accepted);
        QCOMPARE(dialog.name(), typed);
    }

    // Each use sets caption, prompt and text anew; nothing of the last use
    // is left, and the dialog keeps its size fixed.
    void texts()
    {
        NameInputDialog dialog;
        dialog.setTexts("Rename section or archive", "Pleas, input new Name:", "Books");
        QCOMPARE(dialog.windowTitle(), QString("Rename section or archive"));
        QCOMPARE(dialog.promptLabel->text(), QString("Pleas, input new Name:"));
        QCOMPARE(dialog.nameEdit->text(), QString("Books"));
        QCOMPARE(dialog.nameEdit->selectedText(), QString("Books"));
        QVERIFY(dialog.promptLabel->font().bold());
        QCOMPARE(dialog.promptLabel->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
        QVERIFY(dialog.yesButton->isDefault());
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.width() >= 314 && dialog.height() >= 98);
        QVERIFY(dialog.nameEdit->width() >= 265 || dialog.nameEdit->minimumWidth() >= 265);

        dialog.nameEdit->setText("typed before");
        dialog.setTexts(u"Ввод имени раздела"_qs, u"Введите имя раздела:"_qs, u"Новый раздел"_qs);
        QCOMPARE(dialog.windowTitle(), u"Ввод имени раздела"_qs);
        QCOMPARE(dialog.promptLabel->text(), u"Введите имя раздела:"_qs);
        QCOMPARE(dialog.name(), u"Новый раздел"_qs);

        // A prompt longer than the usual width is shown whole.
        const QString longPrompt(80, u'W');
        dialog.setTexts("x", longPrompt, "");
        QVERIFY(dialog.width() >= dialog.promptLabel->sizeHint().width());
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    }
};

QTEST_MAIN(TestNameInputDialog)
#include "tst_nameinputdialog.moc"
