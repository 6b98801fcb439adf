#include "app/actions.h"
#include "app/mainwindow.h"
#include "app/widgetinteraction.h"
#include "browse/web/findbar.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "dialogs/aboutdialog.h"
#include "dialogs/folderpicker.h"
#include "dialogs/settingsdialog.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "testfiles.h"
#include "testzips.h"
#include "windowtesting.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QWebEngineView>
#include <memory>

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

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

// Stands in for the desktop: records what it is asked to open.
class DesktopRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened << url; }
};

class TestMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingPageView> m_view;
    ModalWatch m_modals;
    QString m_previousFolder;

    QString iniPath() const { return m_dir->filePath("tomekeeper.ini"); }
    ProgramPaths paths() const
    {
        return ProgramPaths::under(m_dir->path(), m_dir->filePath("home"));
    }

    // The window over a settings file in the folder current at start-up.
    std::unique_ptr<MainWindow> makeWindow(const QByteArray &ini = {},
                                           UserInteraction *ui = nullptr)
    {
        if (!ini.isEmpty())
            TestFiles::write(iniPath(), ini);
        auto window = std::make_unique<MainWindow>(paths(), m_view.get(), ui);
        window->startUp();
        return window;
    }

private Q_SLOTS:
    void initTestCase() { isolateHome(m_home.path()); }

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
        m_modals.verify();
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
        FIND(offline, QCheckBox, *window, "offlineBox");
        QVERIFY(offline->isChecked());
        FIND(russianItem, QAction, *window, "russianAction");
        FIND(englishItem, QAction, *window, "englishAction");
        QCOMPARE(russianItem->isChecked(), russian);
        QCOMPARE(englishItem->isChecked(), !russian);
        FIND(sectionMenu, QMenu, *window, "sectionMenu");
        QCOMPARE(sectionMenu->title(), russian ? QString("Раздел") : QString("Section"));

        // Nothing that needs an open archive can be used yet.
        for (const char *name :
             {"pageList", "printToolButton", "printPreviewToolButton", "findButton",
              "firstPageButton", "previousPageButton", "returnPageButton", "nextPageButton",
              "lastPageButton", "addPagesButton", "renamePageButton", "movePageToArchiveButton",
              "movePageUpButton", "movePageDownButton", "deletePageButton"}) {
            auto *control = window->findChild<QWidget *>(name);
            QVERIFY2(control, name);
            QVERIFY2(!control->isEnabled(), name);
        }
        FIND(pageMenu, QMenu, *window, "pageMenu");
        FIND(addMenu, QMenu, *window, "addMenu");
        QVERIFY(!pageMenu->menuAction()->isEnabled());
        QVERIFY(!addMenu->menuAction()->isEnabled());
        for (const char *name : {"updateArchiveAction", "newPageListAction", "addPagesAction"}) {
            auto *action = window->findChild<QAction *>(name);
            QVERIFY2(action, name);
            QVERIFY2(!action->isEnabled(), name);
        }
        for (const char *name :
             {"catalogueTree", "catalogueToolBar", "createSectionButton", "removeArchiveButton",
              "toggleListsButton", "offlineBox", "leftColumn", "pageView"}) {
            auto *control = window->findChild<QWidget *>(name);
            QVERIFY2(control, name);
            QVERIFY2(control->isEnabled(), name);
        }
        for (const char *name :
             {"createSectionAction", "createArchiveAction", "attachArchiveAction",
              "removeArchiveAction", "settingsAction", "printAction", "printPreviewAction",
              "aboutAction", "helpAction"}) {
            auto *action = window->findChild<QAction *>(name);
            QVERIFY2(action, name);
            QVERIFY2(action->isEnabled(), name);
        }
        for (const char *name :
             {"sectionMenu", "archiveMenu", "printMenu", "interfaceMenu", "infoMenu"}) {
            auto *menu = window->findChild<QMenu *>(name);
            QVERIFY2(menu, name);
            QVERIFY2(menu->menuAction()->isEnabled(), name);
        }
    }

    // The page controls follow the session as the commands change it.
    void pageControlsFollowTheSession()
    {
        auto window = makeWindow();
        Session &s = window->session();
        s.setPageControlsEnabled(true);
        s.setNavigation({false, false, false, true, true});
        FIND(pageMenu, QMenu, *window, "pageMenu");
        FIND(list, QListView, *window, "pageList");
        FIND(print, QToolButton, *window, "printToolButton");
        FIND(next, QToolButton, *window, "nextPageButton");
        FIND(first, QToolButton, *window, "firstPageButton");
        QVERIFY(pageMenu->menuAction()->isEnabled());
        QVERIFY(list->isEnabled());
        QVERIFY(print->isEnabled());
        QVERIFY(next->isEnabled());
        QVERIFY(!first->isEnabled());
        s.setPageControlsEnabled(false);
        QVERIFY(!pageMenu->menuAction()->isEnabled());
        QVERIFY(!list->isEnabled());
        QVERIFY(!print->isEnabled());
        QVERIFY(!next->isEnabled());
        FIND(printItem, QAction, *window, "printAction");
        QVERIFY(printItem->isEnabled());
    }

    // Hiding the lists gives the page the width; a language switch puts the
    // "hide" hint back whatever the lists' state, as it always did.
    void listsHidden()
    {
        auto window = makeWindow();
        FIND(column, QWidget, *window, "leftColumn");
        FIND(toggle, QToolButton, *window, "toggleListsButton");
        window->session().setListsHidden(true);
        QVERIFY(!column->isVisible());
        QVERIFY(toggle->isChecked());
        QCOMPARE(toggle->toolTip(), QString("Reveal list"));
        window->runCommand(Command::English);
        QCOMPARE(toggle->toolTip(), QString("Hide listings"));
        QVERIFY(toggle->isChecked());
        window->session().setListsHidden(false);
        QVERIFY(column->isVisible());
        QVERIFY(!toggle->isChecked());
    }

    void languageSwitch()
    {
        auto window = makeWindow();
        FIND(russianItem, QAction, *window, "russianAction");
        FIND(englishItem, QAction, *window, "englishAction");
        russianItem->trigger();
        QVERIFY(russianItem->isChecked());
        QVERIFY(!englishItem->isChecked());
        QVERIFY(window->session().settings().russianInterface);
        // The status text keeps the language it was built in.
        QCOMPARE(window->statusText(), QString("Open Archive:  not open Archives."));
        englishItem->trigger();
        QVERIFY(englishItem->isChecked());
        QVERIFY(!russianItem->isChecked());
        // Choosing the language already active keeps it checked.
        englishItem->trigger();
        QVERIFY(englishItem->isChecked());
        QVERIFY(!russianItem->isChecked());
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

        QStringList seen;
        m_modals.whenModal<SettingsDialog>([&](SettingsDialog *dialog) {
            seen << dialog->windowTitle() << dialog->folderEdit->text();
            for (QCheckBox *box :
                 {dialog->checkArchivesBox, dialog->rememberWindowBox, dialog->deleteOriginalsBox})
                seen << (box->isChecked() ? "on" : "off");
            dialog->folderEdit->setText(folder);
            dialog->checkArchivesBox->setChecked(false);
            dialog->rememberWindowBox->setChecked(false);
            dialog->deleteOriginalsBox->setChecked(true);
            QTest::mouseClick(accept ? dialog->okButton : dialog->cancelButton, Qt::LeftButton);
        });
        FIND(settingsItem, QAction, *window, "settingsAction");
        settingsItem->trigger();
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
        window->runCommand(Command::Russian); // the dialog follows the language
        const QString wanted = m_dir->filePath("new archives");
        QStringList steps;

        m_modals.whenModal<SettingsDialog>([&](SettingsDialog *dialog) {
            steps << dialog->windowTitle() << dialog->rememberWindowBox->text();
            m_modals.whenModal<FolderPicker>([&, dialog](FolderPicker *picker) {
                picker->findChild<QLineEdit *>("fileNameEdit")->setText(wanted);
                m_modals.whenModal<QMessageBox>([&](QMessageBox *question) {
                    steps << question->text();
                    question->button(QMessageBox::No)->click();
                });
                QAbstractButton *choose = acceptButton(picker);
                steps << (choose->isEnabled() ? "choose enabled" : "choose disabled");
                choose->click();
                steps << (picker->isVisible() ? "picker open" : "picker closed");
                m_modals.whenModal<QMessageBox>(
                    [&](QMessageBox *question) { question->button(QMessageBox::Yes)->click(); });
                choose->click();
                steps << (picker->isVisible() ? "picker open" : "picker closed");
                steps << (QFileInfo::exists(wanted) ? "created" : "not created");
            });
            dialog->browseButton->click();
            steps << dialog->folderEdit->text();
            dialog->okButton->click();
        });
        window->runCommand(Command::Settings);

        QCOMPARE(steps, QStringList({"Начальные установки",
                                     "Запоминать положение и размеры окна программы при выходе",
                                     "choose enabled", FolderPicker::createQuestion(),
                                     "picker open", "picker closed",
                                     "not created", // the picker creates nothing
                                     wanted}));
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

        // None was in the folder current at start-up: the configuration folder's.
        QVERIFY(!QFileInfo::exists(iniPath()));
        const QByteArray ini = TestFiles::read(m_dir->filePath("home/config/tomekeeper.ini"));
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

    // A changed archive that cannot be written back does not keep the
    // program open: the user is told where its working copy is kept.
    void closingWithAFailedWriteBack()
    {
        ScriptedInteraction ui;
        auto window = makeWindow({}, &ui);
        OpenArchive &archive = window->session().archive();
        QVERIFY(archive.startNew(m_dir->filePath("gone/book.zip")));
        TestFiles::write(archive.workFolder() + "/page.htm", "unsaved");
        archive.pages().append("page", "page.htm");
        ui.expectMessage(); // the files that could not be saved
        ui.expectMessage(); // where the working copy is kept
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(ui.verify());
        const QString kept = ui.log().last().section("\r\n", 1);
        QVERIFY2(kept.contains("/recovered-"), qPrintable(kept));
        QCOMPARE(TestFiles::read(kept + "/page.htm"), QByteArray("unsaved"));
        QVERIFY(QFileInfo::exists(m_dir->filePath("home/config/tomekeeper.ini")));
    }

    // Closing (or a termination signal) while long work runs waits for the
    // work; the window closes normally after it.
    void closingWaitsForLongWork()
    {
        auto window = makeWindow();
        QSemaphore release;
        bool workDone = false;
        bool closedDuringWork = false;
        QTimer::singleShot(0, window.get(), [&] {
            window->close();
            closedDuringWork = !window->isVisible();
            release.release();
        });
        window->runGuarded([&] {
            window->interaction().run(MessageId::ProgressUnpacking, [&](WorkProgress &) {
                release.acquire();
                workDone = true;
            });
            QVERIFY(workDone);
            QVERIFY(window->isVisible());
        });
        QVERIFY(!closedDuringWork);
        QVERIFY(!window->isVisible());
        QVERIFY(QFileInfo::exists(m_dir->filePath("home/config/tomekeeper.ini")));
    }

    // A termination answers the message box on screen as cancelled, shows
    // nothing more, and closes the window once the command is over.
    void terminationClosesOpenBoxes()
    {
        auto window = makeWindow();
        bool answer = true;
        m_modals.whenModal<QMessageBox>([&](QMessageBox *) { window->requestClose(); });
        window->runGuarded([&] {
            answer = window->interaction().askYesNo("Still there?");
            window->interaction().showMessage("not shown: the program is ending");
            QVERIFY(window->isVisible());
        });
        QVERIFY(!answer);
        QVERIFY(!window->isVisible());
    }

    void offlineBoxFollowsTheSetting()
    {
        auto window = makeWindow("[Parameters]\r\noffline=0\r\n");
        FIND(box, QCheckBox, *window, "offlineBox");
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
        FIND(tree, QTreeView, *window, "catalogueTree");
        const QModelIndex books = tree->model()->index(0, 0);
        QCOMPARE(books.data().toString(), QString("Books"));
        QCOMPARE(tree->isExpanded(books), expanded);
        QCOMPARE(tree->selectionModel(), &window->session().catalogueSelection());
    }

    // A double-click on the tree opens the selected archive, a click on the
    // page list shows the focused page.
    void viewsGiveTheirCommands()
    {
        QTemporaryDir pages;
        TestFiles::write(pages.filePath("news.htm"), "<html>news</html>");
        TestFiles::write(pages.filePath("map.htm"), "<html>map</html>");
        TestFiles::write(pages.filePath("listfile.txt"),
                         "[This is list files by Tomekeeper]\r\n"
                         "News=news.htm\r\nMap=map.htm\r\n[end]\r\n");
        const QString zip = m_dir->filePath("novels.zip");
        QCOMPARE(TestFiles::run("zip", {"-q", zip, "news.htm", "map.htm", "listfile.txt"}, nullptr,
                                pages.path()),
                 0);
        auto window = makeWindow("[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                                 "Section=Books\r\nNovels=" +
                                 zip.toUtf8() + "\r\n");
        Session &s = window->session();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QSignalSpy given(&window->actions(), &Actions::triggered);
        FIND(tree, QTreeView, *window, "catalogueTree");
        FIND(list, QListView, *window, "pageList");
        QVERIFY(!list->isEnabled());
        const QRect node = tree->visualRect(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, node.center());
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, node.center());
        QCOMPARE(given.size(), 1);
        QCOMPARE(given.takeFirst().first().value<Command>(), Command::OpenSelectedArchive);
        QCOMPARE(s.openNode(), 1);
        const QString work = s.archive().workFolder();
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/news.htm");
        QVERIFY(list->isEnabled());
        FIND(status, QStatusBar, *window, "statusBar");
        QCOMPARE(status->findChild<QLabel *>()->text(), QString("Open Archive: Books\\Novels"));
        QVERIFY(window->actions().action(Command::NextPage)->isEnabled());
        QVERIFY(!window->actions().action(Command::FirstPage)->isEnabled());

        const QRect page = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, page.center());
        QCOMPARE(given.size(), 1);
        QCOMPARE(given.takeFirst().first().value<Command>(), Command::ShowFocusedPage);
        QCOMPARE(s.pageSelection().currentIndex().row(), 1);
        QCOMPARE(m_view->calls.last(), "navigate " + work + "/map.htm");
        QVERIFY(window->actions().action(Command::FirstPage)->isEnabled());
        QVERIFY(!window->actions().action(Command::NextPage)->isEnabled());
    }

    // The catalogue commands from the controls a user reaches them by: the
    // tree's tool buttons, its pop-up menu and the main menu; the tree shows
    // each change, the selection and the open archive's picture included.
    void catalogueCommandsFromTheWindow()
    {
        ScriptedInteraction ui;
        auto window = makeWindow("[Parameters]\r\nexistingfiles=0\r\n[Archive files 1]\r\n"
                                 "Section=Books\r\nNovels=/nowhere/novels.zip\r\n"
                                 "Poems=/nowhere/poems.zip\r\n",
                                 &ui);
        Session &s = window->session();
        CatalogueModel &catalogue = s.catalogue();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        FIND(tree, QTreeView, *window, "catalogueTree");
        FIND(popup, QMenu, *window, "cataloguePopupMenu");
        FIND(create, QToolButton, *window, "createSectionButton");
        FIND(move, QToolButton, *window, "moveArchiveToSectionButton");
        FIND(remove, QToolButton, *window, "removeArchiveButton");
        auto popupItem = [&](const char *name) {
            for (QAction *action : popup->actions()) {
                if (action->objectName() == QLatin1String(name))
                    return action;
            }
            return static_cast<QAction *>(nullptr);
        };
        auto shownName = [&] { return tree->currentIndex().data().toString(); };

        ui.expectName("Entering the name of the section",
                      "Input name of the section:", "New Section", "News");
        QTest::mouseClick(create, Qt::LeftButton);
        QVERIFY(ui.verify());
        QCOMPARE(tree->model()->rowCount(), 2);
        QCOMPARE(shownName(), QString("News"));
        QVERIFY(tree->selectionModel()->isSelected(tree->currentIndex()));

        ui.expectName("Rename section or archive", "Pleas, input new Name:", "News", "Daily");
        QVERIFY(popupItem("renameNodeAction"));
        popupItem("renameNodeAction")->trigger();
        QVERIFY(ui.verify());
        QCOMPARE(shownName(), QString("Daily"));

        // Poems is open; it moves to Daily's first place and keeps its picture.
        s.setOpenNode(2);
        catalogue.setPicture(2, CatalogueNode::OpenArchivePicture);
        QTest::mouseClick(move, Qt::LeftButton);
        QVERIFY(ui.verify());
        QCOMPARE(catalogue.nodeNames(), QStringList({"Books", "Novels", "Daily", "Poems"}));
        const QModelIndex moved = tree->model()->index(0, 0, tree->model()->index(1, 0));
        QCOMPARE(moved.data().toString(), QString("Poems"));
        QVERIFY(tree->isExpanded(moved.parent()));
        QCOMPARE(moved.data(CatalogueModel::PictureRole).toInt(),
                 int(CatalogueNode::OpenArchivePicture));
        QCOMPARE(s.openNode(), 3);
        QCOMPARE(window->statusText(), QString("Open Archive: Daily\\Poems"));

        // Novels leaves the catalogue; the open archive's index follows.
        s.selectNode(1);
        ui.expectYesNo("You really want to delete archive:\r\n\"Novels\"?", true);
        QTest::mouseClick(remove, Qt::LeftButton);
        QVERIFY(ui.verify());
        QCOMPARE(catalogue.nodeNames(), QStringList({"Books", "Daily", "Poems"}));
        QCOMPARE(s.openNode(), 2);

        // Books is empty now; it goes from the pop-up menu, Daily's index follows.
        s.selectNode(0);
        ui.expectYesNo("You really want to delete section \"Books\"?", true);
        QVERIFY(popupItem("deleteSectionPopupAction"));
        popupItem("deleteSectionPopupAction")->trigger();
        QVERIFY(ui.verify());
        QCOMPARE(catalogue.nodeNames(), QStringList({"Daily", "Poems"}));
        QCOMPARE(s.openNode(), 1);
        QCOMPARE(tree->model()
                     ->index(0, 0, tree->model()->index(0, 0))
                     .data(CatalogueModel::PictureRole)
                     .toInt(),
                 int(CatalogueNode::OpenArchivePicture));

        // The main menu's Path to Archive names the selected archive's zip.
        s.selectNode(1);
        ui.expectMessage("Path To Archive \"Daily\\Poems\":\r\n\r\n/nowhere/poems.zip");
        window->actions().action(Command::ShowArchivePath)->trigger();
        QVERIFY(ui.verify());
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

    // Files dropped from a file manager become pages of the open archive, in
    // the order given; with none open, the user is told to open one.
    void droppedFilesBecomePages()
    {
        ScriptedInteraction ui;
        auto window = makeWindow({}, &ui);
        TestFiles::write(m_dir->filePath("in/b.htm"), "b");
        TestFiles::write(m_dir->filePath("in/a.htm"), "a");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_dir->filePath("in/b.htm")),
                      QUrl::fromLocalFile(m_dir->filePath("in/a.htm"))});
        const auto drop = [&] {
            QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(window.get(), &enter);
            QDropEvent event(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(window.get(), &event);
        };
        QSignalSpy dropped(window.get(), &MainWindow::filesDropped);
        ui.expectRefusal(msg(MessageId::AddPagesNeedsArchive));
        drop();
        QCOMPARE(dropped.size(), 1);
        QTRY_COMPARE(ui.log().size(), 1);

        OpenArchive &archive = window->session().archive();
        QVERIFY(QDir().mkpath(m_dir->filePath("arch")));
        QVERIFY(archive.startNew(m_dir->filePath("arch/book.zip")));
        drop();
        QTRY_COMPARE(archive.pages().count(), 2);
        QCOMPARE(archive.pages().fileNames(), (QStringList{"b.htm", "a.htm"}));
        QVERIFY(ui.verify());
        QVERIFY(window->close());
        QVERIFY(TestZips::passesTest(m_dir->filePath("arch/book.zip")));
    }

    // The page tool bar renames, reorders and deletes; deleting the last
    // page turns every page control off while the archive stays open.
    void pageCommandsFromTheWindow()
    {
        ScriptedInteraction ui;
        auto window = makeWindow({}, &ui);
        Session &s = window->session();
        OpenArchive &archive = s.archive();
        QVERIFY(QDir().mkpath(m_dir->filePath("arch")));
        QVERIFY(archive.startNew(m_dir->filePath("arch/book.zip")));
        for (const QString &name : {QString("a"), QString("b")}) {
            QVERIFY(TestFiles::write(archive.workFolder() + "/" + name + ".htm", "page"));
            archive.pages().append(name.toUpper(), name + ".htm");
        }
        s.setPageControlsEnabled(true);
        s.pageSelection().setCurrentIndex(archive.pages().index(0),
                                          QItemSelectionModel::ClearAndSelect);
        FIND(rename, QToolButton, *window, "renamePageButton");
        FIND(down, QToolButton, *window, "movePageDownButton");
        FIND(remove, QToolButton, *window, "deletePageButton");

        ui.expectName("Input page's name", "Input new page's name:", "A", "First");
        QTest::mouseClick(rename, Qt::LeftButton);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(archive.pages().titles(), (QStringList{"B", "First"}));
        for (int i = 0; i < 2; ++i) {
            ui.expectYesNo({}, true);
            QTest::mouseClick(remove, Qt::LeftButton);
        }
        QVERIFY(ui.verify());
        QCOMPARE(archive.pages().count(), 0);
        QVERIFY(archive.isOpen());
        QCOMPARE(m_view->calls.last(), QString("navigate about:blank"));
        for (const char *name :
             {"pageList", "printToolButton", "printPreviewToolButton", "findButton",
              "firstPageButton", "previousPageButton", "returnPageButton", "nextPageButton",
              "lastPageButton", "addPagesButton", "renamePageButton", "movePageToArchiveButton",
              "movePageUpButton", "movePageDownButton", "deletePageButton"}) {
            auto *control = window->findChild<QWidget *>(name);
            QVERIFY2(control, name);
            QVERIFY2(!control->isEnabled(), name);
        }
        FIND(pageMenu, QMenu, *window, "pageMenu");
        FIND(addMenu, QMenu, *window, "addMenu");
        QVERIFY(!pageMenu->menuAction()->isEnabled());
        QVERIFY(!addMenu->menuAction()->isEnabled());
        for (const char *name : {"updateArchiveAction", "newPageListAction"}) {
            auto *action = window->findChild<QAction *>(name);
            QVERIFY2(action, name);
            QVERIFY2(!action->isEnabled(), name);
        }
        QVERIFY(window->close());
        QVERIFY(TestZips::passesTest(m_dir->filePath("arch/book.zip")));
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<bool>("result");
        const int yesNo = QMessageBox::Yes | QMessageBox::No;
        const int warning = QMessageBox::Warning;
        QTest::newRow("message") << 0 << int(QMessageBox::NoIcon) << int(QMessageBox::Ok)
                                 << int(QMessageBox::Ok) << true;
        QTest::newRow("error") << 1 << int(QMessageBox::Critical) << int(QMessageBox::Ok)
                               << int(QMessageBox::Ok) << true;
        QTest::newRow("refusal") << 2 << warning << int(QMessageBox::Yes) << int(QMessageBox::Yes)
                                 << true;
        QTest::newRow("warning") << 4 << warning << int(QMessageBox::Ok) << int(QMessageBox::Ok)
                                 << true;
        QTest::newRow("question, yes") << 3 << warning << yesNo << int(QMessageBox::Yes) << true;
        QTest::newRow("question, no") << 3 << warning << yesNo << int(QMessageBox::No) << false;
        QTest::newRow("question, escape") << 3 << warning << yesNo << 0 << false;
    }
    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, press);
        QFETCH(bool, result);
        QWidget owner;
        WidgetInteraction ui(&owner);
        int seenButtons = 0;
        int seenIcon = -1;
        QString seenTitle, seenText;
        m_modals.whenModal<QMessageBox>([&](QMessageBox *box) {
            seenButtons = int(box->standardButtons());
            seenIcon = int(box->icon());
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
        case 4:
            ui.showWarning(text);
            break;
        default:
            answer = ui.askYesNo(text);
        }
        QCOMPARE(seenButtons, buttons);
        QCOMPARE(seenIcon, icon);
        QCOMPARE(seenTitle, QString("Tomekeeper v3.0"));
        // CR LF line ends are shown as plain line breaks, markup as text.
        QCOMPARE(seenText, QString("Archives are absent on disk:\n\n/a <b>.zip\n"));
        QCOMPARE(answer, result);
    }

    void nameInput_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("result");
        QTest::newRow("a name") << " padded " << true << " padded ";
        QTest::newRow("cancelled") << "anything" << false << "";
        QTest::newRow("emptied") << "" << true << "";
    }
    void nameInput()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QString, result);
        QWidget owner;
        WidgetInteraction ui(&owner);
        QStringList seen;
        m_modals.whenModal<QDialog>([&](QDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            seen << dialog->windowTitle() << (edit ? edit->text() : "no field");
            if (edit)
                edit->setText(typed);
            if (ok)
                dialog->accept();
            else
                dialog->reject();
        });
        QCOMPARE(ui.askName("Rename section or archive", "Pleas, input new Name:", "Books"),
                 result);
        QCOMPARE(seen, QStringList({"Rename section or archive", "Books"}));
    }

    // Short work shows only the busy pointer; longer work a progress window
    // that cannot be closed before the work is done.
    void longWorkShowsProgress()
    {
        QWidget owner;
        WidgetInteraction ui(&owner);
        ui.run(MessageId::ProgressUnpacking, [](WorkProgress &) {});
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!owner.findChild<QProgressDialog *>());

        QSemaphore release;
        QStringList seen;
        m_modals.whenModal<QProgressDialog>([&](QProgressDialog *progress) {
            seen << progress->labelText() << progress->windowTitle();
            seen << (QApplication::overrideCursor() &&
                             QApplication::overrideCursor()->shape() == Qt::WaitCursor
                         ? "busy"
                         : "not busy");
            progress->reject();
            QTest::keyClick(progress, Qt::Key_Escape);
            progress->close();
            seen << (progress->isVisible() ? "still open" : "closed");
            QVERIFY(ui.isWorking());
            release.release();
        });
        ui.run(MessageId::ProgressWritingBack, [&](WorkProgress &progress) {
            progress.setTotal(2);
            progress.advance();
            release.acquire();
            progress.advance();
        });
        QCOMPARE(seen,
                 QStringList({"Saving the archive...", "Tomekeeper v3.0", "busy", "still open"}));
        QVERIFY(!ui.isWorking());
        QVERIFY(!QApplication::overrideCursor());
    }

    // The Info menu through the window: one about box, shown again each
    // time; help without any help file names the absent one in the language
    // active at that moment.
    void infoMenu()
    {
        auto window = makeWindow();
        FIND(about, QAction, *window, "aboutAction");
        FIND(help, QAction, *window, "helpAction");
        QList<QDialog *> boxes;
        for (int i = 0; i < 2; ++i) {
            m_modals.whenModal<QDialog>([&](QDialog *box) {
                boxes << box;
                QTest::keyClick(box, Qt::Key_Escape);
            });
            about->trigger();
        }
        QCOMPARE(boxes.size(), 2);
        QVERIFY(qobject_cast<AboutDialog *>(boxes.first()));
        QCOMPARE(boxes.first(), boxes.last());
        QVERIFY(!boxes.first()->isVisible());

        QStringList seen;
        const auto answer = [&](QMessageBox *box) {
            seen << box->text();
            box->button(QMessageBox::Ok)->click();
        };
        m_modals.whenModal<QMessageBox>(answer);
        help->trigger();
        FIND(russianItem, QAction, *window, "russianAction");
        russianItem->trigger();
        m_modals.whenModal<QMessageBox>(answer);
        help->trigger();
        FIND(englishItem, QAction, *window, "englishAction");
        englishItem->trigger();
        QCOMPARE(seen, QStringList({"Regrettably, file of the reference HelpEng.chm is absent!",
                                    "К сожалению, файл справки HelpRus.chm отсутствует!"}));
    }

    // Files go to the desktop as files, whatever their names hold; addresses
    // as addresses. The about box's links go the same way and leave it open.
    void desktopOpensFilesAndAddresses()
    {
        DesktopRecorder desktop;
        for (const char *scheme : {"file", "https"})
            QDesktopServices::setUrlHandler(scheme, &desktop, "open");
        const auto restore = qScopeGuard([] {
            for (const char *scheme : {"file", "https"})
                QDesktopServices::unsetUrlHandler(scheme);
        });
        QWidget owner;
        WidgetInteraction ui(&owner);
        const QString present = m_dir->filePath("manual #1?%20.html");
        QVERIFY(TestFiles::write(present, "help"));
        const QString absent = m_dir->filePath("gone #2.chm");
        QVERIFY(QDir::setCurrent(m_dir->path()));
        QVERIFY(ui.openWithDesktop(present));
        QVERIFY(ui.openWithDesktop(absent));
        QVERIFY(ui.openWithDesktop("manual #1?%20.html"));
        QVERIFY(ui.openWithDesktop("https://tomekeeper.org/download/"));
        QCOMPARE(
            desktop.opened,
            QList<QUrl>({QUrl::fromLocalFile(present), QUrl::fromLocalFile(absent),
                         QUrl::fromLocalFile(present), QUrl("https://tomekeeper.org/download/")}));

        desktop.opened.clear();
        bool stayedOpen = false;
        m_modals.whenModal<AboutDialog>([&](AboutDialog *box) {
            auto *link = box->findChild<QWidget *>("homeLink");
            QVERIFY(link);
            QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
            stayedOpen = box->isVisible();
            box->accept();
        });
        ui.showAbout();
        QVERIFY(stayedOpen);
        QCOMPARE(desktop.opened, QList<QUrl>({AboutDialog::homePage()}));
    }

    // The program's own browser view, end to end.
    void realBrowserView()
    {
        auto window = std::make_unique<MainWindow>(paths());
        window->startUp();
        FIND(view, WebPageView, *window, "pageView");
        QCOMPARE(&window->pageView(), static_cast<PageView *>(view));
        QTRY_COMPARE_WITH_TIMEOUT(view->browser()->url(), QUrl("about:blank"), 20000);
        // The find bar, open over the view, follows a language switch.
        view->findBar()->activate(QStringLiteral("word"));
        view->findBar()->showResult(1, 2);
        window->runCommand(Command::Russian);
        QCOMPARE(view->findBar()->resultText(), QString("1 из 2"));
        window->runCommand(Command::English);
        QCOMPARE(view->findBar()->resultText(), QString("1 of 2"));
        view->setOffline(true);
        QVERIFY(window->close());
        QVERIFY(!view->offline()); // back to how start-up found it
        QVERIFY(QFileInfo::exists(m_dir->filePath("home/config/tomekeeper.ini")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
