#include "catalogue/session.h"

#include "browse/pageview.h"
#include "catalogue/settingsfile.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/archivestorage.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace

Session::Session(UserInteraction &ui, PageView &view, const WorkFolders &folders, QObject *parent)
    : QObject(parent), m_ui(ui), m_view(view), m_folders(folders),
      m_catalogueSelection(&m_catalogue), m_pageSelection(&m_pages),
      m_storage(std::make_unique<ArchiveStorage>(m_zip, m_pages, m_settings, m_ui, m_folders))
{
}

Session::~Session() = default;

void Session::setEnabled(const QString &control, bool enabled)
{
    if (m_enabled.contains(control) && m_enabled.value(control) == enabled)
        return;
    m_enabled.insert(control, enabled);
    Q_EMIT enabledChanged(control, enabled);
}

void Session::setStatusText(const QString &text)
{
    m_statusText = text;
    Q_EMIT statusTextChanged(text);
}

void Session::setOffline(bool offline)
{
    if (m_settings.offline == offline)
        return;
    m_settings.offline = offline;
    Q_EMIT offlineChanged(offline);
}

void Session::requestGeometry(const WindowGeometry &geometry)
{
    m_geometry = geometry;
    Q_EMIT geometryRequested(geometry);
}

void Session::applyLanguage(bool russian)
{
    if (russian)
        Messages::useRussian();
    else
        Messages::useEnglish();
    m_settings.russianInterface = russian;
    Q_EMIT languageChanged();
}

void Session::switchToEnglish()
{
    applyLanguage(false);
}
void Session::switchToRussian()
{
    applyLanguage(true);
}

void Session::startUp(const QString &currentFolder)
{
    m_settings.defaultArchiveFolder.clear();
    m_programFolder = withTrailingSeparator(QDir(currentFolder).absolutePath());
    m_settingsFilePath = m_programFolder + QStringLiteral("tomekeeper.ini");

    m_pages.clear();
    setEnabled(QStringLiteral("ListBox1"), false);
    m_settings.rememberWindow = true;

    setEnabled(QStringLiteral("ToolBar5"), false);
    setEnabled(QStringLiteral("ToolBar2"), false);
    setEnabled(QStringLiteral("ToolButton14"), false);
    setEnabled(QStringLiteral("ToolButton15"), false);
    setEnabled(QStringLiteral("ToolButton16"), false);

    m_view.navigate(QStringLiteral("about:blank"));

    m_settings.russianInterface = false;
    m_open.currentPage = 0;
    m_open.previousPage = 0;
    m_open.changed = false;
    m_settings.deleteOriginals = false;
    m_settings.checkArchivesAtStart = true;

    m_savedBrowserOffline = m_view.offline();
    m_settings.offline = true;
    Q_EMIT offlineChanged(true);

    applyLanguage(false);
    m_catalogue.clear();

    WindowGeometry start = m_geometry;
    start.width = 732;
    start.height = 520;
    requestGeometry(start);

    readSettingsFile(m_settingsFilePath);

    m_open.nodeIndex = -1;
    keepLeftoverWorkFolder();
    for (const char *name : {"N18", "N48", "N24", "N31"})
        setEnabled(QString::fromLatin1(name), false);

    setStatusText(msg(MessageId::StatusOpenArchive) + msg(MessageId::StatusNoArchive));
}

void Session::keepLeftoverWorkFolder()
{
    // A working folder found at start-up holds changes that were never zipped
    // back: the program was killed, or the last write-back failed. Opening an
    // archive empties that folder, so the leftover is moved aside first.
    QDir work(m_folders.archive);
    if (!work.exists())
        return;
    if (work.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        work.removeRecursively();
        return;
    }
    const QString base = QFileInfo(m_folders.archive).absolutePath() +
                         QStringLiteral("/recovered-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + u'-' + QString::number(n);
    if (!QDir().rename(m_folders.archive, target))
        target = m_folders.archive; // left where it is; still worth telling
    m_ui.showMessage(Messages::russianActive()
                         ? QStringLiteral("Найдены несохранённые изменения архива, открытого в "
                                          "прошлый раз. Они сохранены в папке:\r\n") +
                               target
                         : QStringLiteral("Unsaved changes of the archive open last time were "
                                          "found. They are kept in the folder:\r\n") +
                               target);
}

void Session::shutDown()
{
    writeSettingsFile();
    m_view.setOffline(m_savedBrowserOffline);
}

bool Session::readSettingsFile(const QString &path)
{
    const bool wasOffline = m_settings.offline;
    const SettingsFile::ReadResult read =
        SettingsFile::read(path, m_programFolder, m_settings, m_catalogue);
    if (!read.found)
        return false;
    if (read.hasParameters) {
        if (m_settings.offline != wasOffline)
            Q_EMIT offlineChanged(m_settings.offline);
        applyLanguage(m_settings.russianInterface);
        if (read.geometry)
            requestGeometry(*read.geometry);
    }
    if (!read.missingArchives.isEmpty()) {
        QString missing;
        for (const QString &zip : read.missingArchives)
            missing += zip + kCrLf;
        m_ui.askYesNo(msg(MessageId::MissingArchivesHead) + kCrLf + kCrLf + missing + kCrLf +
                      msg(MessageId::MissingArchivesReason) + kCrLf +
                      msg(MessageId::MissingArchivesAdvice));
    }
    return true;
}

void Session::writeSettingsFile()
{
    const QString zipPath = m_open.zipPath();
    if (m_open.changed) {
        m_storage->writeBackIfChanged(m_folders.archive, zipPath, m_open.changed);
        if (m_open.changed) {
            m_ui.showMessage(Messages::russianActive()
                                 ? QStringLiteral("Изменения архива остаются в папке:\r\n") +
                                       m_folders.archive
                                 : QStringLiteral("The changes of the archive stay in the "
                                                  "folder:\r\n") +
                                       m_folders.archive);
        }
    }

    // A working folder whose changes could not be written back is the only
    // copy of them: it stays where it is.
    if (!m_open.changed && QFileInfo(m_folders.archive).isDir())
        m_storage->removeFolder(m_folders.archive);
    if (QFileInfo(m_folders.moveTarget).isDir())
        m_storage->removeFolder(m_folders.moveTarget);

    SettingsFile::write(m_settingsFilePath, m_settings, m_geometry, m_catalogue);
}

bool Session::sectionHasArchive(const QString &name) const
{
    const int selected = m_catalogue.absoluteIndex(m_catalogueSelection.currentIndex());
    return sectionHasArchive(name, selected);
}

bool Session::sectionHasArchive(const QString &name, int absoluteIndex) const
{
    const int section = m_catalogue.sectionOf(absoluteIndex);
    if (absoluteIndex < 0 || section < 0)
        return false;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseSensitive);
    for (int i : m_catalogue.archivesOf(section)) {
        if (collator.compare(m_catalogue.node(i).name, name) == 0)
            return true;
    }
    return false;
}

void Session::editSettings()
{
    SettingsDialogValues values;
    values.folder = m_settings.defaultArchiveFolder;
    values.checkArchives = m_settings.checkArchivesAtStart;
    values.rememberWindow = m_settings.rememberWindow;
    values.deleteOriginals = m_settings.deleteOriginals;
    if (!m_ui.editSettings(values))
        return;

    m_settings.checkArchivesAtStart = values.checkArchives;
    m_settings.rememberWindow = values.rememberWindow;
    m_settings.deleteOriginals = values.deleteOriginals;
    m_settings.defaultArchiveFolder = withTrailingSeparator(values.folder);
    const QString folder = m_settings.defaultArchiveFolder;
    if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
        m_ui.showError(QStringLiteral("Невозможно создать папку!\r\nПроверьте правильность "
                                      "заданного пути!"));
    }
}
