#include "app/actions.h"
#include "app/mainwindow.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "lang/messages.h"
#include "recordingpageview.h"
#include "scriptedinteraction.h"
#include "windowtesting.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <memory>

static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

// What a control shows: an action's or a menu's caption, a tool button's
// hint, the off-line box's caption.
QString shownText(QObject *control)
{
    if (auto *menu = qobject_cast<QMenu *>(control))
        return menu->title();
    if (auto *action = qobject_cast<QAction *>(control))
        return action->text();
    if (auto *button = qobject_cast<QToolButton *>(control))
        return button->toolTip();
    if (auto *box = qobject_cast<QCheckBox *>(control))
        return box->text();
    return QStringLiteral("<unknown>");
}

// A menu's items as the user sees them; "-" for a separator, "> " before a sub-menu.
QStringList itemsOf(const QWidget *menuOrBar)
{
    QStringList items;
    for (QAction *item : menuOrBar->actions()) {
        if (!item->isVisible())
            continue;
        if (item->isSeparator())
            items << "-";
        else
            items << (item->menu() ? "> " : "") + item->text();
    }
    return items;
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<not accessible>");
}

} // namespace

// The shared actions and what the window shows of them: every command has
// its action, every control its text in both languages, as the catalogue's
// tables give them, and a name for screen readers.
class TestActions : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<RecordingPageView> m_view;
    std::unique_ptr<ScriptedInteraction> m_ui;
    std::unique_ptr<MainWindow> m_window;

private Q_SLOTS:
    void initTestCase() { isolateHome(m_home.path()); }
    void init()
    {
        m_view = std::make_unique<RecordingPageView>();
        m_ui = std::make_unique<ScriptedInteraction>();
        m_window = std::make_unique<MainWindow>(
            ProgramPaths::under(m_home.filePath("program"), m_home.filePath("files")), m_view.get(),
            m_ui.get());
        m_window->startUp();
    }
    void cleanup()
    {
        m_window.reset();
        m_ui.reset();
        m_view.reset();
        Messages::useEnglish();
    }

    void oneActionPerCommand()
    {
        Actions &actions = m_window->actions();
        // The actions alone, without the window running the commands.
        QObject::disconnect(&actions, nullptr, m_window.get(), nullptr);
        QSignalSpy triggered(&actions, &Actions::triggered);
        QSet<QAction *> primary;
        for (int c = 0; c < CommandCount; ++c) {
            QAction *action = actions.action(Command(c));
            QVERIFY(action);
            QVERIFY2(!action->objectName().isEmpty(), qPrintable(QString::number(c)));
            primary.insert(action);
        }
        QCOMPARE(primary.size(), CommandCount);
        // Every action, variants included, reports its command and no other.
        QSet<QString> names;
        for (QAction *action : actions.all()) {
            names.insert(action->objectName());
            triggered.clear();
            action->setEnabled(true);
            action->trigger();
            QCOMPARE(triggered.size(), 1);
            const Command command = triggered.first().first().value<Command>();
            QVERIFY2(actions.at(command, ActionPlace::Menu) == actions.action(command),
                     qPrintable(action->objectName()));
            QVERIFY2(action == actions.action(command) ||
                         action == actions.at(command, ActionPlace::PageMenu) ||
                         action == actions.at(command, ActionPlace::Popup) ||
                         action == actions.at(command, ActionPlace::ToolBar),
                     qPrintable(action->objectName()));
        }
        QCOMPARE(names.size(), actions.all().size());
    }

    // No control is known by a number.
    void namesSayWhatThingsAre()
    {
        const QRegularExpression numbered("\\d$");
        QStringList names{m_window->objectName()};
        for (QObject *child : m_window->findChildren<QObject *>())
            names << child->objectName();
        for (const QString &name : std::as_const(names))
            QVERIFY2(!numbered.match(name).hasMatch(), qPrintable(name));
    }

    void windowTexts_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("russian");
        auto row = [](const char *control, const char16_t *english, const char16_t *russian) {
            QTest::newRow(control) << QString::fromLatin1(control) << QString::fromUtf16(english)
                                   << QString::fromUtf16(russian);
        };
        // The main menu.
        row("sectionMenu", u"Section", u"Раздел");
        row("createSectionAction", u"Create New Section", u"Создать новый");
        row("renameNodeAction", u"Rename Section/Archive", u"Переименовать раздел/архив");
        row("deleteSectionAction", u"Delete Section", u"Удалить");
        row("archiveMenu", u" Archive ", u"Архив");
        row("createArchiveAction", u"Create New Archive", u"Создать новый");
        row("attachArchiveAction", u"Switch Archive", u"Подключить");
        row("moveArchiveMenu", u"Move Archive...", u"Перенести");
        row("moveArchiveToSectionAction", u"In other Section", u"В другой раздел");
        row("saveArchiveAsAction", u"Save Archive as...", u"Сохранить как...");
        row("addMenu", u"Add to Archive...", u"Добавить...");
        row("addPagesAction", u"Pages", u"Страницы");
        row("searchFolderAction", u"Pages Into Directories", u"Искать в папке");
        row("addFileAction", u"Files", u"Файлы");
        row("addFolderAction", u"Directory", u"Папку");
        row("updateArchiveAction", u"Update archive", u"Обновить архив");
        row("newPageListAction", u"New Listing", u"Новый список");
        row("removeArchiveAction", u"Delete Archive", u"Удалить архив");
        row("showArchivePathAction", u"Path to Archive", u"Путь к архиву");
        row("pageMenu", u" Page ", u"Страница");
        row("addPagesPageMenuAction", u"Add", u"Добавить");
        row("renamePageAction", u"Rename the Page", u"Переименовать страницу");
        row("movePageToArchiveAction", u"Move to other Archive", u"Перенести в другой архив");
        row("savePageToFolderAction", u"Save to directory...", u"Сохранить в папке...");
        row("deletePageAction", u"Delete page", u"Удалить страницу");
        row("settingsAction", u"Settings", u"Установки");
        row("printMenu", u" Print ", u"Печать");
        row("interfaceMenu", u"Interface", u"Интерфейс");
        row("englishAction", u"English", u"Английский");
        row("russianAction", u"Russian", u"Русский");
        row("infoMenu", u" About ", u"О программе");
        // Built-in captions, the same in both languages.
        row("printPreviewAction", u"Предварительный просмотр", u"Предварительный просмотр");
        row("printAction", u"Печать", u"Печать");
        row("aboutAction", u"О программе", u"О программе");
        row("helpAction", u"Помощь", u"Помощь");
        // The pop-up menus' own captions.
        row("createSectionPopupAction", u"Create Section", u"Создать раздел");
        row("createArchivePopupAction", u"Create Archive", u"Создать архив");
        row("attachArchivePopupAction", u"Connect Archive", u"Подключить архив");
        row("deleteSectionPopupAction", u"Delete Section", u"Удалить раздел");
        row("addPagesPopupAction", u"Add in archive of the page", u"Добавить в архив страницы");
        row("addFilePopupAction", u"Add in archive files", u"Добавить в архив файлы");
        row("addFolderPopupAction", u"Add in archive directory", u"Добавить в архив папку");
        row("savePageToFolderPopupAction", u"Save the page", u"Сохранить страницу на диск");
        row("movePageToArchivePopupAction", u"Carry page in other archive",
            u"Перенести страницу в другой архив");
        // The tool buttons' hints.
        row("toggleListsButton", u"Hide listings", u"Скрыть списки");
        row("printPreviewToolButton", u"Print preview", u"Предварительный просмотр перед печатью");
        row("printToolButton", u" Print ", u"Печать");
        row("findButton", u"Find on open page", u"Найти на открытой странице");
        row("firstPageButton", u"Go to first page on list", u"Перейти на первую страницу списка");
        row("previousPageButton", u"Go to back on list", u"Перейти на предыдущую страницу списка");
        row("returnPageButton", u"Go to looking page", u"Вернуться на просмотренную страницу");
        row("nextPageButton", u"Go to next page on list", u"Перейти на следущую страницу списка");
        row("lastPageButton", u"Go to last page on list", u"Перейти на последнюю страницу списка");
        row("createSectionButton", u"Create Section", u"Создать раздел");
        row("createArchiveButton", u"Create Archive", u"Создать архив");
        row("attachArchiveButton", u"Connect Archive", u"Подключить архив");
        row("renameNodeButton", u"Rename section/archive", u"Переименовать раздел/архив");
        row("moveArchiveToSectionButton", u"Carry archive in other section",
            u"Перенести архив в другой раздел");
        row("removeArchiveButton", u"Delete Archive", u"Удалить архив");
        row("addPagesButton", u"Add in archive of the page", u"Добавить в архив страницы");
        row("renamePageButton", u"Rename the Page", u"Переименовать страницу");
        row("movePageToArchiveButton", u"Carry page in other archive",
            u"Перенести страницу в другой архив");
        row("movePageUpButton", u"Move page up", u"Передвинуть страницу выше по списку");
        row("movePageDownButton", u"Move page down", u"Передвинуть страницу ниже по списку");
        row("deletePageButton", u"Delete page", u"Удалить страницу");
        row("offlineBox", u"Off-Line", u"Автономная работа");
    }
    void windowTexts()
    {
        QFETCH(QString, control);
        QFETCH(QString, english);
        QFETCH(QString, russian);
        QObject *target = m_window->findChild<QObject *>(control);
        QVERIFY(target);
        QCOMPARE(shownText(target), english);
        m_window->runCommand(Command::Russian);
        QCOMPARE(shownText(target), russian);
        m_window->runCommand(Command::English);
        QCOMPARE(shownText(target), english);
    }

    // Which items each menu, pop-up and tool bar holds, in order.
    void layout_data()
    {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("menu bar") << "mainMenu"
                                  << QStringList{"> Section", ">  Archive ", ">  Page ", "Settings",
                                                 ">  Print ", "> Interface", ">  About "};
        QTest::newRow("section") << "sectionMenu"
                                 << QStringList{"Create New Section", "Rename Section/Archive", "-",
                                                "Delete Section"};
        QTest::newRow("archive") << "archiveMenu"
                                 << QStringList{"Create New Archive",
                                                "Switch Archive",
                                                "Rename Section/Archive",
                                                "> Move Archive...",
                                                "Save Archive as...",
                                                "> Add to Archive...",
                                                "Update archive",
                                                "New Listing",
                                                "-",
                                                "Delete Archive",
                                                "-",
                                                "Path to Archive",
                                                "-",
                                                "Check All Archives..."};
        // The old layout's hidden item is not there for a screen reader either.
        QTest::newRow("move") << "moveArchiveMenu" << QStringList{"In other Section"};
        QTest::newRow("add") << "addMenu"
                             << QStringList{"Pages", "Pages Into Directories", "Files",
                                            "Directory"};
        QTest::newRow("page") << "pageMenu" << QStringList{"Add",
                                                           "Rename the Page",
                                                           "Move to other Archive",
                                                           "Save to directory...",
                                                           "-",
                                                           "Delete page"};
        QTest::newRow("print") << "printMenu" << QStringList{"Предварительный просмотр", "Печать"};
        QTest::newRow("interface") << "interfaceMenu" << QStringList{"English", "Russian"};
        QTest::newRow("info") << "infoMenu" << QStringList{"О программе", "Помощь"};
        QTest::newRow("catalogue pop-up")
            << "cataloguePopupMenu" << QStringList{"Create Section",
                                                   "Create Archive",
                                                   "Connect Archive",
                                                   "Rename Section/Archive",
                                                   "-",
                                                   "Delete Section",
                                                   "Delete Archive"};
        QTest::newRow("page list pop-up") << "pageListPopupMenu"
                                          << QStringList{"Add in archive of the page",
                                                         "Add in archive files",
                                                         "Add in archive directory",
                                                         "Rename the Page",
                                                         "Save the page",
                                                         "Carry page in other archive",
                                                         "-",
                                                         "Delete page"};
    }
    void layout()
    {
        QFETCH(QString, container);
        QFETCH(QStringList, items);
        auto *widget = m_window->findChild<QWidget *>(container);
        QVERIFY(widget);
        QCOMPARE(itemsOf(widget), items);
        if (auto *menu = qobject_cast<QMenu *>(widget)) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(menu);
            QVERIFY(face);
            QCOMPARE(face->childCount(), int(items.size()));
        }
    }

    void toolBars_data()
    {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("view") << "viewToolBar"
                              << QStringList{"toggleListsButton", "printPreviewToolButton",
                                             "printToolButton", "findButton"};
        QTest::newRow("navigation")
            << "navigationToolBar"
            << QStringList{"firstPageButton", "previousPageButton", "returnPageButton",
                           "nextPageButton", "lastPageButton"};
        QTest::newRow("catalogue")
            << "catalogueToolBar"
            << QStringList{"createSectionButton",        "createArchiveButton",
                           "attachArchiveButton",        "renameNodeButton",
                           "moveArchiveToSectionButton", "removeArchiveButton"};
        QTest::newRow("page list")
            << "pageListToolBar"
            << QStringList{"addPagesButton",   "renamePageButton",   "movePageToArchiveButton",
                           "movePageUpButton", "movePageDownButton", "deletePageButton"};
    }
    void toolBars()
    {
        QFETCH(QString, bar);
        QFETCH(QStringList, buttons);
        auto *toolBar = m_window->findChild<QToolBar *>(bar);
        QVERIFY(toolBar);
        QStringList seen;
        for (auto *button : toolBar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
            if (!button->defaultAction())
                continue; // the bar's own extension button
            seen << button->objectName();
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        }
        QCOMPARE(seen, buttons);
    }

    // A screen reader hears every control by a name in the active language.
    void accessibleNames_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("russian");
        auto row = [](const char *control, const char16_t *english, const char16_t *russian) {
            QTest::newRow(control) << QString::fromLatin1(control) << QString::fromUtf16(english)
                                   << QString::fromUtf16(russian);
        };
        row("catalogueTree", u"Catalogue", u"Каталог");
        row("pageList", u"Pages", u"Страницы");
        row("pageView", u"Page view", u"Просмотр страницы");
        row("offlineBox", u"Off-Line", u"Автономная работа");
        row("createSectionButton", u"Create Section", u"Создать раздел");
        row("renameNodeButton", u"Rename section/archive", u"Переименовать раздел/архив");
        row("printToolButton", u" Print ", u"Печать");
        row("nextPageButton", u"Go to next page on list", u"Перейти на следущую страницу списка");
        row("toggleListsButton", u"Hide listings", u"Скрыть списки");
    }
    void accessibleNames()
    {
        QFETCH(QString, control);
        QFETCH(QString, english);
        QFETCH(QString, russian);
        QObject *target = m_window->findChild<QObject *>(control);
        QVERIFY(target);
        QCOMPARE(accessibleName(target), english);
        m_window->runCommand(Command::Russian);
        QCOMPARE(accessibleName(target), russian);
    }

    // A disabled tool button looks disabled: its picture is clearly fainter
    // than when enabled, even where the theme's picture is pale to begin with.
    void disabledPicturesAreFaint()
    {
        const auto opacity = [](const QImage &image) {
            qint64 sum = 0;
            const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < argb.height(); ++y)
                for (int x = 0; x < argb.width(); ++x)
                    sum += qAlpha(argb.pixel(x, y));
            return sum;
        };
        int pictures = 0;
        for (QToolButton *button : m_window->findChildren<QToolButton *>()) {
            const QIcon icon = button->icon();
            if (!button->defaultAction() || icon.isNull())
                continue;
            ++pictures;
            const QSize size = button->iconSize();
            const qint64 normal = opacity(icon.pixmap(size, QIcon::Normal).toImage());
            const qint64 disabled = opacity(icon.pixmap(size, QIcon::Disabled).toImage());
            QVERIFY2(normal > 0, qPrintable(button->objectName()));
            QVERIFY2(disabled * 2 < normal, qPrintable(button->objectName()));
        }
        QVERIFY(pictures >= 20);
    }

    // Every tool button is named by its hint, whatever the language.
    void everyToolButtonIsNamed()
    {
        for (bool russian : {false, true}) {
            m_window->runCommand(russian ? Command::Russian : Command::English);
            const auto buttons = m_window->findChildren<QToolButton *>();
            QVERIFY(buttons.size() >= 21);
            for (QToolButton *button : buttons) {
                if (!button->defaultAction())
                    continue;
                QCOMPARE(accessibleName(button), button->toolTip());
                QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
            }
        }
    }
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
