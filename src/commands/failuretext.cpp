#include "commands/failuretext.h"

#include "commands/userinteraction.h"
#include "lang/messages.h"

#include <QDir>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

BoxText notSaved(const QStringList &files)
{
    QStringList list;
    for (const QString &name : files)
        list << native(name);
    return BoxText::listed(msg(MessageId::SaveFailedHead) + kCrLf + msg(MessageId::SaveFailedCount) +
                               QString::number(files.size()) + msg(MessageId::SaveFailedFiles) +
                               kCrLf + kCrLf,
                           list, kCrLf);
}

// The catalogue's words that come before the path, on a line of their own.
MessageId headOf(StorageFailure::Kind kind)
{
    using Kind = StorageFailure::Kind;
    switch (kind) {
    case Kind::NothingToSave:
        return MessageId::SaveFailedHead;
    case Kind::CopyHeld:
        return MessageId::SetAsideFailed;
    case Kind::ZipChanged:
        return MessageId::ZipChangedSinceOpened;
    case Kind::NoPageList:
        return MessageId::MoveTargetWithoutList;
    case Kind::InProgramFolder:
        return MessageId::AddRefusedProgramFolder;
    case Kind::NameNotStorable:
        return MessageId::NameNotStorable;
    case Kind::NotRenamable:
        return MessageId::AddRefusedCannotRename;
    case Kind::FileTooBig:
        return MessageId::AddRefusedFileTooBig;
    case Kind::TooManyFiles:
        return MessageId::AddRefusedTooManyFiles;
    default:
        return MessageId::AddRefusedArchiveTooBig;
    }
}

} // namespace

BoxText failureText(const StorageFailure &failure)
{
    using Kind = StorageFailure::Kind;
    switch (failure.kind) {
    case Kind::ArchiveDamaged:
        return msg(MessageId::ArchiveDamaged);
    case Kind::NotSaved:
        return notSaved(failure.files);
    case Kind::NotDeleted:
        return msg(MessageId::CannotDeleteFile) + native(failure.path);
    // The platform's own words for a file it could not create or open.
    case Kind::NotCreated:
        return QStringLiteral("Cannot create file %1").arg(native(failure.path));
    case Kind::NotRead:
        return QStringLiteral("Cannot open file %1").arg(native(failure.path));
    default:
        return msg(headOf(failure.kind)) + kCrLf + native(failure.path);
    }
}

void showFailure(UserInteraction &ui, const StorageFailure &failure)
{
    if (failure.kind == StorageFailure::Kind::NotCreated ||
        failure.kind == StorageFailure::Kind::NotRead)
        ui.showError(failureText(failure));
    else
        ui.showMessage(failureText(failure));
}

void showFailure(UserInteraction &ui, const std::optional<StorageFailure> &failure)
{
    if (failure)
        showFailure(ui, *failure);
}
