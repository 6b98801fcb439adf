#include "commands/availability.h"

#include "commands/commandtable.h"

bool isAvailable(Command command, const Session &session)
{
    const bool pages = session.pageControlsEnabled();
    const NavigationButtons navigation = session.navigation();
    switch (commandRow(command).availability) {
    case Availability::Always:
    case Availability::WithPagesOnToolBar:
        return true;
    case Availability::WithPages:
        return pages;
    case Availability::FirstPage:
        return pages && navigation.first;
    case Availability::PreviousPage:
        return pages && navigation.previous;
    case Availability::ReturnPage:
        return pages && navigation.returnPage;
    case Availability::NextPage:
        return pages && navigation.next;
    case Availability::LastPage:
        return pages && navigation.last;
    }
    return false;
}

bool isAvailableOnToolBar(Command command, const Session &session)
{
    if (commandRow(command).availability == Availability::WithPagesOnToolBar)
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
