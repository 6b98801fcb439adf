#pragma once

#include "catalogue/cataloguemodel.h"
#include "catalogue/settings.h"
#include "storage/pagelistmodel.h"
#include "storage/workfolders.h"
#include "zip/ziparchiver.h"

#include <QHash>
#include <QItemSelectionModel>
#include <QObject>
#include <memory>

class UserInteraction;
class PageView;
class ArchiveStorage;

// Everything the main window shows and every command changes: the catalogue,
// the open archive and its pages, the settings, and the state of the window's
// controls. The widgets only render it; tests drive it without a screen.
class Session : public QObject {
    Q_OBJECT
public:
    Session(UserInteraction &ui, PageView &view, const WorkFolders &folders,
            QObject *parent = nullptr);
    ~Session() override;

    CatalogueModel &catalogue() { return m_catalogue; }
    QItemSelectionModel &catalogueSelection() { return m_catalogueSelection; }
    PageListModel &pages() { return m_pages; }
    QItemSelectionModel &pageSelection() { return m_pageSelection; }
    Settings &settings() { return m_settings; }
    const Settings &settings() const { return m_settings; }
    OpenArchiveState &unpack() { return m_open; }
    ZipArchiver &zip() { return m_zip; }
    ArchiveStorage &storage() { return *m_storage; }
    UserInteraction &ui() { return m_ui; }
    PageView &view() { return m_view; }
    const WorkFolders &workFolders() const { return m_folders; }

    QString programFolder() const { return m_programFolder; }
    QString settingsFilePath() const { return m_settingsFilePath; }
    bool savedBrowserOffline() const { return m_savedBrowserOffline; }

    // Start-up up to the point where the window is shown: controls into the
    // no-archive state, English, the settings file read, the status text.
    void startUp(const QString &currentFolder);
    // Shut-down: the settings file (after zipping back a changed archive and
    // removing the working folders) and the browser's off-line flag restored.
    void shutDown();

    bool readSettingsFile(const QString &path);
    void writeSettingsFile();

    bool sectionHasArchive(const QString &name) const;
    bool sectionHasArchive(const QString &name, int absoluteIndex) const;

    // Interface > English and Interface > Russian.
    void switchToEnglish();
    void switchToRussian();

    // Settings: shows the settings dialog and applies it.
    void editSettings();

    // Enabled state of the controls that depend on an open archive, by their
    // object names; controls never set are enabled.
    bool isEnabled(const QString &control) const { return m_enabled.value(control, true); }
    void setEnabled(const QString &control, bool enabled);
    QString statusText() const { return m_statusText; }
    void setStatusText(const QString &text);

    // The window's size and position: requested by start-up and the settings
    // file, reported back by the window before shut-down.
    WindowGeometry windowGeometry() const { return m_geometry; }
    void setWindowGeometry(const WindowGeometry &geometry) { m_geometry = geometry; }

    void setOffline(bool offline);

Q_SIGNALS:
    // The active language changed (or was set again): the window checks the
    // Interface items from settings().russianInterface and retitles itself.
    void languageChanged();
    void enabledChanged(const QString &control, bool enabled);
    void statusTextChanged(const QString &text);
    void geometryRequested(const WindowGeometry &geometry);
    void offlineChanged(bool offline);

private:
    void applyLanguage(bool russian);
    void requestGeometry(const WindowGeometry &geometry);
    void keepLeftoverWorkFolder();

    UserInteraction &m_ui;
    PageView &m_view;
    WorkFolders m_folders;
    CatalogueModel m_catalogue;
    QItemSelectionModel m_catalogueSelection;
    PageListModel m_pages;
    QItemSelectionModel m_pageSelection;
    Settings m_settings;
    OpenArchiveState m_open;
    ZipArchiver m_zip;
    std::unique_ptr<ArchiveStorage> m_storage;
    QHash<QString, bool> m_enabled;
    QString m_statusText;
    WindowGeometry m_geometry;
    QString m_programFolder;
    QString m_settingsFilePath;
    bool m_savedBrowserOffline = false;
};
