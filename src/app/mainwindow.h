#pragma once

#include "catalogue/settings.h"
#include "storage/workfolders.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <memory>

class PageView;
class QActionGroup;
class QCheckBox;
class QLabel;
class QListView;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeView;
class Session;
class UserInteraction;

// The main window. It only shows the session: the session holds the catalogue,
// the open archive and the state of every control, the window renders it and
// passes the user's commands on. Every control carries its usual name as its
// object name (N1 ... N62, ToolButton1 ... ToolButton28, TreeView1, ListBox1 ...).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // view and ui replace the browser and the message boxes (tests); the
    // window does not own them. Start-up runs here and shows the window.
    explicit MainWindow(const WorkFolders &folders = WorkFolders::standard(),
                        PageView *view = nullptr, UserInteraction *ui = nullptr,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    Session &session() { return *m_session; }
    PageView &pageView() { return *m_view; }
    UserInteraction &interaction() { return *m_ui; }

    // Puts the texts of the active language on the menus, the tool-button
    // hints and the off-line box.
    void retranslate();

    QString statusText() const;

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
    void createStatusBar();
    void connectSession();

    void startUp();
    void shutDown();

    QAction *addItem(QMenu *menu, const char *name, const QString &builtInCaption = {});
    QMenu *addSubmenu(QWidget *owner, const char *name);
    QToolButton *addToolButton(QToolBar *bar, const char *name, const char *themeIcon,
                               int fallbackIcon);
    void registerControl(QObject *control, const QString &name);

    void applyEnabled(const QString &control, bool enabled);
    void applyGeometry(const WindowGeometry &geometry);
    void applyLanguageChecks();
    void applyOffline(bool offline);

    std::unique_ptr<UserInteraction> m_ownInteraction;
    UserInteraction *m_ui = nullptr;
    PageView *m_view = nullptr;
    QWidget *m_viewWidget = nullptr;
    std::unique_ptr<Session> m_session;

    // Every named control by its object name.
    QHash<QString, QObject *> m_controls;
    QIcon m_pictures[3];

    QActionGroup *m_languageGroup = nullptr;
    QMenu *m_treePopup = nullptr;
    QMenu *m_listPopup = nullptr;
    QTreeView *m_tree = nullptr;
    QListView *m_list = nullptr;
    QCheckBox *m_offline = nullptr;
    QLabel *m_statusPanel = nullptr;
    QSplitter *m_mainSplitter = nullptr;
    QSplitter *m_leftSplitter = nullptr;
    bool m_closed = false;
};
