#include "commands/availability.h"

bool isAvailable(Command command, const Session &session)
{
    const bool pages = session.pageControlsEnabled();
    const NavigationButtons navigation = session.navigation();
    switch (command) {
    case Command::CreateSection:
    case Command::RenameNode:
    case Command::DeleteSection:
    case Command::CreateArchive:
    case Command::AttachArchive:
    case Command::MoveArchiveToSection:
    case Command::SaveArchiveAs:
    case Command::RemoveArchive:
    case Command::ShowArchivePath:
    case Command::CheckAllArchives:
    case Command::OpenSelectedArchive:
    case Command::ToggleLists:
    case Command::Print:
    case Command::PrintPreview:
    case Command::Settings:
    case Command::English:
    case Command::Russian:
    case Command::About:
    case Command::Help:
    case Command::SearchAllArchives:
    case Command::ShowFoundPage:
        return true;
    case Command::UpdateArchive:
    case Command::NewPageList:
    case Command::AddPages:
    case Command::SearchFolder:
    case Command::AddFile:
    case Command::AddFolder:
    case Command::RenamePage:
    case Command::MovePageToArchive:
    case Command::SavePageToFolder:
    case Command::DeletePage:
    case Command::MovePageUp:
    case Command::MovePageDown:
    case Command::ShowFocusedPage:
    case Command::Find:
        return pages;
    case Command::FirstPage:
        return pages && navigation.first;
    case Command::PreviousPage:
        return pages && navigation.previous;
    case Command::ReturnPage:
        return pages && navigation.returnPage;
    case Command::NextPage:
        return pages && navigation.next;
    case Command::LastPage:
        return pages && navigation.last;
    }
    return false;
}

bool isAvailableOnToolBar(Command command, const Session &session)
{
    if (command == Command::Print || command == Command::PrintPreview)
        return session.pageControlsEnabled();
    return isAvailable(command, session);
}

NavigationButtons navigationFor(int count, int current)
{
    if (count < 2)
        return {};
    const bool notFirst = current != 0;
    const bool notLast = current != count - 1;
    return {notFirst, notFirst, true, notLast, notLast};
}

NavigationButtons navigationAfterOpening(int count)
{
    NavigationButtons buttons = navigationFor(count, 0);
    buttons.returnPage = false;
    return buttons;
}
