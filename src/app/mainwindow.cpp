#include "app/mainwindow.h"

#include "app/actions.h"
#include "app/cataloguetree.h"
#include "app/collectioncheckrunner.h"
#include "app/commandbutton.h"
#include "app/pagelisttooltip.h"
#include "app/picturedelegate.h"
#include "app/searchpanel.h"
#include "app/viewstyle.h"
#include "app/widgetinteraction.h"
#include "browse/helpfiles.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "commands/availability.h"
#include "commands/lifecycle.h"
#include "commands/navigationcommands.h"
#include "commands/openstate.h"
#include "commands/runcommand.h"
#include "lang/messages.h"
#include "search/searchservice.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// A menu is enabled while any of its items is: the Page menu and the Add
// sub-menu go grey with the page controls.
bool enableByItems(QMenu *menu)
{
    bool any = false;
    for (QAction *item : menu->actions()) {
        if (item->isSeparator() || !item->isVisible())
            continue;
        if (QMenu *sub = item->menu())
            any = enableByItems(sub) || any;
        else
            any = any || item->isEnabled();
    }
    menu->menuAction()->setEnabled(any);
    return any;
}

} // namespace

MainWindow::MainWindow(const ProgramPaths &paths, PageView *view, UserInteraction *ui,
                       QWidget *parent)
    : QMainWindow(parent), m_paths(paths)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);
    setMinimumSize(664, 459);
    resize(732, 520);
    move(47, 44);

    if (ui) {
        m_ui = ui;
    } else {
        m_ownInteraction = std::make_unique<WidgetInteraction>(this);
        m_ui = m_ownInteraction.get();
    }
    if (view) {
        m_view = view;
        // A stand-in fills the page area.
        m_viewWidget = new QWidget(this);
    } else {
        auto *web = new WebPageView(this);
        web->setFileRoot(paths.work.archive);
        if (!paths.executableFolder.isEmpty())
            web->setHelpFolder(HelpFiles::manualFolder(paths.executableFolder));
        // What happened to a page that hung or died, until something else is said.
        connect(web, &WebPageView::notice, this,
                [this](const QString &text) { statusBar()->showMessage(text, 30000); });
        m_view = web;
        m_viewWidget = web;
    }
    m_viewWidget->setObjectName(QStringLiteral("pageView"));

    m_session = std::make_unique<Session>(paths.work);
    m_search = std::make_unique<SearchService>(paths.searchIndex, m_session->catalogue(),
                                               m_session->archive());
    m_context = std::make_unique<CommandContext>(
        CommandContext{*m_session, m_session->archive(), *m_ui, *m_view, paths.executableFolder});
    // A page shown while its archive is still being unpacked gets the files
    // it asks for first; damage found by the unpacking meanwhile ends the
    // opening as a failed one.
    if (auto *web = qobject_cast<WebPageView *>(m_viewWidget)) {
        web->setFileGate([archive = &m_session->archive()](const QString &path) {
            archive->unpackBeforeReading(path);
        });
    }
    m_session->archive().setFailedLateHook(
        [this] { Commands::leaveFailedOpening(*m_context); });
    m_actions = new Actions(this);
    connect(m_actions, &Actions::triggered, this, [this](Command command) { runCommand(command); });

    createMenus();
    createPopupMenus();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createTopBar());

    auto *splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    splitter->setHandleWidth(4);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(createLeftColumn());
    splitter->addWidget(m_viewWidget);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 732 - 180 - 4});
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    createStatusBar();
    connectSession();
    // Archive > Check All Archives runs in the background, its report in a window of its own.
    new CollectionCheckRunner(*this, paths.searchIndex);
}

MainWindow::~MainWindow()
{
    // The view outlives the archive the gate looks into.
    if (auto *web = qobject_cast<WebPageView *>(m_viewWidget))
        web->setFileGate({});
}

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mainMenu"));
    auto menu = [this](QWidget *owner, const char *name, MessageId title) {
        auto *created = new QMenu(owner);
        created->setObjectName(QString::fromLatin1(name));
        if (auto *menuBar = qobject_cast<QMenuBar *>(owner))
            menuBar->addMenu(created);
        else
            qobject_cast<QMenu *>(owner)->addMenu(created);
        m_menus.append({created, title});
        return created;
    };
    auto add = [this](QMenu *to, Command command, ActionPlace place = ActionPlace::Menu) {
        to->addAction(m_actions->at(command, place));
    };

    QMenu *section = menu(bar, "sectionMenu", MessageId::SectionMenu);
    add(section, Command::CreateSection);
    add(section, Command::RenameNode);
    section->addSeparator();
    add(section, Command::DeleteSection);

    QMenu *archive = menu(bar, "archiveMenu", MessageId::ArchiveMenu);
    add(archive, Command::CreateArchive);
    add(archive, Command::AttachArchive);
    add(archive, Command::RenameNode);
    QMenu *move = menu(archive, "moveArchiveMenu", MessageId::MoveArchiveMenu);
    add(move, Command::MoveArchiveToSection);
    add(archive, Command::SaveArchiveAs);
    QMenu *adding = menu(archive, "addMenu", MessageId::AddMenu);
    add(adding, Command::AddPages);
    add(adding, Command::SearchFolder);
    add(adding, Command::AddFile);
    add(adding, Command::AddFolder);
    add(archive, Command::UpdateArchive);
    add(archive, Command::NewPageList);
    archive->addSeparator();
    add(archive, Command::RemoveArchive);
    archive->addSeparator();
    add(archive, Command::ShowArchivePath);
    archive->addSeparator();
    add(archive, Command::CheckAllArchives);

    QMenu *page = menu(bar, "pageMenu", MessageId::PageMenu);
    add(page, Command::AddPages, ActionPlace::PageMenu);
    add(page, Command::RenamePage);
    add(page, Command::MovePageToArchive);
    add(page, Command::SavePageToFolder);
    page->addSeparator();
    add(page, Command::DeletePage);

    // Settings is a menu-bar item of its own, with no menu below it.
    bar->addAction(m_actions->action(Command::Settings));

    QMenu *print = menu(bar, "printMenu", MessageId::PrintMenu);
    add(print, Command::PrintPreview);
    add(print, Command::Print);

    QMenu *language = menu(bar, "interfaceMenu", MessageId::InterfaceMenu);
    add(language, Command::English);
    add(language, Command::Russian);

    QMenu *info = menu(bar, "infoMenu", MessageId::InfoMenu);
    add(info, Command::About);
    add(info, Command::Help);
}

void MainWindow::createPopupMenus()
{
    m_treePopup = new QMenu(this);
    m_treePopup->setObjectName(QStringLiteral("cataloguePopupMenu"));
    for (Command command : {Command::CreateSection, Command::CreateArchive, Command::AttachArchive,
                            Command::RenameNode})
        m_treePopup->addAction(m_actions->at(command, ActionPlace::Popup));
    m_treePopup->addSeparator();
    for (Command command : {Command::DeleteSection, Command::RemoveArchive})
        m_treePopup->addAction(m_actions->at(command, ActionPlace::Popup));

    m_listPopup = new QMenu(this);
    m_listPopup->setObjectName(QStringLiteral("pageListPopupMenu"));
    for (Command command :
         {Command::AddPages, Command::AddFile, Command::AddFolder, Command::RenamePage,
          Command::SavePageToFolder, Command::MovePageToArchive})
        m_listPopup->addAction(m_actions->at(command, ActionPlace::Popup));
    m_listPopup->addSeparator();
    m_listPopup->addAction(m_actions->at(Command::DeletePage, ActionPlace::Popup));
}

QToolBar *MainWindow::createToolBar(QWidget *owner, const char *name, int iconSize,
                                    std::initializer_list<Command> commands)
{
    auto *bar = new QToolBar(owner);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(iconSize, iconSize));
    for (Command command : commands) {
        QAction *action = m_actions->at(command, ActionPlace::ToolBar);
        auto *button = new CommandButton(action, m_actions->icon(command), bar);
        // toggleListsAction → toggleListsButton
        button->setObjectName(action->objectName().chopped(6) + QStringLiteral("Button"));
        button->setIconSize(bar->iconSize());
        if (iconSize > 16)
            button->setFixedSize(35, 33);
        bar->addWidget(button);
        m_toolButtons << button;
        if (command == Command::ToggleLists)
            bar->addSeparator();
    }
    return bar;
}

QWidget *MainWindow::createTopBar()
{
    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("topBar"));
    top->setFixedHeight(38);
    auto *layout = new QHBoxLayout(top);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QToolBar *tools =
        createToolBar(top, "viewToolBar", 24,
                      {Command::ToggleLists, Command::PrintPreview, Command::Print, Command::Find});
    tools->setFixedWidth(160);
    QToolBar *navigation =
        createToolBar(top, "navigationToolBar", 24,
                      {Command::FirstPage, Command::PreviousPage, Command::ReturnPage,
                       Command::NextPage, Command::LastPage});
    navigation->setFixedWidth(265);

    m_offline = new QCheckBox(top);
    m_offline->setObjectName(QStringLiteral("offlineBox"));
    m_offline->setMinimumWidth(129);

    layout->addWidget(tools);
    layout->addSpacing(22);
    layout->addWidget(navigation);
    layout->addSpacing(65);
    layout->addWidget(m_offline);
    layout->addStretch(1);
    return top;
}

QWidget *MainWindow::createLeftColumn()
{
    m_leftColumn = new QWidget(this);
    m_leftColumn->setObjectName(QStringLiteral("leftColumn"));
    m_leftColumn->setMinimumWidth(150);
    auto *columnLayout = new QVBoxLayout(m_leftColumn);
    columnLayout->setContentsMargins(0, 0, 0, 0);

    auto *splitter = new QSplitter(Qt::Vertical, m_leftColumn);
    splitter->setObjectName(QStringLiteral("leftSplitter"));
    splitter->setHandleWidth(4);
    splitter->setChildrenCollapsible(false);
    // The search across all archives: its field on top, its results above the catalogue.
    m_searchPanel = new SearchPanel(*m_search, m_leftColumn);
    columnLayout->addWidget(m_searchPanel);
    columnLayout->addWidget(splitter);
    splitter->addWidget(m_searchPanel->results());
    connect(m_searchPanel, &SearchPanel::pageChosen, this,
            [this](const FoundPage &page) { runCommand(Command::ShowFoundPage, page); });
    // Reached by its shortcut alone.
    addAction(m_actions->action(Command::SearchAllArchives));

    splitter->addWidget(createCatalogue(splitter));
    splitter->addWidget(createPageList(splitter));
    splitter->setSizes({220, 200, 520 - 200});
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    return m_leftColumn;
}

namespace {

// A tool bar over a view, as the catalogue and the page list stand in area.
QWidget *barOverView(QWidget *area, QToolBar *bar, QWidget *view)
{
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(view, 1);
    return area;
}

} // namespace

QWidget *MainWindow::createCatalogue(QWidget *parent)
{
    auto *area = new QWidget(parent);
    QToolBar *bar =
        createToolBar(area, "catalogueToolBar", 16,
                      {Command::CreateSection, Command::CreateArchive, Command::AttachArchive,
                       Command::RenameNode, Command::MoveArchiveToSection, Command::RemoveArchive});
    m_tree = new CatalogueTree(area);
    m_tree->setObjectName(QStringLiteral("catalogueTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_tree, &CatalogueTree::filesDropped, this, &MainWindow::takeDroppedFiles);
    connect(m_tree, &CatalogueTree::pagesDropped, this,
            [this](int target) { runAfterDrop(Command::DropPages, PagesDropped{target}); });
    connect(m_tree, &CatalogueTree::nodeDropped, this, [this](int dragged, int target) {
        runAfterDrop(Command::DropNode, NodeDropped{dragged, target});
    });
    const QStyle *look = style();
    const QIcon archive = ViewStyle::themeIcon("package-x-generic", QStyle::SP_FileIcon, look);
    m_tree->setItemDelegate(
        new PictureDelegate({ViewStyle::themeIcon("folder", QStyle::SP_DirIcon, look), archive,
                             ViewStyle::themeIcon("document-open", QStyle::SP_DirOpenIcon, look),
                             ViewStyle::markedMissing(archive, look)},
                            m_tree));
    ViewStyle::dressView(m_tree, ViewStyle::navy(), m_treePopup);
    m_tree->setModel(&m_session->catalogue());
    m_tree->setSelectionModel(&m_session->catalogueSelection());
    connect(m_tree, &QTreeView::doubleClicked, m_actions->action(Command::OpenSelectedArchive),
            &QAction::trigger);
    // An archive moved into a folded section would vanish from sight.
    connect(&m_session->catalogue(), &QAbstractItemModel::rowsMoved, m_tree,
            [this](const QModelIndex &, int, int, const QModelIndex &destination) {
                m_tree->expand(destination);
            });
    return barOverView(area, bar, m_tree);
}

QWidget *MainWindow::createPageList(QWidget *parent)
{
    auto *area = new QWidget(parent);
    QToolBar *bar =
        createToolBar(area, "pageListToolBar", 16,
                      {Command::AddPages, Command::RenamePage, Command::MovePageToArchive,
                       Command::MovePageUp, Command::MovePageDown, Command::DeletePage});
    m_list = new QListView(area);
    m_list->setObjectName(QStringLiteral("pageList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    ViewStyle::dressView(m_list, ViewStyle::olive(), m_listPopup);
    m_tree->setPageList(m_list);
    m_list->setModel(&m_session->pages());
    m_list->setSelectionModel(&m_session->pageSelection());
    for (auto signal : {&QListView::clicked, &QListView::doubleClicked})
        connect(m_list, signal, m_actions->action(Command::ShowFocusedPage), &QAction::trigger);
    new PageListToolTip(m_list);
    return barOverView(area, bar, m_list);
}

void MainWindow::createStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    // A permanent panel: menu status tips must not wipe the text.
    m_statusPanel = new QLabel(bar);
    m_statusPanel->setObjectName(QStringLiteral("statusText"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    bar->addWidget(m_statusPanel, 1);
    bar->addPermanentWidget(m_searchPanel->indexingLabel());
}

void MainWindow::connectSession()
{
    Session *s = m_session.get();
    connect(s, &Session::languageChanged, this, &MainWindow::retranslate);
    connect(s, &Session::availabilityChanged, this, &MainWindow::renderAvailability);
    connect(s, &Session::listsHiddenChanged, this, &MainWindow::renderListsHidden);
    connect(s, &Session::statusTextChanged, m_statusPanel, &QLabel::setText);
    connect(s, &Session::geometryRequested, this, &MainWindow::renderGeometry);
    connect(s, &Session::offlineChanged, this, &MainWindow::renderOffline);
    connect(m_offline, &QCheckBox::toggled, this,
            [this](bool on) { runGuarded([this, on] { Commands::setOffline(*m_context, on); }); });
    connect(s, &Session::searchFieldRequested, m_searchPanel, &SearchPanel::focusField);
}

void MainWindow::startUp()
{
    runGuarded([this] {
        Commands::startUp(*m_context, m_paths);

        // Whatever the signals said before, the window shows the session now.
        renderAvailability();
        renderListsHidden(m_session->listsHidden());
        renderOffline(m_session->settings().offline);
        retranslate();
        m_statusPanel->setText(m_session->statusText());

        setAcceptDrops(true);
        show();
        if (m_session->catalogue().nodeCount() > 1)
            m_tree->expandAll();
        // The same as the window's title: the desktop appends the display name
        // to every title that does not end with it.
        QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kProgramTitle));
    });
}

void MainWindow::runCommand(Command command, const CommandArgument &argument)
{
    runGuarded([this, command, &argument] { ::runCommand(command, *m_context, argument); });
    // Checkable items toggle themselves when clicked; the session decides.
    m_actions->update(*m_session);
}

void MainWindow::runGuarded(const std::function<void()> &work)
{
    ++m_busy;
    work();
    if (--m_busy == 0 && m_closeRequested) {
        m_closeRequested = false;
        close();
    }
}

void MainWindow::requestClose()
{
    if (m_ownInteraction)
        m_ownInteraction->setUnattended(true);
    // Message boxes and dialogs go as if cancelled; the work that showed them
    // then ends, and the window closes after it. The progress of long work
    // stays until the work is done.
    for (int i = 0; i < 10; ++i) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || WidgetInteraction::isWorkProgress(modal) || !modal->close())
            break;
    }
    close();
}

void MainWindow::shutDown()
{
    WindowGeometry geometry;
    geometry.width = width();
    geometry.height = height();
    geometry.left = x();
    geometry.top = y();
    m_session->setWindowGeometry(geometry);
    Commands::shutDown(*m_context);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy > 0) {
        // Not in the middle of a command or of long work: once it is done.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    if (!m_closed) {
        m_closed = true;
        runGuarded([this] { shutDown(); });
    }
    event->accept();
}

QString MainWindow::statusText() const
{
    return m_statusPanel->text();
}

void MainWindow::retranslate()
{
    m_actions->retranslate();
    m_actions->update(*m_session);
    for (const TitledMenu &entry : std::as_const(m_menus))
        entry.menu->setTitle(msg(entry.title));
    m_offline->setText(msg(MessageId::OfflineBox));
    m_offline->setAccessibleName(m_offline->text());
    m_tree->setAccessibleName(msg(MessageId::CatalogueTreeName));
    m_list->setAccessibleName(msg(MessageId::PageListName));
    m_viewWidget->setAccessibleName(msg(MessageId::PageViewName));
    m_searchPanel->retranslate();
    // The page view's own controls (the find bar) follow the switch too.
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(m_viewWidget, &change);
    // A screen reader names a tool button by its hint, as a sighted user does.
    for (QToolButton *button : std::as_const(m_toolButtons))
        button->setAccessibleName(button->defaultAction()->toolTip());
}

void MainWindow::renderAvailability()
{
    m_actions->update(*m_session);
    for (const TitledMenu &entry : std::as_const(m_menus))
        enableByItems(entry.menu);
    m_list->setEnabled(isAvailable(Command::ShowFocusedPage, *m_session));
}

void MainWindow::renderListsHidden(bool hidden)
{
    m_leftColumn->setVisible(!hidden);
    m_actions->showListsHidden(hidden);
    if (auto *toggle = findChild<CommandButton *>(QStringLiteral("toggleListsButton"))) {
        toggle->setPicture(m_actions->listsPicture(hidden));
        toggle->setAccessibleName(toggle->defaultAction()->toolTip());
    }
}

void MainWindow::renderGeometry(const WindowGeometry &geometry)
{
    // resize() keeps to the minimum size by itself.
    resize(geometry.width, geometry.height);
    move(geometry.left, geometry.top);
}

void MainWindow::renderOffline(bool offline)
{
    if (m_offline->isChecked() != offline)
        m_offline->setChecked(offline);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!CatalogueTree::localFiles(event->mimeData()).isEmpty())
        CatalogueTree::acceptAsCopy(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (!CatalogueTree::localFiles(event->mimeData()).isEmpty())
        CatalogueTree::acceptAsCopy(event);
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = CatalogueTree::localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    CatalogueTree::acceptAsCopy(event);
    if (event->isAccepted())
        takeDroppedFiles(paths);
}

void MainWindow::takeDroppedFiles(const QStringList &paths)
{
    Q_EMIT filesDropped(paths);
    runAfterDrop(Command::DropFiles, FilesDropped{paths});
}

void MainWindow::runAfterDrop(Command command, const CommandArgument &argument)
{
    // Once the drop is over: the command may ask the user, and the program the
    // drag came from waits for the drop to end.
    QMetaObject::invokeMethod(
        this, [this, command, argument] { runCommand(command, argument); }, Qt::QueuedConnection);
}
