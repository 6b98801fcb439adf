#include "catalogue/programpaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kSettingsFileName = QStringLiteral("tomekeeper.ini");

ProgramPaths make(const QString &currentFolder, const QString &configFolder,
                  const WorkFolders &work, const QString &cacheFolder)
{
    QString programFolder = QDir(currentFolder).absolutePath();
    if (!programFolder.endsWith(u'/'))
        programFolder += u'/';
    return {programFolder, ProgramPaths::settingsFileFor(currentFolder, configFolder), work,
            QDir(cacheFolder).filePath(QStringLiteral("search"))};
}

} // namespace

QString ProgramPaths::settingsFileFor(const QString &currentFolder, const QString &configFolder)
{
    const QString here = QDir(currentFolder).absoluteFilePath(kSettingsFileName);
    if (QFileInfo(here).isFile())
        return here;
    return QDir(configFolder).absoluteFilePath(kSettingsFileName);
}

ProgramPaths ProgramPaths::standard(const QString &currentFolder)
{
    return make(currentFolder, QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                WorkFolders::standard(),
                QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
}

ProgramPaths ProgramPaths::under(const QString &currentFolder, const QString &base)
{
    return make(currentFolder, base + QStringLiteral("/config"),
                WorkFolders::under(base + QStringLiteral("/data")),
                base + QStringLiteral("/cache"));
}
