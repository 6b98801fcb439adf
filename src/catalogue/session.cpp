#include "catalogue/session.h"

#include "browse/pageview.h"
#include "catalogue/inifile.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/archivestorage.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kParameters = QStringLiteral("Parameters");
const QString kArchiveFiles = QStringLiteral("Archive files ");
const QString kSectionKey = QStringLiteral("Section");
const QString kCrLf = QStringLiteral("\r\n");

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool folderExists(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir();
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
    m_iniFilePath = m_programFolder + QStringLiteral("tomekeeper.ini");

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

    readSettingsFile(m_iniFilePath);

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
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const IniFile ini = IniFile::fromBytes(file.readAll());

    if (ini.sectionExists(kParameters)) {
        QString folder = ini.readString(kParameters, QStringLiteral("DirArchive"), m_programFolder);
        if (!folderExists(folder))
            folder = m_programFolder;
        m_settings.defaultArchiveFolder = withTrailingSeparator(folder);
        m_settings.deleteOriginals =
            ini.readBool(kParameters, QStringLiteral("deloldfiles"), false);
        setOffline(ini.readBool(kParameters, QStringLiteral("offline"), true));
        m_settings.checkArchivesAtStart =
            ini.readBool(kParameters, QStringLiteral("existingfiles"), true);
        applyLanguage(ini.readBool(kParameters, QStringLiteral("language"), false));
        m_settings.rememberWindow = ini.readBool(kParameters, QStringLiteral("memorysize"), true);
        if (m_settings.rememberWindow) {
            WindowGeometry g;
            g.width = ini.readInteger(kParameters, QStringLiteral("width"), 664);
            g.height = ini.readInteger(kParameters, QStringLiteral("height"), 460);
            g.left = ini.readInteger(kParameters, QStringLiteral("left"), 200);
            g.top = ini.readInteger(kParameters, QStringLiteral("top"), 200);
            requestGeometry(g);
        }
    }

    QString missing;
    for (int n = 1;; ++n) {
        const QString section = kArchiveFiles + QString::number(n);
        if (!ini.sectionExists(section))
            break;
        for (const auto &[key, value] : ini.entries(section)) {
            if (key == kSectionKey) {
                m_catalogue.appendSection(value);
                continue;
            }
            // An archive before any section has nowhere to go. Rather than
            // drop it, give it a section without a name the user can rename.
            if (m_catalogue.nodeCount() == 0)
                m_catalogue.appendSection(QString());
            if (!m_settings.checkArchivesAtStart || QFileInfo(value).isFile()) {
                m_catalogue.appendArchive(key, value);
            } else {
                missing += value + kCrLf;
            }
        }
    }

    if (!missing.isEmpty()) {
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

    IniFile ini;
    ini.writeString(kParameters, QStringLiteral("DirArchive"), m_settings.defaultArchiveFolder);
    ini.writeBool(kParameters, QStringLiteral("deloldfiles"), m_settings.deleteOriginals);
    ini.writeBool(kParameters, QStringLiteral("memorysize"), m_settings.rememberWindow);
    ini.writeBool(kParameters, QStringLiteral("offline"), m_settings.offline);
    ini.writeBool(kParameters, QStringLiteral("existingfiles"), m_settings.checkArchivesAtStart);
    ini.writeBool(kParameters, QStringLiteral("language"), m_settings.russianInterface);
    const WindowGeometry g =
        m_settings.rememberWindow ? m_geometry : WindowGeometry{664, 459, 100, 100};
    ini.writeInteger(kParameters, QStringLiteral("width"), g.width);
    ini.writeInteger(kParameters, QStringLiteral("height"), g.height);
    ini.writeInteger(kParameters, QStringLiteral("left"), g.left);
    ini.writeInteger(kParameters, QStringLiteral("top"), g.top);

    int counter = 0;
    QString section;
    for (int i = 0; i < m_catalogue.nodeCount(); ++i) {
        const CatalogueNode &node = m_catalogue.node(i);
        if (node.level == 0) {
            section = kArchiveFiles + QString::number(++counter);
            ini.writeString(section, kSectionKey, node.name);
        } else {
            // Every archive keeps its own line, even when its name differs
            // from another's (or from "Section") only in letter case.
            ini.appendString(section, node.name, node.path);
        }
    }

    // Written to a temporary file and renamed over the old one: a crash or a
    // full disk while writing leaves the previous catalogue in place.
    QSaveFile file(m_iniFilePath);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(ini.toBytes());
        file.commit();
    }
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
