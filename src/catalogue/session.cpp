#include "catalogue/session.h"

#include "catalogue/names.h"
#include "lang/messages.h"

Session::Session(const WorkFolders &folders, QObject *parent)
    : QObject(parent), m_catalogueSelection(&m_catalogue), m_archive(folders)
{
    const auto changed = [this] { ++m_catalogueRevision; };
    connect(&m_catalogue, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&m_catalogue, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&m_catalogue, &QAbstractItemModel::rowsMoved, this, changed);
    connect(&m_catalogue, &QAbstractItemModel::modelReset, this, changed);
    connect(&m_catalogue, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                if (!roles.contains(CatalogueModel::PictureRole))
                    ++m_catalogueRevision;
            });
}

void Session::setProgramFiles(const QString &programFolder, const QString &settingsFilePath)
{
    m_programFolder = programFolder;
    m_settingsFilePath = settingsFilePath;
}

void Session::setPagePosition(int current, int previous)
{
    m_currentPage = current;
    m_previousPage = previous;
}

void Session::setPageControlsEnabled(bool enabled)
{
    if (m_pageControlsEnabled == enabled)
        return;
    m_pageControlsEnabled = enabled;
    Q_EMIT availabilityChanged();
}

void Session::setNavigation(const NavigationButtons &buttons)
{
    if (m_navigation == buttons)
        return;
    m_navigation = buttons;
    Q_EMIT availabilityChanged();
}

void Session::setListsHidden(bool hidden)
{
    if (m_listsHidden == hidden)
        return;
    m_listsHidden = hidden;
    Q_EMIT listsHiddenChanged(hidden);
    Q_EMIT availabilityChanged();
}

void Session::setStatusText(const QString &text)
{
    m_statusText = text;
    Q_EMIT statusTextChanged(text);
}

void Session::setRussianInterface(bool russian)
{
    if (russian)
        Messages::useRussian();
    else
        Messages::useEnglish();
    m_settings.russianInterface = russian;
    Q_EMIT languageChanged();
}

void Session::setOffline(bool offline)
{
    if (m_settings.offline == offline)
        return;
    m_settings.offline = offline;
    Q_EMIT offlineChanged(offline);
}

void Session::requestWindowGeometry(const WindowGeometry &geometry)
{
    m_geometry = geometry;
    Q_EMIT geometryRequested(geometry);
}

int Session::selectedNode() const
{
    return m_catalogue.absoluteIndex(m_catalogueSelection.currentIndex());
}

void Session::selectNode(int absoluteIndex)
{
    const QModelIndex index = m_catalogue.modelIndex(absoluteIndex);
    if (index.isValid())
        m_catalogueSelection.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else
        m_catalogueSelection.clear();
}

bool Session::sectionHasArchive(const QString &name) const
{
    return sectionHasArchive(name, selectedNode());
}

bool Session::sectionHasArchive(const QString &name, int absoluteIndex) const
{
    const int section = m_catalogue.sectionOf(absoluteIndex);
    if (absoluteIndex < 0 || section < 0)
        return false;
    const QCollator collator = Names::nameCollator();
    for (int i : m_catalogue.archivesOf(section)) {
        if (collator.compare(m_catalogue.node(i).name, name) == 0)
            return true;
    }
    return false;
}
