#pragma once

#include "catalogue/cataloguemodel.h"
#include "catalogue/settings.h"
#include "storage/openarchive.h"

#include <QItemSelectionModel>
#include <QObject>

// Which of the five page-list navigation buttons may be used.
struct NavigationButtons {
    bool first = false;
    bool previous = false;
    bool returnPage = false; // back to the page shown before
    bool next = false;
    bool last = false;
    bool operator==(const NavigationButtons &) const = default;
};

// The state the main window shows and the commands change: the catalogue, the
// open archive and its pages, the settings, and the few flags that decide which
// commands are available. State only: the commands (src/commands) do the work,
// the window renders what the signals report.
class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(const WorkFolders &folders, QObject *parent = nullptr);

    CatalogueModel &catalogue() { return m_catalogue; }
    const CatalogueModel &catalogue() const { return m_catalogue; }
    QItemSelectionModel &catalogueSelection() { return m_catalogueSelection; }
    const QItemSelectionModel &catalogueSelection() const { return m_catalogueSelection; }
    OpenArchive &archive() { return m_archive; }
    const OpenArchive &archive() const { return m_archive; }
    PageListModel &pages() { return m_archive.pages(); }
    QItemSelectionModel &pageSelection() { return m_archive.pageSelection(); }
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }

    // The folder current at start-up (ending in "/") and the settings file.
    QString programFolder() const { return m_programFolder; }
    QString settingsFilePath() const { return m_settingsFilePath; }
    void setProgramFiles(const QString &programFolder, const QString &settingsFilePath);

    // The node of the open archive in the catalogue (-1 while none is open),
    // and the page position in its list.
    int openNode() const { return m_openNode; }
    void setOpenNode(int absoluteIndex) { m_openNode = absoluteIndex; }
    int currentPage() const { return m_currentPage; }
    int previousPage() const { return m_previousPage; }
    void setPagePosition(int current, int previous);

    // The page controls (page list, page tool bar and menu, navigation, print,
    // preview and find buttons, the archive's add, update and new-list items):
    // off until an archive is opened, off again once its last page is deleted.
    bool pageControlsEnabled() const { return m_pageControlsEnabled; }
    void setPageControlsEnabled(bool enabled);
    NavigationButtons navigation() const { return m_navigation; }
    void setNavigation(const NavigationButtons &buttons);
    // The left column (tree and page list) hidden to give the page the width.
    bool listsHidden() const { return m_listsHidden; }
    void setListsHidden(bool hidden);

    // The zip files left in the attach dialog, shown again at its next opening.
    QStringList chosenZipFiles() const { return m_chosenZipFiles; }
    void setChosenZipFiles(const QStringList &paths) { m_chosenZipFiles = paths; }

    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

    // Switches the whole message catalogue; every listener retranslates.
    void setRussianInterface(bool russian);
    void setOffline(bool offline);

    // The window's size and position: requested by start-up and the settings
    // file, reported back by the window before shut-down.
    WindowGeometry windowGeometry() const { return m_geometry; }
    void setWindowGeometry(const WindowGeometry &geometry) { m_geometry = geometry; }
    void requestWindowGeometry(const WindowGeometry &geometry);

    // The browser's own off-line state found at start-up, given back at the end.
    bool savedBrowserOffline() const { return m_savedBrowserOffline; }
    void setSavedBrowserOffline(bool offline) { m_savedBrowserOffline = offline; }

    // The node selected in the catalogue tree (its current node), -1 for none;
    // selectNode makes a node the selected one (-1 clears the selection).
    int selectedNode() const;
    void selectNode(int absoluteIndex);
    // After the selected node was removed the tree's current node is a
    // neighbour, but no longer highlighted: highlight it, so that what the
    // user sees selected is what the next command works on.
    void selectCurrentNode() { selectNode(selectedNode()); }

    // Whether the section of the selected node (or of the node absoluteIndex)
    // has an archive of this name; names compare case-sensitively.
    bool sectionHasArchive(const QString &name) const;
    bool sectionHasArchive(const QString &name, int absoluteIndex) const;

    // Whether the catalogue changed (its names, paths or order; the pictures
    // do not count) since the settings file last took it.
    bool catalogueUnsaved() const { return m_catalogueRevision != m_savedCatalogueRevision; }
    void setCatalogueSaved() { m_savedCatalogueRevision = m_catalogueRevision; }

    // Asks the window to put the keyboard into the search field.
    void requestSearchField() { Q_EMIT searchFieldRequested(); }
    // Asks the window to check all archives in the background.
    void requestCollectionCheck() { Q_EMIT collectionCheckRequested(); }

Q_SIGNALS:
    // The active language changed (or was set again).
    void languageChanged();
    // Something availability depends on changed.
    void availabilityChanged();
    void listsHiddenChanged(bool hidden);
    void statusTextChanged(const QString &text);
    void geometryRequested(const WindowGeometry &geometry);
    void offlineChanged(bool offline);
    void searchFieldRequested();
    void collectionCheckRequested();

private:
    CatalogueModel m_catalogue;
    QItemSelectionModel m_catalogueSelection;
    OpenArchive m_archive;
    Settings m_settings;
    QString m_programFolder;
    QString m_settingsFilePath;
    int m_openNode = -1;
    int m_currentPage = 0;
    int m_previousPage = 0;
    bool m_pageControlsEnabled = false;
    NavigationButtons m_navigation;
    bool m_listsHidden = false;
    QString m_statusText;
    QStringList m_chosenZipFiles;
    WindowGeometry m_geometry;
    bool m_savedBrowserOffline = false;
    quint64 m_catalogueRevision = 0;
    quint64 m_savedCatalogueRevision = 0;
};
