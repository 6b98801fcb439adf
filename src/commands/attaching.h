#pragma once

#include "commands/command.h"
#include "commands/dialogvalues.h"

#include <QString>

class UserInteraction;

namespace Commands {

// Archive > Switch Archive: existing zip files join the selected node's section.
void attachArchive(CommandContext &ctx);

} // namespace Commands

// The attach dialog's own text. It is chosen once, in the language active
// when the dialog is first made, and stays so for as long as the program
// runs; its other texts follow the message catalogue.
struct AttachDialogOwnTexts {
    QString noZipFiles;

    static AttachDialogOwnTexts inLanguage(bool russian);
};

// The check of the dialog's accept button: at least one zip file is chosen
// (otherwise the user is told and the dialog stays open).
bool checkAttach(const AttachValues &values, const AttachDialogOwnTexts &texts,
                 UserInteraction &ui);

// The name an attached zip file gets in the catalogue, before it is made
// unique in its section: the file name without ".zip" (in any letter case),
// as it is, blanks and "=" included, except that control characters (which
// a file name may hold, a tree row not) become "_", a name left empty is
// "archive" and the reserved name gets a "_" after it.
QString attachedArchiveName(const QString &fileName);
// The file name without ".zip" in any letter case at its end.
QString zipStem(const QString &fileName);
