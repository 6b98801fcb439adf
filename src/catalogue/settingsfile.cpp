#include "catalogue/settingsfile.h"

#include "catalogue/cataloguemodel.h"
#include "catalogue/iniescape.h"
#include "catalogue/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString kParameters = QStringLiteral("Parameters");
const QString kArchiveFiles = QStringLiteral("Archive files ");
const QString kSectionKey = QStringLiteral("Section");

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

// Names and paths go through IniEscape, so that every name the catalogue
// holds, and every path the file system allows, comes back as it was.
// An archive named "Section" must not pass for its section's name.
QString storedValue(const QString &text)
{
    return IniEscape::encode(text, IniEscape::Field::Value);
}

QString storedArchiveName(const QString &name)
{
    return IniEscape::encode(name, IniEscape::Field::Key, kSectionKey);
}

QString valueOf(const QString &stored)
{
    return IniEscape::decode(stored, IniEscape::Field::Value);
}

QString archiveNameOf(const QString &stored)
{
    return IniEscape::decode(stored, IniEscape::Field::Key, kSectionKey);
}

} // namespace

namespace SettingsFile {

ReadResult read(const QString &path, const QString &programFolder, Settings &settings,
                CatalogueModel &catalogue)
{
    ReadResult result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    // Anything else at its place (a folder, a link to nothing, a file that
    // cannot be opened or read whole) is not "no settings yet".
    if (!info.isFile()) {
        result.unreadable = QStringLiteral("not a regular file");
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.unreadable = file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.unreadable = file.errorString();
        return result;
    }
    result.found = true;
    const IniFile ini = IniFile::fromBytes(bytes);

    if (ini.sectionExists(kParameters)) {
        result.hasParameters = true;
        QString folder = valueOf(ini.readString(kParameters, QStringLiteral("DirArchive"), {}));
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = programFolder;
        settings.defaultArchiveFolder = withTrailingSeparator(folder);
        settings.deleteOriginals = ini.readBool(kParameters, QStringLiteral("deloldfiles"), false);
        settings.offline = ini.readBool(kParameters, QStringLiteral("offline"), true);
        settings.checkArchivesAtStart =
            ini.readBool(kParameters, QStringLiteral("existingfiles"), true);
        settings.russianInterface = ini.readBool(kParameters, QStringLiteral("language"), false);
        settings.rememberWindow = ini.readBool(kParameters, QStringLiteral("memorysize"), true);
        if (settings.rememberWindow) {
            WindowGeometry g;
            g.width = ini.readInteger(kParameters, QStringLiteral("width"), 664);
            g.height = ini.readInteger(kParameters, QStringLiteral("height"), 460);
            g.left = ini.readInteger(kParameters, QStringLiteral("left"), 200);
            g.top = ini.readInteger(kParameters, QStringLiteral("top"), 200);
            result.geometry = g;
        }
    }

    for (int n = 1;; ++n) {
        const QString section = kArchiveFiles + QString::number(n);
        if (!ini.sectionExists(section))
            break;
        for (const auto &[key, stored] : ini.entries(section)) {
            const QString value = valueOf(stored);
            if (key == kSectionKey) {
                catalogue.appendSection(value);
                continue;
            }
            // An archive before any section has nowhere to go. Rather than
            // drop it, give it a section without a name the user can rename.
            if (catalogue.nodeCount() == 0)
                catalogue.appendSection(QString());
            // Kept whether its zip is there or not: a drive not mounted for
            // one start must not cost the catalogue the entry.
            const int archive = catalogue.appendArchive(archiveNameOf(key), value);
            if (settings.checkArchivesAtStart && !catalogue.checkZip(archive))
                result.missingArchives << value;
        }
    }
    return result;
}

bool write(const QString &path, const Settings &settings, const WindowGeometry &window,
           const CatalogueModel &catalogue, QString *error)
{
    IniFile ini;
    ini.writeString(kParameters, QStringLiteral("DirArchive"),
                    storedValue(settings.defaultArchiveFolder));
    ini.writeBool(kParameters, QStringLiteral("deloldfiles"), settings.deleteOriginals);
    ini.writeBool(kParameters, QStringLiteral("memorysize"), settings.rememberWindow);
    ini.writeBool(kParameters, QStringLiteral("offline"), settings.offline);
    ini.writeBool(kParameters, QStringLiteral("existingfiles"), settings.checkArchivesAtStart);
    ini.writeBool(kParameters, QStringLiteral("language"), settings.russianInterface);
    const WindowGeometry g = settings.rememberWindow ? window : WindowGeometry{664, 459, 100, 100};
    ini.writeInteger(kParameters, QStringLiteral("width"), g.width);
    ini.writeInteger(kParameters, QStringLiteral("height"), g.height);
    ini.writeInteger(kParameters, QStringLiteral("left"), g.left);
    ini.writeInteger(kParameters, QStringLiteral("top"), g.top);

    int counter = 0;
    QString section;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        const CatalogueNode &node = catalogue.node(i);
        if (node.level == 0) {
            section = kArchiveFiles + QString::number(++counter);
            ini.writeString(section, kSectionKey, storedValue(node.name));
        } else {
            // Every archive keeps its own line, even when its name differs
            // from another's (or from "Section") only in letter case.
            ini.appendString(section, storedArchiveName(node.name), storedValue(node.path));
        }
    }

    // Written to a temporary file and renamed over the old one: a crash or a
    // full disk while writing leaves the previous catalogue in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ini.toBytes()) < 0 || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace SettingsFile
