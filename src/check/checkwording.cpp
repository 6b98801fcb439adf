#include "check/checkwording.h"

#include "lang/messages.h"

#include <QDir>

namespace CheckWording {

using Kind = CheckProblem::Kind;

QList<CheckFix> fixesFor(const CheckProblem &problem)
{
    switch (problem.kind) {
    case Kind::ZipMissing:
        return {CheckFix::FindZip, CheckFix::RemoveArchive};
    case Kind::ListMissing:
    case Kind::PageUnlisted:
        return {CheckFix::AddPagesToList};
    case Kind::PageMissing:
        return {CheckFix::DropMissingPages};
    case Kind::RecoveredCopy:
    case Kind::LeftoverCopy:
        return {CheckFix::OpenFolder};
    default:
        return {};
    }
}

QString fixCaption(CheckFix fix)
{
    switch (fix) {
    case CheckFix::AddPagesToList:
        return msg(MessageId::CheckFixAddPages);
    case CheckFix::DropMissingPages:
        return msg(MessageId::CheckFixDropPages);
    case CheckFix::FindZip:
        return msg(MessageId::CheckActionFindZip);
    case CheckFix::RemoveArchive:
        return msg(MessageId::CheckActionRemoveArchive);
    case CheckFix::OpenFolder:
        return msg(MessageId::CheckActionOpenFolder);
    }
    return {};
}

QString problemText(const CheckProblem &problem)
{
    const QString &detail = problem.detail;
    switch (problem.kind) {
    case Kind::ZipMissing:
        return msg(MessageId::CheckZipMissing);
    case Kind::ZipShared:
        return msg(MessageId::CheckZipShared).arg(detail);
    case Kind::ZipDamaged:
        return msg(MessageId::CheckZipDamaged).arg(detail);
    case Kind::ListMissing:
        return msg(MessageId::CheckListMissing);
    case Kind::ListUnreadable:
        return msg(MessageId::CheckListUnreadable).arg(detail);
    case Kind::ListRefusedLine:
        return msg(MessageId::CheckListRefusedLine).arg(detail);
    case Kind::PageMissing:
        return msg(MessageId::CheckPageMissing).arg(detail);
    case Kind::PageUnlisted:
        return msg(MessageId::CheckPageUnlisted).arg(detail);
    case Kind::FolderWithoutPage:
        return msg(MessageId::CheckFolderWithoutPage).arg(detail);
    case Kind::PastLimits:
        return msg(MessageId::CheckPastLimits).arg(detail);
    case Kind::RecoveredCopy:
        return msg(MessageId::CheckRecoveredCopy)
            .arg(problem.keptAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 QDir::toNativeSeparators(problem.folder));
    case Kind::LeftoverCopy:
        return msg(MessageId::CheckLeftoverCopy).arg(QDir::toNativeSeparators(problem.folder));
    }
    return {};
}

QString suggestion(const CheckProblem &problem)
{
    switch (problem.kind) {
    case Kind::ZipMissing:
        return msg(MessageId::CheckFixFindOrRemove);
    case Kind::ZipShared:
        return msg(MessageId::CheckAdviceShared);
    case Kind::ZipDamaged:
        return msg(MessageId::CheckAdviceDamaged);
    case Kind::ListMissing:
    case Kind::PageUnlisted:
        return msg(MessageId::CheckFixAddPages);
    case Kind::ListUnreadable:
        return msg(MessageId::CheckAdviceListUnreadable);
    case Kind::ListRefusedLine:
        return msg(MessageId::CheckAdviceRefusedLine);
    case Kind::PageMissing:
        return msg(MessageId::CheckFixDropPages);
    case Kind::FolderWithoutPage:
        return msg(MessageId::CheckAdviceFolder);
    case Kind::PastLimits:
        return msg(MessageId::CheckAdvicePastLimits);
    case Kind::RecoveredCopy:
        return msg(MessageId::CheckFixOpenFolder);
    case Kind::LeftoverCopy:
        return msg(MessageId::CheckAdviceLeftover);
    }
    return {};
}

QString summary(const CheckReport &report)
{
    if (report.problems.isEmpty())
        return msg(MessageId::CheckReportClean).arg(report.archivesChecked).arg(report.pagesListed);
    return msg(MessageId::CheckReportSummary)
        .arg(report.archivesChecked)
        .arg(report.pagesListed)
        .arg(report.problems.size());
}

} // namespace CheckWording
