#pragma once

#include "commands/dialogvalues.h"

#include <QString>

class UserInteraction;

// The create-archive dialog's own texts. They are chosen once, in the
// language active when the dialog is first made, and stay so for as long as
// the program runs; its other texts follow the message catalogue.
struct CreateDialogOwnTexts {
    QString addToList; // the choose-files button once files were chosen
    QString noFolder;
    QString noArchiveName;
    QString noZipName;
    QString noFiles;
    QString archiveNameTaken;
    QString zipFileTaken;

    static CreateDialogOwnTexts inLanguage(bool russian);
};

// The zip file's name as typed, with ".zip" appended unless it holds ".zip"
// anywhere, letter case included: "books" and "books.zip" give "books.zip",
// "books.ZIP" gives "books.ZIP.zip".
QString zipFileNameFor(const QString &typed);

// A folder as the user typed it, as the place it names now: "~" is the home
// folder, and a relative path is taken from the folder the program runs in.
// The catalogue keeps such places whole, so that they do not depend on the
// folder the program is started from next time. Empty stays empty.
QString typedFolder(const QString &typed);

// The checks of the dialog's OK button, in order, each failure shown to the
// user: the folder, archive name, zip name and pages are given, no file has
// the zip's name yet, the folder exists (offered to be made) and can be
// written, the zip name holds no "/", the archive name can be stored; then,
// whatever came before, the archive name is not taken in the section. True
// when the dialog may close.
bool checkCreateArchive(const CreateArchiveValues &values, const CreateDialogOwnTexts &texts,
                        UserInteraction &ui);
