#include "app/mainwindow.h"
#include "app/widgetinteraction.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "dialogs/folderpicker.h"
#include "dialogs/settingsdialog.h"
#include "recordingpageview.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWebEngineView>
#include <functional>
#include <memory>

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

// Runs action on the next modal window of type T as soon as it is open (a
// dialog's exec() blocks the test). A window that never comes fails the test
// instead of hanging it.
template <class T> void whenModal(std::function<void(T *)> action, bool *done = nullptr)
{
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            if (done)
                *done = true;
            action(window);
        } else if (clock->elapsed() > 10000) {
            timer->deleteLater();
            timer->stop();
        }
    });
    timer->start(20);
}

QAbstractButton *acceptButton(QFileDialog *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>("buttonBox");
    for (QAbstractButton *button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole)
            return button;
    }
    return nullptr;
}

QString iniValue(const QByteArray &ini, const char *key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)\r$").arg(QLatin1String(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(ini)).captured(1);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingPageView> m_view;
    QString m_previousFolder;

    std::unique_ptr<MainWindow> makeWindow(const QByteArray &ini = {})
    {
        if (!ini.isEmpty())
            TestFiles::write(m_dir->filePath("tomekeeper.ini"), ini);
        return std::make_unique<MainWindow>(WorkFolders::under(m_dir->filePath("cache")),
                                            m_view.get());
    }

    template <class T> static T *named(MainWindow &window, const char *name)
    {
        T *control = window.findChild<T *>(QString::fromLatin1(name));
        if (!control)
            qWarning("no control %s", name);
        return control;
    }

    static QString caption(MainWindow &window, const QString &name)
    {
        if (auto *action = window.findChild<QAction *>(name))
            return action->text();
        if (auto *button = window.findChild<QToolButton *>(name))
            return button->toolTip();
        if (auto *box = window.findChild<QCheckBox *>(name))
            return box->text();
        return QStringLiteral("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        m_previousFolder = QDir::currentPath();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir::setCurrent(m_dir->path()));
        m_view = std::make_unique<RecordingPageView>();
    }

    void cleanup()
    {
        QDir::setCurrent(m_previousFolder);
        m_view.reset();
        m_dir.reset();
    }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("first start") << QByteArray() << false << "Open Archive:  not open Archives."
                                     << QRect(47, 44, 732, 520);
        // Without the size keys the file's defaults apply.
        QTest::newRow("language 1")
            << QByteArray("[Parameters]\r\nlanguage=1\r\n") << true
            << "Открыт архив:  нет открытого архива." << QRect(200, 200, 664, 460);
        QTest::newRow("too small for the window")
            << QByteArray("[Parameters]\r\nwidth=100\r\nheight=50\r\nleft=10\r\ntop=20\r\n")
            << false << "Open Archive:  not open Archives." << QRect(10, 20, 664, 459);
    }
    void startUp()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, russian);
        QFETCH(QString, status);
        QFETCH(QRect, geometry);
        auto window = makeWindow(ini);

        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Tomekeeper v3.0"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Tomekeeper v3.0"));
        QCOMPARE(window->statusText(), status);
        QCOMPARE(QRect(window->x(), window->y(), window->width(), window->height()), geometry);
        QCOMPARE(window->minimumSize(), QSize(664, 459));
        QVERIFY(m_view->calls.contains("navigate about:blank"));
        QVERIFY(named<QCheckBox>(*window, "CheckBox1")->isChecked());
        QCOMPARE(named<QAction>(*window, "N16")->isChecked(), russian);
        QCOMPARE(named<QAction>(*window, "N15")->isChecked(), !russian);
        QCOMPARE(caption(*window, "N1"), russian ? QString("Раздел") : QString("Section"));

        // Nothing that needs an open archive can be used yet.
        for (const char *name :
             {"ListBox1", "ToolBar2", "ToolBar5", "ToolButton14", "ToolButton15", "ToolButton16",
              "ToolButton22", "ToolButton28", "ToolButton8", "ToolButton6"})
            QVERIFY2(!named<QWidget>(*window, name)->isEnabled(), name);
        for (const char *name : {"N18", "N48", "N24", "N31"})
            QVERIFY2(!named<QAction>(*window, name)->isEnabled(), name);
        for (const char *name : {"TreeView1", "ToolBar1", "ToolButton1", "ToolButton4",
                                 "ToolButton21", "CheckBox1", "Panel1", "WebBrowser1"})
            QVERIFY2(named<QWidget>(*window, name)->isEnabled(), name);
        for (const char *name : {"N1", "N2", "N6", "N43", "N44", "N50", "N19", "N21", "N14", "N52"})
            QVERIFY2(named<QAction>(*window, name)->isEnabled(), name);
    }

    void languageSwitchRetitles_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("russian");
        QTest::newRow("N1") << "N1"
                            << "Section"
                            << "Раздел";
        QTest::newRow("N5") << "N5"
                            << "Delete Section"
                            << "Удалить";
        QTest::newRow("N56") << "N56"
                             << "Delete Section"
                             << "Удалить раздел";
        QTest::newRow("N6") << "N6"
                            << " Archive "
                            << "Архив";
        QTest::newRow("N8") << "N8"
                            << "In other Section"
                            << "В другой раздел";
        QTest::newRow("N18") << "N18"
                             << " Page "
                             << "Страница";
        QTest::newRow("N19") << "N19"
                             << "Settings"
                             << "Установки";
        QTest::newRow("N21") << "N21"
                             << " Print "
                             << "Печать";
        QTest::newRow("N52") << "N52"
                             << " About "
                             << "О программе";
        QTest::newRow("N16") << "N16"
                             << "Russian"
                             << "Русский";
        QTest::newRow("N33") << "N33"
                             << "Save the page"
                             << "Сохранить страницу на диск";
        QTest::newRow("ToolButton7") << "ToolButton7"
                                     << "Rename section/archive"
                                     << "Переименовать раздел/архив";
        QTest::newRow("ToolButton21") << "ToolButton21"
                                      << "Hide listings"
                                      << "Скрыть списки";
        QTest::newRow("ToolButton25") << "ToolButton25"
                                      << "Go to looking page"
                                      << "Вернуться на просмотренную страницу";
        QTest::newRow("CheckBox1") << "CheckBox1"
                                   << "Off-Line"
                                   << "Автономная работа";
        // Built-in captions stay in both languages.
        QTest::newRow("N22") << "N22"
                             << "Предварительный просмотр"
                             << "Предварительный просмотр";
        QTest::newRow("N23") << "N23"
                             << "Печать"
                             << "Печать";
        QTest::newRow("N36") << "N36"
                             << "О программе"
                             << "О программе";
        QTest::newRow("N37") << "N37"
                             << "Помощь"
                             << "Помощь";
    }
    void languageSwitchRetitles()
    {
        QFETCH(QString, control);
        QFETCH(QString, english);
        QFETCH(QString, russian);
        auto window = makeWindow();
        QCOMPARE(caption(*window, control), english);

        named<QAction>(*window, "N16")->trigger();
        QCOMPARE(caption(*window, control), russian);
        QVERIFY(named<QAction>(*window, "N16")->isChecked());
        QVERIFY(!named<QAction>(*window, "N15")->isChecked());
        QVERIFY(window->session().settings().russianInterface);
        // The status text keeps the language it was built in.
        QCOMPARE(window->statusText(), QString("Open Archive:  not open Archives."));

        named<QAction>(*window, "N15")->trigger();
        QCOMPARE(caption(*window, control), english);
        QVERIFY(named<QAction>(*window, "N15")->isChecked());
        QVERIFY(!named<QAction>(*window, "N16")->isChecked());
    }

    // Choosing the language already active keeps it checked.
    void languageChosenAgainStaysChecked()
    {
        auto window = makeWindow();
        named<QAction>(*window, "N15")->trigger();
        QVERIFY(named<QAction>(*window, "N15")->isChecked());
        QVERIFY(!named<QAction>(*window, "N16")->isChecked());
        QCOMPARE(caption(*window, "N6"), QString(" Archive "));
    }

    void settingsDialog_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("cancelled") << false;
    }
    void settingsDialog()
    {
        QFETCH(bool, accept);
        auto window = makeWindow();
        const Settings before = window->session().settings();
        const QString folder = m_dir->filePath("archives");
        QVERIFY(QDir().mkdir(folder));

        bool shown = false;
        QStringList seen;
        whenModal<SettingsDialog>(
            [&](SettingsDialog *dialog) {
                seen << dialog->windowTitle() << dialog->folderEdit->text();
                for (QCheckBox *box : {dialog->checkArchivesBox, dialog->rememberWindowBox,
                                       dialog->deleteOriginalsBox})
                    seen << (box->isChecked() ? "on" : "off");
                dialog->folderEdit->setText(folder);
                dialog->checkArchivesBox->setChecked(false);
                dialog->rememberWindowBox->setChecked(false);
                dialog->deleteOriginalsBox->setChecked(true);
                QTest::mouseClick(accept ? dialog->okButton : dialog->cancelButton, Qt::LeftButton);
            },
            &shown);
        named<QAction>(*window, "N19")->trigger();
        QVERIFY(shown);
        QCOMPARE(seen, QStringList({"Starting properties", "", "on", "on", "off"}));

        const Settings &after = window->session().settings();
        if (accept) {
            QCOMPARE(after.defaultArchiveFolder, folder + "/");
            QVERIFY(!after.checkArchivesAtStart);
            QVERIFY(!after.rememberWindow);
            QVERIFY(after.deleteOriginals);
        } else {
            QCOMPARE(after.defaultArchiveFolder, before.defaultArchiveFolder);
            QCOMPARE(after.checkArchivesAtStart, before.checkArchivesAtStart);
            QCOMPARE(after.rememberWindow, before.rememberWindow);
            QCOMPARE(after.deleteOriginals, before.deleteOriginals);
        }
        // One dialog, kept for the next time.
        QCOMPARE(window->findChildren<SettingsDialog *>().size(), 1);
    }

    // The picker takes a folder that does not exist yet; No keeps it open, Yes
    // returns the folder, and accepting the settings creates it.
    void settingsDialogCreatesTheChosenFolder()
    {
        auto window = makeWindow();
        named<QAction>(*window, "N16")->trigger(); // the dialog follows the language
        const QString wanted = m_dir->filePath("new archives");
        QStringList steps;

        whenModal<SettingsDialog>([&](SettingsDialog *dialog) {
            steps << dialog->windowTitle() << dialog->rememberWindowBox->text();
            whenModal<FolderPicker>([&, dialog](FolderPicker *picker) {
                picker->findChild<QLineEdit *>("fileNameEdit")->setText(wanted);
                whenModal<QMessageBox>([&](QMessageBox *question) {
                    steps << question->text();
                    question->button(QMessageBox::No)->click();
                });
                QAbstractButton *choose = acceptButton(picker);
                steps << (choose->isEnabled() ? "choose enabled" : "choose disabled");
                choose->click();
                steps << (picker->isVisible() ? "picker open" : "picker closed");
                whenModal<QMessageBox>(
                    [&](QMessageBox *question) { question->button(QMessageBox::Yes)->click(); });
                choose->click();
                steps << (picker->isVisible() ? "picker open" : "picker closed");
                QVERIFY(!QFileInfo::exists(wanted)); // the picker creates nothing
            });
            dialog->browseButton->click();
            steps << dialog->folderEdit->text();
            dialog->okButton->click();
        });
        named<QAction>(*window, "N19")->trigger();

        QCOMPARE(steps, QStringList({"Начальные установки",
                                     "Запоминать положение и размеры окна программы при выходе",
                                     "choose enabled", FolderPicker::createQuestion(),
                                     "picker open", "picker closed", wanted}));
        QVERIFY(QFileInfo(wanted).isDir());
        QCOMPARE(window->session().settings().defaultArchiveFolder, wanted + "/");
    }

    void closingWritesTheSettingsFile()
    {
        auto window = makeWindow();
        window->resize(800, 600);
        window->move(120, 90);
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());

        const QByteArray ini = TestFiles::read(m_dir->filePath("tomekeeper.ini"));
        QVERIFY(ini.startsWith("[Parameters]\r\n"));
        QCOMPARE(iniValue(ini, "width"), QString::number(window->width()));
        QCOMPARE(iniValue(ini, "height"), QString::number(window->height()));
        QCOMPARE(iniValue(ini, "left"), QString::number(window->x()));
        QCOMPARE(iniValue(ini, "top"), QString::number(window->y()));
        QCOMPARE(iniValue(ini, "width"), QString("800"));
        QCOMPARE(iniValue(ini, "language"), QString("0"));
        // The view gets back the off-line state it had before start-up.
        QCOMPARE(m_view->calls.last(), QString("offline 0"));
    }

    void offlineBoxFollowsTheSetting()
    {
        auto window = makeWindow("[Parameters]\r\noffline=0\r\n");
        auto *box = named<QCheckBox>(*window, "CheckBox1");
        QVERIFY(!box->isChecked());
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(window->session().settings().offline);
        window->session().setOffline(false);
        QVERIFY(!box->isChecked());
    }

    void treeExpandsWithMoreThanOneNode_data()
    {
        QTest::addColumn<QByteArray>("catalogue");
        QTest::addColumn<bool>("expanded");
        QTest::newRow("one section")
            << QByteArray("[Archive files 1]\r\nSection=Books\r\n") << false;
        QTest::newRow("section and archive")
            << QByteArray("[Archive files 1]\r\nSection=Books\r\nNovels=/nowhere/novels.zip\r\n")
            << true;
    }
    void treeExpandsWithMoreThanOneNode()
    {
        QFETCH(QByteArray, catalogue);
        QFETCH(bool, expanded);
        auto window = makeWindow("[Parameters]\r\nexistingfiles=0\r\n" + catalogue);
        auto *tree = named<QTreeView>(*window, "TreeView1");
        const QModelIndex books = tree->model()->index(0, 0);
        QCOMPARE(books.data().toString(), QString("Books"));
        QCOMPARE(tree->isExpanded(books), expanded);
        QCOMPARE(tree->selectionModel(), &window->session().catalogueSelection());
    }

    void localFilesMayBeDropped_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("local files")
            << QList<QUrl>{QUrl::fromLocalFile("/tmp/a.htm"), QUrl::fromLocalFile("/tmp/b.htm")}
            << true;
        QTest::newRow("web address") << QList<QUrl>{QUrl("https://example.com/a.htm")} << false;
        QTest::newRow("nothing") << QList<QUrl>{} << false;
    }
    void localFilesMayBeDropped()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, accepted);
        auto window = makeWindow();
        QVERIFY(window->acceptDrops());
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(window.get(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);

        QSignalSpy dropped(window.get(), &MainWindow::filesDropped);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        QCOMPARE(dropped.size(), accepted ? 1 : 0);
        if (accepted)
            QCOMPARE(dropped.first().first().toStringList(),
                     QStringList({"/tmp/a.htm", "/tmp/b.htm"}));
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<bool>("result");
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        QTest::newRow("message") << 0 << int(QMessageBox::Ok) << int(QMessageBox::Ok) << true;
        QTest::newRow("error") << 1 << int(QMessageBox::Ok) << int(QMessageBox::Ok) << true;
        QTest::newRow("refusal") << 2 << int(QMessageBox::Yes) << int(QMessageBox::Yes) << true;
        QTest::newRow("question, yes") << 3 << yesNo << int(QMessageBox::Yes) << true;
        QTest::newRow("question, no") << 3 << yesNo << int(QMessageBox::No) << false;
        QTest::newRow("question, escape") << 3 << yesNo << 0 << false;
    }
    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        QFETCH(int, press);
        QFETCH(bool, result);
        QWidget owner;
        WidgetInteraction ui(&owner);
        int seenButtons = 0;
        QString seenTitle, seenText;
        whenModal<QMessageBox>([&](QMessageBox *box) {
            seenButtons = int(box->standardButtons());
            seenTitle = box->windowTitle();
            seenText = box->text();
            if (press)
                box->button(QMessageBox::StandardButton(press))->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
        });
        bool answer = true;
        const QString text = "Archives are absent on disk:\r\n\r\n/a <b>.zip\r\n";
        switch (kind) {
        case 0:
            ui.showMessage(text);
            break;
        case 1:
            ui.showError(text);
            break;
        case 2:
            ui.showRefusal(text);
            break;
        default:
            answer = ui.askYesNo(text);
        }
        QCOMPARE(seenButtons, buttons);
        QCOMPARE(seenTitle, QString("Tomekeeper v3.0"));
        // CR LF line ends are shown as plain line breaks, markup as text.
        QCOMPARE(seenText, QString("Archives are absent on disk:\n\n/a <b>.zip\n"));
        QCOMPARE(answer, result);
    }

    void busyPointerNests()
    {
        QWidget owner;
        WidgetInteraction ui(&owner);
        {
            BusyGuard outer(ui);
            {
                BusyGuard inner(ui);
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            QVERIFY(QApplication::overrideCursor());
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QVERIFY(!QApplication::overrideCursor());
        ui.endBusy(); // one too many changes nothing
        QVERIFY(!QApplication::overrideCursor());
    }

    // The program's own browser view, end to end.
    void realBrowserView()
    {
        auto window = std::make_unique<MainWindow>(WorkFolders::under(m_dir->filePath("cache")));
        auto *view = named<WebPageView>(*window, "WebBrowser1");
        QVERIFY(view);
        QCOMPARE(&window->pageView(), static_cast<PageView *>(view));
        QTRY_COMPARE_WITH_TIMEOUT(view->browser()->url(), QUrl("about:blank"), 20000);
        view->setOffline(true);
        QVERIFY(window->close());
        QVERIFY(!view->offline()); // back to how start-up found it
        QVERIFY(QFileInfo::exists(m_dir->filePath("tomekeeper.ini")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
