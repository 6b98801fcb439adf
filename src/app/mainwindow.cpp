#include "app/mainwindow.h"

#include "app/widgetinteraction.h"
#include "browse/web/webpageview.h"
#include "catalogue/session.h"
#include "lang/messages.h"

#include <QAction>
#include <QActionGroup>
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
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

namespace {

const QString kTitle = QStringLiteral("Tomekeeper v3.0");

enum class TextKind { Caption, Hint };

struct ControlText {
    const char *control;
    TextKind kind;
    MessageId id;
};

// What retranslate puts on the window. Controls not listed keep their built-in
// captions in every language.
const ControlText kControlTexts[] = {
    {"N1", TextKind::Caption, MessageId::SectionMenu},
    {"N2", TextKind::Caption, MessageId::CreateSectionMenuItem},
    {"N3", TextKind::Caption, MessageId::RenameNodeMenuItem},
    {"N5", TextKind::Caption, MessageId::DeleteSectionMenuItem},
    {"N6", TextKind::Caption, MessageId::ArchiveMenu},
    {"N43", TextKind::Caption, MessageId::CreateArchiveMenuItem},
    {"N44", TextKind::Caption, MessageId::AttachArchiveMenuItem},
    {"N45", TextKind::Caption, MessageId::RenameNodeMenuItem},
    {"N46", TextKind::Caption, MessageId::MoveArchiveMenu},
    {"N8", TextKind::Caption, MessageId::MoveArchiveToSectionMenuItem},
    {"N47", TextKind::Caption, MessageId::SaveArchiveAsMenuItem},
    {"N48", TextKind::Caption, MessageId::AddMenu},
    {"N25", TextKind::Caption, MessageId::AddPagesMenuItem},
    {"N20", TextKind::Caption, MessageId::SearchFolderMenuItem},
    {"N26", TextKind::Caption, MessageId::AddFileMenuItem},
    {"N27", TextKind::Caption, MessageId::AddFolderMenuItem},
    {"N24", TextKind::Caption, MessageId::UpdateArchiveMenuItem},
    {"N31", TextKind::Caption, MessageId::NewPageListMenuItem},
    {"N50", TextKind::Caption, MessageId::RemoveArchiveMenuItem},
    {"N62", TextKind::Caption, MessageId::ArchivePathMenuItem},
    {"N18", TextKind::Caption, MessageId::PageMenu},
    {"N28", TextKind::Caption, MessageId::AddPagesPageMenuItem},
    {"N29", TextKind::Caption, MessageId::RenamePagePopup},
    {"N30", TextKind::Caption, MessageId::MovePageMenuItem},
    {"N35", TextKind::Caption, MessageId::SavePageMenuItem},
    {"N51", TextKind::Caption, MessageId::DeletePagePopup},
    {"N19", TextKind::Caption, MessageId::SettingsMenu},
    {"N21", TextKind::Caption, MessageId::PrintMenu},
    {"N14", TextKind::Caption, MessageId::InterfaceMenu},
    {"N15", TextKind::Caption, MessageId::EnglishMenuItem},
    {"N16", TextKind::Caption, MessageId::RussianMenuItem},
    {"N52", TextKind::Caption, MessageId::InfoMenu},
    {"N40", TextKind::Caption, MessageId::CreateSectionPopup},
    {"N41", TextKind::Caption, MessageId::CreateArchivePopup},
    {"N7", TextKind::Caption, MessageId::AttachArchivePopup},
    {"N9", TextKind::Caption, MessageId::RenameNodeMenuItem},
    {"N56", TextKind::Caption, MessageId::DeleteSectionPopup},
    {"N38", TextKind::Caption, MessageId::RemoveArchiveMenuItem},
    {"N12", TextKind::Caption, MessageId::AddPagesPopup},
    {"N13", TextKind::Caption, MessageId::AddFilePopup},
    {"N10", TextKind::Caption, MessageId::AddFolderPopup},
    {"N32", TextKind::Caption, MessageId::RenamePagePopup},
    {"N33", TextKind::Caption, MessageId::SavePagePopup},
    {"N34", TextKind::Caption, MessageId::MovePagePopup},
    {"N60", TextKind::Caption, MessageId::DeletePagePopup},
    {"ToolButton15", TextKind::Hint, MessageId::PrintPreviewHint},
    {"ToolButton16", TextKind::Hint, MessageId::FindOnPageHint},
    {"ToolButton21", TextKind::Hint, MessageId::HideListsHint},
    {"ToolButton14", TextKind::Hint, MessageId::PrintMenu},
    {"ToolButton1", TextKind::Hint, MessageId::CreateSectionPopup},
    {"ToolButton3", TextKind::Hint, MessageId::CreateArchivePopup},
    {"ToolButton5", TextKind::Hint, MessageId::AttachArchivePopup},
    {"ToolButton7", TextKind::Hint, MessageId::RenameNodeHint},
    {"ToolButton2", TextKind::Hint, MessageId::MoveArchiveHint},
    {"ToolButton4", TextKind::Hint, MessageId::RemoveArchiveMenuItem},
    {"ToolButton8", TextKind::Hint, MessageId::AddPagesPopup},
    {"ToolButton9", TextKind::Hint, MessageId::RenamePagePopup},
    {"ToolButton10", TextKind::Hint, MessageId::MovePagePopup},
    {"ToolButton11", TextKind::Hint, MessageId::MovePageUpHint},
    {"ToolButton13", TextKind::Hint, MessageId::MovePageDownHint},
    {"ToolButton6", TextKind::Hint, MessageId::DeletePagePopup},
    {"ToolButton22", TextKind::Hint, MessageId::FirstPageHint},
    {"ToolButton24", TextKind::Hint, MessageId::PreviousPageHint},
    {"ToolButton25", TextKind::Hint, MessageId::ReturnPageHint},
    {"ToolButton26", TextKind::Hint, MessageId::NextPageHint},
    {"ToolButton28", TextKind::Hint, MessageId::LastPageHint},
    {"CheckBox1", TextKind::Caption, MessageId::OfflineBox},
};

// A picture from the desktop's icon theme, or the style's own when the theme
// has none.
QIcon themeIcon(const char *name, QStyle::StandardPixmap fallback, const QStyle *style)
{
    static const bool themeReady = [] {
        // Without a desktop session Qt knows no theme beyond the bare hicolor
        // one; Adwaita comes with the toolkit's dependencies on Debian.
        const QString current = QIcon::themeName();
        if (current.isEmpty() || current == u"hicolor")
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(themeReady);
    return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

// Shows each node of the catalogue with its picture (section, archive, open archive).
class PictureDelegate : public QStyledItemDelegate {
public:
    PictureDelegate(const QIcon *pictures, QObject *parent)
        : QStyledItemDelegate(parent), m_pictures(pictures)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant picture = index.data(CatalogueModel::PictureRole);
        if (!picture.isValid())
            return;
        const int n = picture.toInt();
        if (n >= 0 && n < 3) {
            option->icon = m_pictures[n];
            option->features |= QStyleOptionViewItem::HasDecoration;
        }
    }

private:
    const QIcon *m_pictures;
};

QColor navy()
{
    return QColor(0x00, 0x00, 0x80);
}
QColor olive()
{
    return QColor(0x80, 0x80, 0x00);
}

// Bold 11-pixel text in the view's colour, the selection kept in full colour
// when the view loses the focus, and its pop-up menu on a right click (the
// menu is looked up at that moment: it is created after the view).
void dressView(QAbstractItemView *view, const QColor &textColor, QMenu *const &popup)
{
    QFont font = view->font();
    font.setPixelSize(11);
    font.setBold(true);
    view->setFont(font);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Text, textColor);
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(palette);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view,
                     [view, &popup](const QPoint &pos) {
                         if (popup)
                             popup->popup(view->viewport()->mapToGlobal(pos));
                     });
}

QList<QUrl> localUrls(const QMimeData *data)
{
    QList<QUrl> urls;
    if (!data || !data->hasUrls())
        return urls;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            urls << url;
    }
    return urls;
}

} // namespace

MainWindow::MainWindow(const WorkFolders &folders, PageView *view, UserInteraction *ui,
                       QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kTitle);
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
        m_view = web;
        m_viewWidget = web;
    }
    m_viewWidget->setObjectName(QStringLiteral("WebBrowser1"));

    m_session = std::make_unique<Session>(*m_ui, *m_view, folders);

    m_pictures[CatalogueNode::SectionPicture] = themeIcon("folder", QStyle::SP_DirIcon, style());
    m_pictures[CatalogueNode::ArchivePicture] =
        themeIcon("package-x-generic", QStyle::SP_FileIcon, style());
    m_pictures[CatalogueNode::OpenArchivePicture] =
        themeIcon("document-open", QStyle::SP_DirOpenIcon, style());

    createMenus();
    createPopupMenus();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createTopBar());

    m_mainSplitter = new QSplitter(Qt::Horizontal, central);
    m_mainSplitter->setObjectName(QStringLiteral("Splitter1"));
    m_mainSplitter->setHandleWidth(4);
    m_mainSplitter->setChildrenCollapsible(false);
    m_mainSplitter->addWidget(createLeftColumn());
    m_mainSplitter->addWidget(m_viewWidget);
    m_mainSplitter->setStretchFactor(0, 0);
    m_mainSplitter->setStretchFactor(1, 1);
    m_mainSplitter->setSizes({180, 732 - 180 - 4});
    layout->addWidget(m_mainSplitter, 1);
    setCentralWidget(central);

    createStatusBar();
    startUp();
}

MainWindow::~MainWindow()
{
    // The views go before the models they show, which the session owns.
    delete m_tree;
    delete m_list;
}

QAction *MainWindow::addItem(QMenu *menu, const char *name, const QString &builtInCaption)
{
    auto *action = new QAction(builtInCaption, menu);
    registerControl(action, QString::fromLatin1(name));
    menu->addAction(action);
    return action;
}

QMenu *MainWindow::addSubmenu(QWidget *owner, const char *name)
{
    auto *menu = new QMenu(owner);
    const QString objectName = QString::fromLatin1(name);
    menu->setObjectName(objectName);
    // The menu's own entry carries the name too, so it is found as an action.
    registerControl(menu->menuAction(), objectName);
    if (auto *bar = qobject_cast<QMenuBar *>(owner))
        bar->addMenu(menu);
    else if (auto *parentMenu = qobject_cast<QMenu *>(owner))
        parentMenu->addMenu(menu);
    return menu;
}

void MainWindow::registerControl(QObject *control, const QString &name)
{
    control->setObjectName(name);
    m_controls.insert(name, control);
}

void MainWindow::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu *section = addSubmenu(bar, "N1");
    addItem(section, "N2");
    addItem(section, "N3");
    section->addSeparator();
    addItem(section, "N5");

    QMenu *archive = addSubmenu(bar, "N6");
    addItem(archive, "N43");
    addItem(archive, "N44");
    addItem(archive, "N45");
    QMenu *move = addSubmenu(archive, "N46");
    addItem(move, "N8");
    // Kept from the old layout; never shown.
    auto *toFolder = new QAction(QStringLiteral("В другую папку"), move);
    toFolder->setVisible(false);
    move->addAction(toFolder);
    addItem(archive, "N47");
    QMenu *add = addSubmenu(archive, "N48");
    addItem(add, "N25");
    addItem(add, "N20");
    addItem(add, "N26");
    addItem(add, "N27");
    addItem(archive, "N24");
    addItem(archive, "N31");
    archive->addSeparator();
    addItem(archive, "N50");
    archive->addSeparator();
    addItem(archive, "N62");

    QMenu *page = addSubmenu(bar, "N18");
    addItem(page, "N28");
    addItem(page, "N29");
    addItem(page, "N30");
    addItem(page, "N35");
    page->addSeparator();
    addItem(page, "N51");

    // Settings is a menu-bar item of its own, with no menu below it.
    auto *settings = new QAction(this);
    registerControl(settings, QStringLiteral("N19"));
    bar->addAction(settings);
    connect(settings, &QAction::triggered, this, [this] { m_session->editSettings(); });

    QMenu *print = addSubmenu(bar, "N21");
    addItem(print, "N22", QStringLiteral("Предварительный просмотр"));
    addItem(print, "N23", QStringLiteral("Печать"));

    QMenu *language = addSubmenu(bar, "N14");
    QAction *english = addItem(language, "N15");
    QAction *russian = addItem(language, "N16");
    m_languageGroup = new QActionGroup(this);
    m_languageGroup->setExclusive(true);
    for (QAction *action : {english, russian}) {
        action->setCheckable(true);
        m_languageGroup->addAction(action);
    }
    english->setChecked(true);
    connect(english, &QAction::triggered, this, [this] { m_session->switchToEnglish(); });
    connect(russian, &QAction::triggered, this, [this] { m_session->switchToRussian(); });

    QMenu *info = addSubmenu(bar, "N52");
    addItem(info, "N36", QStringLiteral("О программе"));
    addItem(info, "N37", QStringLiteral("Помощь"));
}

void MainWindow::createPopupMenus()
{
    m_treePopup = new QMenu(this);
    m_treePopup->setObjectName(QStringLiteral("PopupMenu1"));
    addItem(m_treePopup, "N40");
    addItem(m_treePopup, "N41");
    addItem(m_treePopup, "N7");
    addItem(m_treePopup, "N9");
    m_treePopup->addSeparator();
    addItem(m_treePopup, "N56");
    addItem(m_treePopup, "N38");

    m_listPopup = new QMenu(this);
    m_listPopup->setObjectName(QStringLiteral("PopupMenu2"));
    addItem(m_listPopup, "N12");
    addItem(m_listPopup, "N13");
    addItem(m_listPopup, "N10");
    addItem(m_listPopup, "N32");
    addItem(m_listPopup, "N33");
    addItem(m_listPopup, "N34");
    m_listPopup->addSeparator();
    addItem(m_listPopup, "N60");
}

QToolButton *MainWindow::addToolButton(QToolBar *bar, const char *name, const char *icon,
                                       int fallbackIcon)
{
    auto *button = new QToolButton(bar);
    registerControl(button, QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(bar->iconSize());
    button->setIcon(themeIcon(icon, static_cast<QStyle::StandardPixmap>(fallbackIcon), style()));
    bar->addWidget(button);
    return button;
}

QWidget *MainWindow::createTopBar()
{
    auto *top = new QWidget(this);
    top->setObjectName(QStringLiteral("TopBar"));
    top->setFixedHeight(38);
    auto *layout = new QHBoxLayout(top);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto largeBar = [top](const char *name, int width) {
        auto *bar = new QToolBar(top);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(24, 24));
        bar->setFixedWidth(width);
        return bar;
    };

    QToolBar *tools = largeBar("ToolBar4", 160);
    registerControl(tools, tools->objectName());
    addToolButton(tools, "ToolButton21", "view-fullscreen", QStyle::SP_TitleBarMaxButton);
    tools->addSeparator();
    addToolButton(tools, "ToolButton15", "document-print-preview",
                  QStyle::SP_FileDialogContentsView);
    addToolButton(tools, "ToolButton14", "document-print", QStyle::SP_DialogSaveButton);
    addToolButton(tools, "ToolButton16", "edit-find", QStyle::SP_FileDialogContentsView);

    QToolBar *navigation = largeBar("ToolBar5", 265);
    registerControl(navigation, navigation->objectName());
    addToolButton(navigation, "ToolButton22", "go-first", QStyle::SP_MediaSkipBackward);
    addToolButton(navigation, "ToolButton24", "go-previous", QStyle::SP_ArrowBack);
    addToolButton(navigation, "ToolButton25", "edit-undo", QStyle::SP_BrowserReload);
    addToolButton(navigation, "ToolButton26", "go-next", QStyle::SP_ArrowForward);
    addToolButton(navigation, "ToolButton28", "go-last", QStyle::SP_MediaSkipForward);
    for (QToolBar *bar : {tools, navigation}) {
        for (auto *button : bar->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly))
            button->setFixedSize(35, 33);
    }

    m_offline = new QCheckBox(top);
    registerControl(m_offline, QStringLiteral("CheckBox1"));
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
    auto *panel = new QWidget(this);
    registerControl(panel, QStringLiteral("Panel1"));
    panel->setMinimumWidth(150);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);

    m_leftSplitter = new QSplitter(Qt::Vertical, panel);
    m_leftSplitter->setObjectName(QStringLiteral("Splitter2"));
    m_leftSplitter->setHandleWidth(4);
    m_leftSplitter->setChildrenCollapsible(false);
    panelLayout->addWidget(m_leftSplitter);

    auto smallBar = [](QWidget *owner, const char *name) {
        auto *bar = new QToolBar(owner);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setMovable(false);
        bar->setFloatable(false);
        bar->setIconSize(QSize(16, 16));
        return bar;
    };

    // Upper part: the catalogue.
    auto *upper = new QWidget(m_leftSplitter);
    auto *upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->setSpacing(0);
    QToolBar *treeBar = smallBar(upper, "ToolBar1");
    registerControl(treeBar, treeBar->objectName());
    addToolButton(treeBar, "ToolButton1", "folder-new", QStyle::SP_FileDialogNewFolder);
    addToolButton(treeBar, "ToolButton3", "document-new", QStyle::SP_FileIcon);
    addToolButton(treeBar, "ToolButton5", "mail-attachment", QStyle::SP_FileLinkIcon);
    addToolButton(treeBar, "ToolButton7", "insert-text", QStyle::SP_FileDialogDetailedView);
    addToolButton(treeBar, "ToolButton2", "go-jump", QStyle::SP_ArrowRight);
    addToolButton(treeBar, "ToolButton4", "edit-delete", QStyle::SP_TrashIcon);

    m_tree = new QTreeView(upper);
    registerControl(m_tree, QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setIndentation(19);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // Drags start here; what may be dropped on a node is the tree's own
    // business, so until then files dropped on it go to the window.
    m_tree->setDragEnabled(true);
    m_tree->setItemDelegate(new PictureDelegate(m_pictures, m_tree));
    dressView(m_tree, navy(), m_treePopup);
    m_tree->setModel(&m_session->catalogue());
    m_tree->setSelectionModel(&m_session->catalogueSelection());
    upperLayout->addWidget(treeBar);
    upperLayout->addWidget(m_tree, 1);

    // Lower part: the pages of the open archive.
    auto *lower = new QWidget(m_leftSplitter);
    auto *lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->setSpacing(0);
    QToolBar *pageBar = smallBar(lower, "ToolBar2");
    registerControl(pageBar, pageBar->objectName());
    addToolButton(pageBar, "ToolButton8", "list-add", QStyle::SP_FileDialogNewFolder);
    addToolButton(pageBar, "ToolButton9", "insert-text", QStyle::SP_FileDialogDetailedView);
    addToolButton(pageBar, "ToolButton10", "go-jump", QStyle::SP_ArrowRight);
    addToolButton(pageBar, "ToolButton11", "go-up", QStyle::SP_ArrowUp);
    addToolButton(pageBar, "ToolButton13", "go-down", QStyle::SP_ArrowDown);
    addToolButton(pageBar, "ToolButton6", "edit-delete", QStyle::SP_TrashIcon);

    m_list = new QListView(lower);
    registerControl(m_list, QStringLiteral("ListBox1"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragOnly);
    m_list->setUniformItemSizes(true);
    m_list->setMouseTracking(true);
    dressView(m_list, olive(), m_listPopup);
    m_list->setModel(&m_session->pages());
    m_list->setSelectionModel(&m_session->pageSelection());
    lowerLayout->addWidget(pageBar);
    lowerLayout->addWidget(m_list, 1);

    m_leftSplitter->addWidget(upper);
    m_leftSplitter->addWidget(lower);
    m_leftSplitter->setSizes({200, 520 - 200});
    m_leftSplitter->setStretchFactor(0, 0);
    m_leftSplitter->setStretchFactor(1, 1);
    return panel;
}

void MainWindow::createStatusBar()
{
    QStatusBar *bar = statusBar();
    registerControl(bar, QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    // A permanent panel: menu status tips must not wipe the text.
    m_statusPanel = new QLabel(bar);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel1"));
    m_statusPanel->setTextFormat(Qt::PlainText);
    bar->addWidget(m_statusPanel, 1);
}

void MainWindow::connectSession()
{
    Session *s = m_session.get();
    connect(s, &Session::languageChanged, this, [this] {
        applyLanguageChecks();
        retranslate();
    });
    connect(s, &Session::enabledChanged, this, &MainWindow::applyEnabled);
    connect(s, &Session::statusTextChanged, m_statusPanel, &QLabel::setText);
    connect(s, &Session::geometryRequested, this, &MainWindow::applyGeometry);
    connect(s, &Session::offlineChanged, this, &MainWindow::applyOffline);
    connect(m_offline, &QCheckBox::toggled, s, &Session::setOffline);
}

void MainWindow::startUp()
{
    connectSession();
    m_session->startUp(QDir::currentPath());

    // Bring every named control in line with the session, whatever signals
    // came before the connections existed.
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        applyEnabled(it.key(), m_session->isEnabled(it.key()));
    applyOffline(m_session->settings().offline);
    applyLanguageChecks();
    retranslate();
    m_statusPanel->setText(m_session->statusText());

    setAcceptDrops(true);
    show();
    if (m_session->catalogue().nodeCount() > 1)
        m_tree->expandAll();
    QGuiApplication::setApplicationDisplayName(kTitle);
    // The window system got the title with the start-up application name
    // appended; give it the title again now that the names agree.
    if (QWindow *handle = windowHandle())
        handle->setTitle(windowTitle());
}

void MainWindow::shutDown()
{
    if (m_closed)
        return;
    m_closed = true;
    WindowGeometry geometry;
    geometry.width = width();
    geometry.height = height();
    geometry.left = x();
    geometry.top = y();
    m_session->setWindowGeometry(geometry);
    m_session->shutDown();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    shutDown();
    event->accept();
}

void MainWindow::retranslate()
{
    for (const ControlText &entry : kControlTexts) {
        QObject *control = m_controls.value(QString::fromLatin1(entry.control));
        if (!control)
            continue;
        const QString text = msg(entry.id);
        if (auto *action = qobject_cast<QAction *>(control)) {
            action->setText(text);
        } else if (auto *widget = qobject_cast<QWidget *>(control)) {
            if (entry.kind == TextKind::Hint)
                widget->setToolTip(text);
            else if (auto *box = qobject_cast<QCheckBox *>(widget))
                box->setText(text);
        }
    }
}

QString MainWindow::statusText() const
{
    return m_statusPanel->text();
}

void MainWindow::applyEnabled(const QString &control, bool enabled)
{
    QObject *target = m_controls.value(control);
    if (auto *action = qobject_cast<QAction *>(target))
        action->setEnabled(enabled);
    else if (auto *widget = qobject_cast<QWidget *>(target))
        widget->setEnabled(enabled);
}

void MainWindow::applyGeometry(const WindowGeometry &geometry)
{
    // resize() keeps to the minimum size by itself.
    resize(geometry.width, geometry.height);
    move(geometry.left, geometry.top);
}

void MainWindow::applyLanguageChecks()
{
    const bool russian = m_session->settings().russianInterface;
    qobject_cast<QAction *>(m_controls.value(QStringLiteral("N16")))->setChecked(russian);
    qobject_cast<QAction *>(m_controls.value(QStringLiteral("N15")))->setChecked(!russian);
}

void MainWindow::applyOffline(bool offline)
{
    if (m_offline->isChecked() != offline)
        m_offline->setChecked(offline);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localUrls(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    if (!localUrls(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = localUrls(event->mimeData());
    if (urls.isEmpty())
        return;
    event->acceptProposedAction();
    QStringList paths;
    for (const QUrl &url : urls)
        paths << QDir::toNativeSeparators(url.toLocalFile());
    Q_EMIT filesDropped(paths);
}
