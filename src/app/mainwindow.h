#pragma once

#include "catalogue/programpaths.h"
#include "catalogue/settings.h"
#include "commands/command.h"
#include "lang/messageid.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class Actions;
class CatalogueTree;
class PageView;
class QCheckBox;
class QLabel;
class QListView;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class SearchPanel;
class SearchService;
class Session;
class UserInteraction;
class WidgetInteraction;

// The main window: it holds the program's state (the session) and its search
// across all archives, lays out the controls, builds the menus, tool bars and
// pop-ups from the shared actions, renders the session and passes the user's
// commands on, drops and search results included. The commands themselves
// live in src/commands.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // view and ui replace the browser and the message boxes (tests); the
    // window does not own them.
    explicit MainWindow(const ProgramPaths &paths, PageView *view = nullptr,
                        UserInteraction *ui = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Reads the settings and shows the window; a close asked for meanwhile
    // (a termination signal) takes effect once it is done.
    void startUp();
    // Closes the window for a termination signal: open message boxes and
    // dialogs are answered as cancelled, and nothing more is asked; running
    // work is waited for.
    void requestClose();

    Session &session() { return *m_session; }
    SearchService &search() { return *m_search; }
    PageView &pageView() { return *m_view; }
    UserInteraction &interaction() { return *m_ui; }
    Actions &actions() { return *m_actions; }
    QString statusText() const;

    // Runs a command as the user's click (or drop, or choice) would.
    void runCommand(Command command, const CommandArgument &argument = {});
    // Runs work that may ask the user or take long: a close asked for
    // meanwhile waits until it is done.
    void runGuarded(const std::function<void()> &work);

Q_SIGNALS:
    // Local files dropped on the window, in the order given.
    void filesDropped(const QStringList &paths);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createMenus();
    void createPopupMenus();
    QWidget *createTopBar();
    QWidget *createLeftColumn();
    QWidget *createCatalogue(QWidget *parent);
    QWidget *createPageList(QWidget *parent);
    QToolBar *createToolBar(QWidget *owner, const char *name, int iconSize,
                            std::initializer_list<Command> commands);
    void createStatusBar();
    void connectSession();

    void shutDown();

    // Local files dropped on the window or the catalogue tree become pages.
    void takeDroppedFiles(const QStringList &paths);
    // Runs the command for a drop once the drop is over.
    void runAfterDrop(Command command, const CommandArgument &argument);

    // Rendering of the session.
    void retranslate();
    void renderAvailability();
    void renderListsHidden(bool hidden);
    void renderGeometry(const WindowGeometry &geometry);
    void renderOffline(bool offline);

    std::unique_ptr<WidgetInteraction> m_ownInteraction;
    UserInteraction *m_ui = nullptr;
    PageView *m_view = nullptr;
    QWidget *m_viewWidget = nullptr;
    ProgramPaths m_paths;
    // The state outlives the search that follows it; both go before the
    // widgets (the base class deletes them), whose views let go of a model
    // when it goes.
    std::unique_ptr<Session> m_session;
    std::unique_ptr<SearchService> m_search;
    std::unique_ptr<CommandContext> m_context;
    Actions *m_actions = nullptr;

    struct TitledMenu {
        QMenu *menu;
        MessageId title;
    };
    QList<TitledMenu> m_menus; // the main menu's, for their titles and enabled states
    QMenu *m_treePopup = nullptr;
    QMenu *m_listPopup = nullptr;
    QList<QToolButton *> m_toolButtons;
    CatalogueTree *m_tree = nullptr;
    SearchPanel *m_searchPanel = nullptr;
    QListView *m_list = nullptr;
    QWidget *m_leftColumn = nullptr;
    QCheckBox *m_offline = nullptr;
    QLabel *m_statusPanel = nullptr;
    int m_busy = 0;
    bool m_closeRequested = false;
    bool m_closed = false;
};
