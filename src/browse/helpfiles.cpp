#include "browse/helpfiles.h"

#include "lang/messages.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A folder of that name is not a help file.
bool isFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

} // namespace

QString HelpFiles::manualFolder(const QString &executableFolder)
{
    return QDir::cleanPath(executableFolder + QStringLiteral("/../share/tomekeeper/manual"));
}

HelpChoice HelpFiles::locate(const QString &programFolder, const QString &executableFolder)
{
    // One reading of the language for both names: they never disagree.
    const bool russian = Messages::russianActive();
    const QString helpName =
        russian ? QStringLiteral("HelpRus.chm") : QStringLiteral("HelpEng.chm");
    const QString manualName = russian ? QStringLiteral("ru.html") : QStringLiteral("en.html");

    HelpChoice choice;
    choice.missingName = helpName;
    if (!programFolder.isEmpty()) {
        const QString help = QDir(programFolder).absoluteFilePath(helpName);
        if (isFile(help)) {
            choice.path = help;
            return choice;
        }
    }
    if (!executableFolder.isEmpty()) {
        const QString manual = manualFolder(executableFolder) + u'/' + manualName;
        if (isFile(manual))
            choice.path = manual;
    }
    return choice;
}

QString HelpFiles::missingMessage(const QString &fileName)
{
    return msg(MessageId::HelpFileMissingStart) + fileName + msg(MessageId::HelpFileMissingEnd);
}
