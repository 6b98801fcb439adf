#pragma once

#include <QIcon>
#include <QString>

// The application id: also the name of the icon and of the desktop entry, so
// the desktop ties the running window to its menu entry and icon.
inline QString applicationId()
{
    return QStringLiteral("org.tomekeeper.Tomekeeper");
}

// The program's icon from the pictures built into it, at every size it ships.
QIcon builtInApplicationIcon();

// The icon for windows: the icon theme's when it has one (so a theme can restyle
// it), else the built-in one.
QIcon applicationIcon();

// Gives every window the icon and names the desktop entry the windows belong
// to; call once, after the application object exists.
void applyDesktopIdentity();
