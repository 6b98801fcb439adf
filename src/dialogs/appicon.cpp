#include "dialogs/appicon.h"

#include <QGuiApplication>

QIcon builtInApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon applicationIcon()
{
    return QIcon::fromTheme(applicationId(), builtInApplicationIcon());
}

void applyDesktopIdentity()
{
    QGuiApplication::setWindowIcon(applicationIcon());
    // Wayland compositors find the entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(applicationId());
}
