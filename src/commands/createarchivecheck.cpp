#include "commands/createarchivecheck.h"

#include "catalogue/names.h"
#include "commands/userinteraction.h"
#include "lang/messages.h"
#include "storage/pagesearch.h"

#include <QDir>
#include <QFileInfo>

CreateDialogOwnTexts CreateDialogOwnTexts::inLanguage(bool russian)
{
    if (russian) {
        return {QStringLiteral("Добавить в список"),
                QStringLiteral("Вы не выбрали путь к архиву!"),
                QStringLiteral("Вы не выбрали имя архива!"),
                QStringLiteral("Вы не выбрали имя zip-файла архива!"),
                QStringLiteral("Вы не выбрали файлы для архива!"),
                QStringLiteral("Выбранное имя архива уже существует!"),
                QStringLiteral("Выбранное имя zip-файла уже существует!")};
    }
    return {QStringLiteral("Add to list of files"),
            QStringLiteral("You do'nt choose Path to the Archive!"),
            QStringLiteral("You do'nt choose Name of the Archive!"),
            QStringLiteral("You do'nt choose Name of zip-file!"),
            QStringLiteral("You do'nt choose Files for the Archive!"),
            QStringLiteral("Selected name of the archive already exists!"),
            QStringLiteral("Selected name of zip-file already exists!")};
}

QString zipFileNameFor(const QString &typed)
{
    return typed.contains(QStringLiteral(".zip")) ? typed : typed + QStringLiteral(".zip");
}

QString typedFolder(const QString &typed)
{
    if (typed.isEmpty())
        return typed;
    QString folder = typed;
    if (folder == u'~' || folder.startsWith(QStringLiteral("~/")))
        folder.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

namespace {

bool folderReady(const QString &folder, UserInteraction &ui)
{
    const QString shown = QDir::toNativeSeparators(folder);
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!ui.askYesNo(msg(MessageId::CreateFolderMissing).arg(shown)))
            return false;
        if (!QDir().mkpath(folder)) {
            ui.showError(msg(MessageId::CreateFolderNotMade) + QStringLiteral("\r\n") + shown);
            return false;
        }
        return true;
    }
    if (!info.isDir() || !info.isWritable() || !info.isExecutable()) {
        ui.showError(msg(MessageId::CreateFolderNotWritable) + QStringLiteral("\r\n") + shown);
        return false;
    }
    return true;
}

bool firstChecks(const CreateArchiveValues &values, const CreateDialogOwnTexts &texts,
                 UserInteraction &ui)
{
    const QString folder = typedFolder(values.folder);
    if (values.folder.isEmpty()) {
        ui.showMessage(texts.noFolder);
        return false;
    }
    if (values.archiveName.isEmpty()) {
        ui.showMessage(texts.noArchiveName);
        return false;
    }
    if (values.zipName.isEmpty()) {
        ui.showMessage(texts.noZipName);
        return false;
    }
    if (values.pageFiles.isEmpty()) {
        ui.showMessage(texts.noFiles);
        return false;
    }
    const QFileInfo zip(folder + u'/' + zipFileNameFor(values.zipName));
    if (zip.exists() || zip.isSymLink()) {
        ui.showMessage(texts.zipFileTaken);
        return false;
    }
    // A zip in the program's working folders would be swept away with them.
    if (!PageSearch::protectedFolderOf(folder, values.protectedFolders).isEmpty()) {
        ui.showMessage(msg(MessageId::SaveAsInProgramFolder));
        return false;
    }
    if (!folderReady(folder, ui))
        return false;
    if (values.zipName.contains(u'/')) {
        ui.showMessage(msg(MessageId::CreateZipNameSlash));
        return false;
    }
    if (const Names::Problem problem = Names::checkArchiveName(values.archiveName)) {
        ui.showMessage(Names::message(problem));
        return false;
    }
    return true;
}

} // namespace

bool checkCreateArchive(const CreateArchiveValues &values, const CreateDialogOwnTexts &texts,
                        UserInteraction &ui)
{
    bool ok = firstChecks(values, texts, ui);
    for (const QString &name : values.sectionArchiveNames) {
        if (name == values.archiveName) {
            ui.showMessage(texts.archiveNameTaken);
            ok = false;
        }
    }
    return ok;
}
