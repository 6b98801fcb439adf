#include "app/listmessagebox.h"
#include "app/widgetinteraction.h"
#include "lang/boxtext.h"
#include "windowtesting.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QStringList paths(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("/media/usb/archives/section %1/archive number %2.zip")
                    .arg(i / 100)
                    .arg(i);
    return list;
}

QRect onScreen(const QWidget *widget)
{
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

} // namespace

// Boxes built around a list: however long the list, the box fits the screen
// with its buttons, keeps its written text around the list, and the list can
// be copied. The screen is a laptop's, 1280 × 800 (see main below).
class TestListMessageBox : public QObject {
    Q_OBJECT

    ModalWatch m_modals;

private Q_SLOTS:
    void cleanup() { m_modals.verify(); }

    void theScreenIsALaptops()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1280, 800));
    }

    void aLongListFitsTheScreen_data()
    {
        QTest::addColumn<int>("kind"); // 0 message, 1 question, 2 choice
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<bool>("apart");
        QTest::newRow("5000 missing archives, asked") << 1 << 5000 << kCrLf << true;
        QTest::newRow("5000 files not saved, ways out") << 2 << 5000 << kCrLf << true;
        QTest::newRow("2500 pages refused, two lines each")
            << 0 << 2500 << QString(kCrLf + kCrLf) << true;
        QTest::newRow("three paths: an ordinary box") << 1 << 3 << kCrLf << false;
    }
    void aLongListFitsTheScreen()
    {
        QFETCH(int, kind);
        QFETCH(int, count);
        QFETCH(QString, separator);
        QFETCH(bool, apart);
        QWidget owner;
        owner.setGeometry(100, 100, 732, 520);
        owner.show();
        WidgetInteraction ui(&owner);
        QStringList items = paths(count);
        if (separator != kCrLf) {
            for (QString &item : items)
                item.prepend("The page is not added:" + kCrLf);
        }
        const BoxText text =
            BoxText::listed("Archives are absent on disk:" + kCrLf + kCrLf, items,
                            kCrLf + kCrLf + "Possible they were renamed, carry or removed." +
                                kCrLf + "For recovering their it is necessary to find and connect.",
                            separator);

        bool seen = false;
        m_modals.whenModal<QDialog>([&](QDialog *dialog) {
            seen = true;
            auto *box = qobject_cast<ListMessageBox *>(dialog);
            if (!apart) {
                auto *plain = qobject_cast<QMessageBox *>(dialog);
                QVERIFY(plain && !box);
                QCOMPARE(plain->text(), QString(text.text()).replace(kCrLf, "\n"));
                plain->button(QMessageBox::Yes)->click();
                return;
            }
            QVERIFY(box);
            const QRect screen = box->screen()->availableGeometry();
            QVERIFY2(screen.contains(box->frameGeometry()), "the box reaches off the screen");
            const QList<QAbstractButton *> buttons = box->findChildren<QAbstractButton *>();
            QVERIFY(buttons.size() >= (kind == 2 ? 4 : 1));
            for (const QAbstractButton *button : buttons) {
                QVERIFY(button->isVisible());
                QVERIFY2(screen.contains(onScreen(button)),
                         qPrintable(button->text() + " is off the screen"));
            }
            QPlainTextEdit *list = box->listArea();
            QVERIFY(list->height() <= screen.height() * 2 / 3);
            QVERIFY(list->verticalScrollBar()->maximum() > 0);
            QCOMPARE(list->toPlainText(), QString(items.join(separator)).replace(kCrLf, "\n"));
            // The written text stays, around the list.
            QCOMPARE(box->findChild<QLabel *>("textBeforeList")->text(),
                     QString("Archives are absent on disk:"));
            QCOMPARE(box->findChild<QLabel *>("textAfterList")->text(),
                     QString("Possible they were renamed, carry or removed.\n"
                             "For recovering their it is necessary to find and connect."));
            // The list can be copied.
            list->selectAll();
            list->copy();
            QCOMPARE(QGuiApplication::clipboard()->text(), list->toPlainText());
            buttons.first()->click();
        });
        switch (kind) {
        case 0:
            ui.showMessage(text);
            break;
        case 1:
            QVERIFY(ui.askYesNo(text));
            break;
        default:
            QCOMPARE(ui.askChoice(text, {"Try again", "Save as new archive...", "Set aside"}), 0);
        }
        QVERIFY(seen);
    }

    // Closing the box, or Escape, is the cautious answer: No, or Cancel.
    void closingAnswersNo()
    {
        QWidget owner;
        WidgetInteraction ui(&owner);
        const BoxText text = BoxText::listed("Missing:" + kCrLf, paths(100));
        m_modals.whenModal<ListMessageBox>(
            [](ListMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QVERIFY(!ui.askYesNo(text));
        m_modals.whenModal<ListMessageBox>([](ListMessageBox *box) { box->close(); });
        QCOMPARE(ui.askChoice(text, {"Try again"}), -1);
    }
};

// The tests run on an off-screen laptop screen of 1280 × 800.
int main(int argc, char *argv[])
{
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": true,
                       "screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280,
                                    "height": 800, "logicalDpi": 96, "logicalBaseDpi": 96,
                                    "dpr": 1}]})") < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    TestListMessageBox test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_listmessagebox.moc"
