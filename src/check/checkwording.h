#pragma once

#include "check/checkproblem.h"

#include <QList>
#include <QString>

// What the report of the check offers to do about a problem. Every fix goes
// through the commands the program has; none deletes a page file or a zip.
enum class CheckFix {
    AddPagesToList,   // the pages no list entry names, titled as Add titles them
    DropMissingPages, // the list entries whose file is missing, after a question
    FindZip,          // a missing zip found in a folder the user picks
    RemoveArchive,    // a missing archive out of the catalogue, after a question
    OpenFolder,       // a working copy's folder in the file manager
};

// How the report words a problem, in the active language.
namespace CheckWording {

// The fixes offered for a problem, the first the one suggested.
QList<CheckFix> fixesFor(const CheckProblem &problem);
// The caption of a fix in the report's menu.
QString fixCaption(CheckFix fix);
// What is wrong, with the detail (a file name, a folder, why).
QString problemText(const CheckProblem &problem);
// What to do about it.
QString suggestion(const CheckProblem &problem);
// The report's summary line.
QString summary(const CheckReport &report);

} // namespace CheckWording
